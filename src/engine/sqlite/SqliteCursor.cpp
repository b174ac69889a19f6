#include "SqliteCursor.h"

#include "SqliteTypes.h"

#include <QDateTime>

TSqliteCursor::TSqliteCursor(sqlite3* db, TSqliteStatement statement, bool inferTypes)
    : FDb(db), FStatement(std::move(statement)), S(FStatement.get()) {
    if (!S) return;
    const int count = sqlite3_column_count(S);
    for (int i = 0; i < count; ++i) {
        const char* declared = sqlite3_column_decltype(S, i);
        FColumns << ColumnFromDeclaration(QString::fromUtf8(sqlite3_column_name(S, i)),
                                          declared ? QString::fromUtf8(declared) : QString());
        FDecode.push_back(SqliteDecodeOf(FColumns.last()));
    }
    if (!inferTypes) return;
    FPending = StepSqlite(FDb, S) ? 1 : 0;
    for (int i = 0; i < count && FPending == 1; ++i) {
        if (FDecode[size_t(i)] != TSqliteDecode::Dynamic) continue;
        switch (sqlite3_column_type(S, i)) {
        case SQLITE_INTEGER:
            FColumns[i].Type = TFieldType::ftLargeint;
            FColumns[i].Size = 0;
            break;
        case SQLITE_FLOAT:
            FColumns[i].Type = TFieldType::ftFloat;
            FColumns[i].Size = 0;
            break;
        case SQLITE_BLOB:
            FColumns[i].Type = TFieldType::ftBlob;
            FColumns[i].Size = 0;
            break;
        default:
            break;
        }
    }
}

bool TSqliteCursor::Next() {
    if (FDone) return false;
    bool row;
    if (FPending >= 0) {
        row = FPending == 1;
        FPending = -1;
    } else {
        row = S && StepSqlite(FDb, S);
    }
    FDone = !row;
    return row;
}

QVariant TSqliteCursor::Value(int column) const {
    const int type = sqlite3_column_type(S, column);
    if (type == SQLITE_NULL) return {};
    switch (FDecode[size_t(column)]) {
    case TSqliteDecode::Integer:
        if (type == SQLITE_INTEGER) return qlonglong(sqlite3_column_int64(S, column));
        break;
    case TSqliteDecode::Float:
        if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) return sqlite3_column_double(S, column);
        if (type == SQLITE_TEXT) {
            bool ok = false;
            const double value = Text(column).toDouble(&ok);
            if (ok) return value;
        }
        break;
    case TSqliteDecode::Decimal: {
        // SQLite keeps a fixed-point value as an INTEGER when it is whole,
        // else as a REAL of its first 15 digits (or the text it was given).
        TExactNumber number;
        if (ExactValue(column, number)) return DecimalVariant(number);
        if (type == SQLITE_TEXT) {
            if (const auto decimal = TDecimal::FromText(QByteArrayView(Bytes(column), Size(column))))
                return DecimalVariant(*decimal);
        }
        break;
    }
    case TSqliteDecode::Text:
        return Text(column);
    case TSqliteDecode::Date:
        if (type == SQLITE_TEXT) {
            const QDate date = ParseSqliteDate(Bytes(column), Size(column));
            if (date.isValid()) return date;
        }
        break;
    case TSqliteDecode::Time:
        if (type == SQLITE_TEXT) {
            const char* p = Bytes(column);
            int n = Size(column);
            // A date-time text in a time column: its time.
            if (n > 11 && ParseSqliteDate(p, n).isValid()) p += 11, n -= 11;
            const QTime time = ParseSqliteTime(p, n);
            if (time.isValid()) return time;
        }
        break;
    case TSqliteDecode::DateTime:
        if (type == SQLITE_TEXT) {
            const char* p = Bytes(column);
            const int n = Size(column);
            const QDate date = ParseSqliteDate(p, n);
            if (date.isValid() && n == 10) return QDateTime(date, QTime(0, 0), Qt::UTC);
            if (date.isValid() && (p[10] == ' ' || p[10] == 'T')) {
                const QTime time = ParseSqliteTime(p + 11, n - 11);
                if (time.isValid()) return QDateTime(date, time, Qt::UTC);
            }
        }
        break;
    case TSqliteDecode::Boolean:
        if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) return sqlite3_column_int64(S, column) != 0;
        if (type == SQLITE_TEXT) {
            const QString text = Text(column).trimmed().toLower();
            if (text == u"true" || text == u"1" || text == u"on" || text == u"yes") return true;
            if (text == u"false" || text == u"0" || text == u"off" || text == u"no") return false;
        }
        break;
    case TSqliteDecode::Blob:
        return QByteArray(static_cast<const char*>(sqlite3_column_blob(S, column)),
                          sqlite3_column_bytes(S, column));
    case TSqliteDecode::Dynamic:
        break;
    }
    // A value that its column's kind cannot hold comes as it is stored.
    switch (type) {
    case SQLITE_INTEGER:
        return qlonglong(sqlite3_column_int64(S, column));
    case SQLITE_FLOAT:
        return sqlite3_column_double(S, column);
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char*>(sqlite3_column_blob(S, column)),
                          sqlite3_column_bytes(S, column));
    default:
        return Text(column);
    }
}

bool TSqliteCursor::NullValue(int column, bool& null) const {
    null = sqlite3_column_type(S, column) == SQLITE_NULL;
    return true;
}

bool TSqliteCursor::FloatValue(int column, double& value) const {
    const int type = sqlite3_column_type(S, column);
    const TSqliteDecode decode = FDecode[size_t(column)];
    if (type == SQLITE_NULL) {
        value = 0;
        return true;
    }
    // As Value() decodes them: an integer column's integers, a float
    // column's integers and floats.
    if (((decode == TSqliteDecode::Float || decode == TSqliteDecode::Decimal) &&
         (type == SQLITE_INTEGER || type == SQLITE_FLOAT)) ||
        (decode == TSqliteDecode::Integer && type == SQLITE_INTEGER)) {
        value = sqlite3_column_double(S, column);
        return true;
    }
    return false;
}

bool TSqliteCursor::AppendText(int column, QString& out) const {
    if (FDecode[size_t(column)] != TSqliteDecode::Text) return false;
    if (sqlite3_column_type(S, column) == SQLITE_NULL) return true;
    const char* bytes = Bytes(column);
    const int size = Size(column);
    // Most texts are ASCII, which needs no decoding.
    unsigned char any = 0;
    for (int i = 0; i < size; ++i)
        any |= static_cast<unsigned char>(bytes[i]);
    if (any < 0x80)
        out.append(QLatin1StringView(bytes, size));
    else
        out.append(QString::fromUtf8(bytes, size));
    return true;
}

bool TSqliteCursor::ExactValue(int column, TExactNumber& value) const {
    const TSqliteDecode decode = FDecode[size_t(column)];
    if (decode != TSqliteDecode::Integer && decode != TSqliteDecode::Decimal) return false;
    value = TExactNumber();
    switch (sqlite3_column_type(S, column)) {
    case SQLITE_NULL:
        value.Null = true;
        return true;
    case SQLITE_INTEGER:
        value.Mantissa = sqlite3_column_int64(S, column);
        return true;
    case SQLITE_FLOAT:
        return decode == TSqliteDecode::Decimal &&
               ExactNumberFromDouble(sqlite3_column_double(S, column), value);
    case SQLITE_TEXT:
        return decode == TSqliteDecode::Decimal && ParseExactNumber(Bytes(column), Size(column), value);
    default:
        return false;
    }
}
