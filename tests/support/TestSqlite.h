#pragma once

// Database files made and changed by the tests with SQLite alone: the
// engine's connections only read.

#include <QFile>
#include <QStringList>
#include <QtGlobal>
#include <sqlite3.h>

// Runs the statements on the file (made when missing); a failing one ends
// the test run.
inline void ExecSqlite(const QString& path, const QStringList& statements) {
    sqlite3* db = nullptr;
    if (sqlite3_open(QFile::encodeName(path).constData(), &db) != SQLITE_OK)
        qFatal("cannot open %s", qPrintable(path));
    // A reader of the engine may hold the file for a moment.
    sqlite3_busy_timeout(db, 5000);
    for (const QString& statement : statements) {
        char* error = nullptr;
        if (sqlite3_exec(db, statement.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK)
            qFatal("%s: %s", qPrintable(statement), error);
    }
    sqlite3_close(db);
}
