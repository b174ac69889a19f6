#include "DatePictures.h"

#include "FormatSettings.h"
#include "FormatText.h"

#include <QLocale>
#include <iterator>

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
        AppendChars(FOut, FText, qsizetype(FSize));
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
    QString out; // a date's digits come in one piece: one allocation of their size
    parsed.Append(out, date, time);
    return out;
}
