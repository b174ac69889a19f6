#pragma once

// What differs between the servers behind ODBC, one record per server kind,
// chosen once a connection tells the server's name.

#include "engine/Driver.h"

#include <QString>
#include <QStringList>
#include <QVariantList>

struct TOdbcDialect {
    QString Name; // as the server's own name (SQL_DBMS_NAME) contains it; empty for any other
    // A table select's text for rows from offset (0-based) on, at most limit
    // of them (-1: all the rest), where the server can skip rows; null where
    // the client passes them by itself.
    QString (*Window)(const QString& select, qint64 offset, qint64 limit) = nullptr;
    // The row key of every table where the server has one of its own; empty
    // where the catalogue names it (SQLSpecialColumns).
    TRowKey RowKey;
    // Statements run on every new connection.
    QStringList SessionStatements;
    // Told the server where the driver does not keep a connection read-only;
    // empty where no such setting is known.
    QString ReadOnlyStatement;
    // Undoes ReadOnlyStatement.
    QString ReadWriteStatement;
    // Whether an ascending order puts NULLs first, where the driver does not say.
    bool NullsFirst = true;
    // As TDriverConnection::CaselessPrefix; null where UPPER and LIKE serve.
    QString (*CaselessPrefix)(const QString& column, const QString& prefix, bool negated,
                              QVariantList& params) = nullptr;
    // Whether SUM of a whole or fixed-point column is exact at any size, so
    // that its digits are the column's true total.
    bool ExactSum = false;

    // The select's text for the window; clientSkip: the rows the client
    // passes by itself because the server cannot skip them.
    QString WindowText(const QString& select, qint64 offset, qint64 limit, qint64& clientSkip) const;
};

// The record of the server that calls itself dbmsName; the plain record of
// standard SQL for a server of no known kind.
const TOdbcDialect& OdbcDialect(const QString& dbmsName);
