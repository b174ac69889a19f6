#pragma once

// Value-to-text conversions under the process-wide format settings.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

class TDecimal;
struct TExactNumber;

// Appends n characters; an empty text takes them in one allocation of their
// size, without append's room to grow: a walk makes a text of every field.
inline void AppendChars(QString& out, const QChar* text, qsizetype n) {
    if (out.isNull())
        out = QString(text, n);
    else
        out.append(text, n);
}

QString DateToText(const QDate& date);
QString TimeToText(const QTime& time);
// The date, then the time unless it is midnight.
QString DateTimeToText(const QDateTime& dateTime);
// The shortest text that reads back as the same double, "." replaced by
// the decimal separator.
QString FloatToText(double value);
// A fixed-point value's exact digits, "." replaced by the decimal separator.
QString DecimalToText(const TDecimal& value);
// The same text of an exact number; nothing for NULL.
void AppendExactText(QString& out, const TExactNumber& number);
// At most 15 significant digits, as a grid shows a float without a format.
QString FloatToDisplayText(double value);
void AppendFloatDisplayText(QString& out, double value);
