#include "FieldFormatter.h"

#include "FieldFamily.h"
#include "FormatSettings.h"
#include "NumberPictures.h"
#include "TDataSet.h"
#include "TDecimal.h"
#include "TField.h"

#include <charconv>
#include <limits>

TFieldFormatter::TFieldFormatter(const TField* field) : FField(field), FKind(TKind::Text) {
    const bool formatted = !field->DisplayFormat().isEmpty();
    switch (FamilyOf(field->DataType())) {
    case TFieldFamily::Whole:
        FKind = formatted ? TKind::Display : TKind::Whole;
        break;
    case TFieldFamily::Float:
        FKind = TKind::Float;
        break;
    case TFieldFamily::Fixed:
        FKind = formatted ? TKind::Fixed : TKind::Display;
        break;
    case TFieldFamily::Date:
        // A date's display text is its picture, or the short date.
        FKind = TKind::Date;
        FDate = TDateTimePicture(formatted ? field->DisplayFormat() : FormatSettings().ShortDateFormat);
        FDateTime = formatted ? QTime(0, 0) : QTime();
        break;
    case TFieldFamily::Text:
        // The text as it is.
        FKind = TKind::String;
        break;
    default:
        FKind = field->IsNumeric() || field->IsDateTime() ? TKind::Display : TKind::Text;
        break;
    }
}

void TFieldFormatter::Append(QString& out) const {
    TDataSet* dataSet = FField->DataSet();
    const int index = FField->Index();
    switch (FKind) {
    case TKind::Whole:
        if (FField->AppendWhole(out)) return;
        break;
    case TKind::Fixed: {
        TExactNumber number;
        if (dataSet && dataSet->CurrentExact(index, number) &&
            (number.Null || AppendExact(out, FField->DisplayFormat(), number)))
            return;
        break;
    }
    case TKind::Float: {
        double value = 0;
        if (!dataSet || !dataSet->CurrentFloat(index, value)) break;
        // NULL reads as 0, so only a zero needs asking.
        bool null = false;
        if (value == 0 && dataSet->CurrentNull(index, null) && null) return;
        AppendFloat(out, FField->DisplayFormat(), value);
        return;
    }
    case TKind::Date: {
        const QVariant value = FField->Value();
        if (value.typeId() == QMetaType::QDate) {
            FDate.Append(out, value.toDate(), FDateTime);
            return;
        }
        out += FField->DisplayTextFor(value);
        return;
    }
    case TKind::String:
        if (dataSet && dataSet->CurrentText(index, out)) return;
        break;
    case TKind::Display:
    case TKind::Text:
        break;
    }
    out += FKind == TKind::Text || FKind == TKind::String ? FField->AsString() : FField->DisplayText();
}
