// The filter language: a text is compiled or refused with EDatabaseError.
// A compiled WHERE clause keeps its shape: only the grammar's words,
// quoted names of the table's fields and "?" marks (one per bound value),
// and SQLite prepares it as one read-only statement.

#include "FuzzInput.h"
#include "engine/Exception.h"
#include "engine/Filter.h"

#include <QStringList>
#include <sqlite3.h>

namespace {

QList<TColumnInfo> Columns() {
    const auto column = [](const QString& name, TFieldType type) {
        TColumnInfo c;
        c.Name = name;
        c.Type = type;
        return c;
    };
    return {column(QStringLiteral("ID"), TFieldType::ftInteger),
            column(QStringLiteral("NAME"), TFieldType::ftString),
            column(QStringLiteral("PRICE"), TFieldType::ftFloat),
            column(QStringLiteral("QTY"), TFieldType::ftBCD),
            column(QStringLiteral("DAY"), TFieldType::ftDate),
            column(QStringLiteral("AT"), TFieldType::ftTime),
            column(QStringLiteral("STAMP"), TFieldType::ftDateTime),
            column(QStringLiteral("OK"), TFieldType::ftBoolean),
            column(QStringLiteral("Име на \"клиент\""), TFieldType::ftString),
            column(QStringLiteral("a]b; *"), TFieldType::ftMemo)};
}

QString Quote(const QString& name) {
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) +
           QLatin1Char('"');
}

// The table the clause is prepared against, once per process.
sqlite3* Database() {
    static sqlite3* db = [] {
        sqlite3* handle = nullptr;
        sqlite3_open(":memory:", &handle);
        QStringList names;
        for (const TColumnInfo& c : Columns())
            names << Quote(c.Name);
        sqlite3_exec(handle, ("CREATE TABLE t (" + names.join(", ") + ")").toUtf8().constData(), nullptr,
                     nullptr, nullptr);
        return handle;
    }();
    return db;
}

// Counts the "?" marks; breaks on anything but the grammar's words,
// symbols, known quoted names, UPPER of a caseless comparison and the LIKE
// escape.
int CheckShape(const QString& where, const QStringList& quotedNames) {
    static const QStringList words = {"AND", "OR", "NOT", "IS", "NULL", "LIKE", "ESCAPE", "UPPER"};
    static const QStringList symbols = {"<=", ">=", "<>", "(", ")", "=", "<", ">"};
    int marks = 0;
    qsizetype i = 0;
    while (i < where.size()) {
        const QChar c = where[i];
        if (c == QLatin1Char(' ')) {
            ++i;
        } else if (c == QLatin1Char('?')) {
            ++marks;
            ++i;
        } else if (c == QLatin1Char('"')) {
            qsizetype j = i + 1;
            while (j < where.size() && !(where[j] == QLatin1Char('"') &&
                                         (j + 1 >= where.size() || where[j + 1] != QLatin1Char('"'))))
                j += where[j] == QLatin1Char('"') ? 2 : 1;
            const QString name = where.mid(i, j + 1 - i);
            if (!quotedNames.contains(name)) Broken("unknown name in the clause", where);
            i = j + 1;
        } else if (where.mid(i, 3) == QLatin1String("'\\'")) {
            i += 3; // the LIKE escape, ESCAPE '\'
        } else if (c.isLetter()) {
            qsizetype j = i;
            while (j < where.size() && where[j].isLetter())
                ++j;
            if (!words.contains(where.mid(i, j - i))) Broken("a word outside the grammar", where);
            i = j;
        } else {
            const QString two = where.mid(i, 2);
            if (symbols.contains(two)) {
                i += 2;
            } else if (symbols.contains(QString(c))) {
                ++i;
            } else {
                Broken("a character outside the grammar", where);
            }
        }
    }
    return marks;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QList<TColumnInfo> columns = Columns();
    static const QStringList quotedNames = [] {
        QStringList names;
        for (const TColumnInfo& c : Columns())
            names << Quote(c.Name);
        return names;
    }();
    TCompiledFilter filter;
    try {
        filter = CompileFilter(InputText(data, size), columns, Quote);
    } catch (const EDatabaseError&) {
        return 0;
    }
    if (filter.Where.isEmpty()) {
        if (!filter.Params.isEmpty()) Broken("values without a clause", QString());
        return 0;
    }
    if (CheckShape(filter.Where, quotedNames) != filter.Params.size())
        Broken("marks and values differ", filter.Where);

    const QByteArray sql = ("SELECT * FROM t WHERE " + filter.Where).toUtf8();
    sqlite3_stmt* statement = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(Database(), sql.constData(), int(sql.size()), &statement, &tail);
    if (rc != SQLITE_OK) {
        // Deep nesting within the filter's own limit may pass SQLite's.
        const QString message = QString::fromUtf8(sqlite3_errmsg(Database()));
        if (!message.contains(QLatin1String("parser stack overflow")) &&
            !message.contains(QLatin1String("Expression tree is too large")))
            Broken("SQLite refuses the clause", message + QStringLiteral(": ") + filter.Where);
        return 0;
    }
    const bool one = tail == sql.constData() + sql.size();
    const bool readOnly = sqlite3_stmt_readonly(statement) != 0;
    const int parameters = sqlite3_bind_parameter_count(statement);
    sqlite3_finalize(statement);
    if (!one) Broken("more than one statement", filter.Where);
    if (!readOnly) Broken("a statement that writes", filter.Where);
    if (parameters != filter.Params.size()) Broken("SQLite counts other parameters", filter.Where);
    return 0;
}
