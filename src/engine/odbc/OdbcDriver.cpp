#include "OdbcDriver.h"

#include "engine/Exception.h"
#include "engine/OdbcDataSources.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QTime>
#include <QVarLengthArray>
#include <algorithm>
#include <clocale>
#include <cstring>
#include <langinfo.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>
#include <vector>

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager must use UTF-16 wide characters");

namespace {

const SQLWCHAR* Wide(const QString& text) {
    return reinterpret_cast<const SQLWCHAR*>(text.utf16());
}

QString FromWide(const SQLWCHAR* text, qsizetype length) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), length);
}

// A name or message the driver wrote into a buffer of room characters. The
// length it reports is not to be trusted (the driver manager gives a narrow
// driver's byte count), the terminating zero is.
QString FromWideBuffer(const SQLWCHAR* text, qsizetype reported, qsizetype room) {
    const qsizetype limit = std::clamp<qsizetype>(reported, 0, room - 1);
    qsizetype length = 0;
    while (length < limit && text[length] != 0)
        ++length;
    return FromWide(text, length);
}

bool Succeeded(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

// One ODBC handle, freed with its owner.
class THandle {
public:
    THandle(SQLSMALLINT type, SQLHANDLE parent);
    ~THandle() {
        if (FHandle != SQL_NULL_HANDLE) SQLFreeHandle(FType, FHandle);
    }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;

    SQLHANDLE Get() const { return FHandle; }
    SQLSMALLINT Type() const { return FType; }

private:
    SQLSMALLINT FType;
    SQLHANDLE FHandle = SQL_NULL_HANDLE;
};

// The diagnostic records of a handle, each read once.
struct TDiagnostics {
    QString Text;
    QString SqlState;            // of the first record
    int NativeCode = 0;          // of the first record
    bool ConnectionLost = false; // SQLSTATE class 08
};

TDiagnostics ReadDiagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    TDiagnostics result;
    QStringList lines;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER nativeError = 0;
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(type, handle, record, state, &nativeError, nullptr, 0, &length);
        if (!Succeeded(rc)) break;
        QVarLengthArray<SQLWCHAR, 512> message(length + 1);
        rc = SQLGetDiagRecW(type, handle, record, state, &nativeError, message.data(),
                            SQLSMALLINT(message.size()), &length);
        if (!Succeeded(rc)) break;
        const QString sqlState = FromWide(state, 5);
        QString text = FromWideBuffer(message.data(), length, message.size()).trimmed();
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

THandle::THandle(SQLSMALLINT type, SQLHANDLE parent) : FType(type) {
    const SQLRETURN rc = SQLAllocHandle(type, parent, &FHandle);
    if (Succeeded(rc)) return;
    FHandle = SQL_NULL_HANDLE;
    TDiagnostics diag;
    if (parent != SQL_NULL_HANDLE)
        diag = ReadDiagnostics(type == SQL_HANDLE_STMT ? SQL_HANDLE_DBC : SQL_HANDLE_ENV, parent);
    throw EDatabaseError(diag.Text.isEmpty() ? QStringLiteral("Cannot allocate an ODBC handle") : diag.Text,
                         diag.SqlState, diag.NativeCode, diag.ConnectionLost);
}

// The environment and the connection handle. Cursors share it, so that
// statements are freed before their connection whatever the order in which
// the engine lets go of them.
class TOdbcLink {
public:
    TOdbcLink() : Env(SQL_HANDLE_ENV, SQL_NULL_HANDLE), Dbc(SQL_HANDLE_DBC, InitEnv(Env)) {}
    ~TOdbcLink() {
        if (Connected) SQLDisconnect(Dbc.Get());
    }
    TOdbcLink(const TOdbcLink&) = delete;
    TOdbcLink& operator=(const TOdbcLink&) = delete;

    // Raises with the handle's diagnostics when rc is a failure; notes a
    // lost connection so that the next open reconnects.
    void Check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, const char* what) {
        if (Succeeded(rc) || rc == SQL_NO_DATA) return;
        TDiagnostics diag = ReadDiagnostics(type, handle);
        if (diag.ConnectionLost || ConnectionDead()) Lost = true;
        ++Failures;
        if (diag.Text.isEmpty()) diag.Text = QStringLiteral("ODBC %1 failed").arg(QLatin1String(what));
        throw EDatabaseError(diag.Text, diag.SqlState, diag.NativeCode, Lost);
    }

    bool ConnectionDead() const {
        if (!Connected) return false;
        SQLUINTEGER dead = SQL_CD_FALSE;
        const SQLRETURN rc = SQLGetConnectAttr(Dbc.Get(), SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
        return Succeeded(rc) && dead == SQL_CD_TRUE;
    }

    THandle Env;
    THandle Dbc;
    bool Connected = false;
    bool Lost = false;
    // Failed calls so far. A failure can end the transaction that other open
    // results live in (psqlODBC then reports their end early), so cursors
    // opened before it re-read from their position.
    quint64 Failures = 0;
    TDbms Dbms = TDbms::Other;

private:
    static SQLHANDLE InitEnv(THandle& env) {
        const SQLRETURN rc =
            SQLSetEnvAttr(env.Get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        if (!Succeeded(rc)) {
            const TDiagnostics diag = ReadDiagnostics(SQL_HANDLE_ENV, env.Get());
            throw EDatabaseError(diag.Text, diag.SqlState, diag.NativeCode, false);
        }
        return env.Get();
    }
};

// A connection-string value, in braces only when it holds characters that
// would end or split it (psqlODBC keeps the braces of a user name); a
// closing brace inside is doubled.
QString ConnectValue(const QString& value) {
    static const QString special = QStringLiteral(";{}");
    bool needBraces = !value.isEmpty() && (value.front().isSpace() || value.back().isSpace());
    for (QChar c : value)
        needBraces = needBraces || special.contains(c);
    if (!needBraces) return value;
    QString quoted = value;
    quoted.replace(QLatin1String("}"), QLatin1String("}}"));
    return QLatin1Char('{') + quoted + QLatin1Char('}');
}

// ---------------------------------------------------------------- values

// Decimal: fixed-point values as the driver's own digits (SQL_C_CHAR), so
// that they arrive exactly.
enum class TFetchKind { WideText, Integer, Double, Decimal, Bit, Date, Time, Timestamp, Binary };

TFetchKind FetchKindOf(TFieldType type) {
    switch (type) {
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftWord:
    case TFieldType::ftAutoInc:
    case TFieldType::ftLargeint:
        return TFetchKind::Integer;
    case TFieldType::ftFloat:
        return TFetchKind::Double;
    case TFieldType::ftCurrency:
    case TFieldType::ftBCD:
        return TFetchKind::Decimal;
    case TFieldType::ftBoolean:
        return TFetchKind::Bit;
    case TFieldType::ftDate:
        return TFetchKind::Date;
    case TFieldType::ftTime:
        return TFetchKind::Time;
    case TFieldType::ftDateTime:
        return TFetchKind::Timestamp;
    case TFieldType::ftBytes:
    case TFieldType::ftBlob:
        return TFetchKind::Binary;
    default:
        return TFetchKind::WideText;
    }
}

SQLSMALLINT CTypeOf(TFetchKind kind) {
    switch (kind) {
    case TFetchKind::Integer:
        return SQL_C_SBIGINT;
    case TFetchKind::Double:
        return SQL_C_DOUBLE;
    case TFetchKind::Decimal:
        return SQL_C_CHAR;
    case TFetchKind::Bit:
        return SQL_C_BIT;
    case TFetchKind::Date:
        return SQL_C_TYPE_DATE;
    case TFetchKind::Time:
        return SQL_C_TYPE_TIME;
    case TFetchKind::Timestamp:
        return SQL_C_TYPE_TIMESTAMP;
    case TFetchKind::Binary:
        return SQL_C_BINARY;
    case TFetchKind::WideText:
        return SQL_C_WCHAR;
    }
    return SQL_C_WCHAR;
}

SQLLEN FixedSizeOf(TFetchKind kind) {
    switch (kind) {
    case TFetchKind::Integer:
        return sizeof(SQLBIGINT);
    case TFetchKind::Double:
        return sizeof(SQLDOUBLE);
    case TFetchKind::Bit:
        return sizeof(SQLCHAR);
    case TFetchKind::Date:
        return sizeof(SQL_DATE_STRUCT);
    case TFetchKind::Time:
        return sizeof(SQL_TIME_STRUCT);
    case TFetchKind::Timestamp:
        return sizeof(SQL_TIMESTAMP_STRUCT);
    default:
        return 0;
    }
}

// A value in the C layout of its fetch kind.
QVariant DecodeFixed(TFetchKind kind, const char* data) {
    switch (kind) {
    case TFetchKind::Integer: {
        SQLBIGINT v;
        std::memcpy(&v, data, sizeof v);
        return QVariant(qlonglong(v));
    }
    case TFetchKind::Double: {
        SQLDOUBLE v;
        std::memcpy(&v, data, sizeof v);
        return QVariant(double(v));
    }
    case TFetchKind::Bit:
        return QVariant(*data != 0);
    case TFetchKind::Date: {
        SQL_DATE_STRUCT v;
        std::memcpy(&v, data, sizeof v);
        return QVariant(QDate(v.year, v.month, v.day));
    }
    case TFetchKind::Time: {
        SQL_TIME_STRUCT v;
        std::memcpy(&v, data, sizeof v);
        return QVariant(QTime(v.hour, v.minute, v.second));
    }
    case TFetchKind::Timestamp: {
        SQL_TIMESTAMP_STRUCT v;
        std::memcpy(&v, data, sizeof v);
        return QVariant(QDateTime(QDate(v.year, v.month, v.day),
                                  QTime(v.hour, v.minute, v.second, int(v.fraction / 1000000)), Qt::UTC));
    }
    default:
        return QVariant();
    }
}

// Some drivers (SQLite's) report a NUMERIC column as DOUBLE or a DECIMAL as
// VARCHAR; the column's own type name still tells it is fixed-point.
bool IsFixedPointTypeName(const QString& name) {
    const QString base = name.section(QLatin1Char('('), 0, 0).trimmed().toUpper();
    return base == QLatin1String("NUMERIC") || base == QLatin1String("DECIMAL") ||
           base == QLatin1String("DEC");
}

// A fixed-point value in the driver's digits; a text that is no decimal
// (PostgreSQL's NaN) comes as it is.
QVariant DecodeDecimal(const char* data, qsizetype size) {
    if (const auto decimal = TDecimal::FromText(QByteArrayView(data, size))) return DecimalVariant(*decimal);
    return QVariant(QString::fromLatin1(data, size));
}

// Bytes for one fixed-point value as text: the digits, a sign, a point, a
// leading zero and the terminator.
SQLLEN DecimalBufferSize(const TColumnInfo& column) {
    return std::clamp<SQLLEN>(SQLLEN(column.Precision) + 4, 24, 128);
}

TFieldType FieldTypeOf(SQLSMALLINT sqlType, bool autoIncrement, bool unsignedType, bool money, SQLULEN size,
                       SQLSMALLINT scale) {
    switch (sqlType) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_GUID:
        return TFieldType::ftString;
    case SQL_LONGVARCHAR:
    case SQL_WLONGVARCHAR:
        return TFieldType::ftMemo;
    case SQL_TINYINT:
    case SQL_SMALLINT:
        return unsignedType ? TFieldType::ftWord : TFieldType::ftSmallint;
    case SQL_INTEGER:
        return autoIncrement ? TFieldType::ftAutoInc : TFieldType::ftInteger;
    case SQL_BIGINT:
        return TFieldType::ftLargeint;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return TFieldType::ftFloat;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
        if (money) return TFieldType::ftCurrency;
        if (scale == 0 && size > 0 && size <= 9) return TFieldType::ftInteger;
        if (scale == 0 && size > 0 && size <= 18) return TFieldType::ftLargeint;
        return TFieldType::ftBCD;
    case SQL_BIT:
        return TFieldType::ftBoolean;
    case SQL_TYPE_DATE:
    case SQL_DATE:
        return TFieldType::ftDate;
    case SQL_TYPE_TIME:
    case SQL_TIME:
        return TFieldType::ftTime;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
        return TFieldType::ftDateTime;
    case SQL_BINARY:
    case SQL_VARBINARY:
        return TFieldType::ftBytes;
    case SQL_LONGVARBINARY:
        return TFieldType::ftBlob;
    default:
        return TFieldType::ftString;
    }
}

// ------------------------------------------------------------ statements

// A statement handle on a shared link.
class TStatement {
public:
    explicit TStatement(std::shared_ptr<TOdbcLink> link)
        : FLink(std::move(link)), FStmt(SQL_HANDLE_STMT, FLink->Dbc.Get()) {}
    SQLHSTMT Get() const { return FStmt.Get(); }
    TOdbcLink& Link() const { return *FLink; }
    void Check(SQLRETURN rc, const char* what) const { FLink->Check(rc, SQL_HANDLE_STMT, FStmt.Get(), what); }

private:
    std::shared_ptr<TOdbcLink> FLink; // declared first: outlives the handle
    THandle FStmt;
};

// The bound values of a statement's "?" markers; kept as long as the
// statement may be executed again.
class TParameters {
public:
    void Bind(const TStatement& stmt, const QVariantList& values);

private:
    struct TParam {
        std::vector<char> Buffer;
        SQLLEN Indicator = 0;
    };
    std::vector<TParam> FParams;
};

void TParameters::Bind(const TStatement& stmt, const QVariantList& values) {
    FParams.assign(values.size(), TParam());
    for (qsizetype i = 0; i < values.size(); ++i) {
        const QVariant& value = values[i];
        TParam& p = FParams[i];
        SQLSMALLINT cType = SQL_C_WCHAR;
        SQLSMALLINT sqlType = SQL_WVARCHAR;
        SQLULEN columnSize = 1;
        SQLSMALLINT digits = 0;
        auto store = [&p](const void* data, size_t size) {
            p.Buffer.resize(size);
            std::memcpy(p.Buffer.data(), data, size);
            p.Indicator = SQLLEN(size);
        };
        switch (value.isNull() ? QMetaType::UnknownType : value.typeId()) {
        case QMetaType::UnknownType:
            p.Buffer.resize(sizeof(SQLWCHAR));
            p.Indicator = SQL_NULL_DATA;
            break;
        case QMetaType::Bool: {
            const SQLCHAR v = value.toBool() ? 1 : 0;
            store(&v, sizeof v);
            cType = SQL_C_BIT;
            sqlType = SQL_BIT;
            break;
        }
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Long:
        case QMetaType::Short:
        case QMetaType::UShort: {
            const SQLBIGINT v = value.toLongLong();
            store(&v, sizeof v);
            cType = SQL_C_SBIGINT;
            sqlType = SQL_BIGINT;
            columnSize = 19;
            break;
        }
        case QMetaType::Double:
        case QMetaType::Float: {
            const SQLDOUBLE v = value.toDouble();
            store(&v, sizeof v);
            cType = SQL_C_DOUBLE;
            sqlType = SQL_DOUBLE;
            columnSize = 15;
            break;
        }
        case QMetaType::QDate: {
            const QDate d = value.toDate();
            const SQL_DATE_STRUCT v{SQLSMALLINT(d.year()), SQLUSMALLINT(d.month()), SQLUSMALLINT(d.day())};
            store(&v, sizeof v);
            cType = SQL_C_TYPE_DATE;
            sqlType = SQL_TYPE_DATE;
            columnSize = 10;
            break;
        }
        case QMetaType::QTime: {
            const QTime t = value.toTime();
            const SQL_TIME_STRUCT v{SQLUSMALLINT(t.hour()), SQLUSMALLINT(t.minute()),
                                    SQLUSMALLINT(t.second())};
            store(&v, sizeof v);
            cType = SQL_C_TYPE_TIME;
            sqlType = SQL_TYPE_TIME;
            columnSize = 8;
            break;
        }
        case QMetaType::QDateTime: {
            const QDateTime dt = value.toDateTime();
            const QDate d = dt.date();
            const QTime t = dt.time();
            const SQL_TIMESTAMP_STRUCT v{SQLSMALLINT(d.year()),          SQLUSMALLINT(d.month()),
                                         SQLUSMALLINT(d.day()),          SQLUSMALLINT(t.hour()),
                                         SQLUSMALLINT(t.minute()),       SQLUSMALLINT(t.second()),
                                         SQLUINTEGER(t.msec()) * 1000000};
            store(&v, sizeof v);
            cType = SQL_C_TYPE_TIMESTAMP;
            sqlType = SQL_TYPE_TIMESTAMP;
            columnSize = 23;
            digits = 3;
            break;
        }
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            store(bytes.constData(), size_t(bytes.size()));
            p.Buffer.push_back(0); // never an empty buffer
            cType = SQL_C_BINARY;
            sqlType = SQL_VARBINARY;
            columnSize = std::max<SQLULEN>(1, bytes.size());
            break;
        }
        default: {
            if (IsDecimal(value)) {
                // The digits as a NUMERIC of their own precision and scale.
                const QByteArray number = value.value<TDecimal>().Text();
                store(number.constData(), size_t(number.size()) + 1);
                p.Indicator = SQLLEN(number.size());
                cType = SQL_C_CHAR;
                sqlType = SQL_NUMERIC;
                const qsizetype point = number.indexOf('.');
                columnSize = SQLULEN(
                    std::count_if(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }));
                digits = SQLSMALLINT(point < 0 ? 0 : number.size() - point - 1);
                break;
            }
            const QString text = value.toString();
            store(text.utf16(), size_t(text.size() + 1) * sizeof(SQLWCHAR));
            p.Indicator = SQLLEN(text.size() * sizeof(SQLWCHAR));
            columnSize = std::max<SQLULEN>(1, text.size());
            break;
        }
        }
        const SQLRETURN rc =
            SQLBindParameter(stmt.Get(), SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, cType, sqlType, columnSize,
                             digits, p.Buffer.data(), SQLLEN(p.Buffer.size()), &p.Indicator);
        stmt.Check(rc, "SQLBindParameter");
    }
}

QList<TColumnInfo> DescribeColumns(const TStatement& stmt) {
    SQLSMALLINT count = 0;
    stmt.Check(SQLNumResultCols(stmt.Get(), &count), "SQLNumResultCols");
    QList<TColumnInfo> columns;
    for (SQLUSMALLINT c = 1; c <= count; ++c) {
        SQLWCHAR name[512];
        SQLSMALLINT nameLength = 0, sqlType = 0, scale = 0, nullable = 0;
        SQLULEN size = 0;
        stmt.Check(SQLDescribeColW(stmt.Get(), c, name, SQLSMALLINT(std::size(name)), &nameLength, &sqlType,
                                   &size, &scale, &nullable),
                   "SQLDescribeCol");
        auto numeric = [&stmt, c](SQLUSMALLINT field) {
            SQLLEN v = 0;
            return Succeeded(SQLColAttributeW(stmt.Get(), c, field, nullptr, 0, nullptr, &v)) ? v : 0;
        };
        SQLWCHAR typeName[256] = {};
        SQLSMALLINT typeNameLength = 0;
        if (!Succeeded(SQLColAttributeW(stmt.Get(), c, SQL_DESC_TYPE_NAME, typeName, sizeof typeName,
                                        &typeNameLength, nullptr)))
            typeNameLength = 0;
        TColumnInfo info;
        info.Name = FromWideBuffer(name, nameLength, std::size(name));
        info.DeclaredType =
            FromWideBuffer(typeName, typeNameLength / qsizetype(sizeof(SQLWCHAR)), std::size(typeName));
        info.Type = FieldTypeOf(sqlType, numeric(SQL_DESC_AUTO_UNIQUE_VALUE) == SQL_TRUE,
                                numeric(SQL_DESC_UNSIGNED) == SQL_TRUE && sqlType != SQL_BIT,
                                numeric(SQL_DESC_FIXED_PREC_SCALE) == SQL_TRUE, size, scale);
        if (IsFixedPointTypeName(info.DeclaredType) && sqlType != SQL_DECIMAL && sqlType != SQL_NUMERIC)
            info.Type = TFieldType::ftBCD; // read as its digits, not through the double the driver offers
        info.Size = int(std::min<SQLULEN>(size, 0x7fffffff));
        info.Precision = info.Size;
        info.Scale = scale;
        if (info.Type == TFieldType::ftBCD)
            info.Size = scale; // a fixed-point field's size is its count of decimals
        columns << info;
    }
    return columns;
}

// How a cursor is (re)built: the statement text for a starting row, and
// whether the server skips the rows before it.
struct TCursorSource {
    QString Sql; // without any row window
    QVariantList Params;
    TDbms Dbms = TDbms::Other;
    bool ServerWindow = false; // a table select: the server may skip and limit
    qint64 Limit = -1;

    // Statement text starting at row offset; rows the server does not skip
    // are skipped by the cursor.
    QString TextFrom(qint64 offset, qint64 limit, qint64& clientSkip) const;
};

QString TCursorSource::TextFrom(qint64 offset, qint64 limit, qint64& clientSkip) const {
    if (!ServerWindow) {
        clientSkip = std::max<qint64>(0, offset);
        return Sql;
    }
    return OdbcWindowText(Dbms, Sql, offset, limit, clientSkip);
}

// Rows in blocks through bound column arrays where the driver offers block
// cursors and every column has a bounded size; one row at a time through
// SQLGetData otherwise. A value longer than its column's declared size
// (SQLite does not enforce sizes) rebuilds the cursor at that row reading
// one row at a time.
class TOdbcCursor : public TCursor {
public:
    TOdbcCursor(std::shared_ptr<TOdbcLink> link, TCursorSource source, qint64 offset)
        : FLink(std::move(link)), FSource(std::move(source)), FFirstOffset(offset) {
        Start(offset, /*singleRow=*/false);
    }

    const QList<TColumnInfo>& Columns() const override { return FColumns; }
    bool Next() override;
    QVariant Value(int column) const override;
    bool ExactValue(int column, TExactNumber& value) const override;

private:
    struct TBinding {
        TFetchKind Kind = TFetchKind::WideText;
        SQLLEN ElementSize = 0; // bytes per row
        std::vector<char> Data;
        std::vector<SQLLEN> Indicators;
    };

    void Start(qint64 position, bool singleRow);
    bool FetchBlock();
    bool Advance(); // to the next row fetched, without reading it
    void ReadRow(); // single-row mode: read every column of the row fetched
    QVariant GetData(SQLUSMALLINT column, TFetchKind kind);
    bool BlockTruncated(SQLULEN row) const;

    std::shared_ptr<TOdbcLink> FLink;
    TCursorSource FSource;
    std::unique_ptr<TStatement> FStmt;
    TParameters FParams;
    QList<TColumnInfo> FColumns;
    std::vector<TBinding> FBindings;
    std::vector<SQLUSMALLINT> FRowStatus;
    bool FSingleRow = false;
    SQLULEN FBlockRows = 1;
    SQLULEN FFetched = 0; // rows in the current block
    SQLULEN FRow = 0;     // current row in the block
    bool FHaveRow = false;
    bool FEnd = false;
    qint64 FNextRow = 0;       // result row (0-based) that the next delivery is
    quint64 FFailures = 0;     // of the link when the statement ran
    qint64 FFirstOffset = 0;   // the offset asked for
    qint64 FSkip = 0;          // rows still to pass by before the first one
    QVector<QVariant> FValues; // single-row mode
};

void TOdbcCursor::Start(qint64 position, bool singleRow) {
    FStmt.reset(); // the previous statement first: one active result at a time
    FStmt = std::make_unique<TStatement>(FLink);
    FBindings.clear();
    FValues.clear();
    FFetched = FRow = 0;
    FHaveRow = FEnd = false;
    FSingleRow = singleRow;

    qint64 skip = 0;
    const qint64 limit =
        FSource.Limit < 0 ? -1 : std::max<qint64>(0, FSource.Limit - (position - FFirstOffset));
    const QString text = FSource.TextFrom(position, limit, skip);
    if (!FSource.Params.isEmpty()) FParams.Bind(*FStmt, FSource.Params);
    FStmt->Check(SQLExecDirectW(FStmt->Get(), const_cast<SQLWCHAR*>(Wide(text)), SQLINTEGER(text.size())),
                 "SQLExecDirect");
    FColumns = DescribeColumns(*FStmt);
    FNextRow = position;
    FFailures = FLink->Failures;

    // A long text or blob column is bound at a size that most of its values
    // fit; a longer value makes the rest of the walk read one row at a time.
    constexpr SQLLEN maxBoundChars = 4000, longBoundChars = 1024;
    std::vector<TFetchKind> kinds;
    std::vector<SQLLEN> sizes;
    SQLLEN rowBytes = 0;
    for (const TColumnInfo& c : FColumns) {
        const TFetchKind kind = FetchKindOf(c.Type);
        kinds.push_back(kind);
        SQLLEN size = kind == TFetchKind::Decimal ? DecimalBufferSize(c) : FixedSizeOf(kind);
        if (size == 0) {
            const bool unbounded = c.Type == TFieldType::ftMemo || c.Type == TFieldType::ftBlob ||
                                   c.Size <= 0 || c.Size > maxBoundChars;
            const SQLLEN chars = unbounded ? longBoundChars : SQLLEN(c.Size);
            size = kind == TFetchKind::Binary ? chars + 1 : (chars + 1) * SQLLEN(sizeof(SQLWCHAR));
        }
        sizes.push_back(size);
        rowBytes += size + SQLLEN(sizeof(SQLLEN));
    }

    if (!FSingleRow && !FColumns.isEmpty()) {
        // About 1 MB per block, never more rows than the caller will read.
        SQLULEN rows = std::clamp<SQLULEN>(SQLULEN((1 << 20) / std::max<SQLLEN>(rowBytes, 1)), 16, 1000);
        if (FSource.Limit >= 0) rows = std::clamp<SQLULEN>(SQLULEN(FSource.Limit), 1, rows);
        SQLULEN granted = 0;
        if (Succeeded(SQLSetStmtAttr(FStmt->Get(), SQL_ATTR_ROW_ARRAY_SIZE,
                                     reinterpret_cast<SQLPOINTER>(rows), 0)) &&
            Succeeded(SQLGetStmtAttr(FStmt->Get(), SQL_ATTR_ROW_ARRAY_SIZE, &granted, 0, nullptr)) &&
            granted >= 1) {
            FBlockRows = granted;
        } else {
            FBlockRows = 1;
        }
        FRowStatus.assign(FBlockRows, SQL_ROW_NOROW);
        FStmt->Check(SQLSetStmtAttr(FStmt->Get(), SQL_ATTR_ROWS_FETCHED_PTR, &FFetched, 0), "SQLSetStmtAttr");
        FStmt->Check(SQLSetStmtAttr(FStmt->Get(), SQL_ATTR_ROW_STATUS_PTR, FRowStatus.data(), 0),
                     "SQLSetStmtAttr");
        FBindings.resize(FColumns.size());
        for (qsizetype c = 0; c < FColumns.size(); ++c) {
            TBinding& b = FBindings[c];
            b.Kind = kinds[c];
            b.ElementSize = sizes[size_t(c)];
            b.Data.assign(size_t(b.ElementSize) * FBlockRows, 0);
            b.Indicators.assign(FBlockRows, 0);
            FStmt->Check(SQLBindCol(FStmt->Get(), SQLUSMALLINT(c + 1), CTypeOf(b.Kind), b.Data.data(),
                                    b.ElementSize, b.Indicators.data()),
                         "SQLBindCol");
        }
    } else {
        FSingleRow = true;
    }

    FSkip = skip;
}

bool TOdbcCursor::FetchBlock() {
    const SQLRETURN rc = SQLFetch(FStmt->Get());
    FRow = 0;
    if (rc == SQL_NO_DATA) {
        FFetched = 0;
        return false;
    }
    FStmt->Check(rc, "SQLFetch");
    if (FBlockRows == 1 && FFetched == 0) FFetched = 1; // drivers that leave the count alone for single rows
    return FFetched > 0;
}

bool TOdbcCursor::BlockTruncated(SQLULEN row) const {
    for (const TBinding& b : FBindings) {
        if (b.Kind != TFetchKind::WideText && b.Kind != TFetchKind::Binary && b.Kind != TFetchKind::Decimal)
            continue;
        const SQLLEN ind = b.Indicators[row];
        const SQLLEN room =
            b.Kind == TFetchKind::WideText ? b.ElementSize - SQLLEN(sizeof(SQLWCHAR)) : b.ElementSize - 1;
        if (ind == SQL_NO_TOTAL || ind > room) return true;
    }
    return false;
}

bool TOdbcCursor::Advance() {
    if (FSingleRow) {
        const SQLRETURN rc = SQLFetch(FStmt->Get());
        if (rc == SQL_NO_DATA) return false;
        FStmt->Check(rc, "SQLFetch");
        return true;
    }
    for (;;) {
        if (FHaveRow && FRow + 1 < FFetched)
            ++FRow;
        else if (!FetchBlock())
            return false;
        FHaveRow = true;
        if (FRowStatus[FRow] != SQL_ROW_DELETED && FRowStatus[FRow] != SQL_ROW_NOROW) return true;
    }
}

bool TOdbcCursor::Next() {
    while (!FEnd) {
        bool fetched = false;
        try {
            fetched = Advance();
        } catch (const EDatabaseError&) {
            if (FLink->Lost || FLink->Failures == FFailures + 1) throw; // this fetch failed on its own
        }
        if (!fetched) {
            if (FLink->Failures != FFailures && !FLink->Lost) {
                Start(FNextRow, FSingleRow);
                continue;
            }
            FEnd = true;
            break;
        }
        if (FSkip > 0) {
            --FSkip;
            continue;
        }
        if (FSingleRow) {
            ReadRow();
        } else if (BlockTruncated(FRow)) {
            Start(FNextRow, /*singleRow=*/true);
            continue;
        }
        ++FNextRow;
        FHaveRow = true;
        return true;
    }
    FHaveRow = false;
    return false;
}

void TOdbcCursor::ReadRow() {
    FValues.resize(FColumns.size());
    for (qsizetype c = 0; c < FColumns.size(); ++c)
        FValues[c] = GetData(SQLUSMALLINT(c + 1), FetchKindOf(FColumns[c].Type));
}

QVariant TOdbcCursor::GetData(SQLUSMALLINT column, TFetchKind kind) {
    SQLLEN ind = 0;
    if (const SQLLEN fixed = FixedSizeOf(kind)) {
        alignas(8) char buffer[sizeof(SQL_TIMESTAMP_STRUCT) + 8];
        FStmt->Check(SQLGetData(FStmt->Get(), column, CTypeOf(kind), buffer, fixed, &ind), "SQLGetData");
        return ind == SQL_NULL_DATA ? QVariant() : DecodeFixed(kind, buffer);
    }
    // Text, decimal and binary values in pieces until the driver has no more.
    const bool text = kind == TFetchKind::WideText;
    const SQLLEN terminator = text ? SQLLEN(sizeof(SQLWCHAR)) : kind == TFetchKind::Decimal ? 1 : 0;
    QByteArray bytes;
    char chunk[16384];
    for (;;) {
        const SQLRETURN rc = SQLGetData(FStmt->Get(), column, CTypeOf(kind), chunk, sizeof chunk, &ind);
        if (rc == SQL_NO_DATA) break;
        FStmt->Check(rc, "SQLGetData");
        if (ind == SQL_NULL_DATA) return QVariant();
        const SQLLEN room = SQLLEN(sizeof chunk) - terminator;
        if (ind == SQL_NO_TOTAL || ind > room) {
            bytes.append(chunk, room);
            continue;
        }
        bytes.append(chunk, ind);
        break;
    }
    if (kind == TFetchKind::Decimal) return DecodeDecimal(bytes.constData(), bytes.size());
    if (!text) return QVariant(bytes);
    return QVariant(FromWide(reinterpret_cast<const SQLWCHAR*>(bytes.constData()), bytes.size() / 2));
}

QVariant TOdbcCursor::Value(int column) const {
    if (!FHaveRow || column < 0 || column >= FColumns.size()) return QVariant();
    if (FSingleRow) return FValues[column];
    const TBinding& b = FBindings[column];
    const SQLLEN ind = b.Indicators[FRow];
    if (ind == SQL_NULL_DATA) return QVariant();
    const char* data = b.Data.data() + size_t(b.ElementSize) * FRow;
    switch (b.Kind) {
    case TFetchKind::WideText:
        return QVariant(FromWide(reinterpret_cast<const SQLWCHAR*>(data), ind / qsizetype(sizeof(SQLWCHAR))));
    case TFetchKind::Binary:
        return QVariant(QByteArray(data, ind));
    case TFetchKind::Decimal:
        return DecodeDecimal(data, ind);
    default:
        return DecodeFixed(b.Kind, data);
    }
}

bool TOdbcCursor::ExactValue(int column, TExactNumber& value) const {
    if (!FHaveRow || FSingleRow || column < 0 || column >= FColumns.size()) return false;
    const TBinding& b = FBindings[column];
    if (b.Kind != TFetchKind::Integer && b.Kind != TFetchKind::Decimal) return false;
    value = TExactNumber();
    const SQLLEN ind = b.Indicators[FRow];
    const char* data = b.Data.data() + size_t(b.ElementSize) * FRow;
    if (ind == SQL_NULL_DATA) {
        value.Null = true;
        return true;
    }
    if (b.Kind == TFetchKind::Decimal) return ParseExactNumber(data, ind, value);
    SQLBIGINT whole;
    std::memcpy(&whole, data, sizeof whole);
    value.Mantissa = whole;
    return true;
}

// ------------------------------------------------------------ connection

class TOdbcConnection : public TDriverConnection {
public:
    TOdbcConnection(QString dataSource, QString connectString, TTransIsolation isolation)
        : FDataSource(std::move(dataSource)), FConnectString(std::move(connectString)),
          FIsolation(isolation) {
        Connect();
    }

    QStringList TableNames() override;
    QString QuoteIdentifier(const QString& name) const override;
    QString CaselessPrefix(const QString& column, const QString& prefix, bool negated,
                           QVariantList& params) const override;
    QList<TColumnInfo> TableColumns(const QString& table) override;
    std::unique_ptr<TCursor> Select(const TSelectSpec& spec, qint64 offset) override;
    qint64 Count(const TSelectSpec& spec) override;
    TRowKey RowKeyOf(const TSelectSpec& spec) override;
    bool NullsFirst() const override { return FNullsFirst; }
    bool Reversible(const TSelectSpec& spec) override;
    std::unique_ptr<TCursor> Query(const QString& sql) override;
    void Execute(const QString& sql) override;

private:
    void Connect();
    // The live link: reconnects after the connection was lost.
    const std::shared_ptr<TOdbcLink>& Link();
    QString InfoText(SQLUSMALLINT info) const;
    void SetIsolation();
    void SetReadOnly();
    QStringList RowKey(const QString& quotedTable);
    QString SelectText(const TSelectSpec& spec, const QString& what, bool ordered);

    QString FDataSource;
    QString FConnectString;
    TTransIsolation FIsolation;
    std::shared_ptr<TOdbcLink> FLink;
    QString FQuote; // identifier quote, empty when the driver has none
    bool FNullsFirst = true;
    QHash<QString, QStringList> FRowKeys; // by quoted table
};

// The driver manager converts between our wide texts and the narrow texts
// of a driver without wide functions (SQLite's) in the character set of
// LC_CTYPE; in the C locale that is ASCII and every Cyrillic letter is lost.
// Qt keeps its own texts in UTF-8 whatever the locale, so switching the
// character type to UTF-8 changes nothing else the program does.
void EnsureUtf8Ctype() {
    const char* codeset = nl_langinfo(CODESET);
    if (codeset && (qstrcmp(codeset, "UTF-8") == 0 || qstrcmp(codeset, "utf8") == 0)) return;
    if (!std::setlocale(LC_CTYPE, "C.UTF-8")) std::setlocale(LC_CTYPE, "en_US.UTF-8");
}

void TOdbcConnection::Connect() {
    EnsureUtf8Ctype();
    auto link = std::make_shared<TOdbcLink>();
    SQLSMALLINT outLength = 0;
    const SQLRETURN rc =
        SQLDriverConnectW(link->Dbc.Get(), nullptr, const_cast<SQLWCHAR*>(Wide(FConnectString)),
                          SQLSMALLINT(FConnectString.size()), nullptr, 0, &outLength, SQL_DRIVER_NOPROMPT);
    link->Check(rc, SQL_HANDLE_DBC, link->Dbc.Get(), "SQLDriverConnect");
    link->Connected = true;
    FLink = std::move(link);
    FRowKeys.clear();

    const QString dbms = InfoText(SQL_DBMS_NAME);
    if (dbms.contains(QLatin1String("PostgreSQL"), Qt::CaseInsensitive))
        FLink->Dbms = TDbms::PostgreSQL;
    else if (dbms.contains(QLatin1String("SQLite"), Qt::CaseInsensitive))
        FLink->Dbms = TDbms::SQLite;
    else if (dbms.contains(QLatin1String("Anywhere"), Qt::CaseInsensitive))
        FLink->Dbms = TDbms::SqlAnywhere;
    FQuote = InfoText(SQL_IDENTIFIER_QUOTE_CHAR).trimmed();
    SQLUSMALLINT nulls = 0;
    FNullsFirst = Succeeded(SQLGetInfoW(FLink->Dbc.Get(), SQL_NULL_COLLATION, &nulls, sizeof nulls, nullptr))
                      ? nulls == SQL_NC_LOW || nulls == SQL_NC_START
                      : FLink->Dbms != TDbms::PostgreSQL;
    SetIsolation();
    SetReadOnly();
    for (const QString& statement : OdbcSessionStatements(FLink->Dbms))
        Execute(statement);
}

const std::shared_ptr<TOdbcLink>& TOdbcConnection::Link() {
    if (FLink->Lost) Connect();
    return FLink;
}

QString TOdbcConnection::InfoText(SQLUSMALLINT info) const {
    SQLWCHAR buffer[256] = {};
    SQLSMALLINT length = 0;
    if (!Succeeded(SQLGetInfoW(FLink->Dbc.Get(), info, buffer, sizeof buffer, &length))) return QString();
    return FromWideBuffer(buffer, length / qsizetype(sizeof(SQLWCHAR)), std::size(buffer));
}

// The requested level where the driver offers it, else the nearest
// stricter one it offers.
void TOdbcConnection::SetIsolation() {
    SQLUINTEGER offered = 0;
    if (!Succeeded(
            SQLGetInfoW(FLink->Dbc.Get(), SQL_TXN_ISOLATION_OPTION, &offered, sizeof offered, nullptr)))
        return;
    const SQLUINTEGER levels[] = {SQL_TXN_READ_UNCOMMITTED, SQL_TXN_READ_COMMITTED, SQL_TXN_REPEATABLE_READ,
                                  SQL_TXN_SERIALIZABLE};
    const int first = FIsolation == TTransIsolation::tiDirtyRead       ? 0
                      : FIsolation == TTransIsolation::tiReadCommitted ? 1
                                                                       : 2;
    for (int i = first; i < 4; ++i) {
        if (offered & levels[i]) {
            const SQLRETURN rc = SQLSetConnectAttrW(FLink->Dbc.Get(), SQL_ATTR_TXN_ISOLATION,
                                                    reinterpret_cast<SQLPOINTER>(SQLULEN(levels[i])), 0);
            FLink->Check(rc, SQL_HANDLE_DBC, FLink->Dbc.Get(), "SQLSetConnectAttr");
            return;
        }
    }
}

// The program only reads. Where the driver does not keep a connection
// read-only, a server whose own setting is known gets that instead; the
// log says so either way.
void TOdbcConnection::SetReadOnly() {
    const SQLRETURN set = SQLSetConnectAttrW(FLink->Dbc.Get(), SQL_ATTR_ACCESS_MODE,
                                             reinterpret_cast<SQLPOINTER>(SQLULEN(SQL_MODE_READ_ONLY)), 0);
    SQLUINTEGER mode = SQL_MODE_READ_WRITE;
    if (Succeeded(set) &&
        Succeeded(SQLGetConnectAttrW(FLink->Dbc.Get(), SQL_ATTR_ACCESS_MODE, &mode, 0, nullptr)) &&
        mode == SQL_MODE_READ_ONLY)
        return;
    QString instead;
    if (FLink->Dbms == TDbms::PostgreSQL) {
        instead = QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY");
    } else if (FLink->Dbms == TDbms::SQLite) {
        instead = QStringLiteral("PRAGMA query_only = ON");
    }
    if (instead.isEmpty()) {
        qWarning("%s: the ODBC driver gives no read-only connection", qUtf8Printable(FDataSource));
        return;
    }
    qWarning("%s: the ODBC driver gives no read-only connection; the server is told \"%s\"",
             qUtf8Printable(FDataSource), qUtf8Printable(instead));
    Execute(instead);
}

QStringList TOdbcConnection::TableNames() {
    TStatement stmt(Link());
    // Listing the system types asks drivers that hide them by default.
    const QString types = QStringLiteral("'TABLE','VIEW','SYSTEM TABLE','SYSTEM VIEW','GLOBAL TEMPORARY',"
                                         "'LOCAL TEMPORARY','ALIAS','SYNONYM'");
    stmt.Check(SQLTablesW(stmt.Get(), nullptr, 0, nullptr, 0, nullptr, 0, const_cast<SQLWCHAR*>(Wide(types)),
                          SQLSMALLINT(types.size())),
               "SQLTables");
    QStringList names;
    QSet<QString> seen;
    for (;;) {
        const SQLRETURN rc = SQLFetch(stmt.Get());
        if (rc == SQL_NO_DATA) break;
        stmt.Check(rc, "SQLFetch");
        SQLWCHAR name[1024];
        SQLLEN ind = 0;
        stmt.Check(SQLGetData(stmt.Get(), 3, SQL_C_WCHAR, name, sizeof name, &ind), "SQLGetData");
        if (ind == SQL_NULL_DATA) continue;
        const QString table = FromWideBuffer(name, ind / qsizetype(sizeof(SQLWCHAR)), std::size(name));
        if (!seen.contains(table)) {
            seen.insert(table);
            names << table;
        }
    }
    return names;
}

// SQLite's UPPER and LIKE know ASCII letters only; its GLOB matches a class
// of characters, so every letter becomes the class of its two cases and the
// characters that GLOB reads specially stand in classes of their own.
QString TOdbcConnection::CaselessPrefix(const QString& column, const QString& prefix, bool negated,
                                        QVariantList& params) const {
    if (!FLink || FLink->Dbms != TDbms::SQLite) return {};
    QString pattern;
    for (QChar c : prefix) {
        const QString lower = QString(c).toLower(), upper = QString(c).toUpper();
        if (lower != upper && lower.size() == 1 && upper.size() == 1)
            pattern += QLatin1Char('[') + lower + upper + QLatin1Char(']');
        else if (c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('['))
            pattern += QLatin1Char('[') + c + QLatin1Char(']');
        else
            pattern += c;
    }
    params << pattern + QLatin1Char('*');
    return QStringLiteral("(%1 %2GLOB ?)").arg(column, negated ? QStringLiteral("NOT ") : QString());
}

QString TOdbcConnection::QuoteIdentifier(const QString& name) const {
    if (FQuote.isEmpty()) return name;
    QString inner = name;
    inner.replace(FQuote, FQuote + FQuote);
    return FQuote + inner + FQuote;
}

QList<TColumnInfo> TOdbcConnection::TableColumns(const QString& table) {
    TStatement stmt(Link());
    const QString text = QStringLiteral("SELECT * FROM %1 WHERE 1 = 0").arg(QuoteIdentifier(table));
    stmt.Check(SQLExecDirectW(stmt.Get(), const_cast<SQLWCHAR*>(Wide(text)), SQLINTEGER(text.size())),
               "SQLExecDirect");
    return DescribeColumns(stmt);
}

// Columns that tell rows apart, so that rows with equal sort keys come in
// the same order in every block. Read once per table.
QStringList TOdbcConnection::RowKey(const QString& quotedTable) {
    auto found = FRowKeys.constFind(quotedTable);
    if (found != FRowKeys.constEnd()) return *found;
    QStringList key = OdbcServerRowKey(FLink->Dbms).Columns;
    if (!key.isEmpty()) {
        // A view has none.
        TStatement stmt(Link());
        const QString probe =
            QStringLiteral("SELECT %1 FROM %2 WHERE 1 = 0").arg(key.join(QStringLiteral(", ")), quotedTable);
        if (!Succeeded(
                SQLExecDirectW(stmt.Get(), const_cast<SQLWCHAR*>(Wide(probe)), SQLINTEGER(probe.size())))) {
            ++FLink->Failures; // as any failed call: open results may have ended
            key.clear();
        }
    } else {
        QString name = quotedTable;
        if (!FQuote.isEmpty() && name.startsWith(FQuote) && name.endsWith(FQuote) && name.size() >= 2) {
            name = name.mid(FQuote.size(), name.size() - 2 * FQuote.size());
            name.replace(FQuote + FQuote, FQuote);
        }
        TStatement stmt(Link());
        if (Succeeded(SQLSpecialColumnsW(stmt.Get(), SQL_BEST_ROWID, nullptr, 0, nullptr, 0,
                                         const_cast<SQLWCHAR*>(Wide(name)), SQLSMALLINT(name.size()),
                                         SQL_SCOPE_SESSION, SQL_NULLABLE))) {
            while (Succeeded(SQLFetch(stmt.Get()))) {
                SQLWCHAR column[512];
                SQLLEN ind = 0;
                if (Succeeded(SQLGetData(stmt.Get(), 2, SQL_C_WCHAR, column, sizeof column, &ind)) &&
                    ind != SQL_NULL_DATA)
                    key << QuoteIdentifier(
                        FromWideBuffer(column, ind / qsizetype(sizeof(SQLWCHAR)), std::size(column)));
            }
        }
    }
    FRowKeys.insert(quotedTable, key);
    return key;
}

QString TOdbcConnection::SelectText(const TSelectSpec& spec, const QString& what, bool ordered) {
    QString text = QStringLiteral("SELECT %1 FROM %2").arg(what, spec.Table);
    if (!spec.Where.isEmpty()) text += QStringLiteral(" WHERE ") + spec.Where;
    if (ordered && !spec.OrderBy.isEmpty()) {
        QStringList order = spec.OrderBy;
        for (const QString& column : RowKey(spec.Table))
            if (!order.contains(column)) order << column;
        if (spec.Descending)
            for (QString& column : order)
                column += QStringLiteral(" DESC");
        text += QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
    }
    return text;
}

std::unique_ptr<TCursor> TOdbcConnection::Select(const TSelectSpec& spec, qint64 offset) {
    const std::shared_ptr<TOdbcLink> link = Link();
    TCursorSource source;
    source.Sql = SelectText(spec, spec.SelectList(), true);
    source.Params = spec.Params;
    source.Dbms = link->Dbms;
    source.ServerWindow = true;
    source.Limit = spec.Limit;
    return std::make_unique<TOdbcCursor>(link, std::move(source), offset);
}

// Only an order of the engine's own ends in the row key; the servers put
// NULLs at the same end of an ascending order as they take them from in a
// descending one.
bool TOdbcConnection::Reversible(const TSelectSpec& spec) {
    return !spec.OrderBy.isEmpty() && !RowKey(spec.Table).isEmpty();
}

TRowKey TOdbcConnection::RowKeyOf(const TSelectSpec& spec) {
    // Without an order the rows come in the server's own order, which only a
    // server's own row key follows.
    TRowKey key = OdbcServerRowKey(FLink->Dbms);
    if (key.Columns.isEmpty() && spec.OrderBy.isEmpty()) return {};
    key.Columns = RowKey(spec.Table);
    if (key.Placeholders.size() != key.Columns.size())
        key.Placeholders = QStringList(key.Columns.size(), QStringLiteral("?"));
    return key;
}

qint64 TOdbcConnection::Count(const TSelectSpec& spec) {
    const std::shared_ptr<TOdbcLink> link = Link();
    TCursorSource source;
    source.Sql = SelectText(spec, QStringLiteral("COUNT(*)"), false);
    source.Params = spec.Params;
    TOdbcCursor cursor(link, std::move(source), 0);
    if (!cursor.Next())
        throw EDatabaseError(QStringLiteral("The row count of %1 gave no row").arg(spec.Table));
    return cursor.Value(0).toLongLong();
}

std::unique_ptr<TCursor> TOdbcConnection::Query(const QString& sql) {
    const std::shared_ptr<TOdbcLink> link = Link();
    TCursorSource source;
    source.Sql = sql;
    source.Dbms = link->Dbms;
    return std::make_unique<TOdbcCursor>(link, std::move(source), 0);
}

void TOdbcConnection::Execute(const QString& sql) {
    TStatement stmt(Link());
    stmt.Check(SQLExecDirectW(stmt.Get(), const_cast<SQLWCHAR*>(Wide(sql)), SQLINTEGER(sql.size())),
               "SQLExecDirect");
}

} // namespace

QString OdbcWindowText(TDbms dbms, const QString& select, qint64 offset, qint64 limit, qint64& clientSkip) {
    clientSkip = 0;
    if (offset <= 0 && limit < 0) return select;
    switch (dbms) {
    case TDbms::PostgreSQL:
    case TDbms::SQLite: {
        QString text = select;
        if (limit >= 0)
            text += QStringLiteral(" LIMIT %1").arg(limit);
        else if (dbms == TDbms::SQLite)
            text += QStringLiteral(" LIMIT -1"); // SQLite takes OFFSET only after LIMIT
        if (offset > 0) text += QStringLiteral(" OFFSET %1").arg(offset);
        return text;
    }
    case TDbms::SqlAnywhere: {
        // "SELECT" is the first word of every table select.
        QString window = limit >= 0 ? QStringLiteral(" TOP %1").arg(limit) : QStringLiteral(" TOP ALL");
        if (offset > 0) window += QStringLiteral(" START AT %1").arg(offset + 1);
        return QString(select).insert(6, window);
    }
    case TDbms::Other:
        break;
    }
    clientSkip = std::max<qint64>(0, offset);
    return select;
}

TRowKey OdbcServerRowKey(TDbms dbms) {
    switch (dbms) {
    case TDbms::PostgreSQL:
        return {{QStringLiteral("ctid")}, {QStringLiteral("CAST(? AS tid)")}};
    case TDbms::SQLite:
        return {{QStringLiteral("rowid")}, {QStringLiteral("?")}};
    case TDbms::SqlAnywhere:
    case TDbms::Other:
        break;
    }
    return {};
}

QStringList OdbcSessionStatements(TDbms dbms) {
    if (dbms == TDbms::PostgreSQL) {
        // A scan of a large table may otherwise start where another scan is,
        // so the natural order would change between two reads.
        return {QStringLiteral("SET synchronize_seqscans = off")};
    }
    return {};
}

QString OdbcConnectString(const TAliasInfo& alias, const QString& userName, const QString& password) {
    QString connect = QStringLiteral("DSN=") + ConnectValue(alias.Name);
    if (!userName.isEmpty()) connect += QStringLiteral(";UID=") + ConnectValue(userName);
    if (!password.isEmpty()) connect += QStringLiteral(";PWD=") + ConnectValue(password);
    // The data source names its driver's section, or the library itself.
    const QString driver = OdbcDataSourceAttribute(alias.Name, QStringLiteral("Driver"));
    QString library = OdbcDriverAttribute(driver, QStringLiteral("Driver"));
    if (library.isEmpty()) library = driver;
    if (library.contains(QLatin1String("psqlodbc"), Qt::CaseInsensitive)) {
        // Past about 4,000 rows a block the walk gains nothing more.
        if (OdbcDataSourceAttribute(alias.Name, QStringLiteral("UseDeclareFetch")).isEmpty())
            connect += QStringLiteral(";UseDeclareFetch=1");
        if (OdbcDataSourceAttribute(alias.Name, QStringLiteral("Fetch")).isEmpty())
            connect += QStringLiteral(";Fetch=4000");
    }
    return connect;
}

std::unique_ptr<TDriverConnection> OpenOdbcConnection(const TAliasInfo& alias, const QString& userName,
                                                      const QString& password, TTransIsolation isolation) {
    return std::make_unique<TOdbcConnection>(alias.Name, OdbcConnectString(alias, userName, password),
                                             isolation);
}
