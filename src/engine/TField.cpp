#include "TField.h"

#include "DatePictures.h"
#include "Exception.h"
#include "FieldFamily.h"
#include "FormatSettings.h"
#include "FormatText.h"
#include "NumberPictures.h"
#include "TDataSet.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

TField::TField(TDataSet* dataSet, int index, QString fieldName, TFieldType dataType, int size)
    : FDataSet(dataSet), FIndex(index), FFieldName(std::move(fieldName)), FDataType(dataType), FSize(size) {
    // A fixed-point field shows the decimals it declares: 14.2 in a
    // DECIMAL(10,2) reads "14.20", as money is written.
    if (FDataType == TFieldType::ftBCD && FSize > 0)
        FDisplayFormat = QStringLiteral("0.") + QString(FSize, QLatin1Char('0'));
}

QString TField::DisplayName() const {
    return FDisplayLabel.isEmpty() ? FFieldName : FDisplayLabel;
}

int TField::DisplayWidth() const {
    if (FDisplayWidth >= 0) return FDisplayWidth;
    switch (FDataType) {
    case TFieldType::ftString:
    case TFieldType::ftBytes:
        return FSize > 0 ? FSize : 20;
    case TFieldType::ftSmallint:
        return 6;
    case TFieldType::ftWord:
    case TFieldType::ftBoolean:
        return 5;
    case TFieldType::ftInteger:
    case TFieldType::ftAutoInc:
        return 11;
    case TFieldType::ftLargeint:
        return 15;
    case TFieldType::ftBCD:
        // The digits, the sign and the decimal mark.
        return FPrecision > 0 ? FPrecision + 2 : 10;
    case TFieldType::ftDateTime:
        return 18;
    default:
        return 10;
    }
}

TAlignment TField::Alignment() const {
    if (FAlignment >= 0) return TAlignment(FAlignment);
    return IsNumeric() ? TAlignment::taRightJustify : TAlignment::taLeftJustify;
}

void TField::SetAlignment(TAlignment alignment) {
    FAlignment = int(alignment);
}

bool TField::IsNumeric() const {
    return IsNumericType(FDataType);
}

bool TField::IsFloat() const {
    // Money is a float field here, though its values are fixed-point.
    return FamilyOf(FDataType) == TFieldFamily::Float || FDataType == TFieldType::ftCurrency;
}

bool TField::IsDateTime() const {
    const TFieldFamily family = FamilyOf(FDataType);
    return family == TFieldFamily::Date || family == TFieldFamily::Time || family == TFieldFamily::DateTime;
}

QVariant TField::Value() const {
    return FDataSet ? FDataSet->CurrentValue(FIndex) : QVariant();
}

bool TField::IsNull() const {
    return Value().isNull();
}

QString TField::AsString() const {
    // A walk's hot path: texts, numbers and dates straight from the streamed
    // row, without a QVariant.
    if (!FDataSet) return TextFor(Value());
    QString text;
    switch (FamilyOf(FDataType)) {
    case TFieldFamily::Text:
        if (FDataSet->CurrentText(FIndex, text)) return text;
        break;
    case TFieldFamily::Fixed: {
        TExactNumber number;
        if (FDataSet->CurrentExact(FIndex, number)) {
            AppendExactText(text, number);
            return text;
        }
        break;
    }
    case TFieldFamily::Date: {
        QDate date;
        bool null = false;
        if (FDataSet->CurrentDate(FIndex, date, null)) return null ? text : DateToText(date);
        break;
    }
    case TFieldFamily::Whole:
        if (AppendWhole(text)) return text;
        break;
    default:
        break;
    }
    return TextFor(Value());
}

bool TField::AppendWhole(QString& out) const {
    TExactNumber number;
    if (!FDataSet || !FDataSet->CurrentExact(FIndex, number) || number.Scale != 0 ||
        number.Mantissa < std::numeric_limits<qint64>::min() ||
        number.Mantissa > std::numeric_limits<qint64>::max())
        return false;
    if (!number.Null) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, qint64(number.Mantissa)).ptr;
        QChar text[24];
        for (qsizetype i = 0; i < end - digits; ++i)
            text[i] = QLatin1Char(digits[i]);
        AppendChars(out, text, end - digits);
    }
    return true;
}

QString TField::DisplayText() const {
    return DisplayTextFor(Value());
}

static double TextToFloat(const QString& text, const QString& fieldName) {
    QString t = text.trimmed();
    const QChar sep = FormatSettings().DecimalSeparator;
    if (sep != QLatin1Char('.')) t.replace(sep, QLatin1Char('.'));
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok)
        throw EDatabaseError(
            QStringLiteral("'%1' is not a valid floating point value for field '%2'").arg(text, fieldName));
    return v;
}

double TField::AsFloat() const {
    double direct = 0;
    if (IsNumeric() && FDataSet && FDataSet->CurrentFloat(FIndex, direct))
        return direct; // a walk's hot path: no QVariant
    const QVariant v = Value();
    if (v.isNull()) return 0;
    if (IsNumeric() && v.typeId() != QMetaType::QString) return v.toDouble();
    if (v.typeId() == QMetaType::QString) return TextToFloat(v.toString(), FFieldName);
    if (v.typeId() == QMetaType::QByteArray)
        return TextToFloat(QString::fromUtf8(v.toByteArray()), FFieldName);
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok)
        throw EDatabaseError(QStringLiteral("'%1' is not a valid floating point value for field '%2'")
                                 .arg(v.toString(), FFieldName));
    return d;
}

bool TField::AsExact(TExactNumber& number) const {
    if (FDataType == TFieldType::ftFloat || !IsNumeric()) return false;
    if (FDataSet && FDataSet->CurrentExact(FIndex, number)) return true; // a walk's hot path: no QVariant
    const QVariant v = Value();
    number = TExactNumber();
    if (v.isNull()) {
        number.Null = true;
        return true;
    }
    const std::optional<TDecimal> d = v.typeId() == QMetaType::Double ? std::nullopt : ToDecimal(v);
    return d && d->ToScaled(number.Mantissa, number.Scale);
}

qint64 TField::AsInteger() const {
    const QVariant v = Value();
    if (v.isNull()) return 0;
    const int type = v.typeId();
    if (type == QMetaType::Double || type == QMetaType::Float) return std::llround(v.toDouble());
    bool ok = false;
    const qint64 i = v.toString().trimmed().toLongLong(&ok);
    if (ok) return i;
    if (type == QMetaType::Bool) return v.toBool() ? 1 : 0;
    const double d = TextToFloat(v.toString(), FFieldName);
    return std::llround(d);
}

QString TField::TextFor(const QVariant& value) const {
    if (value.isNull()) return QString();
    const int type = value.typeId();
    switch (FamilyOf(FDataType)) {
    case TFieldFamily::Float:
        if (type == QMetaType::Double || type == QMetaType::Float || type == QMetaType::LongLong ||
            type == QMetaType::Int)
            return FloatToText(value.toDouble());
        break;
    case TFieldFamily::Fixed:
        // Exact digits, never an exponent: "12345678901234567", "0.000005".
        if (IsDecimal(value)) return DecimalToText(value.value<TDecimal>());
        if (type == QMetaType::Double || type == QMetaType::Float)
            return DecimalToText(TDecimal::FromDouble(value.toDouble()));
        break;
    case TFieldFamily::Date:
        if (type == QMetaType::QDate || type == QMetaType::QDateTime) return DateToText(value.toDate());
        break;
    case TFieldFamily::Time:
        if (type == QMetaType::QTime || type == QMetaType::QDateTime) return TimeToText(value.toTime());
        break;
    case TFieldFamily::DateTime:
        if (type == QMetaType::QDateTime) return DateTimeToText(value.toDateTime());
        if (type == QMetaType::QDate) return DateToText(value.toDate());
        break;
    case TFieldFamily::Boolean:
        if (type == QMetaType::Bool || type == QMetaType::LongLong || type == QMetaType::Int)
            return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        break;
    default:
        break;
    }
    if (type == QMetaType::Double) return FloatToText(value.toDouble());
    if (type == QMetaType::QByteArray) return QString::fromUtf8(value.toByteArray());
    if (type == QMetaType::QDate) return DateToText(value.toDate());
    if (type == QMetaType::QTime) return TimeToText(value.toTime());
    if (type == QMetaType::QDateTime) return DateTimeToText(value.toDateTime());
    return value.toString();
}

QString TField::DisplayTextFor(const QVariant& value) const {
    if (value.isNull()) return QString();
    if (FDataType == TFieldType::ftBlob) return QStringLiteral("(BLOB)");
    if (FDataType == TFieldType::ftMemo) {
        // The start of the first line, no longer than the widest cell shows:
        // a long text costs no more than that however long it is.
        constexpr qsizetype shown = 2000;
        const QString text = value.typeId() == QMetaType::QByteArray
                                 ? QString::fromUtf8(value.toByteArray().left(shown))
                                 : TextFor(value);
        const QStringView start = QStringView(text).left(shown);
        qsizetype end = 0;
        while (end < start.size() && start[end] != u'\n' && start[end] != u'\r')
            ++end;
        return start.left(end).toString();
    }
    const int type = value.typeId();
    const bool number = type == QMetaType::Double || type == QMetaType::Float ||
                        type == QMetaType::LongLong || type == QMetaType::Int ||
                        type == QMetaType::ULongLong || type == QMetaType::UInt;
    const bool real = type == QMetaType::Double || type == QMetaType::Float;
    if (IsNumeric() && (number || IsDecimal(value))) {
        if (!FDisplayFormat.isEmpty()) {
            // Whole numbers and decimals keep every digit through the picture.
            const std::optional<TDecimal> exact = real ? std::nullopt : ToDecimal(value);
            return exact ? FormatFloat(FDisplayFormat, *exact)
                         : FormatFloat(FDisplayFormat, value.toDouble());
        }
        if (real && FDataType == TFieldType::ftFloat) return FloatToDisplayText(value.toDouble());
    }
    if (IsDateTime() && !FDisplayFormat.isEmpty()) {
        if (type == QMetaType::QDate)
            return FormatDateTimePicture(FDisplayFormat, value.toDate(), QTime(0, 0));
        if (type == QMetaType::QTime) return FormatDateTimePicture(FDisplayFormat, QDate(), value.toTime());
        if (type == QMetaType::QDateTime)
            return FormatDateTimePicture(FDisplayFormat, value.toDateTime().date(),
                                         value.toDateTime().time());
    }
    return TextFor(value);
}
