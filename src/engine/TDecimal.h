#pragma once

// Exact fixed-point numbers. DECIMAL, NUMERIC and MONEY values travel as a
// 64-bit integer when they are whole and fit one, else as a TDecimal: their
// decimal digits, never a double, from the driver to the grid, the
// clipboard, filters, links, files and sums.

#include <QByteArray>
#include <QByteArrayView>
#include <QMetaType>
#include <QString>
#include <QStringView>
#include <QVariant>
#include <optional>

__extension__ typedef __int128 TInt128;
__extension__ typedef unsigned __int128 TUInt128;

// A number read exactly from a row: Mantissa / 10^Scale (a negative scale
// multiplies), or NULL. What a walk adds up without a QVariant.
struct TExactNumber {
    TInt128 Mantissa = 0;
    int Scale = 0;
    bool Null = false;
};

// "[+|-]digits[.digits][e[+|-]digits]" (or "[+|-].digits...") with blanks
// around it, as servers write fixed-point values; false for any other text
// and for more than 38 significant digits.
bool ParseExactNumber(const char* text, qsizetype size, TExactNumber& out);
// A REAL as the number of its first 15 significant digits, which is what the
// embedded server keeps of a fixed-point value that it stores as a REAL.
// False for infinities and NaN.
bool ExactNumberFromDouble(double value, TExactNumber& out);

class TDecimal {
public:
    TDecimal() : FText("0") {}

    // The same syntax as ParseExactNumber, any number of digits.
    static std::optional<TDecimal> FromText(QByteArrayView text);
    static std::optional<TDecimal> FromText(QStringView text);
    static TDecimal FromDouble(double value); // finite values; see ExactNumberFromDouble
    static TDecimal FromScaled(TInt128 mantissa, int scale);
    static TDecimal FromExact(const TExactNumber& number) {
        return FromScaled(number.Mantissa, number.Scale);
    }

    // Canonical: "-" for a negative value, the integer digits without leading
    // zeros ("0" when there are none), then "." and the fraction without
    // trailing zeros when there is one.
    const QByteArray& Text() const { return FText; }
    QString ToString() const { return QString::fromLatin1(FText); }
    double ToDouble() const;
    bool IsNegative() const { return FText.startsWith('-'); }
    bool IsZero() const { return FText == "0"; }
    // Whole and inside the 64-bit range.
    bool ToInt64(qint64& out) const;
    // Mantissa and scale (the fraction's digits); false past 38 digits.
    bool ToScaled(TInt128& mantissa, int& scale) const;
    // The magnitude rounded to exactly decimals digits after "." (no "." for
    // 0 decimals): up when the digits that follow, as a fraction, reach
    // roundUpFrom ("5": half away from zero).
    QByteArray AbsFixed(int decimals, QByteArrayView roundUpFrom = "5") const;

    friend bool operator==(const TDecimal& a, const TDecimal& b) { return a.FText == b.FText; }

private:
    explicit TDecimal(QByteArray text) : FText(std::move(text)) {}
    QByteArray FText;
};

// A running sum of exact numbers: a 128-bit mantissa at the largest scale
// seen (at most 30), up to a little past 10^38. Add refuses, leaving the sum
// as it was, a number that would make it inexact.
class TExactSum {
public:
    bool Add(TInt128 mantissa, int scale);
    bool Add(const TExactNumber& number) { return Add(number.Mantissa, number.Scale); }
    bool Add(const TDecimal& value);
    TDecimal Value() const { return TDecimal::FromScaled(FSum, FScale); }

private:
    TInt128 FSum = 0;
    int FScale = 0;
};

// A column's totals over the rows of a data set.
struct TColumnTotals {
    qint64 Rows = 0;
    qint64 Nulls = 0;
    TDecimal Sum;
};

Q_DECLARE_METATYPE(TDecimal)
Q_DECLARE_TYPEINFO(TDecimal, Q_RELOCATABLE_TYPE);

// How a fixed-point value travels in a QVariant: a qlonglong when whole and
// in range, else a TDecimal.
QVariant DecimalVariant(const TDecimal& value);
QVariant DecimalVariant(const TExactNumber& value);
bool IsDecimal(const QVariant& value);
// A TDecimal of a QVariant that holds one, a whole number or a text that
// reads as a decimal; nullopt for anything else (doubles included).
std::optional<TDecimal> ToDecimal(const QVariant& value);
