#include "SqliteDriver.h"

#include "SqliteConnection.h"
#include "engine/Exception.h"
#include "engine/StatementWait.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTime>
#include <QUrl>
#include <atomic>
#include <cstring>
#include <type_traits>

void RaiseSqliteError(sqlite3* db) {
    // Interrupted only by the progress handler, for the user.
    if (sqlite3_errcode(db) == SQLITE_INTERRUPT) throw EStatementCancelled();
    throw EDatabaseError(QString::fromUtf8(sqlite3_errmsg(db)), QString(), sqlite3_extended_errcode(db),
                         false);
}

namespace {

// SQLite reads a statement text only up to a NUL, so a text with one would
// run cut short, or never get past it; it is refused whole.
void RefuseNul(bool hasNul) {
    if (hasNul) throw EDatabaseError(QStringLiteral("The statement text contains a NUL character"));
}

} // namespace

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

// ---------------------------------------------------------------------------
// Declared types

namespace {

struct TTypeName {
    const char* Name;
    TFieldType Type;
};

// SQL Anywhere's names first, then the common names of other servers.
constexpr TTypeName TypeNames[] = {
    {"INTEGER", TFieldType::ftInteger},
    {"INT", TFieldType::ftInteger},
    {"MEDIUMINT", TFieldType::ftInteger},
    {"UNSIGNED INT", TFieldType::ftInteger},
    {"BIGINT", TFieldType::ftLargeint},
    {"UNSIGNED BIGINT", TFieldType::ftLargeint},
    {"INT8", TFieldType::ftLargeint},
    {"SMALLINT", TFieldType::ftSmallint},
    {"TINYINT", TFieldType::ftSmallint},
    {"INT2", TFieldType::ftSmallint},
    {"UNSIGNED SMALLINT", TFieldType::ftWord},
    {"FLOAT", TFieldType::ftFloat},
    {"DOUBLE", TFieldType::ftFloat},
    {"DOUBLE PRECISION", TFieldType::ftFloat},
    {"REAL", TFieldType::ftFloat},
    {"MONEY", TFieldType::ftCurrency},
    {"SMALLMONEY", TFieldType::ftCurrency},
    {"CURRENCY", TFieldType::ftCurrency},
    {"DECIMAL", TFieldType::ftBCD},
    {"NUMERIC", TFieldType::ftBCD},
    {"DEC", TFieldType::ftBCD},
    {"CHAR", TFieldType::ftString},
    {"CHARACTER", TFieldType::ftString},
    {"VARCHAR", TFieldType::ftString},
    {"CHARACTER VARYING", TFieldType::ftString},
    {"NCHAR", TFieldType::ftString},
    {"NVARCHAR", TFieldType::ftString},
    {"VARCHAR2", TFieldType::ftString},
    {"TEXT", TFieldType::ftString},
    {"STRING", TFieldType::ftString},
    {"LONG VARCHAR", TFieldType::ftMemo},
    {"LONG NVARCHAR", TFieldType::ftMemo},
    {"CLOB", TFieldType::ftMemo},
    {"NTEXT", TFieldType::ftMemo},
    {"MEMO", TFieldType::ftMemo},
    {"LONGTEXT", TFieldType::ftMemo},
    {"XML", TFieldType::ftMemo},
    {"BLOB", TFieldType::ftBlob},
    {"LONG BINARY", TFieldType::ftBlob},
    {"IMAGE", TFieldType::ftBlob},
    {"LONGBLOB", TFieldType::ftBlob},
    {"BINARY", TFieldType::ftBytes},
    {"VARBINARY", TFieldType::ftBytes},
    {"DATE", TFieldType::ftDate},
    {"TIME", TFieldType::ftTime},
    {"DATETIME", TFieldType::ftDateTime},
    {"TIMESTAMP", TFieldType::ftDateTime},
    {"SMALLDATETIME", TFieldType::ftDateTime},
    {"BIT", TFieldType::ftBoolean},
    {"BOOLEAN", TFieldType::ftBoolean},
    {"BOOL", TFieldType::ftBoolean},
};

// A text column whose length is not declared.
constexpr int DefaultTextSize = 255;

TFieldType TypeOfName(const QString& name) {
    for (const TTypeName& t : TypeNames)
        if (name == QLatin1String(t.Name)) return t.Type;
    // Other names as SQLite gives them their affinity.
    if (name.contains(u"INT")) return TFieldType::ftLargeint;
    if (name.contains(u"CHAR") || name.contains(u"CLOB") || name.contains(u"TEXT"))
        return TFieldType::ftString;
    if (name.contains(u"BLOB")) return TFieldType::ftBlob;
    return TFieldType::ftFloat;
}

} // namespace

TColumnInfo ColumnFromDeclaration(const QString& name, const QString& declaredType) {
    TColumnInfo column;
    column.Name = name;
    column.DeclaredType = declaredType;
    QString base = declaredType.simplified().toUpper();
    QList<int> sizes;
    const qsizetype open = base.indexOf(u'(');
    if (open >= 0) {
        const qsizetype close = base.indexOf(u')', open);
        for (const QString& part : base.mid(open + 1, close < 0 ? -1 : close - open - 1).split(u','))
            sizes << part.trimmed().toInt();
        base = base.left(open).trimmed();
    }
    if (base.isEmpty()) {
        // No declared type: any value; shown as text.
        column.Type = TFieldType::ftString;
        column.Size = DefaultTextSize;
        return column;
    }
    column.Type = TypeOfName(base);
    switch (column.Type) {
    case TFieldType::ftString:
    case TFieldType::ftBytes:
        column.Size = sizes.isEmpty() || sizes[0] <= 0 ? DefaultTextSize : sizes[0];
        break;
    case TFieldType::ftBCD:
        // SQL Anywhere's default is DECIMAL(30, 6).
        column.Precision = sizes.isEmpty() ? 30 : sizes[0];
        column.Scale = sizes.isEmpty() ? 6 : sizes.value(1, 0);
        column.Size = column.Scale;
        break;
    case TFieldType::ftCurrency:
        column.Precision = 19;
        column.Scale = 4;
        break;
    default:
        break;
    }
    return column;
}

// ---------------------------------------------------------------------------
// Cursor

namespace {

enum class TDecode { Dynamic, Integer, Float, Decimal, Text, Date, Time, DateTime, Boolean, Blob };

TDecode DecodeOf(const TColumnInfo& column) {
    if (column.DeclaredType.trimmed().isEmpty()) return TDecode::Dynamic;
    switch (column.Type) {
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftWord:
    case TFieldType::ftAutoInc:
    case TFieldType::ftLargeint:
        return TDecode::Integer;
    case TFieldType::ftFloat:
        return TDecode::Float;
    case TFieldType::ftCurrency:
    case TFieldType::ftBCD:
        return TDecode::Decimal;
    case TFieldType::ftDate:
        return TDecode::Date;
    case TFieldType::ftTime:
        return TDecode::Time;
    case TFieldType::ftDateTime:
        return TDecode::DateTime;
    case TFieldType::ftBoolean:
        return TDecode::Boolean;
    case TFieldType::ftBlob:
    case TFieldType::ftBytes:
        return TDecode::Blob;
    default:
        return TDecode::Text;
    }
}

int Digits(const char* p, int count) {
    int value = 0;
    for (int i = 0; i < count; ++i) {
        if (p[i] < '0' || p[i] > '9') return -1;
        value = value * 10 + (p[i] - '0');
    }
    return value;
}

// 'YYYY-MM-DD'
QDate ParseDate(const char* p, int n) {
    if (n < 10 || p[4] != '-' || p[7] != '-') return {};
    const int y = Digits(p, 4), m = Digits(p + 5, 2), d = Digits(p + 8, 2);
    if (y < 0 || m < 0 || d < 0) return {};
    return QDate(y, m, d);
}

// 'HH:MM[:SS[.fff...]]', the whole text
QTime ParseTime(const char* p, int n) {
    if (n < 5 || p[2] != ':') return {};
    const int h = Digits(p, 2), m = Digits(p + 3, 2);
    int s = 0, ms = 0;
    if (n > 5) {
        if (n < 8 || p[5] != ':' || (s = Digits(p + 6, 2)) < 0) return {};
        if (n > 8) {
            if (p[8] != '.' || n == 9) return {};
            for (int i = 9, scale = 100; i < n; ++i, scale /= 10) {
                const int digit = Digits(p + i, 1);
                if (digit < 0) return {};
                ms += digit * scale;
            }
        }
    }
    if (h < 0 || m < 0) return {};
    return QTime(h, m, s, ms);
}

class TSqliteCursor final : public TCursor {
public:
    // inferTypes: columns without a declared type take the kind of their
    // first row's value (the first row is read at once for that).
    TSqliteCursor(sqlite3* db, TSqliteStatement statement, bool inferTypes)
        : FDb(db), FStatement(std::move(statement)), S(FStatement.get()) {
        if (!S) return;
        const int count = sqlite3_column_count(S);
        for (int i = 0; i < count; ++i) {
            const char* declared = sqlite3_column_decltype(S, i);
            FColumns << ColumnFromDeclaration(QString::fromUtf8(sqlite3_column_name(S, i)),
                                              declared ? QString::fromUtf8(declared) : QString());
            FDecode.push_back(DecodeOf(FColumns.last()));
        }
        if (!inferTypes) return;
        FPending = StepSqlite(FDb, S) ? 1 : 0;
        for (int i = 0; i < count && FPending == 1; ++i) {
            if (FDecode[size_t(i)] != TDecode::Dynamic) continue;
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

    const QList<TColumnInfo>& Columns() const override { return FColumns; }

    bool Next() override {
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

    QVariant Value(int column) const override {
        const int type = sqlite3_column_type(S, column);
        if (type == SQLITE_NULL) return {};
        switch (FDecode[size_t(column)]) {
        case TDecode::Integer:
            if (type == SQLITE_INTEGER) return qlonglong(sqlite3_column_int64(S, column));
            break;
        case TDecode::Float:
            if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) return sqlite3_column_double(S, column);
            if (type == SQLITE_TEXT) {
                bool ok = false;
                const double value = Text(column).toDouble(&ok);
                if (ok) return value;
            }
            break;
        case TDecode::Decimal: {
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
        case TDecode::Text:
            return Text(column);
        case TDecode::Date:
            if (type == SQLITE_TEXT) {
                const QDate date = ParseDate(Bytes(column), Size(column));
                if (date.isValid()) return date;
            }
            break;
        case TDecode::Time:
            if (type == SQLITE_TEXT) {
                const char* p = Bytes(column);
                int n = Size(column);
                // A date-time text in a time column: its time.
                if (n > 11 && ParseDate(p, n).isValid()) p += 11, n -= 11;
                const QTime time = ParseTime(p, n);
                if (time.isValid()) return time;
            }
            break;
        case TDecode::DateTime:
            if (type == SQLITE_TEXT) {
                const char* p = Bytes(column);
                const int n = Size(column);
                const QDate date = ParseDate(p, n);
                if (date.isValid() && n == 10) return QDateTime(date, QTime(0, 0), Qt::UTC);
                if (date.isValid() && (p[10] == ' ' || p[10] == 'T')) {
                    const QTime time = ParseTime(p + 11, n - 11);
                    if (time.isValid()) return QDateTime(date, time, Qt::UTC);
                }
            }
            break;
        case TDecode::Boolean:
            if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) return sqlite3_column_int64(S, column) != 0;
            if (type == SQLITE_TEXT) {
                const QString text = Text(column).trimmed().toLower();
                if (text == u"true" || text == u"1" || text == u"on" || text == u"yes") return true;
                if (text == u"false" || text == u"0" || text == u"off" || text == u"no") return false;
            }
            break;
        case TDecode::Blob:
            return QByteArray(static_cast<const char*>(sqlite3_column_blob(S, column)),
                              sqlite3_column_bytes(S, column));
        case TDecode::Dynamic:
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

    bool NullValue(int column, bool& null) const override {
        null = sqlite3_column_type(S, column) == SQLITE_NULL;
        return true;
    }
    bool FloatValue(int column, double& value) const override {
        const int type = sqlite3_column_type(S, column);
        const TDecode decode = FDecode[size_t(column)];
        if (type == SQLITE_NULL) {
            value = 0;
            return true;
        }
        // As Value() decodes them: an integer column's integers, a float
        // column's integers and floats.
        if (((decode == TDecode::Float || decode == TDecode::Decimal) &&
             (type == SQLITE_INTEGER || type == SQLITE_FLOAT)) ||
            (decode == TDecode::Integer && type == SQLITE_INTEGER)) {
            value = sqlite3_column_double(S, column);
            return true;
        }
        return false;
    }

    bool AppendText(int column, QString& out) const override {
        if (FDecode[size_t(column)] != TDecode::Text) return false;
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
    bool ExactValue(int column, TExactNumber& value) const override {
        const TDecode decode = FDecode[size_t(column)];
        if (decode != TDecode::Integer && decode != TDecode::Decimal) return false;
        value = TExactNumber();
        switch (sqlite3_column_type(S, column)) {
        case SQLITE_NULL:
            value.Null = true;
            return true;
        case SQLITE_INTEGER:
            value.Mantissa = sqlite3_column_int64(S, column);
            return true;
        case SQLITE_FLOAT:
            return decode == TDecode::Decimal &&
                   ExactNumberFromDouble(sqlite3_column_double(S, column), value);
        case SQLITE_TEXT:
            return decode == TDecode::Decimal && ParseExactNumber(Bytes(column), Size(column), value);
        default:
            return false;
        }
    }

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
    std::vector<TDecode> FDecode;
    int FPending = -1; // the first row read ahead: 1 a row, 0 none
    bool FDone = false;
};

void Bind(sqlite3* db, sqlite3_stmt* statement, const QVariantList& params) {
    for (int i = 0; i < params.size(); ++i) {
        const QVariant& v = params[i];
        const int index = i + 1;
        int rc;
        const auto text = [&](const QString& value) {
            const QByteArray utf8 = value.toUtf8();
            return sqlite3_bind_text(statement, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        };
        if (v.isNull()) {
            rc = sqlite3_bind_null(statement, index);
            if (rc != SQLITE_OK) RaiseSqliteError(db);
            continue;
        }
        // Dates and times are stored as ISO texts.
        const auto timeText = [](const QTime& t) {
            return t.toString(t.msec() ? QStringLiteral("HH:mm:ss.zzz") : QStringLiteral("HH:mm:ss"));
        };
        switch (v.typeId()) {
        case QMetaType::Bool:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            rc = sqlite3_bind_int64(statement, index, v.toLongLong());
            break;
        case QMetaType::Float:
        case QMetaType::Double:
            rc = sqlite3_bind_double(statement, index, v.toDouble());
            break;
        case QMetaType::QDate:
            rc = text(v.toDate().toString(Qt::ISODate));
            break;
        case QMetaType::QTime:
            rc = text(timeText(v.toTime()));
            break;
        case QMetaType::QDateTime: {
            const QDateTime dt = v.toDateTime();
            rc = text(dt.date().toString(Qt::ISODate) + u' ' + timeText(dt.time()));
            break;
        }
        case QMetaType::QByteArray: {
            const QByteArray bytes = v.toByteArray();
            rc = sqlite3_bind_blob(statement, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
            break;
        }
        default:
            // A decimal goes as its digits: a numeric column reads them back
            // as the number they are.
            rc = text(IsDecimal(v) ? v.value<TDecimal>().ToString() : v.toString());
            break;
        }
        if (rc != SQLITE_OK) RaiseSqliteError(db);
    }
}

// The catalogue of a SQL Anywhere server, over SQLite's own. SQLite's
// internal tables (sqlite_schema, sqlite_stat1, ...) are no objects of such a
// server and stay out; the view that stands for its catalogue is one.
const char* const CatalogueView = R"(
CREATE TEMP VIEW systable (table_name, table_type, creator) AS
  SELECT name, CASE type WHEN 'view' THEN 'VIEW' ELSE 'BASE' END, 1
    FROM main.sqlite_schema WHERE type IN ('table', 'view') AND name NOT LIKE 'sqlite\_%' ESCAPE '\'
  UNION ALL SELECT 'systable', 'VIEW', 0
)";

std::atomic<int> ConnectionCount{0};

// Every this many virtual machine steps (some tens of microseconds) a running
// statement lets the windows answer; non-zero interrupts it.
constexpr int ProgressSteps = 1000;

int Progress(void*) {
    return PollStatementWait() ? 1 : 0;
}

void Run(sqlite3* db, const char* sql) {
    const TSqliteStatement statement = PrepareSqlite(db, QByteArray(sql));
    while (statement && StepSqlite(db, statement.get())) {
    }
}

bool IsOn(const QString& value) {
    static const QStringList on = {"on", "yes", "1", "true"};
    return on.contains(value.trimmed().toLower());
}

QString Unquoted(const QString& name) {
    if (name.size() >= 2 && name.startsWith(u'"') && name.endsWith(u'"'))
        return name.mid(1, name.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return name;
}

// exact_sum(value, fixed point): the values as the cursor reads them exactly
// (a fixed-point column's REALs by their first 15 digits, its texts by their
// digits), added up exactly; NULL for a value it cannot read so or a sum
// past what stays exact.
struct TExactSumState {
    TExactSum Sum;
    bool Inexact = false;
};
static_assert(std::is_trivially_copyable_v<TExactSumState>);

// SQLite's aggregate memory, zeroed at first, is aligned for 8 bytes only;
// the state, with its 128-bit sum, is copied out of it and back.
TExactSumState LoadExactSum(const void* bytes) {
    TExactSumState state;
    std::memcpy(static_cast<void*>(&state), bytes, sizeof state);
    return state;
}

void ExactSumStep(sqlite3_context* context, int, sqlite3_value** argv) {
    void* bytes = sqlite3_aggregate_context(context, sizeof(TExactSumState));
    if (!bytes) return sqlite3_result_error_nomem(context);
    TExactSumState state = LoadExactSum(bytes);
    if (state.Inexact) return;
    sqlite3_value* value = argv[0];
    const bool fixedPoint = sqlite3_value_int(argv[1]) != 0;
    TExactNumber number;
    bool exact = false;
    switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
        return;
    case SQLITE_INTEGER:
        number.Mantissa = sqlite3_value_int64(value);
        exact = true;
        break;
    case SQLITE_FLOAT:
        exact = fixedPoint && ExactNumberFromDouble(sqlite3_value_double(value), number);
        break;
    case SQLITE_TEXT:
        exact = fixedPoint && ParseExactNumber(reinterpret_cast<const char*>(sqlite3_value_text(value)),
                                               sqlite3_value_bytes(value), number);
        break;
    default:
        break;
    }
    state.Inexact = !exact || !state.Sum.Add(number);
    std::memcpy(bytes, static_cast<const void*>(&state), sizeof state);
}

void ExactSumFinal(sqlite3_context* context) {
    const void* bytes = sqlite3_aggregate_context(context, 0);
    const TExactSumState state = bytes ? LoadExactSum(bytes) : TExactSumState();
    if (state.Inexact) return sqlite3_result_null(context);
    const QByteArray text = state.Sum.Value().Text();
    sqlite3_result_text(context, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

} // namespace

// ---------------------------------------------------------------------------
// Connection

namespace {

// While the connection only reads, a pragma given a value is a setting and
// is refused, so that no statement undoes query_only or changes the file
// where query_only lets it (the journal mode); those whose value names an
// object to read about stay open.
int Authorize(void* writable, int action, const char* name, const char* value, const char*, const char*) {
    if (action != SQLITE_PRAGMA || !value || *static_cast<const bool*>(writable)) return SQLITE_OK;
    for (const char* reading :
         {"table_info", "table_xinfo", "index_info", "index_xinfo", "index_list", "foreign_key_list"})
        if (sqlite3_stricmp(name, reading) == 0) return SQLITE_OK;
    return SQLITE_DENY;
}

// Bytes 18 and 19 of the header: 2 and 2 in write-ahead-log mode.
bool InWalMode(const QString& file) {
    QFile header(file);
    return header.open(QIODevice::ReadOnly) && header.read(20).mid(18) == QByteArrayLiteral("\x02\x02");
}

// A write-ahead-log database needs its shared-memory index beside it, which
// a user who may not write the folder cannot make while no other program
// has the file open: SQLite then reads the file as it stands.
QByteArray ImmutableUri(const QString& file) {
    return QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()).toEncoded() + "?immutable=1";
}

} // namespace

TSqliteConnection::TSqliteConnection(const QString& file) {
    if (file.isEmpty())
        throw EDatabaseError(QStringLiteral("%1: ").arg(QString::fromUtf8(sqlite3_errstr(SQLITE_CANTOPEN))),
                             QString(), SQLITE_CANTOPEN, false);
    // Read-write, so that the post-connect preparation's data script may
    // write; query_only refuses every write but while it runs. A file this
    // user may only read opens read-only. Never created.
    try {
        Open(file, file.toUtf8(), SQLITE_OPEN_READWRITE);
    } catch (const EDatabaseError& error) {
        const int code = error.NativeCode() & 0xff;
        if ((code != SQLITE_READONLY && code != SQLITE_CANTOPEN) || !InWalMode(file)) throw;
        Open(file, ImmutableUri(file), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
        qWarning("%s: a write-ahead-log database in a folder this user may not write; it is read as it "
                 "stands, without the changes that other programs make while it is open",
                 qUtf8Printable(file));
    }
    Run(FDb.get(), CatalogueView);
    RegisterSqlAnywhereFunctions(*this);
    if (sqlite3_create_function_v2(FDb.get(), "exact_sum", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                   nullptr, ExactSumStep, ExactSumFinal, nullptr) != SQLITE_OK)
        RaiseSqliteError(FDb.get());
    sqlite3_set_authorizer(FDb.get(), Authorize, &FWritable);
    SetWritable(false);
    FNumber = ++ConnectionCount;
}

void TSqliteConnection::Open(const QString& file, const QByteArray& name, int flags) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(name.constData(), &raw, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    FDb.reset(raw);
    if (rc != SQLITE_OK)
        throw EDatabaseError(QStringLiteral("%1: %2").arg(
                                 QString::fromUtf8(raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)), file),
                             QString(), raw ? sqlite3_extended_errcode(raw) : rc, false);
    sqlite3_busy_timeout(raw, 5000);
    sqlite3_progress_handler(raw, ProgressSteps, Progress, nullptr);
    // No other file is attached, nor written by VACUUM INTO (which attaches
    // its target).
    sqlite3_limit(raw, SQLITE_LIMIT_ATTACHED, 0);
    // "..." names a column or table, never a text: a misspelt name fails.
    sqlite3_db_config(raw, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(raw, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    // Closing leaves the write-ahead log to the programs that write.
    sqlite3_db_config(raw, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    // Walks read the file through the system's page cache, not copies; the
    // window is capped so that a walk over a large file keeps a small
    // resident set (mapped pages count as the process's own).
    Run(raw, "PRAGMA mmap_size = 67108864");
    Run(raw, "SELECT count(*) FROM main.sqlite_schema"); // is it a database at all
}

void TSqliteConnection::SetWritable(bool writable) {
    FWritable = true; // the setting itself is one
    Run(FDb.get(), writable ? "PRAGMA query_only = OFF" : "PRAGMA query_only = ON");
    FWritable = writable;
}

QStringList TSqliteConnection::TableNames() {
    const TSqliteStatement statement = PrepareSqlite(
        FDb.get(),
        QByteArrayLiteral(
            "SELECT name FROM (SELECT name FROM main.sqlite_schema WHERE type IN ('table', 'view') "
            "UNION SELECT name FROM temp.sqlite_schema WHERE type IN ('table', 'view')) "
            "WHERE name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY 1 COLLATE NOCASE"));
    QStringList names;
    while (StepSqlite(FDb.get(), statement.get()))
        names << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0)));
    return names;
}

QString TSqliteConnection::QuoteIdentifier(const QString& name) const {
    return u'"' + QString(name).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

QList<TColumnInfo> TSqliteConnection::TableColumns(const QString& table) {
    const TSqliteStatement statement =
        PrepareSqlite(FDb.get(), QByteArrayLiteral("SELECT name, type FROM pragma_table_info(?1)"));
    Bind(FDb.get(), statement.get(), {table});
    QList<TColumnInfo> columns;
    while (StepSqlite(FDb.get(), statement.get())) {
        const auto text = [&](int i) {
            return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), i)));
        };
        columns << ColumnFromDeclaration(text(0), text(1));
    }
    if (columns.isEmpty()) throw EDatabaseError(QStringLiteral("no such table: %1").arg(table));
    return columns;
}

bool TSqliteConnection::HasRowid(const QString& table) {
    const auto known = FRowid.constFind(table);
    if (known != FRowid.cend()) return *known;
    // Fails for views and tables without rowid.
    const bool has =
        sqlite3_table_column_metadata(FDb.get(), nullptr, Unquoted(table).toUtf8().constData(), "rowid",
                                      nullptr, nullptr, nullptr, nullptr, nullptr) == SQLITE_OK;
    FRowid.insert(table, has);
    return has;
}

QString TSqliteConnection::SelectText(const TSelectSpec& spec, const QString& what) const {
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(what, spec.Table);
    if (!spec.Where.trimmed().isEmpty()) sql += QStringLiteral(" WHERE ") + spec.Where;
    return sql;
}

std::unique_ptr<TCursor> TSqliteConnection::Select(const TSelectSpec& spec, qint64 offset) {
    QString sql = SelectText(spec, spec.SelectList());
    // Rowid last: equal keys keep one order, whatever block is read.
    QStringList order = spec.OrderBy;
    if (HasRowid(spec.Table)) order << QStringLiteral("rowid");
    if (spec.Descending)
        for (QString& column : order)
            column += QStringLiteral(" DESC");
    if (!order.isEmpty()) sql += QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
    // A limit lets SQLite keep only the first rows of a sort.
    sql += QStringLiteral(" LIMIT %1 OFFSET %2")
               .arg(spec.Limit < 0 ? -1 : spec.Limit)
               .arg(qMax<qint64>(offset, 0));
    TSqliteStatement statement = PrepareSqlite(FDb.get(), sql.toUtf8());
    Bind(FDb.get(), statement.get(), spec.Params);
    return std::make_unique<TSqliteCursor>(FDb.get(), std::move(statement), false);
}

qint64 TSqliteConnection::Count(const TSelectSpec& spec) {
    const TSqliteStatement statement =
        PrepareSqlite(FDb.get(), SelectText(spec, QStringLiteral("count(*)")).toUtf8());
    Bind(FDb.get(), statement.get(), spec.Params);
    return StepSqlite(FDb.get(), statement.get()) ? sqlite3_column_int64(statement.get(), 0) : 0;
}

bool TSqliteConnection::Totals(const TSelectSpec& spec, const TColumnInfo& column, TColumnTotals& totals) {
    const TDecode decode = DecodeOf(column);
    if (decode != TDecode::Integer && decode != TDecode::Decimal) return false;
    const QString what = QStringLiteral("count(*), count(%1), exact_sum(%1, %2)")
                             .arg(QuoteIdentifier(column.Name))
                             .arg(decode == TDecode::Decimal ? 1 : 0);
    const TSqliteStatement statement = PrepareSqlite(FDb.get(), SelectText(spec, what).toUtf8());
    Bind(FDb.get(), statement.get(), spec.Params);
    sqlite3_stmt* s = statement.get();
    if (!StepSqlite(FDb.get(), s) || sqlite3_column_type(s, 2) == SQLITE_NULL) return false;
    const auto sum = TDecimal::FromText(
        QByteArrayView(reinterpret_cast<const char*>(sqlite3_column_text(s, 2)), sqlite3_column_bytes(s, 2)));
    if (!sum) return false;
    totals.Rows = sqlite3_column_int64(s, 0);
    totals.Nulls = totals.Rows - sqlite3_column_int64(s, 1);
    totals.Sum = *sum;
    return true;
}

// NULLs come first ascending and last descending, so a descending order is
// the ascending one backwards once the rowid breaks every tie.
bool TSqliteConnection::Reversible(const TSelectSpec& spec) {
    return HasRowid(spec.Table);
}

TRowKey TSqliteConnection::RowKeyOf(const TSelectSpec& spec) {
    if (!HasRowid(spec.Table)) return {};
    return {{QStringLiteral("rowid")}, {QStringLiteral("?")}};
}

TDialectStatement TSqliteConnection::Translate(const QString& sql) const {
    RefuseNul(sql.contains(QChar(0)));
    return TranslateStatement(sql, [this](const QString& name) { return FindVariable(name) != nullptr; });
}

QString TSqliteConnection::TranslateQuery(const QString& sql) const {
    const TDialectStatement statement = Translate(sql);
    if (statement.Kind != TDialectStatement::TKind::Sql)
        throw EDatabaseError(QStringLiteral("Not a query: %1").arg(sql));
    return statement.Sql;
}

std::unique_ptr<TCursor> TSqliteConnection::Query(const QString& sql) {
    const TDialectStatement statement = Translate(sql);
    if (statement.Kind != TDialectStatement::TKind::Sql) {
        Carry(statement);
        return std::make_unique<TSqliteCursor>(FDb.get(), nullptr, false);
    }
    return std::make_unique<TSqliteCursor>(FDb.get(), PrepareSqlite(FDb.get(), statement.Sql.toUtf8()), true);
}

void TSqliteConnection::Execute(const QString& sql) {
    const TDialectStatement statement = Translate(sql);
    if (statement.Kind != TDialectStatement::TKind::Sql) {
        Carry(statement);
        return;
    }
    // Every statement of the text, in turn.
    QByteArray rest = statement.Sql.toUtf8();
    while (!rest.isEmpty()) {
        const char* tail = nullptr;
        const TSqliteStatement one = PrepareSqlite(FDb.get(), rest, &tail);
        while (one && StepSqlite(FDb.get(), one.get())) {
        }
        rest = rest.mid(tail ? tail - rest.constData() : rest.size());
    }
}

const TSqliteConnection::TVariable* TSqliteConnection::FindVariable(const QString& name) const {
    auto found = FVariables.find(name.toLower());
    if (found == FVariables.end() && name.startsWith(u'@')) found = FVariables.find(name.mid(1).toLower());
    return found == FVariables.end() ? nullptr : &found->second;
}

void TSqliteConnection::Carry(const TDialectStatement& statement) {
    using TKind = TDialectStatement::TKind;
    switch (statement.Kind) {
    case TKind::CreateVariable: {
        if (FindVariable(statement.Name))
            throw EDatabaseError(QStringLiteral("Variable '%1' already exists").arg(statement.Name));
        // The type must be one that values can be cast to.
        PrepareSqlite(FDb.get(), QStringLiteral("SELECT CAST(NULL AS %1)").arg(statement.TypeName).toUtf8());
        FVariables[statement.Name.toLower()] = TVariable{statement.Name, statement.TypeName, nullptr};
        break;
    }
    case TKind::DropVariable: {
        const TVariable* variable = FindVariable(statement.Name);
        if (!variable && !statement.IfExists)
            throw EDatabaseError(QStringLiteral("Variable '%1' not found").arg(statement.Name));
        if (variable) FVariables.erase(variable->Name.toLower());
        break;
    }
    case TKind::SetVariable:
        SetVariable(statement);
        break;
    case TKind::SetOption:
        FOptions.insert(statement.Name.toLower(), statement.Value);
        break;
    case TKind::Unload:
        Unload(statement);
        break;
    case TKind::Sql:
        break;
    }
}

void TSqliteConnection::SetVariable(const TDialectStatement& statement) {
    auto* variable = const_cast<TVariable*>(FindVariable(statement.Name));
    if (!variable) throw EDatabaseError(QStringLiteral("Variable '%1' not found").arg(statement.Name));
    const TSqliteStatement query = PrepareSqlite(
        FDb.get(), QStringLiteral("SELECT CAST((%1) AS %2)").arg(statement.Sql, variable->Type).toUtf8());
    TSqliteValue value;
    if (StepSqlite(FDb.get(), query.get())) {
        value.reset(sqlite3_value_dup(sqlite3_column_value(query.get(), 0)));
        if (!value) throw EDatabaseError(QStringLiteral("out of memory"));
    }
    variable->Value = std::move(value);
}

void TSqliteConnection::Unload(const TDialectStatement& statement) {
    if (!IsOn(FOptions.value(QStringLiteral("allow_write_client_file"))))
        throw EDatabaseError(QStringLiteral("Writing the client file '%1' is not allowed: the option "
                                            "allow_write_client_file is not 'On'")
                                 .arg(statement.File));
    const TSqliteStatement query = PrepareSqlite(FDb.get(), statement.Sql.toUtf8());
    if (!query) throw EDatabaseError(QStringLiteral("Syntax error near 'unload'"));
    UnloadToFile(FDb.get(), query.get(), statement);
}

std::unique_ptr<TDriverConnection> OpenSqliteConnection(const QString& file) {
    return std::make_unique<TSqliteConnection>(file);
}
