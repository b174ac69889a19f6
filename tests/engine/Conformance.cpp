#include "Conformance.h"

#include "engine/Exception.h"
#include "engine/Session.h"
#include "engine/TDataSource.h"
#include "engine/TDatabase.h"
#include "engine/TField.h"
#include "engine/TQuery.h"
#include "engine/TTable.h"
#include "support/TestTemp.h"

#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

namespace {

const int BigRows = 20000;

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
// Per row of ExactRows: big, suma, tiny, wide and cash as text.
const QList<QStringList> ExactTexts = {
    {"9007199254740993", "14.2", "0.000005", "100000000000000001", "7.1"},
    {"9007199254740992", "-0.01", "-0.000001", "0.5", "1234567890.1234"},
    {"12345678901234567", "99999999.99", "1.5", "-12.25", ""},
    {"100000000000000001", "0", "", "", "0.01"},
    {"", "", "0.000005", "100000000000000000", "-7.1"},
};
const QStringList ExactDetailRows = {
    QStringLiteral("INSERT INTO exactdet VALUES (9007199254740993, 14.2, 1)"),
    QStringLiteral("INSERT INTO exactdet VALUES (9007199254740993, 99999999.99, 2)"),
    QStringLiteral("INSERT INTO exactdet VALUES (9007199254740992, -0.01, 3)"),
    QStringLiteral("INSERT INTO exactdet VALUES (12345678901234567, 14.2, 4)"),
};

// The long texts of table notes, by id from 1.
const QStringList MemoTexts = {
    QStringLiteral("Ред 1, 'в кавички'\nред 2"),
    QString(),
    QString(""),
    QStringLiteral("начало ") + QString(300000, u'ж'),
    QStringLiteral("\nпразен първи ред"),
};

std::unique_ptr<TTable> Table(const QString& db, const QString& name, const QString& order = QString()) {
    auto t = std::make_unique<TTable>();
    t->SetDatabaseName(db);
    t->SetTableName(name);
    t->SetIndexFieldNames(order);
    return t;
}

} // namespace

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

void ConformanceTest::walkVisitsEveryRecord() {
    auto t = Table(FDb, QStringLiteral("cust"));
    t->Open();
    QVERIFY(t->Active());
    QCOMPARE(t->RecordCount(), 5);
    QCOMPARE(t->FieldCount(), 5);
    QList<int> ids = Ids(*t);
    std::sort(ids.begin(), ids.end());
    QCOMPARE(ids, (QList<int>{1, 2, 3, 4, 5}));
    // The natural order is the same on every read.
    QCOMPARE(Ids(*t), Ids(*t));
}

void ConformanceTest::indexFieldNamesOrderRows_data() {
    QTest::addColumn<QString>("order");
    QTest::newRow("float field") << "score;id";
    QTest::newRow("text field") << "city;id";
    QTest::newRow("names in other case") << "CITY;ID";
    QTest::newRow("date field") << "born;name";
}

void ConformanceTest::indexFieldNamesOrderRows() {
    QFETCH(QString, order);
    auto t = Table(FDb, QStringLiteral("cust"), order);
    t->Open();
    const QStringList fields = order.split(QLatin1Char(';'));
    // Ascending by each field in turn: every neighbour pair is in order
    // (NULLs sort together at one end, the engine leaves where to the server).
    QList<QList<QVariant>> rows;
    for (t->First(); !t->Eof(); t->Next()) {
        QList<QVariant> row;
        for (const QString& f : fields)
            row << t->FieldByName(f)->Value();
        rows << row;
    }
    QCOMPARE(rows.size(), 5);
    auto less = [](const QVariant& a, const QVariant& b) {
        return QVariant::compare(a, b) == QPartialOrdering::Less;
    };
    for (int i = 1; i < rows.size(); ++i) {
        const auto &a = rows[i - 1], &b = rows[i];
        if (a[0].isNull() || b[0].isNull()) continue;
        QVERIFY2(!less(b[0], a[0]) && (less(a[0], b[0]) || !less(b[1], a[1])),
                 qPrintable(QStringLiteral("row %1 out of order").arg(i + 1)));
    }
}

void ConformanceTest::filterKeepsMatchingRows_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QList<int>>("ids");
    QTest::newRow("number") << "id=3" << QList<int>{3};
    QTest::newRow("text with doubled quote") << "name='O''Brien'" << QList<int>{2};
    QTest::newRow("built by field, joined by AND") << "city='Sofia' AND id=4" << QList<int>{4};
    QTest::newRow("float") << "score=1.5" << QList<int>{1};
    QTest::newRow("negative number") << "score=-3" << QList<int>{4};
    QTest::newRow("number with nothing after =") << "score=" << QList<int>{2};
    QTest::newRow("text with nothing after =") << "city=" << QList<int>{3};
    QTest::newRow("empty text matches empty and null") << "name=''" << QList<int>{5};
    QTest::newRow("empty text on a null") << "city=''" << QList<int>{3};
    QTest::newRow("not empty text") << "city<>''" << QList<int>{1, 2, 4, 5};
    QTest::newRow("or, comparison") << "score>=2 OR city='Sofia'" << QList<int>{1, 3, 4, 5};
    QTest::newRow("not, parentheses") << "NOT (city='Sofia') AND id<>5" << QList<int>{2};
    QTest::newRow("is not null") << "city IS NOT NULL AND id<3" << QList<int>{1, 2};
    QTest::newRow("begins with") << "name='B*'" << QList<int>{3};
    // Letter case does not matter to "begins with", in any alphabet.
    QTest::newRow("begins with, Latin lower case") << "name='b*'" << QList<int>{3};
    QTest::newRow("begins with, Cyrillic mixed case") << "name='иВ*'" << QList<int>{4};
    QTest::newRow("begins with, Cyrillic capitals") << "name='ИВАН*'" << QList<int>{4};
    QTest::newRow("not begins with, Cyrillic") << "name<>'ива*' AND name<>''" << QList<int>{1, 2, 3};
    QTest::newRow("begins with, quote, lower case") << "name='o''b*'" << QList<int>{2};
    QTest::newRow("== takes the star as itself") << "name=='B*'" << QList<int>{};
    QTest::newRow("== on a whole text") << "name=='Bob'" << QList<int>{3};
    QTest::newRow("bracketed name, Cyrillic text") << "[name] = 'Иван'" << QList<int>{4};
    QTest::newRow("date") << "born='02.01.1990'" << QList<int>{1};
    QTest::newRow("date before") << "born<'01.01.1990'" << QList<int>{3};
    QTest::newRow("value before field") << "2<id and 4>id" << QList<int>{3};
    QTest::newRow("blank filter keeps all") << "   " << QList<int>{1, 2, 3, 4, 5};
    // Texts that try to leave their quotes stay values.
    QTest::newRow("quote, OR inside text") << "name='x'' OR ''1''=''1'" << QList<int>{};
    QTest::newRow("comment inside text") << "name='1'' OR 1=1 --'" << QList<int>{};
    QTest::newRow("statement inside text") << "name='a''; DROP TABLE cust; --'" << QList<int>{};
    QTest::newRow("percent is no wildcard") << "name='%'" << QList<int>{};
    QTest::newRow("underscore is no wildcard in begins with") << "name='_nn*'" << QList<int>{};
    QTest::newRow("percent begins with") << "name='%*'" << QList<int>{};
    QTest::newRow("bracketed name with quote") << "[name'] = 1" << QList<int>{-1};
}

void ConformanceTest::filterKeepsMatchingRows() {
    QFETCH(QString, filter);
    QFETCH(QList<int>, ids);
    auto t = Table(FDb, QStringLiteral("cust"), QStringLiteral("id"));
    t->SetFilter(filter);
    t->SetFiltered(true);
    if (ids == QList<int>{-1}) {
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, t->Open());
        QVERIFY(!t->Active());
        return;
    }
    t->Open();
    QCOMPARE(Ids(*t), ids);
    QCOMPARE(t->RecordCount(), ids.size());
    // The table is still there after every attempt.
    auto check = Table(FDb, QStringLiteral("cust"));
    check->Open();
    QCOMPARE(check->RecordCount(), 5);
}

void ConformanceTest::rejectedFilterLeavesRows_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("message");
    QTest::newRow("two operators") << "id = = 3"
                                   << "position 6";
    QTest::newRow("unknown field") << "nope=1"
                                   << "nope";
    QTest::newRow("open quote") << "name='abc"
                                << "closing quote";
    QTest::newRow("text for a number") << "id='abc'"
                                       << "number";
    QTest::newRow("bad date") << "born='31.02.2001'"
                              << "date";
    QTest::newRow("unclosed parenthesis") << "(id=1"
                                          << "\")\"";
    QTest::newRow("missing value after <") << "id<"
                                           << "value";
}

void ConformanceTest::rejectedFilterLeavesRows() {
    QFETCH(QString, filter);
    QFETCH(QString, message);
    auto t = Table(FDb, QStringLiteral("cust"), QStringLiteral("id"));
    t->SetFilter(QStringLiteral("id<4"));
    t->SetFiltered(true);
    t->Open();
    t->Next();
    try {
        t->SetFilter(filter);
        QFAIL("the filter was accepted");
    } catch (const EDatabaseError& e) {
        QVERIFY2(e.Message().contains(message, Qt::CaseInsensitive), qPrintable(e.Message()));
    }
    QCOMPARE(t->Filter(), QStringLiteral("id<4"));
    QCOMPARE(Ids(*t), (QList<int>{1, 2, 3}));
}

void ConformanceTest::filterRefusedByServerLeavesRows() {
    const TConformanceFixture::TRefusedFilter refused = FFixture->RefusedFilter();
    Exec(QStringLiteral("CREATE TABLE refusing (id INTEGER, doc %1)").arg(refused.Type));
    for (int i = 1; i <= 3; ++i)
        Exec(QStringLiteral("INSERT INTO refusing (id) VALUES (%1)").arg(i));
    auto t = Table(FDb, QStringLiteral("refusing"), QStringLiteral("id"));
    t->SetFilter(QStringLiteral("id<3"));
    t->SetFiltered(true);
    t->Open();
    t->Next();
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, t->SetFilter(refused.Filter));
    QCOMPARE(t->Filter(), QStringLiteral("id<3"));
    QCOMPARE(t->RecNo(), 2);
    QCOMPARE(t->FieldByName(QStringLiteral("id"))->AsInteger(), 2);
    QCOMPARE(Ids(*t), (QList<int>{1, 2}));
    t->Refresh();
    QCOMPARE(t->RecordCount(), 2);

    // Refused as it is turned on.
    t->SetFiltered(false);
    t->SetFilter(refused.Filter);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, t->SetFiltered(true));
    QVERIFY(!t->Filtered());
    QCOMPARE(Ids(*t), (QList<int>{1, 2, 3}));
    t->SetFilter(QStringLiteral("id>1"));
    t->SetFiltered(true);
    QCOMPARE(Ids(*t), (QList<int>{2, 3}));
    if (refused.OrderRefused) {
        t->Last();
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, t->SetIndexFieldNames(QStringLiteral("doc")));
        QCOMPARE(t->IndexFieldNames(), QStringLiteral("id"));
        QCOMPARE(t->FieldByName(QStringLiteral("id"))->AsInteger(), 3);
        t->Refresh();
        QCOMPARE(Ids(*t), (QList<int>{2, 3}));
    }
    t.reset();
    Exec(QStringLiteral("DROP TABLE refusing"));
}

void ConformanceTest::refusedOrderLeavesRowsAndOrder() {
    auto t = Table(FDb, QStringLiteral("cust"), QStringLiteral("name"));
    t->Open();
    t->SetRecNo(3);
    const int id = int(t->FieldByName(QStringLiteral("id"))->AsInteger());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, t->SetIndexFieldNames(QStringLiteral("name;nope")));
    QCOMPARE(t->IndexFieldNames(), QStringLiteral("name"));
    QCOMPARE(t->FieldByName(QStringLiteral("id"))->AsInteger(), id);
    t->Refresh(); // reads with the order it kept
    QCOMPARE(t->RecNo(), 3);
    QCOMPARE(t->FieldByName(QStringLiteral("id"))->AsInteger(), id);
    t->SetIndexFieldNames(QStringLiteral("id"));
    QCOMPARE(Ids(*t), (QList<int>{1, 2, 3, 4, 5}));
}

void ConformanceTest::filterTakesEffectAtOnce() {
    auto t = Table(FDb, QStringLiteral("cust"), QStringLiteral("id"));
    t->Open();
    t->SetFilter(QStringLiteral("city='Sofia'"));
    QCOMPARE(t->RecordCount(), 5); // not filtered yet
    t->SetFiltered(true);
    QCOMPARE(Ids(*t), (QList<int>{1, 4}));
    t->SetFilter(QString());
    QCOMPARE(t->RecordCount(), 5);
    t->SetFilter(QStringLiteral("id>3"));
    QCOMPARE(Ids(*t), (QList<int>{4, 5}));
    t->SetFiltered(false);
    QCOMPARE(t->RecordCount(), 5);
}

void ConformanceTest::detailFollowsMaster() {
    auto master = Table(FDb, QStringLiteral("cust"), QStringLiteral("id"));
    TDataSource source;
    source.SetDataSet(master.get());
    auto detail = Table(FDb, QStringLiteral("ord"), QStringLiteral("cust;oid"));
    detail->SetMasterSource(&source);
    detail->SetMasterFields(QStringLiteral("id"));
    TDataSource detailSource;
    detailSource.SetDataSet(detail.get());
    master->Open();
    detail->Open();
    QSignalSpy changed(&detailSource, &TDataSource::DataSetChanged);

    const QList<QList<int>> expected = {{10, 12, 14}, {13}, {}, {11, 15}, {}};
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(master->RecNo(), i + 1);
        QCOMPARE(Ids(*detail, QStringLiteral("oid")), expected[i]);
        QCOMPARE(detail->RecordCount(), expected[i].size());
        QCOMPARE(detail->IsEmpty(), expected[i].isEmpty());
        master->Next();
    }
    QVERIFY(changed.count() >= 4);
    master->SetRecNo(1);
    QCOMPARE(detail->RecordCount(), 3);
    // A filter on the detail applies together with the link.
    detail->SetFilter(QStringLiteral("oid>10"));
    detail->SetFiltered(true);
    QCOMPARE(Ids(*detail, QStringLiteral("oid")), (QList<int>{12, 14}));
    master->SetRecNo(4);
    QCOMPARE(Ids(*detail, QStringLiteral("oid")), (QList<int>{11, 15}));
}

void ConformanceTest::detailOfClosedOrDestroyedMasterIsEmpty() {
    auto master = Table(FDb, QStringLiteral("cust"), QStringLiteral("id"));
    auto source = std::make_unique<TDataSource>();
    source->SetDataSet(master.get());
    auto detail = Table(FDb, QStringLiteral("ord"), QStringLiteral("cust"));
    detail->SetMasterSource(source.get());
    detail->SetMasterFields(QStringLiteral("id"));
    detail->Open(); // the master is not open yet
    QVERIFY(detail->Active());
    QVERIFY(detail->IsEmpty());
    master->Open();
    QCOMPARE(detail->RecordCount(), 3);
    master->Close();
    QVERIFY(detail->Active());
    QVERIFY(detail->IsEmpty());
    QVERIFY(detail->Eof());
    master->Open();
    QCOMPARE(detail->RecordCount(), 3);

    master.reset();
    QVERIFY(detail->Active());
    QVERIFY(detail->IsEmpty());
    detail->Refresh();
    detail->First();
    QCOMPARE(detail->RecordCount(), 0);

    auto other = Table(FDb, QStringLiteral("cust"), QStringLiteral("id"));
    source->SetDataSet(other.get());
    other->Open();
    QCOMPARE(detail->RecordCount(), 3);
    source.reset();
    QVERIFY(detail->Active());
    QVERIFY(detail->IsEmpty());
    QVERIFY(!detail->MasterSource());
}

void ConformanceTest::masterWalkWithControlsDisabled() {
    auto master = Table(FDb, QStringLiteral("cust"), QStringLiteral("id"));
    TDataSource source;
    source.SetDataSet(master.get());
    auto detail = Table(FDb, QStringLiteral("ord"), QStringLiteral("cust"));
    detail->SetMasterSource(&source);
    detail->SetMasterFields(QStringLiteral("id"));
    master->Open();
    detail->Open();
    const qint64 before = detail->RowsRead();
    master->DisableControls();
    for (master->First(); !master->Eof(); master->Next()) {
    }
    QCOMPARE(detail->RowsRead(), before); // the detail did not follow the walk
    master->SetRecNo(4);
    master->EnableControls();
    QCOMPARE(Ids(*detail, QStringLiteral("oid")).size(), 2);
}

void ConformanceTest::circularLinksAreRefused() {
    auto a = Table(FDb, QStringLiteral("cust"), QStringLiteral("id"));
    auto b = Table(FDb, QStringLiteral("ord"), QStringLiteral("cust"));
    auto c = Table(FDb, QStringLiteral("cust"), QStringLiteral("id"));
    TDataSource sa, sb, sc;
    sa.SetDataSet(a.get());
    sb.SetDataSet(b.get());
    sc.SetDataSet(c.get());
    b->SetMasterSource(&sa);
    b->SetMasterFields(QStringLiteral("id"));
    c->SetMasterSource(&sb);
    c->SetMasterFields(QStringLiteral("oid"));
    for (TDataSource* back : {&sc, &sb, &sa}) {
        try {
            a->SetMasterSource(back);
            QFAIL("a circular link was accepted");
        } catch (const EDatabaseError& e) {
            QCOMPARE(e.Message(), QStringLiteral("Circular datalinks are not allowed"));
        }
        QVERIFY(!a->MasterSource());
    }
    a->Open();
    b->Open();
    c->Open();
    a->Next();
    QVERIFY(b->Active() && c->Active());
}

void ConformanceTest::bookmarkSurvivesWalk() {
    auto t = Table(FDb, QStringLiteral("nums"), QStringLiteral("n"));
    t->Open();
    t->SetRecNo(1234);
    const QString mark = t->Bookmark();
    QVERIFY(!mark.isEmpty());
    t->DisableControls();
    double sum = 0;
    for (t->First(); !t->Eof(); t->Next())
        sum += t->FieldByName(QStringLiteral("x"))->AsFloat();
    t->SetBookmark(mark);
    t->EnableControls();
    QCOMPARE(sum, double(BigRows) * (BigRows + 1) / 8.0);
    QCOMPARE(t->RecNo(), 1234);
    QCOMPARE(t->FieldByName(QStringLiteral("n"))->AsInteger(), 1234);
    QCOMPARE(t->FieldByName(QStringLiteral("s"))->AsString(), QStringLiteral("r1234"));
    t->Last();
    const QString last = t->Bookmark();
    t->First();
    t->SetBookmark(last);
    QCOMPARE(t->FieldByName(QStringLiteral("n"))->AsInteger(), BigRows);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, t->SetBookmark(QStringLiteral("garbage")));
}

void ConformanceTest::movesAtTheEdges() {
    auto t = Table(FDb, QStringLiteral("cust"), QStringLiteral("id"));
    t->Open();
    QVERIFY(t->Bof());
    QVERIFY(!t->Eof());
    t->Prior();
    QVERIFY(t->Bof());
    QCOMPARE(t->RecNo(), 1);
    t->Last();
    QVERIFY(t->Eof());
    QCOMPARE(t->RecNo(), 5);
    t->Next();
    QVERIFY(t->Eof());
    QCOMPARE(t->FieldByName(QStringLiteral("id"))->AsInteger(), 5);
    QCOMPARE(t->MoveBy(-2), -2);
    QCOMPARE(t->RecNo(), 3);
    QCOMPARE(t->MoveBy(-2), -2);
    QCOMPARE(t->RecNo(), 1);
    QVERIFY(!t->Bof()); // it stopped on record 1 without trying past it
    QCOMPARE(t->MoveBy(2), 2);
    QCOMPARE(t->MoveBy(10), 2);
    QVERIFY(t->Eof());
    QCOMPARE(t->MoveBy(-10), -4);
    QVERIFY(t->Bof());
    t->SetRecNo(99);
    QCOMPARE(t->RecNo(), 5);
    QCOMPARE(t->ValueAt(2, 0).toInt(), 2);
    QCOMPARE(t->RecNo(), 5); // the grid's reads do not move the record

    auto empty = Table(FDb, QStringLiteral("cust"));
    empty->SetFilter(QStringLiteral("id>100"));
    empty->SetFiltered(true);
    empty->Open();
    QVERIFY(empty->IsEmpty());
    QVERIFY(empty->Eof() && empty->Bof());
    QCOMPARE(empty->RecNo(), 0);
    QVERIFY(empty->Bookmark().isEmpty());
    QVERIFY(!empty->FieldByName(QStringLiteral("id"))->Value().isValid());
    empty->Next();
    QVERIFY(empty->Eof());
    empty->Close();
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, empty->First());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, empty->Refresh());
}

void ConformanceTest::movesPastTheEndOfUnreadBlocks_data() {
    QTest::addColumn<QString>("order");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("distance"); // 0: SetRecNo(target) instead
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("recNo");
    QTest::addColumn<bool>("eof");
    QTest::newRow("MoveBy far past the end") << QString() << 1 << 1000 << 0 << 250 << true;
    QTest::newRow("MoveBy past the end, ordered") << QStringLiteral("n") << 1 << 450 << 0 << 250 << true;
    QTest::newRow("MoveBy past the end from the middle") << QString() << 120 << 181 << 0 << 250 << true;
    QTest::newRow("MoveBy onto the last") << QString() << 1 << 249 << 0 << 250 << false;
    QTest::newRow("SetRecNo far past the end") << QString() << 1 << 0 << 1000 << 250 << false;
    QTest::newRow("SetRecNo past the end, ordered") << QStringLiteral("n") << 1 << 0 << 601 << 250 << false;
    QTest::newRow("SetRecNo into the last block") << QString() << 1 << 0 << 230 << 230 << false;
}

void ConformanceTest::movesPastTheEndOfUnreadBlocks() {
    QFETCH(QString, order);
    QFETCH(int, from);
    QFETCH(int, distance);
    QFETCH(int, target);
    QFETCH(int, recNo);
    QFETCH(bool, eof);
    auto t = Table(FDb, QStringLiteral("nums"), order);
    t->SetFilter(QStringLiteral("n<=250"));
    t->SetFiltered(true);
    t->Open();
    if (from > 1) t->SetRecNo(from);
    if (distance)
        QCOMPARE(t->MoveBy(distance), recNo - from);
    else
        t->SetRecNo(target);
    QCOMPARE(t->RecNo(), recNo);
    QCOMPARE(t->FieldByName(QStringLiteral("n"))->AsInteger(), recNo);
    QCOMPARE(t->Eof(), eof);
    QCOMPARE(t->RecordCount(), 250);
    QCOMPARE(Ids(*t, QStringLiteral("n")).size(), 250);
}

void ConformanceTest::endOfOrderReadsBackwards_data() {
    QTest::addColumn<QString>("order");
    QTest::addColumn<QString>("filter");
    QTest::newRow("natural") << QString() << QString();
    QTest::newRow("ties and NULLs") << QStringLiteral("g") << QString();
    QTest::newRow("two fields, filtered") << QStringLiteral("g;s") << QStringLiteral("n>5");
    QTest::newRow("text") << QStringLiteral("s") << QString();
}

// The blocks near the end are read from the end backwards: they must hold the
// same records, in the same places, as a walk from the start finds there.
void ConformanceTest::endOfOrderReadsBackwards() {
    QFETCH(QString, order);
    QFETCH(QString, filter);
    Exec(QStringLiteral("CREATE TABLE rev AS SELECT n, CASE WHEN n % 11 = 0 THEN NULL ELSE n % 7 END AS g, s "
                        "FROM nums WHERE n <= 1037"));
    const auto drop = qScopeGuard([this] { Exec(QStringLiteral("DROP TABLE rev")); });
    auto open = [&] {
        auto t = Table(FDb, QStringLiteral("rev"), order);
        t->SetFilter(filter);
        t->SetFiltered(!filter.isEmpty());
        t->Open();
        return t;
    };
    auto forward = open();
    const QList<int> ids = Ids(*forward, QStringLiteral("n"));
    QCOMPARE(ids.size(), filter.isEmpty() ? 1037 : 1032);
    forward.reset();

    auto t = open();
    t->Last();
    QCOMPARE(t->RecNo(), int(ids.size()));
    QList<int> backwards;
    while (!t->Bof()) {
        backwards.prepend(t->FieldByName(QStringLiteral("n"))->AsInteger());
        QCOMPARE(t->RecNo(), int(ids.size() - backwards.size() + 1));
        t->Prior();
    }
    QCOMPARE(backwards, ids);
    // Jumps that land in a block read from the end.
    for (int recNo : {int(ids.size()) - 200, 801, int(ids.size()) - 1}) {
        auto j = open();
        j->SetRecNo(int(ids.size())); // learns the count
        j->SetRecNo(recNo);
        QCOMPARE(j->FieldByName(QStringLiteral("n"))->AsInteger(), ids[recNo - 1]);
        j->Next();
        QCOMPARE(j->FieldByName(QStringLiteral("n"))->AsInteger(), ids[recNo]);
    }
}

void ConformanceTest::oneRowTableAtItsEdges() {
    auto t = Table(FDb, QStringLiteral("cust"));
    t->SetFilter(QStringLiteral("id=4"));
    t->SetFiltered(true);
    t->Open();
    QVERIFY(t->Bof() && !t->Eof());
    t->Next();
    QVERIFY(t->Eof());
    QVERIFY(!t->Bof());
    t->Prior();
    QVERIFY(t->Bof());
    QVERIFY(!t->Eof());
    QVERIFY(!t->IsEmpty());
    QCOMPARE(t->RecNo(), 1);
    QCOMPARE(t->FieldByName(QStringLiteral("name"))->AsString(), QStringLiteral("Иван"));
    t->Last();
    QCOMPARE(t->MoveBy(-1), 0);
    QVERIFY(t->Bof() && !t->Eof());
    QCOMPARE(Ids(*t), (QList<int>{4}));
}

void ConformanceTest::equalRowsKeepTheirPlace() {
    Exec(QStringLiteral("CREATE TABLE same (s VARCHAR(5))"));
    Exec(QStringLiteral("INSERT INTO same SELECT 'x' FROM nums WHERE n <= 1000"));
    for (const QString& order : {QString(), QStringLiteral("s")}) {
        auto t = Table(FDb, QStringLiteral("same"), order);
        t->Open();
        // Refreshed where it stands, not on the first of its equals.
        for (int recNo : {4, 6, 1, 1000, 599}) {
            t->SetRecNo(recNo);
            t->Refresh();
            QCOMPARE(t->RecNo(), recNo);
        }
        // A bookmark finds its own record among equal ones, wherever the
        // data set has been in between.
        QList<QPair<int, QString>> marks;
        for (int recNo : {1, 2, 100, 333, 777, 999}) {
            t->SetRecNo(recNo);
            marks.append({recNo, t->Bookmark()});
        }
        for (const auto& [recNo, mark] : marks) {
            t->Last();
            t->SetBookmark(mark);
            QCOMPARE(t->RecNo(), recNo);
            t->First();
            t->SetBookmark(mark);
            QCOMPARE(t->RecNo(), recNo);
        }
    }
    Exec(QStringLiteral("DROP TABLE same"));
}

void ConformanceTest::refreshKeepsPositionFilterAndOrder() {
    Exec(QStringLiteral("CREATE TABLE rtab (id INTEGER, city VARCHAR(20))"));
    for (int i = 1; i <= 6; ++i)
        Exec(QStringLiteral("INSERT INTO rtab VALUES (%1, %2)")
                 .arg(i)
                 .arg(i == 2 ? QStringLiteral("NULL") : QStringLiteral("'c'")));
    auto t = Table(FDb, QStringLiteral("rtab"), QStringLiteral("id"));
    t->SetFilter(QStringLiteral("city='c'"));
    t->SetFiltered(true);
    t->Open();
    t->SetRecNo(3); // id 4
    QCOMPARE(t->FieldByName(QStringLiteral("id"))->AsInteger(), 4);
    Exec(QStringLiteral("INSERT INTO rtab VALUES (0, 'c')"));
    Exec(QStringLiteral("INSERT INTO rtab VALUES (-1, NULL)"));
    t->Refresh();
    QCOMPARE(t->FieldByName(QStringLiteral("id"))->AsInteger(), 4);
    QCOMPARE(t->RecNo(), 4);
    QCOMPARE(t->Filter(), QStringLiteral("city='c'"));
    QVERIFY(t->Filtered());
    QCOMPARE(t->IndexFieldNames(), QStringLiteral("id"));
    QCOMPARE(Ids(*t), (QList<int>{0, 1, 3, 4, 5, 6}));
    Exec(QStringLiteral("DROP TABLE rtab"));
}

void ConformanceTest::refreshKeepsLink() {
    auto master = Table(FDb, QStringLiteral("cust"), QStringLiteral("id"));
    TDataSource source;
    source.SetDataSet(master.get());
    auto detail = Table(FDb, QStringLiteral("ord"), QStringLiteral("cust;oid"));
    detail->SetMasterSource(&source);
    detail->SetMasterFields(QStringLiteral("id"));
    master->Open();
    detail->Open();
    detail->Next();
    QCOMPARE(detail->FieldByName(QStringLiteral("oid"))->AsInteger(), 12);
    detail->Refresh();
    QCOMPARE(detail->FieldByName(QStringLiteral("oid"))->AsInteger(), 12);
    QCOMPARE(detail->RecordCount(), 3);
    master->Refresh();
    QCOMPARE(detail->RecordCount(), 3);
}

void ConformanceTest::refreshOfVanishedRowStaysNear() {
    Exec(QStringLiteral("CREATE TABLE vtab (id INTEGER)"));
    for (int i = 1; i <= 5; ++i)
        Exec(QStringLiteral("INSERT INTO vtab VALUES (%1)").arg(i));
    auto t = Table(FDb, QStringLiteral("vtab"), QStringLiteral("id"));
    t->Open();
    t->SetRecNo(3);
    Exec(QStringLiteral("DELETE FROM vtab WHERE id = 3"));
    t->Refresh();
    QCOMPARE(t->RecNo(), 3);
    QCOMPARE(t->FieldByName(QStringLiteral("id"))->AsInteger(), 4);
    t->Last();
    Exec(QStringLiteral("DELETE FROM vtab WHERE id >= 4"));
    t->Refresh();
    QCOMPARE(t->RecNo(), 2);
    Exec(QStringLiteral("DELETE FROM vtab"));
    t->Refresh();
    QVERIFY(t->IsEmpty());
    Exec(QStringLiteral("DROP TABLE vtab"));
}

void ConformanceTest::refreshAfterDeletesCountsRows() {
    for (const QString& sql : FFixture->NumbersTable(QStringLiteral("ktab"), 1000))
        Exec(sql);
    auto t = Table(FDb, QStringLiteral("ktab"));
    t->Open();
    t->SetRecNo(900);
    Exec(QStringLiteral("DELETE FROM ktab WHERE n <= 750"));
    t->Refresh();
    QCOMPARE(t->FieldByName(QStringLiteral("n"))->AsInteger(), 900);
    QCOMPARE(t->RecNo(), 150);
    QCOMPARE(t->RecordCount(), 250);
    QVERIFY(!t->ValueAt(251, 0).isValid());
    t->Last();
    QCOMPARE(t->RecNo(), 250);
    t.reset();
    Exec(QStringLiteral("DROP TABLE ktab"));
}

void ConformanceTest::refreshOfVanishedRowAmongNulls_data() {
    QTest::addColumn<QString>("order");
    QTest::addColumn<int>("id"); // the row that goes
    for (const QString& order : {QStringLiteral("city"), QStringLiteral("city;score")})
        for (int id : {2, 3, 5, 7, 8})
            QTest::addRow("%s, id %d", qPrintable(order), id) << order << id;
}

// Wherever the server sorts NULLs, the row that followed a vanished one in
// the order takes its place.
void ConformanceTest::refreshOfVanishedRowAmongNulls() {
    QFETCH(QString, order);
    QFETCH(int, id);
    Exec(QStringLiteral("CREATE TABLE ntab (id INTEGER, city VARCHAR(20), score DOUBLE PRECISION)"));
    const std::unique_ptr<void, std::function<void(void*)>> drop(
        this, [this](void*) { Exec(QStringLiteral("DROP TABLE ntab")); });
    const char* cities[] = {"'b'", "NULL", "'a'", "'b'", "NULL", "'c'", "NULL", "'a'"};
    for (int i = 1; i <= 8; ++i)
        Exec(QStringLiteral("INSERT INTO ntab VALUES (%1, %2, %3)")
                 .arg(i)
                 .arg(QLatin1String(cities[i - 1]))
                 .arg(i % 3 ? QString::number(10 - i) : QStringLiteral("NULL")));
    auto t = Table(FDb, QStringLiteral("ntab"), order);
    t->Open();
    QList<int> ids = Ids(*t);
    const int at = int(ids.indexOf(id));
    t->SetRecNo(at + 1);
    // The first row in the order goes too, so that the old record number
    // is no longer the place.
    const int first = ids.first() == id ? ids[1] : ids.first();
    Exec(QStringLiteral("DELETE FROM ntab WHERE id = %1 OR id = %2").arg(id).arg(first));
    t->Refresh();
    const QList<int> after = ids.mid(at + 1);
    ids.removeAll(id);
    ids.removeAll(first);
    int expected = ids.last();
    for (int next : after)
        if (next != first) {
            expected = next;
            break;
        }
    QCOMPARE(int(t->FieldByName(QStringLiteral("id"))->AsInteger()), expected);
    QCOMPARE(t->RecNo(), ids.indexOf(expected) + 1);
    QCOMPARE(Ids(*t), ids);
}

// A view has no row key of its own.
void ConformanceTest::viewOpensOrderedAndRefreshes() {
    Exec(QStringLiteral("CREATE VIEW vnums AS SELECT n, s FROM nums WHERE n <= 300"));
    const std::unique_ptr<void, std::function<void(void*)>> drop(
        this, [this](void*) { Exec(QStringLiteral("DROP VIEW vnums")); });
    for (const QString& order : {QString(), QStringLiteral("s"), QStringLiteral("n")}) {
        auto t = Table(FDb, QStringLiteral("vnums"), order);
        t->Open();
        t->SetRecNo(250);
        const QString s = t->FieldByName(QStringLiteral("s"))->AsString();
        t->Refresh();
        QCOMPARE(t->RecNo(), 250);
        QCOMPARE(t->FieldByName(QStringLiteral("s"))->AsString(), s);
        QCOMPARE(t->RecordCount(), 300);
        if (!order.isEmpty()) {
            t->First();
            QCOMPARE(t->FieldByName(order)->AsString(),
                     order == QLatin1String("s") ? QStringLiteral("r1") : QStringLiteral("1"));
        }
    }
}

void ConformanceTest::refreshAfterDeletesFindsPlaceByKey_data() {
    QTest::addColumn<QString>("order");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("at");
    QTest::newRow("natural order") << QString() << QString() << 15000;
    QTest::newRow("by number") << QStringLiteral("n") << QString() << 15000;
    QTest::newRow("by text") << QStringLiteral("s") << QString() << 15000;
    QTest::newRow("by float, then text") << QStringLiteral("x;s") << QString() << 12345;
    QTest::newRow("filtered, by text") << QStringLiteral("s") << QStringLiteral("n>50") << 9000;
    QTest::newRow("near the start") << QString() << QString() << 900;
}

void ConformanceTest::refreshAfterDeletesFindsPlaceByKey() {
    QFETCH(QString, order);
    QFETCH(QString, filter);
    QFETCH(int, at);
    for (const QString& sql : FFixture->NumbersTable(QStringLiteral("dtab"), BigRows))
        Exec(sql);
    const std::unique_ptr<void, std::function<void(void*)>> drop(
        this, [this](void*) { Exec(QStringLiteral("DROP TABLE dtab")); });
    auto table = [&] {
        auto t = Table(FDb, QStringLiteral("dtab"), order);
        t->SetFilter(filter);
        t->SetFiltered(true);
        t->Open();
        return t;
    };
    auto t = table();
    t->SetRecNo(at);
    const qint64 gone = t->FieldByName(QStringLiteral("n"))->AsInteger();
    t->Next();
    const QString next = t->FieldByName(QStringLiteral("s"))->AsString();
    t->Prior();
    // The current row goes, and with it most of the rows before it.
    Exec(QStringLiteral("DELETE FROM dtab WHERE n = %1 OR (n > 40 AND n <= 750) OR (n > 1000 AND n <= 5000)")
             .arg(gone));
    const qint64 before = t->RowsRead();
    t->Refresh();
    const qint64 read = t->RowsRead() - before;
    QVERIFY2(read <= 600, qPrintable(QStringLiteral("%1 rows read").arg(read))); // three blocks
    QCOMPARE(t->FieldByName(QStringLiteral("s"))->AsString(), next);
    // Where a data set opened afresh has that row.
    auto placeOfNext = [&] {
        auto fresh = table();
        for (fresh->First(); !fresh->Eof(); fresh->Next())
            if (fresh->FieldByName(QStringLiteral("s"))->AsString() == next)
                return std::make_pair(fresh->RecNo(), fresh->RecordCount());
        return std::make_pair(0, fresh->RecordCount());
    };
    QCOMPARE(std::make_pair(t->RecNo(), t->RecordCount()), placeOfNext());
    QVERIFY(!t->Eof() && !t->Bof());

    // A row that stays is found where the deletes moved it.
    Exec(QStringLiteral("DELETE FROM dtab WHERE n > 750 AND n <= 800"));
    t->Refresh();
    QCOMPARE(t->FieldByName(QStringLiteral("s"))->AsString(), next);
    QCOMPARE(std::make_pair(t->RecNo(), t->RecordCount()), placeOfNext());
}

void ConformanceTest::sessionCloseClosesDataSets() {
    auto t = Table(FDb, QStringLiteral("cust"));
    TQuery q;
    q.SetDatabaseName(FDb);
    q.SQL() << QStringLiteral("SELECT id FROM cust");
    TDataSource source;
    source.SetDataSet(t.get());
    t->Open();
    q.Open();
    QSignalSpy changed(&source, &TDataSource::DataSetChanged);
    Session().Close();
    QVERIFY(!Session().Active());
    QVERIFY(!t->Active());
    QVERIFY(!q.Active());
    QCOMPARE(changed.count(), 1);
    if (TDatabase* db = Session().FindDatabase(FDb)) QVERIFY(!db->Connected());
    t->Open(); // opens the session again and reconnects
    QVERIFY(Session().Active());
    QCOMPARE(t->RecordCount(), 5);
}

void ConformanceTest::notificationsWaitForEnabledControls() {
    auto t = Table(FDb, QStringLiteral("cust"), QStringLiteral("id"));
    TDataSource source;
    source.SetDataSet(t.get());
    QSignalSpy changed(&source, &TDataSource::DataSetChanged);
    QSignalSpy moved(&source, &TDataSource::RecordChanged);
    t->Open();
    QCOMPARE(changed.count(), 1);
    t->Next();
    QCOMPARE(moved.count(), 1);
    t->DisableControls();
    t->DisableControls();
    t->First();
    t->Next();
    t->Refresh();
    t->Close();
    t->Open();
    t->EnableControls();
    QVERIFY(t->ControlsDisabled());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(moved.count(), 1);
    t->EnableControls();
    QVERIFY(!t->ControlsDisabled());
    QCOMPARE(changed.count(), 2);
    QCOMPARE(moved.count(), 1);
}

void ConformanceTest::queryOpensAndExecutes() {
    TQuery q;
    q.SetDatabaseName(FDb);
    q.SetParamCheck(false);
    q.SQL() << QStringLiteral("SELECT count(*) FROM cust");
    q.Open();
    QCOMPARE(q.Fields(0)->AsInteger(), 5);
    q.Close();
    q.SQL().clear();
    q.SQL() << QStringLiteral("SELECT name FROM cust") << QStringLiteral("WHERE id = 2");
    q.Open();
    QCOMPARE(q.Fields(0)->AsString(), QStringLiteral("O'Brien"));
    q.SetSQL({QStringLiteral("SELECT ':x' AS t FROM cust WHERE id = 1")});
    QVERIFY(!q.Active());
    q.Open();
    QCOMPARE(q.Fields(0)->AsString(), QStringLiteral(":x"));
    QCOMPARE(q.RecordCount(), 1);

    q.SetSQL({QStringLiteral("SELECT * FROM no_such_table_here")});
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, q.Open());
    QVERIFY(!q.Active());
    q.SetSQL({});
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, q.ExecSQL());
}

void ConformanceTest::writesAreRefused_data() {
    QTest::addColumn<QString>("statement");
    QTest::newRow("INSERT") << "INSERT INTO cust (id, name) VALUES (99, 'new')";
    QTest::newRow("UPDATE") << "UPDATE cust SET name = 'changed'";
    QTest::newRow("DELETE") << "DELETE FROM cust";
    QTest::newRow("DROP") << "DROP TABLE ord";
    QTest::newRow("CREATE") << "CREATE TABLE made (id INTEGER)";
    QTest::newRow("ATTACH") << "ATTACH DATABASE '%1' AS other";
}

// The engine's connections only read, whatever a statement says.
void ConformanceTest::writesAreRefused() {
    QFETCH(QString, statement);
    if (statement.startsWith(QLatin1String("ATTACH")) && !FFixture->RefusesAttach())
        QSKIP("this driver's connection is read-only by the server's own setting, which allows ATTACH");
    const QTemporaryDir folder(TestTemp() + QStringLiteral("/attach-XXXXXX"));
    const QString attached = folder.filePath(QStringLiteral("attached.db"));
    const QByteArray before = FFixture->FileBytes();
    TQuery q;
    q.SetDatabaseName(FDb);
    q.SetSQL({statement.arg(attached)});
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, q.ExecSQL());
    QVERIFY(!QFile::exists(attached));
    q.SetSQL({QStringLiteral("SELECT name FROM cust ORDER BY id")});
    q.Open();
    QStringList names;
    for (; !q.Eof(); q.Next())
        names << q.Fields(0)->AsString();
    QCOMPARE(names.size(), 5);
    QVERIFY(!names.contains(QStringLiteral("changed")));
    q.Close();
    auto orders = Table(FDb, QStringLiteral("ord"));
    orders->Open();
    QCOMPARE(orders->RecordCount(), 6);
    QCOMPARE(FFixture->FileBytes(), before);
}

// The post-connect preparation's statements may write while it lets them;
// from then on the same connection refuses again.
void ConformanceTest::writesPassOnlyWhileAllowed() {
    TDatabase* db = Session().DatabaseFor(FDb);
    db->SetConnected(true);
    TQuery q;
    q.SetDatabaseName(FDb);
    const auto run = [&q](const QString& sql) {
        q.SetSQL({sql});
        q.ExecSQL();
    };
    const auto dropMade = qScopeGuard([this] { Exec(QStringLiteral("DROP TABLE IF EXISTS made")); });
    db->SetWritable(true);
    run(QStringLiteral("CREATE TABLE made (id INTEGER)"));
    run(QStringLiteral("INSERT INTO made VALUES (1)"));
    db->SetWritable(false);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, run(QStringLiteral("INSERT INTO made VALUES (2)")));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, run(QStringLiteral("DROP TABLE made")));
    q.SetSQL({QStringLiteral("SELECT count(*) FROM made")});
    q.Open();
    QCOMPARE(q.Fields(0)->AsInteger(), 1);
    q.Close();
    // A connection made anew only reads.
    db->SetConnected(false);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, run(QStringLiteral("INSERT INTO made VALUES (3)")));
}

void ConformanceTest::memoShowsItsFirstLine_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QList<int>>("filtered");
    QTest::newRow("two lines, quotes") << 1 << QStringLiteral("Ред 1, 'в кавички'") << QList<int>{1};
    QTest::newRow("null") << 2 << QString() << QList<int>{2, 3};
    QTest::newRow("empty") << 3 << QString() << QList<int>{2, 3};
    QTest::newRow("300,000 characters")
        << 4 << QStringLiteral("начало ") + QString(1993, u'ж') << QList<int>{4};
    QTest::newRow("empty first line") << 5 << QString() << QList<int>{5};
}

// A long text shows the start of its first line in the grid; Ctrl+C copies
// the whole value and Alt+F3's condition on it finds its row.
void ConformanceTest::memoShowsItsFirstLine() {
    QFETCH(int, id);
    QFETCH(QString, shown);
    QFETCH(QList<int>, filtered);
    auto t = Table(FDb, QStringLiteral("notes"), QStringLiteral("id"));
    t->Open();
    TField* body = t->FieldByName(QStringLiteral("body"));
    QCOMPARE(body->DataType(), TFieldType::ftMemo);
    QCOMPARE(body->DisplayTextFor(t->ValueAt(id, body->Index())), shown);
    t->SetRecNo(id);
    const QString whole = body->AsString();
    QCOMPARE(whole, MemoTexts[id - 1].isNull() ? QString("") : MemoTexts[id - 1]);
    QCOMPARE(body->IsNull(), MemoTexts[id - 1].isNull());
    t->SetFilter(QStringLiteral("body='%1'").arg(QString(whole).replace(u'\'', QStringLiteral("''"))));
    t->SetFiltered(true);
    QCOMPARE(Ids(*t), filtered);
}

void ConformanceTest::uniDirectionalQueryOnlyGoesForward() {
    TQuery q;
    q.SetDatabaseName(FDb);
    q.SetUniDirectional(true);
    q.SQL() << QStringLiteral("SELECT n FROM nums ORDER BY n");
    q.Open();
    qint64 sum = 0, rows = 0;
    for (; !q.Eof(); q.Next()) {
        sum += q.Fields(0)->AsInteger();
        ++rows;
    }
    QCOMPARE(rows, qint64(BigRows));
    QCOMPARE(sum, qint64(BigRows) * (BigRows + 1) / 2);
    QCOMPARE(q.CachedRows(), 0);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, q.Prior());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, q.First());
}

void ConformanceTest::fieldsGiveTheirTexts() {
    auto t = Table(FDb, QStringLiteral("cust"), QStringLiteral("id"));
    t->Open();
    TField* id = t->FieldByName(QStringLiteral("ID"));
    TField* name = t->FindField(QStringLiteral("name"));
    TField* score = t->FieldByName(QStringLiteral("score"));
    TField* born = t->FieldByName(QStringLiteral("born"));
    QVERIFY(name);
    QVERIFY(!t->FindField(QStringLiteral("nope")));
    try {
        t->FieldByName(QStringLiteral("nope"));
        QFAIL("no error for a missing field");
    } catch (const EDatabaseError& e) {
        QCOMPARE(e.Message(), QStringLiteral("Field 'nope' not found"));
    }
    QVERIFY(id->IsNumeric() && !id->IsFloat());
    QVERIFY(score->IsNumeric() && score->IsFloat());
    QVERIFY(!name->IsNumeric());
    QVERIFY(born->IsDateTime());
    QCOMPARE(id->Alignment(), TAlignment::taRightJustify);
    QCOMPARE(name->Alignment(), TAlignment::taLeftJustify);
    QCOMPARE(score->AsString(), QStringLiteral("1.5"));
    score->SetDisplayFormat(QStringLiteral("0.00####"));
    QCOMPARE(score->DisplayText(), QStringLiteral("1.50"));
    QCOMPARE(born->AsString(), QStringLiteral("02.01.1990"));
    t->Next();
    QVERIFY(score->IsNull());
    QCOMPARE(score->AsString(), QString());
    QCOMPARE(score->AsFloat(), 0.0);
    QCOMPARE(born->AsString(), QString());
    QCOMPARE(name->AsString(), QStringLiteral("O'Brien"));
    t->Next();
    QCOMPARE(score->DisplayText(), QStringLiteral("2.25"));
    t->Next();
    QCOMPARE(name->AsString(), QStringLiteral("Иван"));
    QCOMPARE(born->AsString(), QStringLiteral("29.02.2000"));
    QCOMPARE(score->DisplayText(), QStringLiteral("-3.00"));
    QCOMPARE(score->AsInteger(), -3);
}

void ConformanceTest::bigTableIsReadInBlocks() {
    auto t = Table(FDb, QStringLiteral("nums"));
    t->Open();
    const qint64 opened = t->RowsRead();
    QVERIFY2(opened > 0 && opened <= 1000, qPrintable(QString::number(opened)));
    QCOMPARE(t->RecordCount(), BigRows);
    QCOMPARE(t->RowsRead(), opened); // counted by the server, not by reading
    t->Last();
    QVERIFY2(t->RowsRead() - opened <= 1000, qPrintable(QString::number(t->RowsRead())));
    QCOMPARE(t->FieldByName(QStringLiteral("n"))->AsInteger(), BigRows);
    QCOMPARE(t->ValueAt(10000, 0).toInt(), 10000);
    QCOMPARE(t->RecNo(), BigRows);

    // A walk streams: the cache stays small whatever the table's size.
    int walked = 0, largest = 0;
    const qint64 beforeWalk = t->RowsRead();
    t->DisableControls();
    for (t->First(); !t->Eof(); t->Next()) {
        ++walked;
        largest = std::max(largest, t->CachedRows());
    }
    // Each row read once: the last record is read again only when asked for.
    QVERIFY2(t->RowsRead() - beforeWalk <= BigRows, qPrintable(QString::number(t->RowsRead() - beforeWalk)));
    QCOMPARE(t->RecNo(), BigRows);
    QCOMPARE(t->ValueAt(BigRows, 2).toString(), QStringLiteral("r20000"));
    QCOMPARE(t->FieldByName(QStringLiteral("n"))->AsInteger(), BigRows);
    t->EnableControls();
    QCOMPARE(walked, BigRows);
    QVERIFY2(largest <= 5000, qPrintable(QString::number(largest)));

    // The grid reads rows around a record that a walk reached.
    t->First();
    for (int i = 1; i < 700; ++i)
        t->Next();
    QCOMPARE(t->FieldByName(QStringLiteral("n"))->AsInteger(), 700);
    for (int rec : {690, 701, 1, 705, 700})
        QCOMPARE(t->ValueAt(rec, 0).toInt(), rec);
    QCOMPARE(t->FieldByName(QStringLiteral("s"))->AsString(), QStringLiteral("r700"));
    t->Next();
    QCOMPARE(t->FieldByName(QStringLiteral("n"))->AsInteger(), 701);
    t->Prior();
    t->Prior();
    QCOMPARE(t->FieldByName(QStringLiteral("n"))->AsInteger(), 699);

    // An order over a column and a filter read one block as well.
    auto ordered = Table(FDb, QStringLiteral("nums"), QStringLiteral("s"));
    ordered->Open();
    QVERIFY(ordered->RowsRead() <= 1000);
    QCOMPARE(ordered->FieldByName(QStringLiteral("s"))->AsString(), QStringLiteral("r1"));
    ordered->Next();
    QCOMPARE(ordered->FieldByName(QStringLiteral("s"))->AsString(), QStringLiteral("r10"));
    auto filtered = Table(FDb, QStringLiteral("nums"));
    filtered->SetFilter(QStringLiteral("n>19000 AND x<>1"));
    filtered->SetFiltered(true);
    filtered->Open();
    QVERIFY(filtered->RowsRead() <= 1000);
    QCOMPARE(filtered->RecordCount(), 1000);
}

// Once the cache holds all the blocks it keeps, a jump into another block
// lands on the record asked for, and so do jumps back into blocks it let go.
void ConformanceTest::fullCacheKeepsTheBlockJustRead() {
    auto t = Table(FDb, QStringLiteral("nums"));
    t->Open();
    QList<int> jumps;
    for (int block = 0; block < 14; ++block)
        jumps << block * 1000 + 7;
    jumps << 7 << 12007 << 1007;
    for (int recNo : jumps) {
        t->SetRecNo(recNo);
        QCOMPARE(t->RecNo(), recNo);
        QCOMPARE(t->FieldByName(QStringLiteral("n"))->AsInteger(), recNo);
        QCOMPARE(t->ValueAt(recNo + 1, 0).toInt(), recNo + 1);
    }
    QVERIFY2(t->CachedRows() <= 12 * 200, qPrintable(QString::number(t->CachedRows())));
}

void ConformanceTest::walkOfSomeFieldsReadsTrueValues_data() {
    QTest::addColumn<QString>("order");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("otherAt"); // walk step that reads a field outside the walk's; 0 none, -1 every one
    QTest::newRow("natural order") << QString() << QString() << 0;
    QTest::newRow("other field once, past the cache") << QString() << QString() << 5000;
    QTest::newRow("other field on every record") << QString() << QString() << -1;
    QTest::newRow("ordered by text, other field once") << QStringLiteral("s") << QString() << 7000;
    QTest::newRow("filtered, other field once") << QString() << QStringLiteral("n>15000") << 4000;
}

void ConformanceTest::walkOfSomeFieldsReadsTrueValues() {
    QFETCH(QString, order);
    QFETCH(QString, filter);
    QFETCH(int, otherAt);
    auto t = Table(FDb, QStringLiteral("nums"), order);
    t->SetFilter(filter);
    t->SetFiltered(true);
    t->Open();
    TField* x = t->FieldByName(QStringLiteral("x"));
    TField* s = t->FieldByName(QStringLiteral("s"));
    // The same walk reading whole rows gives the values to expect.
    QList<double> xs;
    QStringList texts;
    for (t->First(); !t->Eof(); t->Next()) {
        xs << x->AsFloat();
        texts << s->AsString();
    }
    const QString before = t->Bookmark();

    t->SetRecNo(1500);
    const QString mark = t->Bookmark();
    QList<double> walked;
    QStringList others;
    t->DisableControls();
    {
        const TDataSet::TWalkFields walk(t.get(), {x});
        int step = 0;
        for (t->First(); !t->Eof(); t->Next()) {
            ++step;
            walked << x->AsFloat();
            if (otherAt == -1 || step == otherAt)
                others << QString::number(step) + QLatin1Char('=') + s->AsString();
        }
        QCOMPARE(t->Bookmark(), before); // the last record, hashed over all its columns
        t->SetBookmark(mark);
    }
    t->EnableControls();
    QCOMPARE(walked, xs);
    QStringList expected;
    for (int step = 1; step <= texts.size(); ++step)
        if (otherAt == -1 || step == otherAt)
            expected << QString::number(step) + QLatin1Char('=') + texts[step - 1];
    QCOMPARE(others, expected);
    QCOMPARE(t->RecNo(), 1500);
    QCOMPARE(s->AsString(), texts[1499]);
    QCOMPARE(t->Bookmark(), mark);
}

void ConformanceTest::walkOfSomeFieldsKeepsPositionAndState() {
    auto t = Table(FDb, QStringLiteral("nums"), QStringLiteral("n"));
    t->Open();
    TField* n = t->FieldByName(QStringLiteral("n"));
    auto walkTo = [&t](int recNo) {
        for (t->First(); t->RecNo() < recNo && !t->Eof(); t->Next()) {
        }
    };
    t->DisableControls();
    {
        const TDataSet::TWalkFields walk(t.get(), {n});
        // A bookmark of a record that came with only some columns.
        walkTo(5000);
        const QString mark = t->Bookmark();
        // The grid reads rows around it; the record itself stays whole.
        QCOMPARE(t->ValueAt(4990, 2).toString(), QStringLiteral("r4990"));
        QCOMPARE(t->FieldByName(QStringLiteral("s"))->AsString(), QStringLiteral("r5000"));
        t->Next();
        QCOMPARE(n->AsInteger(), 5001);
        QCOMPARE(t->FieldByName(QStringLiteral("x"))->AsFloat(), 5001 / 4.0);
        t->Last();
        t->SetBookmark(mark);
        QCOMPARE(t->FieldByName(QStringLiteral("s"))->AsString(), QStringLiteral("r5000"));

        // Refresh and filter in the middle of the walk.
        walkTo(3000);
        t->Refresh();
        QCOMPARE(t->RecNo(), 3000);
        t->Next();
        QCOMPARE(t->FieldByName(QStringLiteral("s"))->AsString(), QStringLiteral("r3001"));
        walkTo(4000);
        t->SetFilter(QStringLiteral("n>19990"));
        t->SetFiltered(true);
        QCOMPARE(Ids(*t, QStringLiteral("n")),
                 (QList<int>{19991, 19992, 19993, 19994, 19995, 19996, 19997, 19998, 19999, 20000}));
        t->SetFiltered(false);

        // Closed and opened again while the walk's fields are set.
        walkTo(3000);
        t->Close();
        t->Open();
        n = t->FieldByName(QStringLiteral("n"));
        walkTo(6000);
        QCOMPARE(n->AsInteger(), 6000);
        QCOMPARE(t->FieldByName(QStringLiteral("x"))->AsFloat(), 1500.0);
    }
    // After the walk, the record it ended on still reads whole.
    QCOMPARE(t->FieldByName(QStringLiteral("s"))->AsString(), QStringLiteral("r6000"));
    t->Next();
    QCOMPARE(t->FieldByName(QStringLiteral("s"))->AsString(), QStringLiteral("r6001"));
    t->EnableControls();

    // Fields of another data set, a statement, a data set gone before the walk ends.
    auto other = Table(FDb, QStringLiteral("cust"), QStringLiteral("id"));
    other->Open();
    {
        const TDataSet::TWalkFields walk(t.get(), {other->FieldByName(QStringLiteral("id"))});
        walkTo(3000);
        QCOMPARE(t->FieldByName(QStringLiteral("s"))->AsString(), QStringLiteral("r3000"));
    }
    TQuery q;
    q.SetDatabaseName(FDb);
    q.SQL() << QStringLiteral("SELECT n, s FROM nums ORDER BY n");
    q.Open();
    {
        const TDataSet::TWalkFields walk(&q, {q.Fields(0)});
        for (int i = 1; i < 3000; ++i)
            q.Next();
        QCOMPARE(q.Fields(1)->AsString(), QStringLiteral("r3000"));
    }
    {
        const TDataSet::TWalkFields walk(t.get(), {t->FieldByName(QStringLiteral("x"))});
        walkTo(3000);
        t.reset();
    }
}

void ConformanceTest::fixedPointValuesAreExact() {
    auto t = Table(FDb, QStringLiteral("exact"), QStringLiteral("id"));
    t->Open();
    const QStringList names = {"big", "suma", "tiny", "wide", "cash"};
    int row = 0;
    for (t->First(); !t->Eof(); t->Next(), ++row) {
        for (int i = 0; i < names.size(); ++i) {
            TField* f = t->FieldByName(names[i]);
            QVERIFY(f->IsNumeric());
            QCOMPARE(f->AsString(), ExactTexts[row][i]);
            // The grid reads rows by number, not through the current record.
            QCOMPARE(f->TextFor(t->ValueAt(row + 1, f->Index())), ExactTexts[row][i]);
        }
    }
    if (!FFixture->ReportsScale()) return;
    // The declared decimals are the default format: cents show as cents.
    t->First();
    QCOMPARE(t->FieldByName(QStringLiteral("suma"))->DisplayText(), QStringLiteral("14.20"));
    QCOMPARE(t->FieldByName(QStringLiteral("tiny"))->DisplayText(), QStringLiteral("0.000005"));
    QCOMPARE(t->FieldByName(QStringLiteral("big"))->DisplayText(), QStringLiteral("9007199254740993"));
    t->Next();
    QCOMPARE(t->FieldByName(QStringLiteral("suma"))->DisplayText(), QStringLiteral("-0.01"));
    QCOMPARE(t->FieldByName(QStringLiteral("wide"))->DisplayText(), QStringLiteral("0.5000000000"));
    t->Last();
    QCOMPARE(t->FieldByName(QStringLiteral("suma"))->DisplayText(), QString());
}

void ConformanceTest::fixedPointFiltersMatchExactly_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QList<int>>("ids");
    QTest::newRow("2^53 + 1") << "big=9007199254740993" << QList<int>{1};
    QTest::newRow("2^53") << "big=9007199254740992" << QList<int>{2};
    QTest::newRow("past 2^53") << "big=12345678901234567" << QList<int>{3};
    QTest::newRow("10^17 + 1") << "big=100000000000000001" << QList<int>{4};
    QTest::newRow("greater than 2^53") << "big>9007199254740992" << QList<int>{1, 3, 4};
    QTest::newRow("a key past 64 bits") << "big=123456789012345678901" << QList<int>{};
    QTest::newRow("cents") << "suma=99999999.99" << QList<int>{3};
    QTest::newRow("negative cent") << "suma=-0.01" << QList<int>{2};
    QTest::newRow("declared scale written out") << "suma=14.20" << QList<int>{1};
    QTest::newRow("millionths") << "tiny=0.000005" << QList<int>{1, 5};
    QTest::newRow("wide") << "wide=100000000000000001" << QList<int>{1};
    QTest::newRow("money") << "cash=1234567890.1234" << QList<int>{2};
    QTest::newRow("null") << "big=" << QList<int>{5};
}

void ConformanceTest::fixedPointFiltersMatchExactly() {
    QFETCH(QString, filter);
    auto t = Table(FDb, QStringLiteral("exact"), QStringLiteral("id"));
    t->SetFilter(filter);
    t->SetFiltered(true);
    t->Open();
    QTEST(Ids(*t), "ids");
}

void ConformanceTest::fixedPointLinksMatchExactly_data() {
    QTest::addColumn<QString>("masterField");
    QTest::addColumn<QString>("detailOrder");
    QTest::addColumn<QList<QList<int>>>("expected"); // per master row
    QTest::newRow("NUMERIC(20,0) key") << "big"
                                       << "k;n" << QList<QList<int>>{{1, 2}, {3}, {4}, {}, {}};
    QTest::newRow("DECIMAL key") << "suma"
                                 << "c;n" << QList<QList<int>>{{1, 4}, {3}, {2}, {}, {}};
}

void ConformanceTest::fixedPointLinksMatchExactly() {
    QFETCH(QString, masterField);
    QFETCH(QString, detailOrder);
    QFETCH(QList<QList<int>>, expected);
    auto master = Table(FDb, QStringLiteral("exact"), QStringLiteral("id"));
    TDataSource source;
    source.SetDataSet(master.get());
    auto detail = Table(FDb, QStringLiteral("exactdet"), detailOrder);
    detail->SetMasterSource(&source);
    detail->SetMasterFields(masterField);
    master->Open();
    detail->Open();
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(master->RecNo(), i + 1);
        QCOMPARE(Ids(*detail, QStringLiteral("n")), expected[i]);
        master->Next();
    }
}

void ConformanceTest::fixedPointWalkReadsExactNumbers() {
    auto t = Table(FDb, QStringLiteral("exact"), QStringLiteral("id"));
    t->Open();
    TField* big = t->FieldByName(QStringLiteral("big"));
    TField* tiny = t->FieldByName(QStringLiteral("tiny"));
    TField* cash = t->FieldByName(QStringLiteral("cash"));
    QStringList bigs, tinies, cashes;
    t->DisableControls();
    {
        // The streamed walk of Ctrl+U reads its column through the cursor.
        const TDataSet::TWalkFields walk(t.get(), {big, tiny, cash});
        for (t->First(); !t->Eof(); t->Next()) {
            TExactNumber n;
            QVERIFY(big->AsExact(n));
            bigs << (n.Null ? QString() : TDecimal::FromExact(n).ToString());
            QVERIFY(tiny->AsExact(n));
            tinies << (n.Null ? QString() : TDecimal::FromExact(n).ToString());
            QVERIFY(cash->AsExact(n));
            cashes << (n.Null ? QString() : TDecimal::FromExact(n).ToString());
        }
    }
    t->EnableControls();
    for (int row = 0; row < ExactTexts.size(); ++row) {
        QCOMPARE(bigs[row], ExactTexts[row][0]);
        QCOMPARE(tinies[row], ExactTexts[row][2]);
        QCOMPARE(cashes[row], ExactTexts[row][4]);
    }
    // A REAL is no exact number: its sum goes through a double.
    auto nums = Table(FDb, QStringLiteral("nums"));
    nums->Open();
    TExactNumber n;
    QVERIFY(!nums->FieldByName(QStringLiteral("x"))->AsExact(n));
    QVERIFY(nums->FieldByName(QStringLiteral("n"))->AsExact(n));
    QVERIFY(n.Mantissa == 1);
}
