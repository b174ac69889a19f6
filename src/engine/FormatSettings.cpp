#include "FormatSettings.h"

#include "FormatText.h"
#include "TDecimal.h"

#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>

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

// A date's digits gather here and reach the text in one append: a walk
// writes one for every record.
class TPictureOut {
public:
    explicit TPictureOut(QString& out) : FOut(out) {}
    ~TPictureOut() { Flush(); }
    TPictureOut(const TPictureOut&) = delete;
    TPictureOut& operator=(const TPictureOut&) = delete;

    void Put(QChar c) {
        if (FSize == std::size(FText)) Flush();
        FText[FSize++] = c;
    }
    void Put(const QString& text) {
        if (text.size() > qsizetype(std::size(FText) - FSize)) {
            Flush();
            FOut += text;
            return;
        }
        for (QChar c : text)
            FText[FSize++] = c;
    }
    // Two digits, "07"; a value out of range (an invalid time's -1) as the
    // number it is.
    void Two(int v) {
        if (v >= 0 && v < 100) {
            Put(QLatin1Char(char('0' + v / 10)));
            Put(QLatin1Char(char('0' + v % 10)));
        } else {
            Put(QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')));
        }
    }
    void Number(int v, int run) {
        if (run >= 2)
            Two(v);
        else if (v >= 0 && v < 10)
            Put(QLatin1Char(char('0' + v)));
        else
            Put(QString::number(v));
    }

private:
    void Flush() {
        FOut.append(FText, qsizetype(FSize));
        FSize = 0;
    }
    QString& FOut;
    QChar FText[32];
    size_t FSize = 0;
};

} // namespace

void TDateTimePicture::Append(QString& text, const QDate& date, const QTime& time) const {
    const TFormatSettings& fs = FormatSettings();
    TPictureOut out(text);
    // The calendar works the parts out once, not once for each.
    int year = 0, month = 0, day = 0;
    date.getDate(&year, &month, &day);
    for (const TPiece& piece : FPieces) {
        switch (piece.Part) {
        case TPart::Day:
            if (piece.Run >= 3)
                out.Put(QLocale::c().dayName(date.dayOfWeek(),
                                             piece.Run >= 4 ? QLocale::LongFormat : QLocale::ShortFormat));
            else
                out.Number(day, piece.Run);
            break;
        case TPart::Month:
            if (piece.Run >= 3)
                out.Put(QLocale::c().monthName(month,
                                               piece.Run >= 4 ? QLocale::LongFormat : QLocale::ShortFormat));
            else
                out.Number(month, piece.Run);
            break;
        case TPart::Year: {
            if (piece.Run <= 2)
                out.Two(year % 100);
            else if (year >= 1000 && year <= 9999) {
                out.Two(year / 100);
                out.Two(year % 100);
            } else
                out.Put(QStringLiteral("%1").arg(year, 4, 10, QLatin1Char('0')));
            break;
        }
        case TPart::Hour:
            out.Number(time.hour(), piece.Run);
            break;
        case TPart::Minute:
            out.Number(time.minute(), piece.Run);
            break;
        case TPart::Second:
            out.Number(time.second(), piece.Run);
            break;
        case TPart::DateSeparator:
            for (int i = 0; i < piece.Run; ++i)
                out.Put(fs.DateSeparator);
            break;
        case TPart::TimeSeparator:
            for (int i = 0; i < piece.Run; ++i)
                out.Put(fs.TimeSeparator);
            break;
        case TPart::Literal:
            out.Put(piece.Literal);
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
    out.append(reinterpret_cast<const QChar*>(begin), end - begin);
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
