#include "SqliteTypes.h"

namespace {

struct TTypeName {
    const char* Name;
    TFieldType Type;
};

// SQL Anywhere's names first, then the common names of other servers.
constexpr TTypeName TypeNames[] = {
    {"INTEGER", TFieldType::ftInteger},
    {"INT", TFieldType::ftInteger},
    {"MEDIUMINT", TFieldType::ftInteger},
    {"UNSIGNED INT", TFieldType::ftInteger},
    {"BIGINT", TFieldType::ftLargeint},
    {"UNSIGNED BIGINT", TFieldType::ftLargeint},
    {"INT8", TFieldType::ftLargeint},
    {"SMALLINT", TFieldType::ftSmallint},
    {"TINYINT", TFieldType::ftSmallint},
    {"INT2", TFieldType::ftSmallint},
    {"UNSIGNED SMALLINT", TFieldType::ftWord},
    {"FLOAT", TFieldType::ftFloat},
    {"DOUBLE", TFieldType::ftFloat},
    {"DOUBLE PRECISION", TFieldType::ftFloat},
    {"REAL", TFieldType::ftFloat},
    {"MONEY", TFieldType::ftCurrency},
    {"SMALLMONEY", TFieldType::ftCurrency},
    {"CURRENCY", TFieldType::ftCurrency},
    {"DECIMAL", TFieldType::ftBCD},
    {"NUMERIC", TFieldType::ftBCD},
    {"DEC", TFieldType::ftBCD},
    {"CHAR", TFieldType::ftString},
    {"CHARACTER", TFieldType::ftString},
    {"VARCHAR", TFieldType::ftString},
    {"CHARACTER VARYING", TFieldType::ftString},
    {"NCHAR", TFieldType::ftString},
    {"NVARCHAR", TFieldType::ftString},
    {"VARCHAR2", TFieldType::ftString},
    {"TEXT", TFieldType::ftString},
    {"STRING", TFieldType::ftString},
    {"LONG VARCHAR", TFieldType::ftMemo},
    {"LONG NVARCHAR", TFieldType::ftMemo},
    {"CLOB", TFieldType::ftMemo},
    {"NTEXT", TFieldType::ftMemo},
    {"MEMO", TFieldType::ftMemo},
    {"LONGTEXT", TFieldType::ftMemo},
    {"XML", TFieldType::ftMemo},
    {"BLOB", TFieldType::ftBlob},
    {"LONG BINARY", TFieldType::ftBlob},
    {"IMAGE", TFieldType::ftBlob},
    {"LONGBLOB", TFieldType::ftBlob},
    {"BINARY", TFieldType::ftBytes},
    {"VARBINARY", TFieldType::ftBytes},
    {"DATE", TFieldType::ftDate},
    {"TIME", TFieldType::ftTime},
    {"DATETIME", TFieldType::ftDateTime},
    {"TIMESTAMP", TFieldType::ftDateTime},
    {"SMALLDATETIME", TFieldType::ftDateTime},
    {"BIT", TFieldType::ftBoolean},
    {"BOOLEAN", TFieldType::ftBoolean},
    {"BOOL", TFieldType::ftBoolean},
};

// A text column whose length is not declared.
constexpr int DefaultTextSize = 255;

TFieldType TypeOfName(const QString& name) {
    for (const TTypeName& t : TypeNames)
        if (name == QLatin1String(t.Name)) return t.Type;
    // Other names as SQLite gives them their affinity.
    if (name.contains(u"INT")) return TFieldType::ftLargeint;
    if (name.contains(u"CHAR") || name.contains(u"CLOB") || name.contains(u"TEXT"))
        return TFieldType::ftString;
    if (name.contains(u"BLOB")) return TFieldType::ftBlob;
    return TFieldType::ftFloat;
}

} // namespace

TColumnInfo ColumnFromDeclaration(const QString& name, const QString& declaredType) {
    TColumnInfo column;
    column.Name = name;
    column.DeclaredType = declaredType;
    QString base = declaredType.simplified().toUpper();
    QList<int> sizes;
    const qsizetype open = base.indexOf(u'(');
    if (open >= 0) {
        const qsizetype close = base.indexOf(u')', open);
        for (const QString& part : base.mid(open + 1, close < 0 ? -1 : close - open - 1).split(u','))
            sizes << part.trimmed().toInt();
        base = base.left(open).trimmed();
    }
    if (base.isEmpty()) {
        // No declared type: any value; shown as text.
        column.Type = TFieldType::ftString;
        column.Size = DefaultTextSize;
        return column;
    }
    column.Type = TypeOfName(base);
    switch (column.Type) {
    case TFieldType::ftString:
    case TFieldType::ftBytes:
        column.Size = sizes.isEmpty() || sizes[0] <= 0 ? DefaultTextSize : sizes[0];
        break;
    case TFieldType::ftBCD:
        // SQL Anywhere's default is DECIMAL(30, 6).
        column.Precision = sizes.isEmpty() ? 30 : sizes[0];
        column.Scale = sizes.isEmpty() ? 6 : sizes.value(1, 0);
        column.Size = column.Scale;
        break;
    case TFieldType::ftCurrency:
        column.Precision = 19;
        column.Scale = 4;
        break;
    default:
        break;
    }
    return column;
}
