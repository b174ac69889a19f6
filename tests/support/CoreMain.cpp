#include "TestRegistry.h"

#include <QCoreApplication>
#include <QStandardPaths>

// The main of the engine's tests: QtCore alone, as the engine.
// Usage: test_x [ClassName [Qt Test arguments...]]
int main(int argc, char** argv) {
    // Per-user files of the tests stay out of the user's home.
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication app(argc, argv);
    return TestRegistry::Run();
}
