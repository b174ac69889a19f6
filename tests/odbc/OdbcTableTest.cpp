#include "OdbcTestSupport.h"
#include "engine/Exception.h"
#include "engine/TField.h"
#include "engine/TQuery.h"
#include "engine/TTable.h"
#include "support/StatisticsBox.h"
#include "support/TestRegistry.h"

#include <QTest>

// The engine's tables on the ODBC driver: names that need quoting, Cyrillic
// texts and filter values that try to leave their quotes.
class OdbcTableTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void quotedNames_data();
    void quotedNames();
    void hostileFilters_data();
    void hostileFilters();
    void columnStatistics_data();
    void columnStatistics();

private:
    std::unique_ptr<TDatabase> FDb;
};

namespace {

const QString StrangeTable = QStringLiteral("Фирми \"и\" хора");
const QString StrangeColumn = QStringLiteral("Име на \"фирма\"");

QList<int> Ids(TTable& table) {
    QList<int> ids;
    for (table.First(); !table.Eof(); table.Next())
        ids << int(table.Fields(0)->AsInteger());
    return ids;
}

} // namespace

void OdbcTableTest::initTestCase() {
    const auto conn = OpenTestConnection();
    TOdbcWriter writer;
    const QString table = conn->QuoteIdentifier(StrangeTable);
    RecreateTable(writer, table,
                  QStringLiteral("id INTEGER, %1 VARCHAR(40)").arg(conn->QuoteIdentifier(StrangeColumn)));
    writer.Execute(QStringLiteral("INSERT INTO %1 VALUES (1, 'Юг'), (2, 'Агро'), (3, 'Мир'), (4, 'Агроном'), "
                                  "(5, 'O''Brien'), (6, NULL)")
                       .arg(table));

    FDb = std::make_unique<TDatabase>();
    FDb->SetDatabaseName(TestDsn());
    FDb->SetAliasName(TestDsn());
    FDb->SetLoginPrompt(false);
    if (OnPostgres())
        FDb->Params() << QStringLiteral("USER NAME=tamsel") << QStringLiteral("PASSWORD=secret");
}

void OdbcTableTest::cleanupTestCase() {
    FDb.reset();
}

void OdbcTableTest::quotedNames_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("order");
    QTest::addColumn<QList<int>>("ids");

    // Latin before Cyrillic; PostgreSQL puts NULL last, SQLite first.
    QTest::newRow("sorted by the quoted column")
        << "" << StrangeColumn
        << (OnPostgres() ? QList<int>{5, 2, 4, 3, 1, 6} : QList<int>{6, 5, 2, 4, 3, 1});
    QTest::newRow("equal to a cyrillic text")
        << QStringLiteral("[%1] = 'Агро'").arg(StrangeColumn) << "id" << QList<int>{2};
    QTest::newRow("begins with") << QStringLiteral("[%1] = 'Агро*'").arg(StrangeColumn) << "id"
                                 << QList<int>{2, 4};
    QTest::newRow("begins with, sorted by the column")
        << QStringLiteral("[%1] = 'Агро*'").arg(StrangeColumn) << StrangeColumn << QList<int>{2, 4};
    QTest::newRow("doubled quote in a value")
        << QStringLiteral("[%1] = 'O''Brien'").arg(StrangeColumn) << "id" << QList<int>{5};
    QTest::newRow("empty value") << QStringLiteral("[%1] IS NULL").arg(StrangeColumn) << "id"
                                 << QList<int>{6};
    QTest::newRow("or with a number")
        << QStringLiteral("id > 4 OR [%1] = 'Юг'").arg(StrangeColumn) << "id" << QList<int>{1, 5, 6};
}

void OdbcTableTest::quotedNames() {
    QFETCH(QString, filter);
    QFETCH(QString, order);
    QFETCH(QList<int>, ids);
    TTable table;
    table.SetDatabaseName(FDb->DatabaseName());
    table.SetTableName(StrangeTable);
    table.SetIndexFieldNames(order);
    table.SetFilter(filter);
    table.SetFiltered(!filter.isEmpty());
    table.Open();
    QCOMPARE(table.FieldCount(), 2);
    QCOMPARE(table.Fields(1)->FieldName(), StrangeColumn);
    QCOMPARE(Ids(table), ids);
    QCOMPARE(table.RecordCount(), int(ids.size()));
    table.First();
    if (ids.first() == 2) QCOMPARE(table.Fields(1)->AsString(), QStringLiteral("Агро"));
}

// Each filter is one text comparison; none may widen the rows or harm the
// table.
void OdbcTableTest::hostileFilters_data() {
    QTest::addColumn<QString>("value"); // as typed between the quotes
    QTest::newRow("or always true") << "x'' OR ''1''=''1";
    QTest::newRow("backslash before the quote") << "x\\'' OR 1=1 --";
    QTest::newRow("second statement") << "''; DELETE FROM t; --";
    QTest::newRow("begins with and quote") << "'' OR 1=1 --*";
}

void OdbcTableTest::hostileFilters() {
    QFETCH(QString, value);
    TTable table;
    table.SetDatabaseName(FDb->DatabaseName());
    table.SetTableName(StrangeTable);
    table.SetFilter(QStringLiteral("[%1] = '%2'").arg(StrangeColumn, value));
    table.SetFiltered(true);
    table.Open();
    QCOMPARE(table.RecordCount(), 0);
    table.SetFiltered(false);
    QCOMPARE(table.RecordCount(), 6);
}

// Ctrl+U on a table gives the box that the walk of the same rows gives,
// added up by the server where it adds exactly (PostgreSQL).
void OdbcTableTest::columnStatistics_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("rows"); // of (id, v), after INSERT INTO
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("master"); // rows whose id equals it; 0: no link
    QTest::addColumn<QString>("box");
    const auto box = [](const char* sum, int count, int empty = 0) {
        return StatisticsText(QStringLiteral("v"), QString::fromLatin1(sum), count, empty);
    };
    QTest::newRow("empty table") << "INTEGER"
                                 << ""
                                 << "" << 0 << box("0", 0);
    QTest::newRow("whole sum past 2^63") << "BIGINT"
                                         << "VALUES (1, 9223372036854775807), (2, 1)"
                                         << "" << 0 << box("9223372036854 775 808", 2);
    // SQLite keeps such numbers as REALs of 15 digits, and its driver tells
    // no decimals.
    QTest::newRow("numeric past 2^63")
        << "NUMERIC(20,0)"
        << "VALUES (1, 9007199254740993), (2, 9007199254740993), (3, 9007199254740992), "
           "(4, 12345678901234567890)"
        << "" << 0 << (OnPostgres() ? box("12372700498998 790 868", 4) : QString());
    QTest::newRow("negative cents") << "NUMERIC(10,2)"
                                    << "VALUES (1, -0.01), (2, NULL), (3, -0.02)"
                                    << "" << 0 << (OnPostgres() ? box("-0.03", 3, 1) : QString());
    QTest::newRow("filter") << "INTEGER"
                            << "VALUES (1, 1), (2, 2), (3, 3), (4, NULL)"
                            << "v > 1" << 0 << box("5", 2);
    QTest::newRow("link") << "INTEGER"
                          << "VALUES (1, 5), (2, 7), (3, NULL)"
                          << "" << 2 << box("7", 1);
    QTest::newRow("1,000 integers, 100 nulls, past the first block")
        << "INTEGER"
        << "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 1000) "
           "SELECT n, CASE WHEN n % 10 = 0 THEN NULL ELSE n % 7 END FROM c"
        << "" << 0 << box("2 700", 1000, 100);
}

void OdbcTableTest::columnStatistics() {
    QFETCH(QString, type);
    QFETCH(QString, rows);
    QFETCH(QString, filter);
    QFETCH(int, master);
    QFETCH(QString, box);
    // SQLite keeps such values as REALs and walks them: nothing to compare.
    if (box.isEmpty()) QSKIP("the server cannot hold these values exactly");
    {
        TOdbcWriter writer;
        RecreateTable(writer, QStringLiteral("t_totals"), QStringLiteral("id INTEGER, v %1").arg(type));
        if (!rows.isEmpty()) writer.Execute(QStringLiteral("INSERT INTO t_totals ") + rows);
        RecreateTable(writer, QStringLiteral("t_totals_master"), QStringLiteral("v INTEGER"));
        writer.Execute(QStringLiteral("INSERT INTO t_totals_master VALUES (%1)").arg(master));
    }
    // SQLite's ODBC driver describes a table by the schema its connection
    // last read.
    FDb->SetConnected(false);
    TTable masterTable;
    masterTable.SetDatabaseName(FDb->DatabaseName());
    masterTable.SetTableName(QStringLiteral("t_totals_master"));
    TDataSource masterSource;
    masterSource.SetDataSet(&masterTable);
    TTable table;
    table.SetDatabaseName(FDb->DatabaseName());
    table.SetTableName(QStringLiteral("t_totals"));
    table.SetIndexFieldNames(QStringLiteral("id"));
    QStringList where;
    if (master > 0) {
        masterTable.Open();
        table.SetMasterSource(&masterSource);
        table.SetMasterFields(QStringLiteral("v"));
        where << QStringLiteral("id = %1").arg(master);
    }
    table.SetFilter(filter);
    table.SetFiltered(!filter.isEmpty());
    if (!filter.isEmpty()) where << filter;
    table.Open();
    bool server = false;
    const QString text = StatisticsBox(&table, QStringLiteral("v"), server);
    const TField* field = table.FieldByName(QStringLiteral("v"));
    QCOMPARE(server, OnPostgres() && field->IsNumeric() && !field->IsFloat());
    QCOMPARE(text, box);

    TQuery walked;
    walked.SetDatabaseName(FDb->DatabaseName());
    walked.SQL() << QStringLiteral("SELECT * FROM t_totals %1 ORDER BY id")
                        .arg(where.isEmpty() ? QString() : QStringLiteral("WHERE ") + where.join(" AND "));
    walked.Open();
    QCOMPARE(StatisticsBox(&walked, QStringLiteral("v"), server), text);
    QVERIFY(!server);
}

TAMSEL_TEST(OdbcTableTest);

#include "OdbcTableTest.moc"
