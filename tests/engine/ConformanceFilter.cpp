// The conformance suite (Conformance.h) on filters: the rows they keep, and the rows a refused one leaves.

#include "Conformance.h"
#include "engine/Exception.h"
#include "engine/TField.h"
#include "engine/TTable.h"

#include <QTest>

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
