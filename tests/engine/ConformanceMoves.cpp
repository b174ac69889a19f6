// The conformance suite (Conformance.h) on moving through the records: walks, edges, jumps and bookmarks.

#include "Conformance.h"
#include "engine/Exception.h"
#include "engine/TField.h"
#include "engine/TQuery.h"
#include "engine/TTable.h"

#include <QTest>

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

// Other statements on the connection in the middle of a walk, and a walk
// left in the middle, while its next rows may be on their way.
void ConformanceTest::walkMeetsOtherStatements() {
    auto t = Table(FDb, QStringLiteral("nums"), QStringLiteral("n"));
    t->Open();
    t->DisableControls();
    qint64 sum = 0, rows = 0;
    for (t->First(); !t->Eof(); t->Next(), ++rows) {
        sum += t->FieldByName(QStringLiteral("n"))->AsInteger();
        if (rows == 5000) {
            auto other = Table(FDb, QStringLiteral("cust"), QStringLiteral("id"));
            other->Open();
            QCOMPARE(Ids(*other), (QList<int>{1, 2, 3, 4, 5}));
            TQuery q;
            q.SetDatabaseName(FDb);
            q.SQL() << QStringLiteral("SELECT count(*) FROM nums");
            q.Open();
            QCOMPARE(q.Fields(0)->AsInteger(), BigRows);
        }
    }
    t->EnableControls();
    QCOMPARE(rows, qint64(BigRows));
    QCOMPARE(sum, qint64(BigRows) * (BigRows + 1) / 2);

    t->DisableControls();
    for (t->First(); t->RecNo() < 7000; t->Next()) {
    }
    t->EnableControls();
    t->Close();
    auto after = Table(FDb, QStringLiteral("cust"), QStringLiteral("id"));
    after->Open();
    QCOMPARE(Ids(*after), (QList<int>{1, 2, 3, 4, 5}));
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
