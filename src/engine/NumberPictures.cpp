#include "NumberPictures.h"

#include "FormatSettings.h"
#include "FormatText.h"

#include <QList>
#include <QStringList>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>

namespace {

struct TPictureSection {
    QString Prefix, Suffix;
    QString IntPart;     // placeholders and literals before the decimal mark
    int MinDecimals = 0; // '0's after the mark
    int MaxDecimals = 0; // '0's and '#'s after the mark
    bool HasPoint = false, Grouping = false;
    bool Scientific = false, SignAlways = false;
    int ExpDigits = 0;
    // Placeholders and a decimal mark only ("0.00####"): the common picture,
    // written without the general layout.
    bool Plain = false;
    int IntZeros = 0; // integer places from the first '0' on, always shown
};

QStringList SplitSections(const QString& picture) {
    QStringList out;
    QString cur;
    QChar quote;
    for (QChar c : picture) {
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
            cur += c;
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
            cur += c;
        } else if (c == QLatin1Char(';')) {
            out << cur;
            cur.clear();
        } else {
            cur += c;
        }
    }
    out << cur;
    return out;
}

TPictureSection ParseSection(const QString& s) {
    TPictureSection p;
    enum { Before, Int, Dec, After } where = Before;
    for (int i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        auto literal = [&](const QString& text) {
            if (where == Before)
                p.Prefix += text;
            else if (where == Int)
                p.IntPart += QChar(0xFFFF) + text; // marked as literal
            else
                p.Suffix += text, where = After;
        };
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            const int close = int(s.indexOf(c, i + 1));
            const int end = close < 0 ? int(s.size()) : close;
            literal(s.mid(i + 1, end - i - 1));
            i = end;
        } else if ((c == QLatin1Char('0') || c == QLatin1Char('#')) && where != After) {
            if (where == Dec) {
                ++p.MaxDecimals;
                if (c == QLatin1Char('0')) p.MinDecimals = p.MaxDecimals;
            } else {
                where = Int;
                p.IntPart += c;
            }
        } else if (c == QLatin1Char('.') && where != Dec && where != After) {
            p.HasPoint = true;
            where = Dec;
        } else if (c == QLatin1Char(',') && where == Int) {
            p.Grouping = true;
        } else if ((c == QLatin1Char('E') || c == QLatin1Char('e')) && i + 1 < s.size() &&
                   (s[i + 1] == QLatin1Char('+') || s[i + 1] == QLatin1Char('-')) && where != Before) {
            p.Scientific = true;
            p.SignAlways = s[i + 1] == QLatin1Char('+');
            i += 2;
            while (i < s.size() && s[i] == QLatin1Char('0')) {
                ++p.ExpDigits;
                ++i;
            }
            --i;
            where = After;
        } else {
            literal(QString(c));
        }
    }
    p.Plain = p.Prefix.isEmpty() && p.Suffix.isEmpty() && !p.Grouping && !p.Scientific &&
              !p.IntPart.contains(QChar(0xFFFF));
    const qsizetype firstZero = p.IntPart.indexOf(QLatin1Char('0'));
    p.IntZeros = firstZero < 0 ? 0 : int(p.IntPart.size() - firstZero);
    return p;
}

// Whether magnitude lies exactly halfway between two numbers of the given
// decimals: its binary digits end exactly one decimal further on (an odd
// multiple of 2^-(decimals + 1) has decimals + 1 decimals, the last a 5).
bool ExactTie(double magnitude, int decimals) {
    int exponent = 0;
    const double fraction = std::frexp(magnitude, &exponent);
    if (fraction == 0) return false;
    auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    int lowest = exponent - 53;
    while ((mantissa & 1) == 0) {
        mantissa >>= 1;
        ++lowest;
    }
    return -lowest == decimals + 1;
}

// A plain section's text of a magnitude written with the section's most
// decimals ("123.450000" from begin to end), appended to out, with a minus
// for a negative value that does not round to zero.
void AppendPlainFixed(QString& out, const TPictureSection& p, const char* begin, const char* end,
                      bool negative) {
    const char* point = std::find(begin, end, '.');
    const char* decimalDigits = point == end ? end : point + 1;
    // The text before the sign: integer digits padded to the forced places
    // ("0" alone is dropped where no place forces it), the decimals without
    // the trailing zeros that no '0' forces.
    int intLength = int(point - begin);
    if (intLength == 1 && *begin == '0') intLength = 0;
    char text[128];
    int size = 0;
    for (int i = intLength; i < p.IntZeros; ++i)
        text[size++] = '0';
    for (int k = 0; k < intLength; ++k)
        text[size++] = begin[k];
    int decimals = int(end - decimalDigits);
    while (decimals > p.MinDecimals && decimalDigits[decimals - 1] == '0')
        --decimals;
    bool nonZero = false;
    for (int i = 0; i < size; ++i)
        nonZero = nonZero || text[i] != '0';
    for (int j = 0; j < decimals; ++j)
        nonZero = nonZero || decimalDigits[j] != '0';
    // A value that rounds to zero loses its sign.
    if (negative && nonZero) out += QLatin1Char('-');
    out += QLatin1StringView(text, size);
    if (decimals > 0) {
        out += FormatSettings().DecimalSeparator;
        out += QLatin1StringView(decimalDigits, decimals);
    }
}

// A plain section's text of value, appended to out; the same text as the
// general layout gives, whose digits come from QString::number(magnitude,
// 'f', decimals). Those are correctly rounded, an exact tie away from zero;
// std::to_chars rounds a tie to even, so a tie is rounded here. Past 1e15
// (and for NaN and infinities) the general layout writes.
bool AppendPlain(QString& out, const TPictureSection& p, double value) {
    const double magnitude = std::fabs(value);
    if (!(magnitude < 1e15) || p.MaxDecimals > 30 || p.IntZeros > 60) return false;
    // "123.450000": the magnitude with the section's most decimals, with a
    // place kept in front for a carry.
    char buffer[64];
    char* begin = buffer + 1;
    char* end;
    if (ExactTie(magnitude, p.MaxDecimals)) {
        // The exact digits end in a 5 one place further on: it goes, and
        // the digits before it round up.
        end = std::to_chars(begin, buffer + sizeof buffer, magnitude, std::chars_format::fixed,
                            p.MaxDecimals + 1)
                  .ptr -
              1;
        if (end[-1] == '.') --end;
        for (char* digit = end;;) {
            if (digit == begin) {
                *--begin = '1';
                break;
            }
            --digit;
            if (*digit == '.') continue;
            if (*digit != '9') {
                ++*digit;
                break;
            }
            *digit = '0';
        }
    } else {
        end = std::to_chars(begin, buffer + sizeof buffer, magnitude, std::chars_format::fixed, p.MaxDecimals)
                  .ptr;
    }
    AppendPlainFixed(out, p, begin, end, value < 0);
    return true;
}

QString LayOut(const TPictureSection& p, const QString& fixed, const QString& exponentText);

// The magnitude of value in one section.
QString FormatSection(const TPictureSection& p, double value) {
    QString exponentText;
    if (p.Scientific && value != 0) {
        int exp = int(std::floor(std::log10(value)));
        int intDigits = 0;
        for (QChar c : p.IntPart)
            if (c == QLatin1Char('0') || c == QLatin1Char('#')) ++intDigits;
        exp -= std::max(1, intDigits) - 1;
        value /= std::pow(10.0, exp);
        exponentText =
            QStringLiteral("E") +
            (exp < 0        ? QStringLiteral("-")
             : p.SignAlways ? QStringLiteral("+")
                            : QString()) +
            QStringLiteral("%1").arg(std::abs(exp), std::max(1, p.ExpDigits), 10, QLatin1Char('0'));
    } else if (p.Scientific) {
        exponentText = QStringLiteral("E") + (p.SignAlways ? QStringLiteral("+") : QString()) +
                       QString(std::max(1, p.ExpDigits), QLatin1Char('0'));
    }
    return LayOut(p, QString::number(value, 'f', p.MaxDecimals), exponentText);
}

QString FormatSection(const TPictureSection& p, const TDecimal& value) {
    if (p.Scientific) return FormatSection(p, std::fabs(value.ToDouble()));
    return LayOut(p, QString::fromLatin1(value.AbsFixed(p.MaxDecimals)), QString());
}

// fixed: the magnitude with the section's most decimals ("1234.50").
QString LayOut(const TPictureSection& p, const QString& fixed, const QString& exponentText) {
    const QChar decimal = FormatSettings().DecimalSeparator;
    QString intDigits = fixed, decDigits;
    const int dot = int(fixed.indexOf(QLatin1Char('.')));
    if (dot >= 0) {
        intDigits = fixed.left(dot);
        decDigits = fixed.mid(dot + 1);
    }
    while (decDigits.size() > p.MinDecimals && decDigits.endsWith(QLatin1Char('0')))
        decDigits.chop(1);

    // The integer digits fill the placeholders from the right; "0" forces a
    // digit, "#" shows one only when there is one.
    int zeros = 0, placeholders = 0;
    bool seenZero = false;
    for (QChar c : p.IntPart) {
        if (c == QLatin1Char('0') || c == QLatin1Char('#')) {
            ++placeholders;
            if (c == QLatin1Char('0')) seenZero = true;
            if (seenZero) ++zeros;
        }
    }
    if (intDigits == QLatin1String("0") && zeros == 0) intDigits.clear();
    while (intDigits.size() < zeros)
        intDigits.prepend(QLatin1Char('0'));
    if (p.Grouping) {
        for (int i = int(intDigits.size()) - 3; i > 0; i -= 3)
            intDigits.insert(i, QChar(0xFFFE));
    }

    QString body;
    if (p.Grouping || placeholders == 0) {
        body = intDigits;
        body.replace(QChar(0xFFFE), QLatin1Char(','));
        // Literals inside the integer part follow the digits.
        for (int i = 0; i < p.IntPart.size(); ++i)
            if (p.IntPart[i] == QChar(0xFFFF)) body += p.IntPart.mid(i + 1, 1);
    } else {
        // Walk the picture: digits fill the places from the right, extra
        // leading digits go to the first place, literals show once a digit has.
        const int length = int(intDigits.size());
        const int excess = std::max(0, length - placeholders);
        int place = 0;
        bool shown = false;
        for (int i = 0; i < p.IntPart.size(); ++i) {
            if (p.IntPart[i] == QChar(0xFFFF)) {
                if (shown) body += p.IntPart[i + 1];
                ++i;
                continue;
            }
            const int digit = place - (placeholders - length); // index into intDigits
            if (place == 0 && excess > 0) {
                body += intDigits.left(excess + 1);
                shown = true;
            } else {
                const int at = excess > 0 ? place + excess : digit;
                if (at >= 0 && at < length) {
                    body += intDigits[at];
                    shown = true;
                }
            }
            ++place;
        }
    }
    QString out = p.Prefix + body;
    if (!decDigits.isEmpty()) out += decimal + decDigits;
    return out + exponentText + p.Suffix;
}

bool IsZeroValue(double value) {
    return value == 0;
}
bool IsZeroValue(const TDecimal& value) {
    return value.IsZero();
}
bool IsNegativeValue(double value) {
    return value < 0;
}
bool IsNegativeValue(const TDecimal& value) {
    return value.IsNegative();
}
double Magnitude(double value) {
    return std::fabs(value);
}
const TDecimal& Magnitude(const TDecimal& value) {
    return value;
} // sections write the magnitude

} // namespace

// A float picture read once, for value after value.
class TFloatPicture {
public:
    explicit TFloatPicture(const QString& picture);
    struct TParsed;
    std::shared_ptr<const TParsed> d;
};

// Sections in picture order; a section that is empty in the picture is
// absent, and the first one takes its values.
struct TFloatPicture::TParsed {
    QList<std::optional<TPictureSection>> Sections;
};

TFloatPicture::TFloatPicture(const QString& picture) {
    auto parsed = std::make_shared<TParsed>();
    for (const QString& section : SplitSections(picture))
        parsed->Sections << (section.isEmpty() ? std::nullopt
                                               : std::optional<TPictureSection>(ParseSection(section)));
    d = std::move(parsed);
}

namespace {

template <class TValue> QString FormatWithPicture(const TFloatPicture::TParsed& parsed, const TValue& value) {
    const auto& sections = parsed.Sections;
    if (IsZeroValue(value) && sections.size() >= 3 && sections[2]) return FormatSection(*sections[2], 0.0);
    if (IsNegativeValue(value) && sections.size() >= 2 && sections[1])
        return FormatSection(*sections[1], Magnitude(value));
    const TPictureSection p = sections[0].value_or(TPictureSection());
    const QString text = FormatSection(p, Magnitude(value));
    // A value that rounds to zero loses its sign.
    bool nonZero = false;
    for (QChar c : text)
        nonZero = nonZero || (c.isDigit() && c != QLatin1Char('0'));
    return IsNegativeValue(value) && nonZero ? QLatin1Char('-') + text : text;
}

} // namespace

namespace {

// The grid paints cell after cell of a column with the same picture.
const TFloatPicture& Parsed(const QString& picture) {
    thread_local QString lastPicture;
    thread_local TFloatPicture parsed{QString()};
    if (picture != lastPicture) {
        parsed = TFloatPicture(picture);
        lastPicture = picture;
    }
    return parsed;
}

} // namespace

QString FormatFloat(const QString& picture, double value) {
    QString text;
    AppendFloat(text, picture, value);
    return text;
}

void AppendFloat(QString& out, const QString& picture, double value) {
    if (picture.isEmpty()) {
        AppendFloatDisplayText(out, value);
        return;
    }
    const TFloatPicture::TParsed& parsed = *Parsed(picture).d;
    const auto& sections = parsed.Sections;
    // The first section writes, with the sign, unless a zero or a negative
    // section of its own takes the value.
    const bool own = (IsZeroValue(value) && sections.size() >= 3 && sections[2]) ||
                     (IsNegativeValue(value) && sections.size() >= 2 && sections[1]);
    if (!own && sections[0] && sections[0]->Plain && AppendPlain(out, *sections[0], value)) return;
    out += FormatWithPicture(parsed, value);
}

bool AppendExact(QString& out, const QString& picture, const TExactNumber& value) {
    if (picture.isEmpty()) return false;
    const TFloatPicture::TParsed& parsed = *Parsed(picture).d;
    const auto& sections = parsed.Sections;
    const std::optional<TPictureSection>& p = sections[0];
    if (sections.size() > 1 || !p || !p->Plain || p->MaxDecimals > 30 || p->IntZeros > 60) return false;
    // The magnitude at the section's decimals, half away from zero.
    TUInt128 magnitude = value.Mantissa < 0 ? TUInt128(-value.Mantissa) : TUInt128(value.Mantissa);
    int scale = value.Scale;
    for (; scale < p->MaxDecimals; ++scale) {
        if (magnitude > ~TUInt128(0) / 10) return false;
        magnitude *= 10;
    }
    if (scale > p->MaxDecimals) {
        if (scale - p->MaxDecimals > 38) return false;
        TUInt128 divisor = 1;
        for (int i = p->MaxDecimals; i < scale; ++i)
            divisor *= 10;
        const TUInt128 rest = magnitude % divisor;
        magnitude = magnitude / divisor + (rest >= divisor - rest ? 1 : 0);
    }
    // Its digits, with a point before the last MaxDecimals of them.
    char digits[48];
    char* begin = digits + sizeof digits;
    int written = 0;
    do {
        if (written == p->MaxDecimals && written > 0) *--begin = '.';
        *--begin = char('0' + int(magnitude % 10));
        magnitude /= 10;
        ++written;
    } while (magnitude != 0 || written <= p->MaxDecimals);
    AppendPlainFixed(out, *p, begin, digits + sizeof digits, value.Mantissa < 0);
    return true;
}

QString FormatFloat(const QString& picture, const TDecimal& value) {
    if (picture.isEmpty()) return DecimalToText(value);
    return FormatWithPicture(*Parsed(picture).d, value);
}
