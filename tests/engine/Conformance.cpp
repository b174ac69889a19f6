// The conformance suite's tables, made once for all its cases; the cases
// are in the files named for their theme (ConformanceFilter.cpp...).

#include "Conformance.h"

#include "engine/Session.h"
#include "engine/TField.h"
#include "engine/TTable.h"

namespace {

const QStringList CustomerRows = {
    QStringLiteral("INSERT INTO cust VALUES (1, 'Ann', 'Sofia', 1.5, '1990-01-02')"),
    QStringLiteral("INSERT INTO cust VALUES (2, 'O''Brien', 'Varna', NULL, NULL)"),
    QStringLiteral("INSERT INTO cust VALUES (3, 'Bob', NULL, 2.25, '1985-12-31')"),
    QStringLiteral("INSERT INTO cust VALUES (4, 'Иван', 'Sofia', -3, '2000-02-29')"),
    QStringLiteral("INSERT INTO cust VALUES (5, '', 'Plovdiv', 10, NULL)"),
};

// Fixed-point values at their edges: 2^53 + 1 and its neighbour, 10^17 + 1,
// cents, millionths and NULLs.
const QStringList ExactRows = {
    QStringLiteral("INSERT INTO exact VALUES (1, 9007199254740993, 14.2, 0.000005, 100000000000000001, 7.1)"),
    QStringLiteral("INSERT INTO exact VALUES (2, 9007199254740992, -0.01, -0.000001, 0.5, 1234567890.1234)"),
    QStringLiteral("INSERT INTO exact VALUES (3, 12345678901234567, 99999999.99, 1.5, -12.25, NULL)"),
    QStringLiteral("INSERT INTO exact VALUES (4, 100000000000000001, 0, NULL, NULL, 0.01)"),
    QStringLiteral("INSERT INTO exact VALUES (5, NULL, NULL, 0.000005, 100000000000000000, -7.1)"),
};

const QStringList ExactDetailRows = {
    QStringLiteral("INSERT INTO exactdet VALUES (9007199254740993, 14.2, 1)"),
    QStringLiteral("INSERT INTO exactdet VALUES (9007199254740993, 99999999.99, 2)"),
    QStringLiteral("INSERT INTO exactdet VALUES (9007199254740992, -0.01, 3)"),
    QStringLiteral("INSERT INTO exactdet VALUES (12345678901234567, 14.2, 4)"),
};

} // namespace

// Per row of ExactRows: big, suma, tiny, wide and cash as text.
const QList<QStringList> ConformanceTest::ExactTexts = {
    {"9007199254740993", "14.2", "0.000005", "100000000000000001", "7.1"},
    {"9007199254740992", "-0.01", "-0.000001", "0.5", "1234567890.1234"},
    {"12345678901234567", "99999999.99", "1.5", "-12.25", ""},
    {"100000000000000001", "0", "", "", "0.01"},
    {"", "", "0.000005", "100000000000000000", "-7.1"},
};

// The long texts of table notes, by id from 1.
const QStringList ConformanceTest::MemoTexts = {
    QStringLiteral("Ред 1, 'в кавички'\nред 2"),
    QString(),
    QString(""),
    QStringLiteral("начало ") + QString(300000, u'ж'),
    QStringLiteral("\nпразен първи ред"),
};

std::unique_ptr<TTable> ConformanceTest::Table(const QString& db, const QString& name, const QString& order) {
    auto t = std::make_unique<TTable>();
    t->SetDatabaseName(db);
    t->SetTableName(name);
    t->SetIndexFieldNames(order);
    return t;
}

TConformanceFixture::TRefusedFilter SqliteRefusedFilter() {
    return {QStringLiteral("VARCHAR(20)"), QStringLiteral("NOT ").repeated(150) + QStringLiteral("doc='a'")};
}

ConformanceTest::ConformanceTest(std::unique_ptr<TConformanceFixture> fixture)
    : FFixture(std::move(fixture)) {}
ConformanceTest::~ConformanceTest() = default;

void ConformanceTest::Exec(const QString& sql) {
    FFixture->Execute(sql);
}

QList<int> ConformanceTest::Ids(TDataSet& ds, const QString& field) {
    QList<int> ids;
    for (ds.First(); !ds.Eof(); ds.Next())
        ids << int(ds.FieldByName(field)->AsInteger());
    return ids;
}

void ConformanceTest::initTestCase() {
    Session().Open();
    FDb = FFixture->CreateDatabase();
    Exec(QStringLiteral("CREATE TABLE cust (id INTEGER, name VARCHAR(40), city VARCHAR(20), score DOUBLE "
                        "PRECISION, born DATE)"));
    for (const QString& row : CustomerRows)
        Exec(row);
    Exec(QStringLiteral("CREATE TABLE ord (oid INTEGER, cust INTEGER, amount DOUBLE PRECISION)"));
    const int orders[][2] = {{10, 1}, {11, 4}, {12, 1}, {13, 2}, {14, 1}, {15, 4}};
    for (const auto& o : orders)
        Exec(QStringLiteral("INSERT INTO ord VALUES (%1, %2, %3)").arg(o[0]).arg(o[1]).arg(o[0] * 1.25));
    for (const QString& sql : FFixture->NumbersTable(QStringLiteral("nums"), BigRows))
        Exec(sql);
    Exec(QStringLiteral(
             "CREATE TABLE exact (id INTEGER, big NUMERIC(20,0), suma DECIMAL(10,2), tiny DECIMAL(10,6), "
             "wide NUMERIC(38,10), cash %1)")
             .arg(FFixture->MoneyType()));
    for (const QString& row : ExactRows)
        Exec(row);
    Exec(QStringLiteral("CREATE TABLE exactdet (k NUMERIC(20,0), c DECIMAL(12,2), n INTEGER)"));
    for (const QString& row : ExactDetailRows)
        Exec(row);
    Exec(QStringLiteral("CREATE TABLE notes (id INTEGER, body %1)").arg(FFixture->MemoType()));
    for (int id = 1; id <= MemoTexts.size(); ++id)
        Exec(MemoTexts[id - 1].isNull()
                 ? QStringLiteral("INSERT INTO notes VALUES (%1, NULL)").arg(id)
                 : QStringLiteral("INSERT INTO notes VALUES (%1, '%2')")
                       .arg(id)
                       .arg(QString(MemoTexts[id - 1]).replace(u'\'', QStringLiteral("''"))));
}

void ConformanceTest::cleanupTestCase() {
    Session().Close();
    FFixture->DropDatabase();
}

void ConformanceTest::cleanup() {
    Session().Open();
}
