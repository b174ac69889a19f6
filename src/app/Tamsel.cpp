// The program's entry: settings loaded, the application titled "Drovik", the
// main window created, the message loop, the settings written back.

#include "app/DrovikUnit.h"
#include "common/Application.h"
#include "common/ZorvUtilUnit.h"

int main(int argc, char** argv) {
    LoadLastUserDir();
    int result = 0;
    {
        TApplication app(argc, argv);
        TDrovikForm mainForm;
        mainForm.show();
        result = app.exec();
    }
    SaveLastUserDir();
    (void)result;
    return 0;
}
