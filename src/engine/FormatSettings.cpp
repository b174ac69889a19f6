#include "FormatSettings.h"

#include "FormatText.h"
#include "TDecimal.h"

#include <QLocale>

#include <charconv>
#include <cmath>

TFormatSettings& FormatSettings() {
    static TFormatSettings settings;
    return settings;
}

QString FormatDateTimePicture(const QString& picture, const QDate& date, const QTime& time) {
    const TFormatSettings& fs = FormatSettings();
    QString out;
    bool afterHour = false;
    for (int i = 0; i < picture.size();) {
        const QChar c = picture[i].toUpper();
        int run = 1;
        while (i + run < picture.size() && picture[i + run].toUpper() == c)
            ++run;
        auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
        if (c == QLatin1Char('D')) {
            out += run >= 4   ? QLocale::c().dayName(date.dayOfWeek())
                   : run == 3 ? QLocale::c().dayName(date.dayOfWeek(), QLocale::ShortFormat)
                   : run == 2 ? two(date.day())
                              : QString::number(date.day());
            afterHour = false;
        } else if (c == QLatin1Char('M') && afterHour) {
            out += run >= 2 ? two(time.minute()) : QString::number(time.minute());
            afterHour = false;
        } else if (c == QLatin1Char('M')) {
            out += run >= 4   ? QLocale::c().monthName(date.month())
                   : run == 3 ? QLocale::c().monthName(date.month(), QLocale::ShortFormat)
                   : run == 2 ? two(date.month())
                              : QString::number(date.month());
        } else if (c == QLatin1Char('Y')) {
            out += run <= 2 ? two(date.year() % 100) : QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0'));
            afterHour = false;
        } else if (c == QLatin1Char('H')) {
            out += run >= 2 ? two(time.hour()) : QString::number(time.hour());
            afterHour = true;
        } else if (c == QLatin1Char('N')) {
            out += run >= 2 ? two(time.minute()) : QString::number(time.minute());
            afterHour = false;
        } else if (c == QLatin1Char('S')) {
            out += run >= 2 ? two(time.second()) : QString::number(time.second());
            afterHour = false;
        } else if (c == QLatin1Char('/')) {
            out += QString(run, fs.DateSeparator);
        } else if (c == QLatin1Char(':')) {
            out += QString(run, fs.TimeSeparator);
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            const int close = int(picture.indexOf(picture[i], i + 1));
            const int end = close < 0 ? int(picture.size()) : close;
            out += picture.mid(i + 1, end - i - 1);
            i = end + 1;
            continue;
        } else {
            out += picture.mid(i, run);
        }
        i += run;
    }
    return out;
}

QString DateToText(const QDate& date) { return FormatDateTimePicture(FormatSettings().ShortDateFormat, date, QTime()); }

QString TimeToText(const QTime& time) { return FormatDateTimePicture(FormatSettings().LongTimeFormat, QDate(), time); }

QString DateTimeToText(const QDateTime& dateTime) {
    const QString date = DateToText(dateTime.date());
    if (dateTime.time() == QTime(0, 0))
        return date;
    return date + QLatin1Char(' ') + TimeToText(dateTime.time());
}

static QString WithSeparator(QString text) {
    const QChar sep = FormatSettings().DecimalSeparator;
    if (sep != QLatin1Char('.'))
        text.replace(QLatin1Char('.'), sep);
    return text;
}

QString FloatToText(double value) {
    if (!std::isfinite(value))
        return QString::number(value);
    char buffer[400];
    const double magnitude = std::fabs(value);
    const bool fixed = magnitude == 0 || (magnitude >= 1e-5 && magnitude < 1e15);
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      fixed ? std::chars_format::fixed : std::chars_format::scientific);
    QString text = QString::fromLatin1(buffer, int(result.ptr - buffer));
    if (!fixed) {
        // "1.5e-07" is written "1.5E-7".
        const int e = int(text.indexOf(QLatin1Char('e')));
        const int exponent = text.mid(e + 1).toInt();
        text = text.left(e) + QLatin1Char('E') + QString::number(exponent);
    }
    return WithSeparator(text);
}

QString DecimalToText(const TDecimal& value) { return WithSeparator(value.ToString()); }

QString FloatToDisplayText(double value) {
    if (!std::isfinite(value))
        return QString::number(value);
    // Every grid cell and export line of a float passes here: to_chars is
    // several times faster than QString::number for the same text.
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    return WithSeparator(QString::fromLatin1(buffer, int(result.ptr - buffer)));
}
