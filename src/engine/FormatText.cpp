#include "FormatText.h"

#include "DatePictures.h"
#include "FormatSettings.h"
#include "TDecimal.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

QString DateToText(const QDate& date) {
    const TFormatSettings& fs = FormatSettings();
    if (!date.isValid()) return FormatDateTimePicture(fs.ShortDateFormat, date, QTime());
    // A table holds few distinct dates: a day's text is made once and
    // shared, for as long as the picture and the separators stay the same.
    // A place holds the first day that comes to it: replacing it would free
    // a text long out of the processor's cache on every other record.
    struct TDayText {
        qint64 Day = 0;
        QString Text; // null: none yet
    };
    thread_local std::array<TDayText, 4096> days;
    thread_local QString picture;
    thread_local QChar dateSeparator, timeSeparator;
    if (fs.ShortDateFormat != picture || fs.DateSeparator != dateSeparator ||
        fs.TimeSeparator != timeSeparator) {
        days.fill({});
        picture = fs.ShortDateFormat;
        dateSeparator = fs.DateSeparator;
        timeSeparator = fs.TimeSeparator;
    }
    const qint64 day = date.toJulianDay();
    TDayText& known = days[size_t(day) % days.size()];
    if (known.Day == day && !known.Text.isNull()) return known.Text;
    const QString text = FormatDateTimePicture(picture, date, QTime());
    if (known.Text.isNull()) known = {day, text};
    return text;
}

QString TimeToText(const QTime& time) {
    return FormatDateTimePicture(FormatSettings().LongTimeFormat, QDate(), time);
}

QString DateTimeToText(const QDateTime& dateTime) {
    const QString date = DateToText(dateTime.date());
    if (dateTime.time() == QTime(0, 0)) return date;
    return date + QLatin1Char(' ') + TimeToText(dateTime.time());
}

static QString WithSeparator(QString text) {
    const QChar sep = FormatSettings().DecimalSeparator;
    if (sep != QLatin1Char('.')) text.replace(QLatin1Char('.'), sep);
    return text;
}

QString FloatToText(double value) {
    if (!std::isfinite(value)) return QString::number(value);
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

QString DecimalToText(const TDecimal& value) {
    return WithSeparator(value.ToString());
}

void AppendExactText(QString& out, const TExactNumber& number) {
    if (number.Null) return;
    if (number.Scale > 40 || number.Scale < -40) {
        out += DecimalToText(TDecimal::FromScaled(number.Mantissa, number.Scale));
        return;
    }
    // The digits of the magnitude right to left, in 64-bit arithmetic where
    // it fits (the common case by far), then zeros for a negative scale.
    char16_t text[100];
    char16_t* end = text + 50;
    char16_t* begin = end;
    TUInt128 magnitude = number.Mantissa < 0 ? TUInt128(-number.Mantissa) : TUInt128(number.Mantissa);
    for (; magnitude > std::numeric_limits<quint64>::max(); magnitude /= 10)
        *--begin = char16_t(u'0' + int(magnitude % 10));
    for (quint64 small = quint64(magnitude); small != 0; small /= 10)
        *--begin = char16_t(u'0' + small % 10);
    if (begin == end) {
        out += QLatin1Char('0');
        return;
    }
    for (int scale = number.Scale; scale < 0; ++scale)
        *end++ = u'0';
    // A digit before the point, and the fraction without its trailing zeros,
    // as the exact text has them.
    char16_t* const point = end - std::max(number.Scale, 0);
    while (begin >= point)
        *--begin = u'0';
    while (end > point && end[-1] == u'0')
        --end;
    if (end > point) {
        std::move_backward(point, end, end + 1);
        *point = FormatSettings().DecimalSeparator.unicode();
        ++end;
    }
    if (number.Mantissa < 0) *--begin = u'-';
    AppendChars(out, reinterpret_cast<const QChar*>(begin), end - begin);
}

QString FloatToDisplayText(double value) {
    QString text;
    AppendFloatDisplayText(text, value);
    return text;
}

void AppendFloatDisplayText(QString& out, double value) {
    if (!std::isfinite(value)) {
        out += QString::number(value);
        return;
    }
    // Every grid cell and export line of a float passes here: to_chars is
    // several times faster than QString::number for the same text.
    char buffer[32];
    const char* end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15).ptr;
    const QChar separator = FormatSettings().DecimalSeparator;
    for (const char* c = buffer; c != end; ++c)
        out += *c == '.' ? separator : QLatin1Char(*c);
}
