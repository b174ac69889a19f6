#pragma once

// Test classes register themselves with TAMSEL_TEST(ClassName) at file scope
// (at the start of a line: CMake reads those lines to make one CTest test per
// class). The test main runs the class named by its first argument, or all.

#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <memory>

namespace TestRegistry {
using Factory = std::function<std::unique_ptr<QObject>()>;
std::map<QString, Factory>& Classes();
struct Registrar {
    Registrar(const char* name, Factory factory);
};
// Runs the class named by the application's first argument, or every class
// when none is named; the rest of the arguments go to Qt Test.
int Run();
} // namespace TestRegistry

#define TAMSEL_TEST(Class)                                                                                   \
    static TestRegistry::Registrar Class##Registrar(#Class, [] { return std::make_unique<Class>(); })
