#pragma once

// A field kind's family: how its values are read, compared and written.
// Where two kinds of one family differ (money shows as a float field, a
// memo or a BLOB as a long value), the kind itself still says so.

#include "TField.h"

enum class TFieldFamily {
    Whole,    // smallint, integer, word, auto-increment, large integer
    Fixed,    // BCD and currency: exact digits
    Float,    // float
    Boolean,  // logical
    Text,     // string and memo
    Date,     // date
    Time,     // time
    DateTime, // date and time
    Binary,   // bytes and BLOB
    Other,    // unknown
};

TFieldFamily FamilyOf(TFieldType type);

// Integer kinds, auto-increment, large integer, float, currency, BCD.
bool IsNumericType(TFieldType type);
