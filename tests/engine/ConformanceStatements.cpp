// The conformance suite (Conformance.h) on the session, notifications, statements and the read-only
// connection.

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
