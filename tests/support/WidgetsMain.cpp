#include "TestRegistry.h"
#include "common/Application.h"
#include "common/ZorvUtilUnit.h"

#include <QStandardPaths>
#include <cstdio>

// The main of the window layers' tests, with the program's application object.
// Usage: test_x [ClassName [Qt Test arguments...]]
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    // Settings and other per-user files of the tests stay out of the user's home.
    QStandardPaths::setTestModeEnabled(true);
    TApplication app(argc, argv);
    // A box that no test scripted must not block the run: it is reported and answered.
    SetMsgPresenter([](const QString& text, const QString& caption, int flags) {
        std::fprintf(stderr, "unscripted message box [%s] %s (flags %d)\n", qPrintable(caption),
                     qPrintable(text), flags);
        return QuietAnswer(flags);
    });
    return TestRegistry::Run();
}
