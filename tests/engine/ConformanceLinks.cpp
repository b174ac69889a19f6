// The conformance suite (Conformance.h) on master-detail links.

#include "Conformance.h"
#include "engine/Exception.h"
#include "engine/TDataSource.h"
#include "engine/TField.h"
#include "engine/TTable.h"

#include <QSignalSpy>
#include <QTest>

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
