#pragma once

// Number pictures: how a field's display format writes a value ("0.00"
// makes 14.2 "14.20").

#include "TDecimal.h"

#include <QString>

// Delphi-style float picture ("0.00####", "#,##0.00"): 0 digit, # optional
// digit, "." decimal mark, "," grouping, other characters literal.
QString FormatFloat(const QString& picture, double value);
void AppendFloat(QString& out, const QString& picture, double value);
QString FormatFloat(const QString& picture, const TDecimal& value);
// Appends an exact number as FormatFloat writes its digits, for a picture of
// one section of placeholders and a decimal mark; false, appending nothing,
// for any other picture.
bool AppendExact(QString& out, const QString& picture, const TExactNumber& value);
