#pragma once

#include "engine/Driver.h"
#include "engine/Session.h"
#include "engine/TDatabase.h"

#include <memory>

// The servers whose statement texts differ.
enum class TDbms { Other, PostgreSQL, SQLite, SqlAnywhere };

// A table select's text for rows from offset (0-based) on, at most limit of
// them (-1: all the rest); clientSkip: the rows the client passes by itself
// because the server cannot skip them.
QString OdbcWindowText(TDbms dbms, const QString& select, qint64 offset, qint64 limit, qint64& clientSkip);
// The row key of every table on a server that has one of its own; none where
// the catalogue must name it.
TRowKey OdbcServerRowKey(TDbms dbms);
// Statements run on every new connection to such a server.
QStringList OdbcSessionStatements(TDbms dbms);

// The connection string for a data source. For psqlODBC, which otherwise
// reads a whole result into memory before the first row, rows come from a
// server cursor in large blocks unless the data source says otherwise.
QString OdbcConnectString(const TAliasInfo& alias, const QString& userName, const QString& password);

// Connects to an ODBC data source through the driver manager.
std::unique_ptr<TDriverConnection> OpenOdbcConnection(const TAliasInfo& alias, const QString& userName,
                                                      const QString& password, TTransIsolation isolation);
