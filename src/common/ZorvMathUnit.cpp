#include "ZorvMathUnit.h"

#include "ZorvStr.h"

#include <charconv>
#include <cmath>
#include <cstdint>

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

// The digits of |n| with d decimals, "." as mark, "0" before a leading ".".
QString FixedText(std::int64_t n, int d) {
    const std::uint64_t magnitude = n < 0 ? std::uint64_t(0) - std::uint64_t(n) : std::uint64_t(n);
    QString digits = QString::number(magnitude);
    if (d > 0) {
        if (digits.size() < d + 1) digits.prepend(QString(d + 1 - int(digits.size()), QLatin1Char('0')));
        digits.insert(digits.size() - d, QLatin1Char('.'));
    }
    return n < 0 ? QLatin1Char('-') + digits : digits;
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
    const qsizetype point = picture.indexOf(QLatin1Char('.'));
    const QString intPicture = point < 0 ? picture : picture.left(point);
    QString fracPicture = point < 0 ? QString() : picture.mid(point + 1, 31);
    int d = int(fracPicture.size());

    long double scaled = value;
    for (int i = 0; i < d; ++i)
        scaled *= 10;
    scaled += value >= 0 ? 0.500001L : -0.500001L;
    // 2^63: the first value that no signed 64-bit integer holds.
    const long double limit = 9223372036854775808.0L;
    if (!(scaled > -limit - 1 && scaled < limit))
        throw EConvertError(QStringLiteral("%1 is too large for the picture '%2'")
                                .arg(QString::number(double(value), 'g', 17), picture));
    QString text = FixedText(std::int64_t(std::trunc(scaled)), d);

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
