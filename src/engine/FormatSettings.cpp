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

TDateTimePicture::TDateTimePicture(const QString& picture) {
    bool afterHour = false;
    for (int i = 0; i < picture.size();) {
        const QChar c = picture[i].toUpper();
        int run = 1;
        while (i + run < picture.size() && picture[i + run].toUpper() == c)
            ++run;
        TPart part = TPart::Literal;
        if (c == QLatin1Char('D')) {
            part = TPart::Day;
            afterHour = false;
        } else if (c == QLatin1Char('M') && afterHour) {
            part = TPart::Minute; // M after H is minutes
            afterHour = false;
        } else if (c == QLatin1Char('M')) {
            part = TPart::Month;
        } else if (c == QLatin1Char('Y')) {
            part = TPart::Year;
            afterHour = false;
        } else if (c == QLatin1Char('H')) {
            part = TPart::Hour;
            afterHour = true;
        } else if (c == QLatin1Char('N') || c == QLatin1Char('S')) {
            part = c == QLatin1Char('N') ? TPart::Minute : TPart::Second;
            afterHour = false;
        } else if (c == QLatin1Char('/')) {
            part = TPart::DateSeparator;
        } else if (c == QLatin1Char(':')) {
            part = TPart::TimeSeparator;
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            const int close = int(picture.indexOf(picture[i], i + 1));
            const int end = close < 0 ? int(picture.size()) : close;
            FPieces.append({TPart::Literal, 0, picture.mid(i + 1, end - i - 1)});
            i = end + 1;
            continue;
        }
        FPieces.append({part, run, part == TPart::Literal ? picture.mid(i, run) : QString()});
        i += run;
    }
}

namespace {

// Two digits, "07"; a value out of range (an invalid time's -1) as the
// number it is.
void AppendTwo(QString& out, int v) {
    if (v >= 0 && v < 100) {
        out += QLatin1Char(char('0' + v / 10));
        out += QLatin1Char(char('0' + v % 10));
    } else {
        out += QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
    }
}

void AppendNumber(QString& out, int v, int run) {
    if (run >= 2)
        AppendTwo(out, v);
    else if (v >= 0 && v < 10)
        out += QLatin1Char(char('0' + v));
    else
        out += QString::number(v);
}

} // namespace

void TDateTimePicture::Append(QString& out, const QDate& date, const QTime& time) const {
    const TFormatSettings& fs = FormatSettings();
    // The calendar works the parts out once, not once for each.
    int year = 0, month = 0, day = 0;
    date.getDate(&year, &month, &day);
    for (const TPiece& piece : FPieces) {
        switch (piece.Part) {
        case TPart::Day:
            if (piece.Run >= 3)
                out += QLocale::c().dayName(date.dayOfWeek(),
                                            piece.Run >= 4 ? QLocale::LongFormat : QLocale::ShortFormat);
            else
                AppendNumber(out, day, piece.Run);
            break;
        case TPart::Month:
            if (piece.Run >= 3)
                out += QLocale::c().monthName(month,
                                              piece.Run >= 4 ? QLocale::LongFormat : QLocale::ShortFormat);
            else
                AppendNumber(out, month, piece.Run);
            break;
        case TPart::Year: {
            if (piece.Run <= 2)
                AppendTwo(out, year % 100);
            else if (year >= 1000 && year <= 9999) {
                AppendTwo(out, year / 100);
                AppendTwo(out, year % 100);
            } else
                out += QStringLiteral("%1").arg(year, 4, 10, QLatin1Char('0'));
            break;
        }
        case TPart::Hour:
            AppendNumber(out, time.hour(), piece.Run);
            break;
        case TPart::Minute:
            AppendNumber(out, time.minute(), piece.Run);
            break;
        case TPart::Second:
            AppendNumber(out, time.second(), piece.Run);
            break;
        case TPart::DateSeparator:
            for (int i = 0; i < piece.Run; ++i)
                out += fs.DateSeparator;
            break;
        case TPart::TimeSeparator:
            for (int i = 0; i < piece.Run; ++i)
                out += fs.TimeSeparator;
            break;
        case TPart::Literal:
            out += piece.Literal;
            break;
        }
    }
}

QString FormatDateTimePicture(const QString& picture, const QDate& date, const QTime& time) {
    // A walk or a grid formats value after value with the same picture.
    thread_local QString lastPicture;
    thread_local TDateTimePicture parsed;
    // The empty picture needs no parse: it is what both start as.
    if (picture != lastPicture) {
        parsed = TDateTimePicture(picture);
        lastPicture = picture;
    }
    QString out;
    out.reserve(2 * picture.size() + 8); // one allocation for the common pictures
    parsed.Append(out, date, time);
    return out;
}

QString DateToText(const QDate& date) {
    return FormatDateTimePicture(FormatSettings().ShortDateFormat, date, QTime());
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
