#include "OdbcHandles.h"

#include "OdbcText.h"
#include "engine/Exception.h"

#include <QStringList>
#include <QVarLengthArray>
#include <sqlext.h>

TOdbcDiagnostics TOdbcDiagnostics::Read(SQLSMALLINT type, SQLHANDLE handle) {
    TOdbcDiagnostics result;
    QStringList lines;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER nativeError = 0;
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(type, handle, record, state, &nativeError, nullptr, 0, &length);
        if (!OdbcSucceeded(rc)) break;
        QVarLengthArray<SQLWCHAR, 512> message(length + 1);
        rc = SQLGetDiagRecW(type, handle, record, state, &nativeError, message.data(),
                            SQLSMALLINT(message.size()), &length);
        if (!OdbcSucceeded(rc)) break;
        const QString sqlState = FromOdbcWide(state, 5);
        QString text = FromOdbcBuffer(message.data(), length, message.size()).trimmed();
        if (record == 1) {
            result.SqlState = sqlState;
            result.NativeCode = int(nativeError);
        }
        if (sqlState.startsWith(QLatin1String("08"))) result.ConnectionLost = true;
        // psqlODBC follows a message with an empty record of the same state.
        const QString line = QStringLiteral("%1 (SQLSTATE %2)").arg(text, sqlState);
        if ((!text.isEmpty() || lines.isEmpty()) && !lines.contains(line)) lines << line;
    }
    result.Text = lines.join(QLatin1Char('\n'));
    return result;
}

void TOdbcDiagnostics::Raise(const QString& fallback, bool connectionLost) const {
    throw EDatabaseError(Text.isEmpty() ? fallback : Text, SqlState, NativeCode, connectionLost);
}

TOdbcHandle::TOdbcHandle(SQLSMALLINT type, SQLHANDLE parent) : FType(type) {
    const SQLRETURN rc = SQLAllocHandle(type, parent, &FHandle);
    if (OdbcSucceeded(rc)) return;
    FHandle = SQL_NULL_HANDLE;
    TOdbcDiagnostics diag;
    if (parent != SQL_NULL_HANDLE)
        diag = TOdbcDiagnostics::Read(type == SQL_HANDLE_STMT ? SQL_HANDLE_DBC : SQL_HANDLE_ENV, parent);
    diag.Raise(QStringLiteral("Cannot allocate an ODBC handle"), diag.ConnectionLost);
}

TOdbcEnvironment::TOdbcEnvironment() : TOdbcHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE) {
    const SQLRETURN rc =
        SQLSetEnvAttr(Get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!OdbcSucceeded(rc)) TOdbcDiagnostics::Read(SQL_HANDLE_ENV, Get()).Raise(QString(), false);
}
