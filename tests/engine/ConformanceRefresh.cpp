// The conformance suite (Conformance.h) on refreshes: position, filter, order and link kept, rows gone or
// added.

#include "Conformance.h"
#include "engine/TDataSource.h"
#include "engine/TField.h"
#include "engine/TTable.h"

#include <QTest>
#include <functional>

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
