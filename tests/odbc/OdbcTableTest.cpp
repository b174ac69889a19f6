#include "OdbcTestSupport.h"
#include "engine/Exception.h"
#include "engine/TField.h"
#include "engine/TTable.h"
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

TAMSEL_TEST(OdbcTableTest);

#include "OdbcTableTest.moc"
