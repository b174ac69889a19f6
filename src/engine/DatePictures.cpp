#include "DatePictures.h"

#include "FormatSettings.h"

#include <QLocale>

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
