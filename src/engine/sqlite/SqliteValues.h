#pragma once

// How the cursor reads a column's values out of SQLite's storage classes.

#include "engine/Driver.h"

#include <QDate>
#include <QTime>

// Dynamic: a column without a declared type, whose values come as stored.
enum class TSqliteDecode { Dynamic, Integer, Float, Decimal, Text, Date, Time, DateTime, Boolean, Blob };

TSqliteDecode SqliteDecodeOf(const TColumnInfo& column);

// 'YYYY-MM-DD'; invalid for any other text.
QDate ParseSqliteDate(const char* p, int n);
// 'HH:MM[:SS[.fff...]]', the whole text; invalid for any other.
QTime ParseSqliteTime(const char* p, int n);
