#pragma once

// Test classes register themselves with TAMSEL_TEST(ClassName) at file scope
// (at the start of a line: CMake reads those lines to make one CTest test per
// class). The shared main runs the class named by its first argument, or all.

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
} // namespace TestRegistry

#define TAMSEL_TEST(Class)                                                                                   \
    static TestRegistry::Registrar Class##Registrar(#Class, [] { return std::make_unique<Class>(); })
