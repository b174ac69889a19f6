#pragma once

#include "engine/Exception.h"
#include "engine/TDecimal.h"

#include <QString>

// A text that is no number.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// Reads a number written with "," or "." as decimal mark and any grouping;
// raises EConvertError "'%s' is not a valid floating point value".
long double TextToNumber(const QString& text);

// Writes value after a picture such as "### ### ##0.00##", however large,
// rounding its exact binary value, so that every decimal written is right;
// raises EConvertError only for NaN and infinities.
QString FormatNumber(const QString& picture, long double value);
// The same for an exact decimal, digit for digit.
QString FormatNumber(const QString& picture, const TDecimal& value);
