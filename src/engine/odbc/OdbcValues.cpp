#include "OdbcValues.h"

#include "engine/FieldFamily.h"
#include "engine/TDecimal.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <algorithm>
#include <cstring>
#include <sqlext.h>
#include <sqlucode.h>

TOdbcFetchKind OdbcFetchKindOf(TFieldType type) {
    switch (FamilyOf(type)) {
    case TFieldFamily::Whole:
        return TOdbcFetchKind::Integer;
    case TFieldFamily::Float:
        return TOdbcFetchKind::Double;
    case TFieldFamily::Fixed:
        return TOdbcFetchKind::Decimal;
    case TFieldFamily::Boolean:
        return TOdbcFetchKind::Bit;
    case TFieldFamily::Date:
        return TOdbcFetchKind::Date;
    case TFieldFamily::Time:
        return TOdbcFetchKind::Time;
    case TFieldFamily::DateTime:
        return TOdbcFetchKind::Timestamp;
    case TFieldFamily::Binary:
        return TOdbcFetchKind::Binary;
    default:
        return TOdbcFetchKind::WideText;
    }
}

SQLSMALLINT OdbcCTypeOf(TOdbcFetchKind kind) {
    switch (kind) {
    case TOdbcFetchKind::Integer:
        return SQL_C_SBIGINT;
    case TOdbcFetchKind::Double:
        return SQL_C_DOUBLE;
    case TOdbcFetchKind::Decimal:
        return SQL_C_CHAR;
    case TOdbcFetchKind::Bit:
        return SQL_C_BIT;
    case TOdbcFetchKind::Date:
        return SQL_C_TYPE_DATE;
    case TOdbcFetchKind::Time:
        return SQL_C_TYPE_TIME;
    case TOdbcFetchKind::Timestamp:
        return SQL_C_TYPE_TIMESTAMP;
    case TOdbcFetchKind::Binary:
        return SQL_C_BINARY;
    case TOdbcFetchKind::WideText:
        return SQL_C_WCHAR;
    }
    return SQL_C_WCHAR;
}

SQLLEN OdbcFixedSizeOf(TOdbcFetchKind kind) {
    switch (kind) {
    case TOdbcFetchKind::Integer:
        return sizeof(SQLBIGINT);
    case TOdbcFetchKind::Double:
        return sizeof(SQLDOUBLE);
    case TOdbcFetchKind::Bit:
        return sizeof(SQLCHAR);
    case TOdbcFetchKind::Date:
        return sizeof(SQL_DATE_STRUCT);
    case TOdbcFetchKind::Time:
        return sizeof(SQL_TIME_STRUCT);
    case TOdbcFetchKind::Timestamp:
        return sizeof(SQL_TIMESTAMP_STRUCT);
    default:
        return 0;
    }
}

QVariant DecodeOdbcFixed(TOdbcFetchKind kind, const char* data) {
    switch (kind) {
    case TOdbcFetchKind::Integer: {
        SQLBIGINT v;
        std::memcpy(&v, data, sizeof v);
        return QVariant(qlonglong(v));
    }
    case TOdbcFetchKind::Double: {
        SQLDOUBLE v;
        std::memcpy(&v, data, sizeof v);
        return QVariant(double(v));
    }
    case TOdbcFetchKind::Bit:
        return QVariant(*data != 0);
    case TOdbcFetchKind::Date: {
        SQL_DATE_STRUCT v;
        std::memcpy(&v, data, sizeof v);
        return QVariant(QDate(v.year, v.month, v.day));
    }
    case TOdbcFetchKind::Time: {
        SQL_TIME_STRUCT v;
        std::memcpy(&v, data, sizeof v);
        return QVariant(QTime(v.hour, v.minute, v.second));
    }
    case TOdbcFetchKind::Timestamp: {
        SQL_TIMESTAMP_STRUCT v;
        std::memcpy(&v, data, sizeof v);
        return QVariant(QDateTime(QDate(v.year, v.month, v.day),
                                  QTime(v.hour, v.minute, v.second, int(v.fraction / 1000000)), Qt::UTC));
    }
    default:
        return QVariant();
    }
}

QVariant DecodeOdbcDecimal(const char* data, qsizetype size) {
    if (const auto decimal = TDecimal::FromText(QByteArrayView(data, size))) return DecimalVariant(*decimal);
    return QVariant(QString::fromLatin1(data, size));
}

SQLLEN OdbcDecimalBufferSize(const TColumnInfo& column) {
    return std::clamp<SQLLEN>(SQLLEN(column.Precision) + 4, 24, 128);
}
