#pragma once

// Column values in the C layouts that the cursor binds or reads them in.

#include "engine/Driver.h"

#include <QVariant>
#include <sql.h>

// Decimal: fixed-point values as the driver's own digits (SQL_C_CHAR), so
// that they arrive exactly.
enum class TOdbcFetchKind { WideText, Integer, Double, Decimal, Bit, Date, Time, Timestamp, Binary };

TOdbcFetchKind OdbcFetchKindOf(TFieldType type);
SQLSMALLINT OdbcCTypeOf(TOdbcFetchKind kind);
// Bytes of a value of fixed size; 0 for texts, digits and bytes.
SQLLEN OdbcFixedSizeOf(TOdbcFetchKind kind);
// A value in the C layout of its fetch kind.
QVariant DecodeOdbcFixed(TOdbcFetchKind kind, const char* data);
// A fixed-point value in the driver's digits; a text that is no decimal
// (PostgreSQL's NaN) comes as it is.
QVariant DecodeOdbcDecimal(const char* data, qsizetype size);
// Bytes for one fixed-point value as text: the digits, a sign, a point, a
// leading zero and the terminator.
SQLLEN OdbcDecimalBufferSize(const TColumnInfo& column);
