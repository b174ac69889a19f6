#include "TestRegistry.h"

#include <QCoreApplication>
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

int Run() {
    QStringList args = QCoreApplication::arguments();
    QString only;
    if (args.size() > 1 && !args[1].startsWith(QLatin1Char('-'))) only = args.takeAt(1);
    int failures = 0;
    bool ran = false;
    for (auto& [name, factory] : Classes()) {
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
} // namespace TestRegistry
