// The program's entry: settings loaded, the application titled "Drovik", the
// main window created, the message loop, the settings written back.

#include "app/DrovikUnit.h"
#include "common/Application.h"
#include "common/ZorvUtilUnit.h"

int main(int argc, char** argv) {
    LoadLastUserDir();
    // Read before the application object takes out what looks like its own
    // options ("-reverse", "-style"): a password may look like one.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    {
        TApplication app(argc, argv);
        CommandLineArguments = arguments;
        TDrovikForm mainForm;
        mainForm.show();
        app.exec();
    }
    SaveLastUserDir();
    return 0;
}
