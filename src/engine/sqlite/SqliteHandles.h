#pragma once

// Owners of SQLite handles, and the one way SQLite failures are raised.

#include <QString>
#include <memory>
#include <sqlite3.h>

struct TSqliteCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct TSqliteFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
struct TSqliteValueFree {
    void operator()(sqlite3_value* value) const { sqlite3_value_free(value); }
};

using TSqliteDb = std::unique_ptr<sqlite3, TSqliteCloser>;
using TSqliteStatement = std::unique_ptr<sqlite3_stmt, TSqliteFinalizer>;
using TSqliteValue = std::unique_ptr<sqlite3_value, TSqliteValueFree>;

// Raises EDatabaseError with SQLite's message for the connection.
[[noreturn]] void RaiseSqliteError(sqlite3* db);

// SQLite reads a statement text only up to a NUL, so a text with one would
// run cut short, or never get past it; it is refused whole.
void RefuseNul(bool hasNul);

// The first statement of a text; none for a text without one (blank or only
// comments). The rest of the text, if wanted, goes to *tail.
TSqliteStatement PrepareSqlite(sqlite3* db, const QByteArray& sql, const char** tail = nullptr);

// sqlite3_step: true for a row, false when done; raises on failure.
bool StepSqlite(sqlite3* db, sqlite3_stmt* statement);
