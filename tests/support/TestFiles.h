#pragma once

// Files as the tests write and compare them.

#include "engine/Win1251.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <QtGlobal>

// The file's bytes, or "<missing>" when it cannot be read.
inline QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// Lines in Windows-1251, each ended by CR LF, as the program's text files hold them.
inline QByteArray Win1251Lines(const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += ToWin1251(line) + "\r\n";
    return bytes;
}
