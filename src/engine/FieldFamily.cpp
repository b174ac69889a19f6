#include "FieldFamily.h"

TFieldFamily FamilyOf(TFieldType type) {
    switch (type) {
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftWord:
    case TFieldType::ftAutoInc:
    case TFieldType::ftLargeint:
        return TFieldFamily::Whole;
    case TFieldType::ftCurrency:
    case TFieldType::ftBCD:
        return TFieldFamily::Fixed;
    case TFieldType::ftFloat:
        return TFieldFamily::Float;
    case TFieldType::ftBoolean:
        return TFieldFamily::Boolean;
    case TFieldType::ftString:
    case TFieldType::ftMemo:
        return TFieldFamily::Text;
    case TFieldType::ftDate:
        return TFieldFamily::Date;
    case TFieldType::ftTime:
        return TFieldFamily::Time;
    case TFieldType::ftDateTime:
        return TFieldFamily::DateTime;
    case TFieldType::ftBytes:
    case TFieldType::ftBlob:
        return TFieldFamily::Binary;
    case TFieldType::ftUnknown:
        break;
    }
    return TFieldFamily::Other;
}

bool IsNumericType(TFieldType type) {
    const TFieldFamily family = FamilyOf(type);
    return family == TFieldFamily::Whole || family == TFieldFamily::Fixed || family == TFieldFamily::Float;
}
