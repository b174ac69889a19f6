#pragma once

#include "engine/Exception.h"

#include <QString>

// A text that is no number.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// Reads a number written with "," or "." as decimal mark and any grouping;
// raises EConvertError "'%s' is not a valid floating point value".
long double TextToNumber(const QString& text);

// Writes value after a picture such as "### ### ##0.00##"; raises
// EConvertError when the scaled value leaves the 64-bit integer range.
QString FormatNumber(const QString& picture, long double value);
