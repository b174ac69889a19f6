#pragma once

// Value-to-text conversions under the process-wide format settings.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

class TDecimal;
struct TExactNumber;

// A date or time picture in the program's notation ("DD.MM.YYYY",
// "HH:MM": M after H means minutes, N is minutes too, "/" and ":" are the
// date and time separators) applied to a value.
QString FormatDateTimePicture(const QString& picture, const QDate& date, const QTime& time);

// Such a picture read once, for a walk that writes many values with it.
class TDateTimePicture {
public:
    explicit TDateTimePicture(const QString& picture = QString());
    void Append(QString& out, const QDate& date, const QTime& time) const;

private:
    enum class TPart : char { Day, Month, Year, Hour, Minute, Second, DateSeparator, TimeSeparator, Literal };
    struct TPiece {
        TPart Part;
        int Run;
        QString Literal;
    };
    QList<TPiece> FPieces;
};

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
