// The program's entry: "--version" and "--help" answered at once, with no
// display needed; otherwise the settings loaded, the application titled
// "Drovik", the main window created, the message loop, the settings written
// back.

#include "app/DrovikUnit.h"
#include "common/Application.h"
#include "common/ZorvUtilUnit.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* HelpText = "Употреба: tamsel [ИЗТОЧНИК [ПОТРЕБИТЕЛ ПАРОЛА]]\n"
                                 "          tamsel --help | --version\n"
                                 "\n"
                                 "Преглед на таблиците на база данни SQL Anywhere, без промени в тях.\n"
                                 "Без аргументи програмата започва с избора на база данни.\n"
                                 "\n"
                                 "  ИЗТОЧНИК    име на източник на данни ODBC: връзка с него без избора\n"
                                 "              на база данни\n"
                                 "  ПОТРЕБИТЕЛ  потребителско име за връзката\n"
                                 "  ПАРОЛА      парола; с потребителско име и парола програмата влиза\n"
                                 "              без диалога за вход\n"
                                 "  --help      показва този текст\n"
                                 "  --version   показва името и версията на програмата\n"
                                 "\n"
                                 "Източниците на данни се четат от unixODBC (ODBCINI, ODBCSYSINI).\n";

} // namespace

int main(int argc, char** argv) {
    // Only as the first argument: the third one is a password, which may
    // well be "--help".
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::fputs("Tamsel " TAMSEL_VERSION "\n", stdout);
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(HelpText, stdout);
        return 0;
    }
    LoadLastUserDir();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // The desktop matches the windows to the installed desktop entry (and
    // its icon) by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(TAMSEL_APP_ID));
    {
        // The arguments are the program's alone: the toolkit gets its name
        // and nothing else, or a password such as "-reverse" would lay the
        // windows out right to left and "-platform x" would end the run.
        int toolkitArgc = 1;
        TApplication app(toolkitArgc, argv);
        CommandLineArguments = arguments;
        TDrovikForm mainForm;
        mainForm.show();
        app.exec();
    }
    SaveLastUserDir();
    return 0;
}
