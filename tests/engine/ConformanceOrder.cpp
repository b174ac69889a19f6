// The conformance suite (Conformance.h) on orders by field names, and records that keep their places in them.

#include "Conformance.h"
#include "engine/Exception.h"
#include "engine/TField.h"
#include "engine/TTable.h"

#include <QScopeGuard>
#include <QTest>

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
