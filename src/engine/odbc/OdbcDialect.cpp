#include "OdbcDialect.h"

#include <algorithm>

namespace {

QString LimitOffset(const QString& select, qint64 offset, qint64 limit) {
    QString text = select;
    if (limit >= 0) text += QStringLiteral(" LIMIT %1").arg(limit);
    if (offset > 0) text += QStringLiteral(" OFFSET %1").arg(offset);
    return text;
}

// SQLite takes OFFSET only after LIMIT.
QString SqliteLimitOffset(const QString& select, qint64 offset, qint64 limit) {
    if (limit >= 0 || offset <= 0) return LimitOffset(select, offset, limit);
    return select + QStringLiteral(" LIMIT -1 OFFSET %1").arg(offset);
}

QString TopStartAt(const QString& select, qint64 offset, qint64 limit) {
    // "SELECT" is the first word of every table select.
    QString window = limit >= 0 ? QStringLiteral(" TOP %1").arg(limit) : QStringLiteral(" TOP ALL");
    if (offset > 0) window += QStringLiteral(" START AT %1").arg(offset + 1);
    return QString(select).insert(6, window);
}

// SQLite's UPPER and LIKE know ASCII letters only; its GLOB matches a class
// of characters, so every letter becomes the class of its two cases and the
// characters that GLOB reads specially stand in classes of their own.
QString GlobPrefix(const QString& column, const QString& prefix, bool negated, QVariantList& params) {
    QString pattern;
    for (QChar c : prefix) {
        const QString lower = QString(c).toLower(), upper = QString(c).toUpper();
        if (lower != upper && lower.size() == 1 && upper.size() == 1)
            pattern += QLatin1Char('[') + lower + upper + QLatin1Char(']');
        else if (c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('['))
            pattern += QLatin1Char('[') + c + QLatin1Char(']');
        else
            pattern += c;
    }
    params << pattern + QLatin1Char('*');
    return QStringLiteral("(%1 %2GLOB ?)").arg(column, negated ? QStringLiteral("NOT ") : QString());
}

// In the order of TOdbcDialect's fields; any other server: the last.
const TOdbcDialect* Dialects() {
    static const TOdbcDialect dialects[] = {
        {
            QStringLiteral("PostgreSQL"),
            LimitOffset,
            {{QStringLiteral("ctid")}, {QStringLiteral("CAST(? AS tid)")}},
            // A scan of a large table may otherwise start where another scan
            // is, so the natural order would change between two reads.
            {QStringLiteral("SET synchronize_seqscans = off")},
            QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"),
            QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ WRITE"),
            /*NullsFirst=*/false,
            /*CaselessPrefix=*/nullptr,
            // Integers add up as a bigint or a numeric, numerics as numerics.
            /*ExactSum=*/true,
        },
        {
            QStringLiteral("SQLite"),
            SqliteLimitOffset,
            {{QStringLiteral("rowid")}, {QStringLiteral("?")}},
            /*SessionStatements=*/{},
            QStringLiteral("PRAGMA query_only = ON"),
            QStringLiteral("PRAGMA query_only = OFF"),
            /*NullsFirst=*/true,
            GlobPrefix,
        },
        {QStringLiteral("Anywhere"), TopStartAt, /*RowKey=*/{}, /*SessionStatements=*/{},
         /*ReadOnlyStatement=*/QString(), /*ReadWriteStatement=*/QString(), /*NullsFirst=*/true,
         /*CaselessPrefix=*/nullptr},
        {},
    };
    return dialects;
}

} // namespace

QString TOdbcDialect::WindowText(const QString& select, qint64 offset, qint64 limit,
                                 qint64& clientSkip) const {
    clientSkip = 0;
    if (offset <= 0 && limit < 0) return select;
    if (Window) return Window(select, offset, limit);
    clientSkip = std::max<qint64>(0, offset);
    return select;
}

const TOdbcDialect& OdbcDialect(const QString& dbmsName) {
    const TOdbcDialect* dialect = Dialects();
    while (!dialect->Name.isEmpty() && !dbmsName.contains(dialect->Name, Qt::CaseInsensitive))
        ++dialect;
    return *dialect;
}
