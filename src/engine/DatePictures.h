#pragma once

// Date and time pictures: how a display format or the date and time formats
// write a value.

#include <QDate>
#include <QList>
#include <QString>
#include <QTime>

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
