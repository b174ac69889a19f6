#pragma once

#include "engine/Driver.h"
#include "engine/Session.h"
#include "engine/TDatabase.h"

#include <QString>
#include <QVariantList>
#include <memory>

// The data source the test runs on (set by CTest): "TamselPg" on the
// loopback PostgreSQL server, "TamselLite" on an SQLite file.
QString TestDsn();
bool OnPostgres();

// A driver connection to the test data source with its test login.
std::unique_ptr<TDriverConnection>
OpenTestConnection(TTransIsolation isolation = TTransIsolation::tiDirtyRead);
std::unique_ptr<TDriverConnection>
OpenTestConnection(const QString& user, const QString& password,
                   TTransIsolation isolation = TTransIsolation::tiDirtyRead);

// The tests' own writing connection to a data source, with ODBC handles of
// its own: the engine's connections only read. Throws std::runtime_error
// with the driver's message when a statement fails.
class TOdbcWriter {
public:
    TOdbcWriter(); // the test data source with its test login
    TOdbcWriter(const QString& dsn, const QString& user, const QString& password);
    ~TOdbcWriter();
    TOdbcWriter(const TOdbcWriter&) = delete;
    TOdbcWriter& operator=(const TOdbcWriter&) = delete;

    void Execute(const QString& sql);

private:
    void* FEnv = nullptr;
    void* FDbc = nullptr;
};

// Drops (when there) and creates a table; columns is the text inside the
// parentheses.
void RecreateTable(TOdbcWriter& writer, const QString& quotedName, const QString& columns);
// Fills a table (id, grp, name) with ids 1..count, grp = id % 7, name "Ред <id>".
void FillNumbered(TOdbcWriter& writer, const QString& quotedName, int count);

QList<QVariantList> ReadAll(TCursor& cursor);

// Runs the test server's script (pause, resume); fails the test on error.
bool ServerScript(const QString& action);
