#pragma once

// The environment and the connection handle of one ODBC connection.

#include "OdbcHandles.h"

struct TOdbcDialect;

// Statements and cursors share the link, so that they are freed before
// their connection whatever the order in which the engine lets go of them.
class TOdbcLink {
public:
    TOdbcLink() : Dbc(SQL_HANDLE_DBC, Env.Get()) {}
    ~TOdbcLink();
    TOdbcLink(const TOdbcLink&) = delete;
    TOdbcLink& operator=(const TOdbcLink&) = delete;

    // Raises with the handle's diagnostics when rc is a failure; notes a
    // lost connection so that the next open reconnects.
    void Check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, const char* what);
    bool ConnectionDead() const;

    TOdbcEnvironment Env;
    TOdbcHandle Dbc;
    bool Connected = false;
    bool Lost = false;
    // Failed calls so far. A failure can end the transaction that other open
    // results live in (psqlODBC then reports their end early), so cursors
    // opened before it re-read from their position.
    quint64 Failures = 0;
    const TOdbcDialect* Dialect = nullptr; // chosen once connected
};
