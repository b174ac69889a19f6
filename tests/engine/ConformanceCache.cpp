// The conformance suite (Conformance.h) on reading in blocks, the bounded cache, and walks that read some
// fields.

#include "Conformance.h"
#include "engine/TField.h"
#include "engine/TQuery.h"
#include "engine/TTable.h"

#include <QTest>

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
