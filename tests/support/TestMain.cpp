#include "TestRegistry.h"
#include "common/Application.h"
#include "common/ZorvUtilUnit.h"

#include <QDir>
#include <QStandardPaths>
#include <QTest>
#include <cstdio>

namespace TestRegistry {
std::map<QString, Factory>& Classes() {
    static std::map<QString, Factory> classes;
    return classes;
}
Registrar::Registrar(const char* name, Factory factory) {
    Classes()[QString::fromLatin1(name)] = std::move(factory);
}
} // namespace TestRegistry

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

    QStringList args = app.arguments();
    QString only;
    if (args.size() > 1 && !args[1].startsWith(QLatin1Char('-'))) only = args.takeAt(1);
    int failures = 0;
    bool ran = false;
    for (auto& [name, factory] : TestRegistry::Classes()) {
        if (!only.isEmpty() && name != only) continue;
        ran = true;
        auto object = factory();
        failures += QTest::qExec(object.get(), args);
    }
    if (!ran) {
        std::fprintf(stderr, "no test class named %s\n", qPrintable(only));
        return 2;
    }
    return failures == 0 ? 0 : 1;
}
