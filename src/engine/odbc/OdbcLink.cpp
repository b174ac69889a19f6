#include "OdbcLink.h"

#include "engine/Exception.h"
#include "engine/StatementWait.h"

#include <sqlext.h>

namespace {

const QString GivenUpText = QStringLiteral("The server did not answer within %1 seconds of the cancel: the "
                                           "connection is given up")
                                .arg(TOdbcWorker::GiveUpMs / 1000);

} // namespace

TOdbcLink::~TOdbcLink() {
    if (Connected) SQLDisconnect(Dbc.Get());
}

SQLRETURN TOdbcLink::Call(SQLSMALLINT type, SQLHANDLE handle, std::function<SQLRETURN()> call) {
    RefuseInsideStatementWait();
    Settle();
    if (Abandoned) throw EDatabaseError(GivenUpText, QStringLiteral("08S01"), 0, true);
    std::function<void()> cancel;
    if (type == SQL_HANDLE_STMT) cancel = [self = shared_from_this(), handle] { SQLCancel(handle); };
    // The call keeps the link, and so its handles, for as long as it runs.
    return Outcome(
        type, Worker.Run([self = shared_from_this(), call = std::move(call)] { return call(); }, cancel));
}

SQLRETURN TOdbcLink::Outcome(SQLSMALLINT type, const TOdbcWorker::TOutcome& outcome) {
    if (outcome.GivenUp) {
        Abandoned = true;
        ++Failures;
        if (type != SQL_HANDLE_STMT) throw EStatementCancelled();
        Lost = true;
        throw EDatabaseError(GivenUpText, QStringLiteral("08S01"), 0, true);
    }
    if (outcome.CancelAsked) {
        // Cancelled on the server, or done before the cancel arrived: the
        // user's action stops here either way.
        ++Failures;
        throw EStatementCancelled();
    }
    return outcome.Rc;
}

bool TOdbcLink::StartAhead(SQLHSTMT handle, std::function<SQLRETURN()> call) {
    // One statement at a time reads ahead; its answer waits to be taken.
    if (FAhead.Handle != SQL_NULL_HSTMT || Abandoned) return false;
    FAhead = TAhead{handle, true, {}};
    Worker.Start([self = shared_from_this(), call = std::move(call)] { return call(); });
    return true;
}

bool TOdbcLink::WaitAhead() {
    if (!FAhead.Running) return false;
    // Marked first: the wait lets the windows answer, and they may ask.
    FAhead.Running = false;
    FAhead.Outcome = Worker.Wait([self = shared_from_this(), handle = FAhead.Handle] { SQLCancel(handle); });
    // A fetch given up still runs: the link is done for, whoever waited.
    if (FAhead.Outcome.GivenUp) Abandoned = Lost = true;
    return true;
}

void TOdbcLink::Settle() {
    if (!WaitAhead()) return;
    // What the user asked to stop was what waited: it stops too. The
    // statement ahead learns its own outcome when it takes it.
    if (FAhead.Outcome.GivenUp) throw EDatabaseError(GivenUpText, QStringLiteral("08S01"), 0, true);
    if (FAhead.Outcome.CancelAsked) throw EStatementCancelled();
}

SQLRETURN TOdbcLink::TakeAhead(SQLHSTMT handle) {
    RefuseInsideStatementWait();
    if (!AheadOn(handle)) throw EDatabaseError(QStringLiteral("No fetch ahead on this statement"));
    WaitAhead();
    const TOdbcWorker::TOutcome outcome = FAhead.Outcome;
    FAhead = TAhead();
    return Outcome(SQL_HANDLE_STMT, outcome);
}

void TOdbcLink::DropAhead(SQLHSTMT handle) noexcept {
    WaitAhead();
    if (FAhead.Handle == handle) FAhead = TAhead();
}

void TOdbcLink::Check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, const char* what) {
    if (OdbcSucceeded(rc) || rc == SQL_NO_DATA) return;
    const TOdbcDiagnostics diag = TOdbcDiagnostics::Read(type, handle);
    if (diag.ConnectionLost || ConnectionDead()) Lost = true;
    ++Failures;
    diag.Raise(QStringLiteral("ODBC %1 failed").arg(QLatin1String(what)), Lost);
}

bool TOdbcLink::ConnectionDead() const {
    if (!Connected) return false;
    SQLUINTEGER dead = SQL_CD_FALSE;
    const SQLRETURN rc = SQLGetConnectAttr(Dbc.Get(), SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
    return OdbcSucceeded(rc) && dead == SQL_CD_TRUE;
}
