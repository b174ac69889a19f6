#pragma once

// The environment and the connection handle of one ODBC connection.

#include "OdbcHandles.h"
#include "OdbcWorker.h"

#include <functional>
#include <memory>
#include <vector>

struct TOdbcDialect;

// Statements and cursors share the link, so that they are freed before
// their connection whatever the order in which the engine lets go of them.
class TOdbcLink : public std::enable_shared_from_this<TOdbcLink> {
public:
    TOdbcLink() : Dbc(SQL_HANDLE_DBC, Env.Get()) {}
    ~TOdbcLink();
    TOdbcLink(const TOdbcLink&) = delete;
    TOdbcLink& operator=(const TOdbcLink&) = delete;

    // Raises with the handle's diagnostics when rc is a failure; notes a
    // lost connection so that the next open reconnects.
    void Check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, const char* what);
    bool ConnectionDead() const;
    // Runs a call that waits on the server on the link's worker while the
    // windows keep answering; handle is the statement that a cancel stops
    // (a connection handle: a connect, given up at once). Raises
    // EStatementCancelled after a cancel the user asked, and marks the link
    // lost when the server did not answer the cancel in time.
    SQLRETURN Call(SQLSMALLINT type, SQLHANDLE handle, std::function<SQLRETURN()> call);

    TOdbcEnvironment Env;
    TOdbcHandle Dbc;
    bool Connected = false;
    bool Lost = false;
    // A call was given up and may still run on the worker: nothing else
    // touches the link's handles, which stay with that call.
    bool Abandoned = false;
    // Failed calls so far. A failure can end the transaction that other open
    // results live in (psqlODBC then reports their end early), so cursors
    // opened before it re-read from their position.
    quint64 Failures = 0;
    const TOdbcDialect* Dialect = nullptr; // chosen once connected
    // What a given-up call may still write into, kept until it ends.
    std::vector<std::shared_ptr<void>> Kept;
    TOdbcWorker Worker;
};
