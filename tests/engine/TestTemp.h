#pragma once

#include <QDir>
#include <QString>

// The folder the engine's tests make their files in.
inline QString TestTemp() {
    const QString base = qEnvironmentVariableIsEmpty("TAMSEL_TEST_TMP")
                             ? QDir::tempPath()
                             : qEnvironmentVariable("TAMSEL_TEST_TMP");
    QDir().mkpath(base);
    return base;
}
