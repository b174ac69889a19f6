#include "ZorvMathUnit.h"

#include "ZorvStr.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {

bool IsDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// "[-]digits[.digits][e[-]digits]" with at least one digit before the exponent.
bool IsPlainNumber(const QByteArray& text) {
    int i = 0;
    const int size = int(text.size());
    auto digits = [&] {
        const int start = i;
        while (i < size && text[i] >= '0' && text[i] <= '9')
            ++i;
        return i - start;
    };
    if (i < size && text[i] == '-') ++i;
    int mantissa = digits();
    if (i < size && text[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0) return false;
    if (i < size && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < size && text[i] == '-') ++i;
        if (digits() == 0) return false;
    }
    return i == size;
}

// n / 10^d from the digits of |n|: "[-]digits[.decimals]", "." as mark and
// "0" before a leading "."; a zero has no sign.
QString FixedText(QByteArrayView digits, bool negative, int d) {
    while (digits.size() > 1 && digits.front() == '0')
        digits = digits.sliced(1);
    QString text = QString::fromLatin1(digits);
    if (text == QLatin1String("0")) negative = false;
    if (d > 0) {
        if (text.size() < d + 1) text.prepend(QString(d + 1 - int(text.size()), QLatin1Char('0')));
        text.insert(text.size() - d, QLatin1Char('.'));
    }
    return negative ? QLatin1Char('-') + text : text;
}

struct TNumberPicture {
    QString Int, Frac; // before and after the first "."; the fraction at most 31 long
};

TNumberPicture SplitPicture(const QString& picture) {
    const qsizetype point = picture.indexOf(QLatin1Char('.'));
    return {point < 0 ? picture : picture.left(point), point < 0 ? QString() : picture.mid(point + 1, 31)};
}

// The rounded number, "[-]digits.decimals" with the picture's decimals, laid
// into the picture.
QString LayOutNumber(const TNumberPicture& picture, QString text) {
    const QString& intPicture = picture.Int;
    QString fracPicture = picture.Frac;
    int d = int(fracPicture.size());
    while (d > 0 && text.endsWith(QLatin1Char('0')) && fracPicture.endsWith(QLatin1Char('#'))) {
        text.chop(1);
        fracPicture.chop(1);
        --d;
    }
    if (text.endsWith(QLatin1Char('.'))) text.chop(1);
    const bool negative = text.startsWith(QLatin1Char('-'));
    if (negative) text.remove(0, 1);

    // Lay the integer digits into the integer picture from the right.
    const qsizetype dot = text.indexOf(QLatin1Char('.'));
    qsizetype digit = (dot < 0 ? text.size() : dot) - 1;
    qsizetype pic = intPicture.size() - 1;
    for (; pic >= 0 && digit >= 0; --pic) {
        const QChar c = intPicture[pic];
        if (c == QLatin1Char('#') || IsDigit(c))
            --digit;
        else
            text.insert(digit + 1, c);
    }
    const qsizetype intLength =
        text.indexOf(QLatin1Char('.')) < 0 ? text.size() : text.indexOf(QLatin1Char('.'));
    if (intLength < intPicture.size()) {
        text.prepend(intPicture.left(pic + 1));
        qsizetype first = 0;
        while (first < text.size() && !IsDigit(text[first]))
            ++first;
        text.remove(0, first);
    }
    if (negative) text.prepend(QLatin1Char('-'));
    return text;
}

} // namespace

long double TextToNumber(const QString& text) {
    QString work = text;
    const qsizetype mark = std::max(work.lastIndexOf(QLatin1Char(',')), work.lastIndexOf(QLatin1Char('.')));
    if (mark >= 0) work[mark] = QLatin1Char('i');
    const qsizetype minus = work.indexOf(QLatin1Char('-'));
    if (minus >= 0) work[minus] = QLatin1Char('m');
    work = StripPunctuation(work);
    ReplaceChar(work, QLatin1Char('i'), QLatin1Char('.'));
    ReplaceChar(work, QLatin1Char('m'), QLatin1Char('-'));
    if (work.isEmpty() || work == QLatin1String("-")) work = QStringLiteral("0");

    const QByteArray ascii = work.toLatin1();
    long double result = 0;
    // Non-Latin-1 characters come back as "?", which the check refuses.
    if (IsPlainNumber(ascii)) {
        const auto [end, error] = std::from_chars(ascii.constBegin(), ascii.constEnd(), result);
        if (error == std::errc() && end == ascii.constEnd()) return result;
        // Out of range: the conversion refuses it like any other text.
    }
    throw EConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(work));
}

QString FormatNumber(const QString& picture, long double value) {
    if (!std::isfinite(value))
        throw EConvertError(QStringLiteral("%1 cannot be written after the picture '%2'")
                                .arg(QString::number(double(value)), picture));
    // Rounded from the value's exact binary fraction, not from a scaled
    // copy that has lost digits: its lowest bit is 2^(exponent - 64), whose
    // decimal expansion ends after that many decimals, and to_chars writes
    // them all exactly, with "." whatever the user's locale.
    int exponent = 0;
    std::frexp(value, &exponent);
    const int decimals = std::max(0, std::numeric_limits<long double>::digits - exponent);
    // A sign, the whole part (at most max_exponent10 + 1 digits), the mark
    // and the decimals.
    std::string digits(size_t(decimals) + std::numeric_limits<long double>::max_exponent10 + 4, '\0');
    const auto written = std::to_chars(digits.data(), digits.data() + digits.size(), value,
                                       std::chars_format::fixed, decimals);
    return FormatNumber(picture,
                        *TDecimal::FromText(QByteArrayView(digits.data(), written.ptr - digits.data())));
}

QString FormatNumber(const QString& picture, const TDecimal& value) {
    const TNumberPicture p = SplitPicture(picture);
    const int d = int(p.Frac.size());
    QByteArray digits = value.AbsFixed(d, "499999");
    digits.replace('.', QByteArray());
    return LayOutNumber(p, FixedText(digits, value.IsNegative(), d));
}
