#include "SqliteHandles.h"

#include "engine/Exception.h"
#include "engine/StatementWait.h"

void RaiseSqliteError(sqlite3* db) {
    // Interrupted only by the progress handler, for the user.
    if (sqlite3_errcode(db) == SQLITE_INTERRUPT) throw EStatementCancelled();
    throw EDatabaseError(QString::fromUtf8(sqlite3_errmsg(db)), QString(), sqlite3_extended_errcode(db),
                         false);
}

void RefuseNul(bool hasNul) {
    if (hasNul) throw EDatabaseError(QStringLiteral("The statement text contains a NUL character"));
}

TSqliteStatement PrepareSqlite(sqlite3* db, const QByteArray& sql, const char** tail) {
    RefuseInsideStatementWait();
    RefuseNul(sql.contains('\0'));
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &raw, tail) != SQLITE_OK) {
        sqlite3_finalize(raw);
        RaiseSqliteError(db);
    }
    return TSqliteStatement(raw);
}

bool StepSqlite(sqlite3* db, sqlite3_stmt* statement) {
    RefuseInsideStatementWait();
    const int rc = sqlite3_step(statement);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    RaiseSqliteError(db);
}
