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
    if (Abandoned) throw EDatabaseError(GivenUpText, QStringLiteral("08S01"), 0, true);
    std::function<void()> cancel;
    if (type == SQL_HANDLE_STMT) cancel = [self = shared_from_this(), handle] { SQLCancel(handle); };
    // The call keeps the link, and so its handles, for as long as it runs.
    const TOdbcWorker::TOutcome outcome =
        Worker.Run([self = shared_from_this(), call = std::move(call)] { return call(); }, cancel);
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
