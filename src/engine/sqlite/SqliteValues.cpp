#include "SqliteValues.h"

#include "engine/FieldFamily.h"

TSqliteDecode SqliteDecodeOf(const TColumnInfo& column) {
    if (column.DeclaredType.trimmed().isEmpty()) return TSqliteDecode::Dynamic;
    switch (FamilyOf(column.Type)) {
    case TFieldFamily::Whole:
        return TSqliteDecode::Integer;
    case TFieldFamily::Float:
        return TSqliteDecode::Float;
    case TFieldFamily::Fixed:
        return TSqliteDecode::Decimal;
    case TFieldFamily::Date:
        return TSqliteDecode::Date;
    case TFieldFamily::Time:
        return TSqliteDecode::Time;
    case TFieldFamily::DateTime:
        return TSqliteDecode::DateTime;
    case TFieldFamily::Boolean:
        return TSqliteDecode::Boolean;
    case TFieldFamily::Binary:
        return TSqliteDecode::Blob;
    default:
        return TSqliteDecode::Text;
    }
}

namespace {

int Digits(const char* p, int count) {
    int value = 0;
    for (int i = 0; i < count; ++i) {
        if (p[i] < '0' || p[i] > '9') return -1;
        value = value * 10 + (p[i] - '0');
    }
    return value;
}

} // namespace

QDate ParseSqliteDate(const char* p, int n) {
    if (n < 10 || p[4] != '-' || p[7] != '-') return {};
    const int y = Digits(p, 4), m = Digits(p + 5, 2), d = Digits(p + 8, 2);
    if (y < 0 || m < 0 || d < 0) return {};
    return QDate(y, m, d);
}

QTime ParseSqliteTime(const char* p, int n) {
    if (n < 5 || p[2] != ':') return {};
    const int h = Digits(p, 2), m = Digits(p + 3, 2);
    int s = 0, ms = 0;
    if (n > 5) {
        if (n < 8 || p[5] != ':' || (s = Digits(p + 6, 2)) < 0) return {};
        if (n > 8) {
            if (p[8] != '.' || n == 9) return {};
            for (int i = 9, scale = 100; i < n; ++i, scale /= 10) {
                const int digit = Digits(p + i, 1);
                if (digit < 0) return {};
                ms += digit * scale;
            }
        }
    }
    if (h < 0 || m < 0) return {};
    return QTime(h, m, s, ms);
}
