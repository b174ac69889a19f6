#pragma once

#include "TDecimal.h"

#include <QString>
#include <QVariant>

class TDataSet;

// Field kinds, from the column's declared type.
enum class TFieldType {
    ftUnknown,
    ftString,
    ftSmallint,
    ftInteger,
    ftWord,
    ftBoolean,
    ftFloat,
    ftCurrency,
    ftBCD,
    ftDate,
    ftTime,
    ftDateTime,
    ftBytes,
    ftAutoInc,
    ftBlob,
    ftMemo,
    ftLargeint,
};

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

// One column of an open data set. Value accessors read the data set's
// current record; the ...For(value) forms format any value of this field
// (the grid uses them for rows other than the current one).
// Fields are created when the data set opens and destroyed when it closes.
class TField {
public:
    TField(TDataSet* dataSet, int index, QString fieldName, TFieldType dataType, int size);

    TDataSet* DataSet() const { return FDataSet; }
    int Index() const { return FIndex; }
    const QString& FieldName() const { return FFieldName; }
    TFieldType DataType() const { return FDataType; }
    int Size() const { return FSize; }
    // Total digits of a fixed-point field (its Size is the count of decimals).
    int Precision() const { return FPrecision; }
    void SetPrecision(int precision) { FPrecision = precision; }

    const QString& DisplayLabel() const { return FDisplayLabel; }
    void SetDisplayLabel(const QString& label) { FDisplayLabel = label; }
    // The display label, or the field name when there is none.
    QString DisplayName() const;
    // In characters; the kind's default width until set.
    int DisplayWidth() const;
    void SetDisplayWidth(int width) { FDisplayWidth = width; }
    TAlignment Alignment() const;
    void SetAlignment(TAlignment alignment);
    const QString& DisplayFormat() const { return FDisplayFormat; }
    void SetDisplayFormat(const QString& format) { FDisplayFormat = format; }

    // Integer kinds, auto-increment, large integer, float, currency, BCD.
    bool IsNumeric() const;
    // Float and currency.
    bool IsFloat() const;
    bool IsDateTime() const;

    // The current record's value (invalid QVariant when the data set has no
    // current record; null QVariant for a NULL).
    QVariant Value() const;
    bool IsNull() const;
    // Value as text: floats at full precision ("1.5"), fixed-point values
    // exactly and without an exponent ("12345678901234567"), dates "DD.MM.YYYY",
    // times "HH:MM", NULL gives "".
    QString AsString() const;
    // Appends a whole number's digits (nothing for NULL) straight from the
    // streamed row; false where only Value() can tell.
    bool AppendWhole(QString& out) const;
    // Through DisplayFormat where one is set, else AsString.
    QString DisplayText() const;
    double AsFloat() const;   // NULL gives 0; a text that is no number raises
    qint64 AsInteger() const; // NULL gives 0
    // Integer, fixed-point and currency values exactly; false for a REAL
    // or a text, which only AsFloat can read.
    bool AsExact(TExactNumber& number) const;

    QString TextFor(const QVariant& value) const;
    QString DisplayTextFor(const QVariant& value) const;

private:
    TDataSet* FDataSet;
    int FIndex;
    QString FFieldName;
    TFieldType FDataType;
    int FSize;
    int FPrecision = 0;
    QString FDisplayLabel;
    int FDisplayWidth = -1;
    int FAlignment = -1; // -1: the kind's default
    QString FDisplayFormat;
};
