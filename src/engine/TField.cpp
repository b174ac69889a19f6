#include "TField.h"

#include "EngineInternal.h"

TField::TField(TDataSet* dataSet, int index, QString fieldName, TFieldType dataType, int size)
    : FDataSet(dataSet), FIndex(index), FFieldName(std::move(fieldName)), FDataType(dataType), FSize(size) {}

QString TField::DisplayName() const { return FDisplayLabel.isEmpty() ? FFieldName : FDisplayLabel; }
int TField::DisplayWidth() const { return FDisplayWidth < 0 ? 10 : FDisplayWidth; }
TAlignment TField::Alignment() const {
    if (FAlignment >= 0)
        return TAlignment(FAlignment);
    return IsNumeric() ? TAlignment::taRightJustify : TAlignment::taLeftJustify;
}
void TField::SetAlignment(TAlignment alignment) { FAlignment = int(alignment); }
bool TField::IsNumeric() const { return false; }
bool TField::IsFloat() const { return false; }
bool TField::IsDateTime() const { return false; }
QVariant TField::Value() const { NotYet("Value"); }
bool TField::IsNull() const { return Value().isNull(); }
QString TField::AsString() const { return TextFor(Value()); }
QString TField::DisplayText() const { return DisplayTextFor(Value()); }
double TField::AsFloat() const { return Value().toDouble(); }
qint64 TField::AsInteger() const { return Value().toLongLong(); }
QString TField::TextFor(const QVariant& value) const { return value.toString(); }
QString TField::DisplayTextFor(const QVariant& value) const { return TextFor(value); }
QString FormatFloat(const QString&, double value) { return QString::number(value); }
