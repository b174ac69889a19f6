#pragma once

#include "DatePictures.h"
#include "TField.h"

// The text that the export writes for one field, record after record: the
// field's kind and format are looked at once, and the current record's text
// is appended to a buffer that the caller reuses. The same text as
// DisplayText for numbers and dates and AsString for the rest; whole and
// fixed-point numbers, floats and texts on a walk's streamed rows need no
// string or QVariant of their own.
class TFieldFormatter {
public:
    explicit TFieldFormatter(const TField* field);
    void Append(QString& out) const;

private:
    enum class TKind { Whole, Fixed, Float, Date, Display, String, Text };
    const TField* FField;
    TKind FKind;
    TDateTimePicture FDate;
    QTime FDateTime; // what the date picture is given for the time
};
