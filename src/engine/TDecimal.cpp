#include "TDecimal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

// An exponent past this is no fixed-point value of any server.
constexpr int MaxExponent = 1000;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The parts of "[+|-]digits[.digits][e[+|-]digits]" with blanks around;
// false otherwise. Some drivers write a REAL's digits with an exponent.
struct TNumberParts {
    bool Negative = false;
    QByteArrayView Int, Frac;
    int Exponent = 0;
};

bool SplitNumber(QByteArrayView text, TNumberParts& parts) {
    qsizetype i = 0, n = text.size();
    while (i < n && IsBlank(text[i]))
        ++i;
    while (n > i && IsBlank(text[n - 1]))
        --n;
    if (i < n && (text[i] == '-' || text[i] == '+')) parts.Negative = text[i++] == '-';
    const qsizetype intStart = i;
    while (i < n && IsDigit(text[i]))
        ++i;
    parts.Int = text.sliced(intStart, i - intStart);
    if (i < n && text[i] == '.') {
        const qsizetype fracStart = ++i;
        while (i < n && IsDigit(text[i]))
            ++i;
        parts.Frac = text.sliced(fracStart, i - fracStart);
    }
    if (parts.Int.isEmpty() && parts.Frac.isEmpty()) return false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        const bool negative = i < n && text[i] == '-';
        if (i < n && (text[i] == '-' || text[i] == '+')) ++i;
        const qsizetype start = i;
        int exponent = 0;
        for (; i < n && IsDigit(text[i]); ++i) {
            exponent = exponent * 10 + (text[i] - '0');
            if (exponent > MaxExponent) return false;
        }
        if (i == start) return false;
        parts.Exponent = negative ? -exponent : exponent;
    }
    return i == n;
}

// Leading zeros of the integer part and trailing zeros of the fraction go.
void Trim(TNumberParts& parts) {
    while (!parts.Int.isEmpty() && parts.Int.front() == '0')
        parts.Int = parts.Int.sliced(1);
    while (!parts.Frac.isEmpty() && parts.Frac.back() == '0')
        parts.Frac.chop(1);
}

QByteArray DigitsOf(TInt128 value) {
    // |value| of the most negative 128-bit number does not fit; no caller
    // makes one (mantissas come from at most 38 digits).
    TUInt128 magnitude = value < 0 ? TUInt128(-value) : TUInt128(value);
    char buffer[48];
    char* p = buffer + sizeof buffer;
    do {
        *--p = char('0' + int(magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    return QByteArray(p, buffer + sizeof buffer - p);
}

const bool ConvertersRegistered = [] {
    // So that a plain QVariant::toString() or toDouble() of a value gives
    // its digits rather than nothing.
    QMetaType::registerConverter<TDecimal, QString>(&TDecimal::ToString);
    QMetaType::registerConverter<TDecimal, double>(&TDecimal::ToDouble);
    return true;
}();

} // namespace

bool ParseExactNumber(const char* text, qsizetype size, TExactNumber& out) {
    TNumberParts parts;
    if (!SplitNumber(QByteArrayView(text, size), parts)) return false;
    Trim(parts);
    TInt128 mantissa = 0;
    int significant = 0;
    for (QByteArrayView digits : {parts.Int, parts.Frac}) {
        for (char c : digits) {
            if (significant == 0 && c == '0') continue; // the zeros of 0.000005
            if (++significant > 38) return false;
            mantissa = mantissa * 10 + (c - '0');
        }
    }
    out.Mantissa = parts.Negative ? -mantissa : mantissa;
    out.Scale = int(parts.Frac.size()) - parts.Exponent;
    out.Null = false;
    return true;
}

bool ExactNumberFromDouble(double value, TExactNumber& out) {
    out = TExactNumber();
    if (!std::isfinite(value)) return false;
    if (value == 0) return true;
    // d.dddddddddddddde±x: fifteen significant digits.
    char buffer[40];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14).ptr;
    const char* p = buffer;
    const bool negative = *p == '-';
    if (negative) ++p;
    qint64 mantissa = 0;
    for (; p < end && *p != 'e'; ++p)
        if (IsDigit(*p)) mantissa = mantissa * 10 + (*p - '0');
    int exponent = 0;
    std::from_chars(p + 1 + (p[1] == '+'), end, exponent);
    int scale = 14 - exponent;
    while (mantissa % 10 == 0) {
        mantissa /= 10;
        --scale;
    }
    out.Mantissa = negative ? -mantissa : mantissa;
    out.Scale = scale;
    return true;
}

std::optional<TDecimal> TDecimal::FromText(QByteArrayView text) {
    TNumberParts parts;
    if (!SplitNumber(text, parts)) return std::nullopt;
    // The digits with the point moved by the exponent (most texts have none).
    TNumberParts placed = parts;
    QByteArray digits;
    if (parts.Exponent != 0) {
        digits = parts.Int.toByteArray() + parts.Frac.toByteArray();
        qsizetype point = parts.Int.size() + parts.Exponent;
        if (point < 0) {
            digits.prepend(QByteArray(-point, '0'));
            point = 0;
        }
        if (point > digits.size()) digits.append(point - digits.size(), '0');
        placed.Int = QByteArrayView(digits).first(point);
        placed.Frac = QByteArrayView(digits).sliced(point);
    }
    Trim(placed);
    QByteArray out;
    out.reserve(placed.Int.size() + placed.Frac.size() + 3);
    if (parts.Negative && !(placed.Int.isEmpty() && placed.Frac.isEmpty())) out += '-';
    out += placed.Int.isEmpty() ? QByteArrayView("0") : placed.Int;
    if (!placed.Frac.isEmpty()) {
        out += '.';
        out += placed.Frac;
    }
    return TDecimal(std::move(out));
}

std::optional<TDecimal> TDecimal::FromText(QStringView text) {
    for (QChar c : text)
        if (c.unicode() > 127) return std::nullopt;
    return FromText(QByteArrayView(text.toLatin1()));
}

TDecimal TDecimal::FromDouble(double value) {
    TExactNumber number;
    ExactNumberFromDouble(value, number);
    return FromExact(number);
}

TDecimal TDecimal::FromScaled(TInt128 mantissa, int scale) {
    QByteArray digits = DigitsOf(mantissa);
    if (mantissa == 0) return TDecimal();
    if (scale < 0) {
        digits.append(-scale, '0');
        scale = 0;
    }
    if (digits.size() <= scale) digits.prepend(QByteArray(scale - digits.size() + 1, '0'));
    QByteArray text = digits.left(digits.size() - scale);
    QByteArray fraction = digits.right(scale);
    while (fraction.endsWith('0'))
        fraction.chop(1);
    if (!fraction.isEmpty()) text += '.' + fraction;
    return TDecimal(mantissa < 0 ? '-' + text : text);
}

double TDecimal::ToDouble() const {
    double value = 0;
    std::from_chars(FText.constBegin(), FText.constEnd(), value);
    return value;
}

bool TDecimal::ToInt64(qint64& out) const {
    if (FText.contains('.')) return false;
    const auto [end, error] = std::from_chars(FText.constBegin(), FText.constEnd(), out);
    return error == std::errc() && end == FText.constEnd();
}

bool TDecimal::ToScaled(TInt128& mantissa, int& scale) const {
    const qsizetype point = FText.indexOf('.');
    const qsizetype digits = FText.size() - (IsNegative() ? 1 : 0) - (point < 0 ? 0 : 1);
    if (digits > 38) return false;
    TInt128 m = 0;
    for (char c : FText)
        if (IsDigit(c)) m = m * 10 + (c - '0');
    mantissa = IsNegative() ? -m : m;
    scale = point < 0 ? 0 : int(FText.size() - point - 1);
    return true;
}

QByteArray TDecimal::AbsFixed(int decimals, QByteArrayView roundUpFrom) const {
    const QByteArray magnitude = IsNegative() ? FText.mid(1) : FText;
    const qsizetype point = magnitude.indexOf('.');
    QByteArray digits = point < 0 ? magnitude : magnitude.left(point);
    const QByteArray fraction = point < 0 ? QByteArray() : magnitude.mid(point + 1);
    digits += fraction.left(decimals);
    digits.append(decimals - std::min<qsizetype>(decimals, fraction.size()), '0');
    QByteArray rest = fraction.mid(decimals).left(roundUpFrom.size());
    rest.append(roundUpFrom.size() - rest.size(), '0');
    if (fraction.size() > decimals && rest >= roundUpFrom) {
        qsizetype i = digits.size() - 1;
        for (; i >= 0 && digits[i] == '9'; --i)
            digits[i] = '0';
        if (i < 0) {
            digits.prepend('1');
        } else {
            ++digits[i];
        }
    }
    const qsizetype intDigits = digits.size() - decimals;
    QByteArray out = digits.left(intDigits);
    if (decimals > 0) out += '.' + digits.mid(intDigits);
    return out;
}

bool TExactSum::Add(TInt128 mantissa, int scale) {
    constexpr int maxScale = 30;
    // 10^38 and a little: the most the sum may hold and stay exact.
    constexpr TInt128 limit = TInt128(1000000000000000000LL) * TInt128(1000000000000000000LL) * 100;
    const auto scaled = [](TInt128& value, int by) {
        for (; by > 0; --by) {
            if (value > limit / 10 || value < -limit / 10) return false;
            value *= 10;
        }
        return true;
    };
    if (mantissa > limit || mantissa < -limit) return false;
    if (scale < 0) {
        if (!scaled(mantissa, -scale)) return false;
        scale = 0;
    }
    if (scale > maxScale) return false;
    TInt128 sum = FSum;
    if (scale > FScale) {
        if (!scaled(sum, scale - FScale)) return false;
    } else if (!scaled(mantissa, FScale - scale)) {
        return false;
    }
    // Each side may be near the limit: their sum may pass what 128 bits hold.
    if (__builtin_add_overflow(sum, mantissa, &sum) || sum > limit || sum < -limit) return false;
    FSum = sum;
    FScale = std::max(FScale, scale);
    return true;
}

bool TExactSum::Add(const TDecimal& value) {
    TInt128 mantissa = 0;
    int scale = 0;
    return value.ToScaled(mantissa, scale) && Add(mantissa, scale);
}

QVariant DecimalVariant(const TDecimal& value) {
    qint64 whole = 0;
    if (value.ToInt64(whole)) return QVariant(qlonglong(whole));
    return QVariant::fromValue(value);
}

QVariant DecimalVariant(const TExactNumber& value) {
    if (value.Null) return QVariant();
    constexpr TInt128 low = std::numeric_limits<qint64>::min(), high = std::numeric_limits<qint64>::max();
    if (value.Scale <= 0 && value.Mantissa >= low && value.Mantissa <= high) {
        TInt128 whole = value.Mantissa;
        for (int i = value.Scale; i < 0 && whole >= low && whole <= high; ++i)
            whole *= 10;
        if (whole >= low && whole <= high) return QVariant(qlonglong(whole));
    }
    return DecimalVariant(TDecimal::FromExact(value));
}

bool IsDecimal(const QVariant& value) {
    return value.metaType() == QMetaType::fromType<TDecimal>();
}

std::optional<TDecimal> ToDecimal(const QVariant& value) {
    if (value.isNull()) return std::nullopt;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return TDecimal::FromScaled(value.toLongLong(), 0);
    case QMetaType::ULongLong:
        return TDecimal::FromScaled(TInt128(value.toULongLong()), 0);
    case QMetaType::QString:
        return TDecimal::FromText(QStringView(value.toString()));
    case QMetaType::QByteArray:
        return TDecimal::FromText(QByteArrayView(value.toByteArray()));
    default:
        if (IsDecimal(value)) return value.value<TDecimal>();
        return std::nullopt;
    }
}
