// The program's entry: settings loaded, the application titled "Drovik", the
// main window created, the message loop, the settings written back.

#include "app/DrovikUnit.h"
#include "common/Application.h"
#include "common/ZorvUtilUnit.h"

int main(int argc, char** argv) {
    LoadLastUserDir();
    {
        TApplication app(argc, argv);
        CommandLineArguments = app.arguments().mid(1);
        TDrovikForm mainForm;
        mainForm.show();
        app.exec();
    }
    SaveLastUserDir();
    return 0;
}
