#pragma once

#include <QDir>
#include <QString>

// The folder the tests make their files in, made when missing: TAMSEL_TEST_TMP
// (CTest points it into the build folder), else the system's temporary folder.
inline QString TestTemp() {
    const QString base = qEnvironmentVariableIsEmpty("TAMSEL_TEST_TMP")
                             ? QDir::tempPath()
                             : qEnvironmentVariable("TAMSEL_TEST_TMP");
    QDir().mkpath(base);
    return base;
}
