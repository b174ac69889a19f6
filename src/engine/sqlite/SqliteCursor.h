#pragma once

// The rows of one statement's result.

#include "SqliteHandles.h"
#include "SqliteValues.h"
#include "engine/Driver.h"

#include <vector>

class TSqliteCursor final : public TCursor {
public:
    // inferTypes: columns without a declared type take the kind of their
    // first row's value (the first row is read at once for that).
    TSqliteCursor(sqlite3* db, TSqliteStatement statement, bool inferTypes);
    const QList<TColumnInfo>& Columns() const override { return FColumns; }
    bool Next() override;
    QVariant Value(int column) const override;
    bool NullValue(int column, bool& null) const override;
    bool FloatValue(int column, double& value) const override;
    bool AppendText(int column, QString& out) const override;
    bool ExactValue(int column, TExactNumber& value) const override;

private:
    const char* Bytes(int column) const {
        return reinterpret_cast<const char*>(sqlite3_column_text(S, column));
    }
    int Size(int column) const { return sqlite3_column_bytes(S, column); }
    QString Text(int column) const {
        const char* bytes = Bytes(column);
        return QString::fromUtf8(bytes, Size(column));
    }

    sqlite3* FDb;
    TSqliteStatement FStatement;
    sqlite3_stmt* S;
    QList<TColumnInfo> FColumns;
    std::vector<TSqliteDecode> FDecode;
    int FPending = -1; // the first row read ahead: 1 a row, 0 none
    bool FDone = false;
};
