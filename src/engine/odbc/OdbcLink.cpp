#include "OdbcLink.h"

#include <sqlext.h>

TOdbcLink::~TOdbcLink() {
    if (Connected) SQLDisconnect(Dbc.Get());
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
