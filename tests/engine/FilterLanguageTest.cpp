#include "engine/Exception.h"
#include "engine/FieldNames.h"
#include "engine/Filter.h"
#include "engine/TDecimal.h"
#include "support/TestRegistry.h"

#include <QTest>

namespace {

QList<TColumnInfo> Columns() {
    auto col = [](const char* name, TFieldType type) {
        TColumnInfo c;
        c.Name = QString::fromUtf8(name);
        c.Type = type;
        return c;
    };
    return {col("ID", TFieldType::ftInteger),   col("NAME", TFieldType::ftString),
            col("PRICE", TFieldType::ftFloat),  col("DAY", TFieldType::ftDate),
            col("AT", TFieldType::ftTime),      col("STAMP", TFieldType::ftDateTime),
            col("OK", TFieldType::ftBoolean),   col("Име на клиент", TFieldType::ftString),
            col("QTY", TFieldType::ftBCD),      col("my col", TFieldType::ftString),
            col("it's", TFieldType::ftString),  col("a;b,c", TFieldType::ftString),
            col("x]y", TFieldType::ftString),   col("AND", TFieldType::ftString),
            col("1st", TFieldType::ftString),   col(" pad ", TFieldType::ftString),
            col("order", TFieldType::ftString), col("Цена*", TFieldType::ftString)};
}

QString Quote(const QString& name) {
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) +
           QLatin1Char('"');
}

} // namespace

class FilterLanguageTest : public QObject {
    Q_OBJECT

private slots:
    void compilesToBoundSql_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("where");
        QTest::addColumn<QVariantList>("params");
        QTest::newRow("number") << "ID=5"
                                << "(\"ID\" = ?)" << QVariantList{5LL};
        QTest::newRow("text, doubled quote") << "NAME='O''Brien'"
                                             << "(\"NAME\" = ?)" << QVariantList{"O'Brien"};
        QTest::newRow("joined by AND") << "NAME='O''Brien' AND ID=5"
                                       << "((\"NAME\" = ?) AND (\"ID\" = ?))" << QVariantList{"O'Brien", 5LL};
        QTest::newRow("number, nothing after =") << "PRICE="
                                                 << "(\"PRICE\" IS NULL)" << QVariantList{};
        QTest::newRow("number, nothing after = then AND")
            << "PRICE= AND ID=1"
            << "((\"PRICE\" IS NULL) AND (\"ID\" = ?))" << QVariantList{1LL};
        QTest::newRow("number, nothing after <>") << "(ID<>)"
                                                  << "(\"ID\" IS NOT NULL)" << QVariantList{};
        QTest::newRow("empty text") << "NAME=''"
                                    << "(\"NAME\" IS NULL OR \"NAME\" = ?)" << QVariantList{""};
        QTest::newRow("empty text on a number") << "ID=''"
                                                << "(\"ID\" IS NULL)" << QVariantList{};
        QTest::newRow("float, decimal mark") << "PRICE>=1.25"
                                             << "(\"PRICE\" >= ?)" << QVariantList{1.25};
        QTest::newRow("exponent, sign") << "PRICE<-2.5e3"
                                        << "(\"PRICE\" < ?)" << QVariantList{-2500.0};
        QTest::newRow("fixed-point takes exact numbers")
            << "QTY=12.50"
            << "(\"QTY\" = ?)"
            << QVariantList{QVariant::fromValue(*TDecimal::FromText(QByteArrayView("12.5")))};
        QTest::newRow("fixed-point whole number") << "QTY=12345678901234567"
                                                  << "(\"QTY\" = ?)" << QVariantList{12345678901234567LL};
        QTest::newRow("integer past 64 bits")
            << "ID=123456789012345678901"
            << "(\"ID\" = ?)"
            << QVariantList{
                   QVariant::fromValue(*TDecimal::FromText(QByteArrayView("123456789012345678901")))};
        QTest::newRow("float keeps its double") << "PRICE=0.1"
                                                << "(\"PRICE\" = ?)" << QVariantList{0.1};
        QTest::newRow("keywords in any case")
            << "not id=1 or Name is not null"
            << "((NOT (\"ID\" = ?)) OR (\"NAME\" IS NOT NULL))" << QVariantList{1LL};
        QTest::newRow("AND binds tighter than OR")
            << "ID=1 OR ID=2 AND ID=3"
            << "((\"ID\" = ?) OR ((\"ID\" = ?) AND (\"ID\" = ?)))" << QVariantList{1LL, 2LL, 3LL};
        QTest::newRow("brackets, blanks, Cyrillic")
            << "[Име на клиент] = 'Иван'"
            << "(\"Име на клиент\" = ?)" << QVariantList{QStringLiteral("Иван")};
        // Letters: compared in upper case on both sides; none: a plain prefix.
        QTest::newRow("begins with") << "NAME='Ab*'"
                                     << "(UPPER(\"NAME\") LIKE UPPER(?) ESCAPE '\\')" << QVariantList{"Ab%"};
        QTest::newRow("begins with, Cyrillic")
            << "NAME<>'аб*'"
            << "(UPPER(\"NAME\") NOT LIKE UPPER(?) ESCAPE '\\')" << QVariantList{QStringLiteral("аб%")};
        QTest::newRow("begins with, digits only")
            << "NAME='2024-*'"
            << "(\"NAME\" LIKE ? ESCAPE '\\')" << QVariantList{"2024-%"};
        QTest::newRow("== keeps a trailing star") << "NAME=='Star*'"
                                                  << "(\"NAME\" = ?)" << QVariantList{"Star*"};
        QTest::newRow("== after NOT, with AND")
            << "NOT NAME=='*' AND ID==5"
            << "((NOT (\"NAME\" = ?)) AND (\"ID\" = ?))" << QVariantList{"*", 5LL};
        QTest::newRow("== with nothing after") << "NAME=="
                                               << "(\"NAME\" IS NULL)" << QVariantList{};
        QTest::newRow("begins with, wildcards escaped")
            << "NAME<>'5%_\\*'"
            << "(\"NAME\" NOT LIKE ? ESCAPE '\\')" << QVariantList{"5\\%\\_\\\\%"};
        QTest::newRow("date") << "DAY='03.04.2021'"
                              << "(\"DAY\" = ?)" << QVariantList{QDate(2021, 4, 3)};
        QTest::newRow("time to the minute")
            << "AT='10:30'"
            << "(\"AT\" >= ? AND \"AT\" < ?)" << QVariantList{QTime(10, 30), QTime(10, 31)};
        QTest::newRow("date-time as shown")
            << "STAMP='03.04.2021 10:30'"
            << "(\"STAMP\" >= ? AND \"STAMP\" < ?)"
            << QVariantList{QDateTime(QDate(2021, 4, 3), QTime(10, 30), Qt::UTC),
                            QDateTime(QDate(2021, 4, 3), QTime(10, 31), Qt::UTC)};
        QTest::newRow("date-time, whole day, after")
            << "STAMP>'03.04.2021'"
            << "(\"STAMP\" >= ?)" << QVariantList{QDateTime(QDate(2021, 4, 4), QTime(0, 0), Qt::UTC)};
        QTest::newRow("logical") << "OK='True'"
                                 << "(\"OK\" = ?)" << QVariantList{true};
        QTest::newRow("value first") << "5<ID"
                                     << "(\"ID\" > ?)" << QVariantList{5LL};
        QTest::newRow("field with field") << "ID<>QTY"
                                          << "(\"ID\" <> \"QTY\")" << QVariantList{};
        QTest::newRow("NULL") << "NAME=NULL"
                              << "(\"NAME\" IS NULL)" << QVariantList{};
        // Values that try to leave their quotes stay one parameter each.
        QTest::newRow("quote and OR") << "NAME='x'' OR ''1''=''1'"
                                      << "(\"NAME\" = ?)" << QVariantList{"x' OR '1'='1"};
        QTest::newRow("statement") << "NAME='a''); DROP TABLE t; --'"
                                   << "(\"NAME\" = ?)" << QVariantList{"a'); DROP TABLE t; --"};
        QTest::newRow("quote in a bracketed name") << "[Име на клиент]='\"'"
                                                   << "(\"Име на клиент\" = ?)" << QVariantList{"\""};
        QTest::newRow("blank") << " \t "
                               << "" << QVariantList{};
        QTest::newRow("NOTs and parentheses up to the limit")
            << QStringLiteral("NOT (").repeated(100) + QStringLiteral("ID=1") + QString(100, QLatin1Char(')'))
            << QStringLiteral("(NOT ").repeated(100) + QStringLiteral("(\"ID\" = ?)") +
                   QString(100, QLatin1Char(')'))
            << QVariantList{1LL};
    }
    void compilesToBoundSql() {
        QFETCH(QString, filter);
        QFETCH(QString, where);
        QFETCH(QVariantList, params);
        const TCompiledFilter f = CompileFilter(filter, Columns(), Quote);
        QCOMPARE(f.Where, where);
        QCOMPARE(f.Params, params);
    }

    // The name as filter-by-field writes it finds that very column.
    void writtenNamesReadBack_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("written");
        QTest::newRow("plain") << "NAME"
                               << "NAME";
        QTest::newRow("Cyrillic, star") << "Цена*"
                                        << "[Цена*]";
        QTest::newRow("reserved word of SQL") << "order"
                                              << "order";
        QTest::newRow("blank") << "my col"
                               << "[my col]";
        QTest::newRow("quote") << "it's"
                               << "[it's]";
        QTest::newRow("semicolon, comma") << "a;b,c"
                                          << "[a;b,c]";
        QTest::newRow("closing bracket") << "x]y"
                                         << "[x]]y]";
        QTest::newRow("keyword of the language") << "AND"
                                                 << "[AND]";
        QTest::newRow("leading digit") << "1st"
                                       << "[1st]";
        QTest::newRow("blanks at the ends") << " pad "
                                            << "[ pad ]";
        QTest::newRow("blanks and Cyrillic") << "Име на клиент"
                                             << "[Име на клиент]";
    }
    void writtenNamesReadBack() {
        QFETCH(QString, name);
        QFETCH(QString, written);
        QCOMPARE(FilterFieldName(name), written);
        const TCompiledFilter f = CompileFilter(
            written + QStringLiteral("='v' AND ") + written + QStringLiteral(" IS NULL"), Columns(), Quote);
        QCOMPARE(f.Where, QStringLiteral("((%1 = ?) AND (%1 IS NULL))").arg(Quote(name)));
    }

    void refusesWithPosition_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("message");
        QTest::newRow("two operators") << "ID = = 3"
                                       << "position 6: expected a value or a field name after \"=\"";
        QTest::newRow("no operator") << "ID 3"
                                     << "position 4: expected a comparison operator";
        QTest::newRow("dangling AND") << "ID=1 AND"
                                      << "position 9: expected a field name, a value or \"(\"";
        QTest::newRow("unclosed text")
            << "NAME='abc"
            << "position 10: expected a closing quote of the text begun at position 6";
        QTest::newRow("unclosed parenthesis")
            << "(ID=1 OR ID=2"
            << "position 14: expected \")\" closing the \"(\" at position 1";
        QTest::newRow("stray parenthesis") << "ID=1)"
                                           << "position 5";
        QTest::newRow("unclosed bracket") << "[NAME='x'"
                                          << "position 10: expected \"]\"";
        QTest::newRow("unknown character") << "ID=1 && ID=2"
                                           << "position 6";
        QTest::newRow("less with nothing") << "ID<"
                                           << "position 4: expected a value after \"<\"";
        QTest::newRow("IS without NULL") << "NAME IS 5"
                                         << "position 9: expected NULL after IS";
        QTest::newRow("unknown field") << "NOPE=1"
                                       << "position 1: field 'NOPE' not found";
        QTest::newRow("text for a number") << "ID='x'"
                                           << "position 4: 'x' is not a valid number for field 'ID'";
        QTest::newRow("bad date") << "DAY='31.02.2021'"
                                  << "not a valid date";
        QTest::newRow("bad logical") << "OK='maybe'"
                                     << "not a valid logical value";
        QTest::newRow("two values") << "1=2"
                                    << "position 1: expected a field name";
        QTest::newRow("number glued to a name") << "ID=12abc"
                                                << "position 6";
        QTest::newRow("deep nesting")
            << QString(300, QLatin1Char('(')) + QStringLiteral("ID=1") << "fewer nested parentheses";
        QTest::newRow("30000 NOTs") << QStringLiteral("NOT ").repeated(30000) + QStringLiteral("ID=1")
                                    << "position 801: expected fewer nested NOTs";
        // As many as a filter box of 32767 characters holds.
        QTest::newRow("a filter box of NOTs")
            << QStringLiteral("NOT ").repeated(8190) + QStringLiteral("ID=1") << "fewer nested NOTs";
        QTest::newRow("NOTs and parentheses share the limit")
            << QStringLiteral("NOT (").repeated(101) + QStringLiteral("ID=1") << "fewer nested";
    }
    void refusesWithPosition() {
        QFETCH(QString, filter);
        QFETCH(QString, message);
        try {
            CompileFilter(filter, Columns(), Quote);
            QFAIL("accepted");
        } catch (const EDatabaseError& e) {
            QVERIFY2(e.Message().contains(message), qPrintable(e.Message()));
        }
    }
};

TAMSEL_TEST(FilterLanguageTest);

#include "FilterLanguageTest.moc"
