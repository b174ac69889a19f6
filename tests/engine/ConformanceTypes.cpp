// The conformance suite (Conformance.h) on what fields give: texts, memos and exact fixed-point numbers.

#include "Conformance.h"
#include "engine/Exception.h"
#include "engine/TDataSource.h"
#include "engine/TField.h"
#include "engine/TTable.h"

#include <QTest>
#include <functional>
#include <memory>
#include <utility>

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

// A walk reads the fields' texts straight from the streamed row (past the
// first block) and names every field, quoted: the same texts as the records
// read one by one, NULLs, dates and long fixed-point values included.
void ConformanceTest::walkReadsTheTextsShown() {
    const QString table = QStringLiteral("\"ред, 1\"");
    Exec(QStringLiteral("CREATE TABLE %1 (\"a b\" INTEGER, \"x\"\"y\" VARCHAR(20), \"Име\" DATE, "
                        "\"select\" NUMERIC(20,2), \"n;*\" VARCHAR(10))")
             .arg(table));
    const std::unique_ptr<void, std::function<void(void*)>> drop(
        this, [this, table](void*) { Exec(QStringLiteral("DROP TABLE %1").arg(table)); });
    Exec(QStringLiteral("INSERT INTO %1 VALUES (1, 'O''Brien', '2024-02-29', 123456789012345678.25, '')")
             .arg(table));
    Exec(QStringLiteral("INSERT INTO %1 VALUES (NULL, NULL, NULL, NULL, NULL)").arg(table));
    Exec(QStringLiteral("INSERT INTO %1 VALUES (-3, 'Иван', '1999-12-31', -0.01, 'a;*')").arg(table));
    for (int i = 0; i < 7; ++i) // 384 records: more than a block
        Exec(QStringLiteral("INSERT INTO %1 SELECT * FROM %1").arg(table));
    auto t = Table(FDb, QStringLiteral("ред, 1"));
    t->Open();
    QStringList walked, stepped;
    t->DisableControls();
    for (t->First(); !t->Eof(); t->Next())
        for (int f = 0; f < t->FieldCount(); ++f)
            walked << t->Fields(f)->AsString();
    t->EnableControls();
    for (t->First(); !t->Eof(); t->Next())
        for (int f = 0; f < t->FieldCount(); ++f)
            stepped << t->Fields(f)->AsString();
    QCOMPARE(walked.size(), 384 * 5);
    QCOMPARE(walked, stepped);
}
