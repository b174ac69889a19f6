#include "OdbcStatement.h"

#include "OdbcText.h"

#include <algorithm>
#include <sqlext.h>

namespace {

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

// Some drivers (SQLite's) report a NUMERIC column as DOUBLE or a DECIMAL as
// VARCHAR; the column's own type name still tells it is fixed-point.
bool IsFixedPointTypeName(const QString& name) {
    const QString base = name.section(QLatin1Char('('), 0, 0).trimmed().toUpper();
    return base == QLatin1String("NUMERIC") || base == QLatin1String("DECIMAL") ||
           base == QLatin1String("DEC");
}

} // namespace

void TOdbcStatement::Execute(const QString& text) const {
    Check(FLink->Call(
              SQL_HANDLE_STMT, Get(),
              // A call given up runs on after this statement and its text.
              [h = Get(), text] { return SQLExecDirectW(h, OdbcWideArg(text), SQLINTEGER(text.size())); }),
          "SQLExecDirect");
}

QList<TColumnInfo> TOdbcStatement::Columns() const {
    SQLSMALLINT count = 0;
    Check(SQLNumResultCols(Get(), &count), "SQLNumResultCols");
    QList<TColumnInfo> columns;
    for (SQLUSMALLINT c = 1; c <= count; ++c) {
        SQLWCHAR name[512];
        SQLSMALLINT nameLength = 0, sqlType = 0, scale = 0, nullable = 0;
        SQLULEN size = 0;
        Check(SQLDescribeColW(Get(), c, name, SQLSMALLINT(std::size(name)), &nameLength, &sqlType, &size,
                              &scale, &nullable),
              "SQLDescribeCol");
        auto numeric = [this, c](SQLUSMALLINT field) {
            SQLLEN v = 0;
            return OdbcSucceeded(SQLColAttributeW(Get(), c, field, nullptr, 0, nullptr, &v)) ? v : 0;
        };
        SQLWCHAR typeName[256] = {};
        SQLSMALLINT typeNameLength = 0;
        if (!OdbcSucceeded(SQLColAttributeW(Get(), c, SQL_DESC_TYPE_NAME, typeName, sizeof typeName,
                                            &typeNameLength, nullptr)))
            typeNameLength = 0;
        TColumnInfo info;
        info.Name = FromOdbcBuffer(name, nameLength, std::size(name));
        info.DeclaredType =
            FromOdbcBuffer(typeName, typeNameLength / qsizetype(sizeof(SQLWCHAR)), std::size(typeName));
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
