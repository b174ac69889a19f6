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

    // A walk's next block: the worker fetches it on the statement while the
    // windows' thread reads the block before it. Anything else on the link
    // first waits it out (Settle); its statement takes its answer with
    // TakeAhead, which raises as Call does. False: another statement reads
    // ahead, or the link is given up; nothing started.
    bool StartAhead(SQLHSTMT handle, std::function<SQLRETURN()> call);
    SQLRETURN TakeAhead(SQLHSTMT handle);
    void Settle();
    // Waits the fetch ahead out without raising, and forgets its answer
    // when it is of a statement that goes.
    void DropAhead(SQLHSTMT handle) noexcept;

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
    TOdbcWorker Worker;

private:
    struct TAhead {
        SQLHSTMT Handle = SQL_NULL_HSTMT; // none: no fetch ahead
        bool Running = false;
        TOdbcWorker::TOutcome Outcome;
    };
    SQLRETURN Outcome(SQLSMALLINT type, const TOdbcWorker::TOutcome& outcome);
    bool WaitAhead(); // whether there was one to wait for
    bool AheadOn(SQLHSTMT handle) const { return FAhead.Handle == handle && handle != SQL_NULL_HSTMT; }
    TAhead FAhead;
};
