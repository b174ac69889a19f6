#include "engine/WalkGuard.h"

#include "engine/Exception.h"
#include "engine/Session.h"
#include "engine/TDataSource.h"
#include "engine/TTable.h"
#include "support/TestRegistry.h"
#include "support/TestSqlite.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// However a walk ends, the guard leaves the data set on its record with its
// controls enabled; its data sources hear the record come back inside the
// one change, or after it.
class WalkGuardTest : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;
    QString Db() const { return FDir.filePath(QStringLiteral("walk.db")); }

private slots:
    void initTestCase() {
        QVERIFY(FDir.isValid());
        ExecSqlite(Db(), {QStringLiteral("create table T (n integer)"),
                          QStringLiteral("insert into T with recursive c(k) as (select 1 union all "
                                         "select k + 1 from c where k < 50) select k from c")});
        Session().Open();
    }

    void restoresHoweverTheWalkEnds_data() {
        QTest::addColumn<int>("restore");
        QTest::addColumn<bool>("fails");
        QTest::addColumn<int>("moves");
        QTest::newRow("record first") << int(TWalkGuard::TRestore::RecordFirst) << false << 0;
        QTest::newRow("controls first") << int(TWalkGuard::TRestore::ControlsFirst) << false << 1;
        QTest::newRow("failed walk") << int(TWalkGuard::TRestore::RecordFirst) << true << 0;
    }
    void restoresHoweverTheWalkEnds() {
        QFETCH(int, restore);
        QFETCH(bool, fails);
        QFETCH(int, moves);
        TTable table;
        table.SetDatabaseName(Db());
        table.SetTableName(QStringLiteral("T"));
        table.Open();
        table.SetRecNo(7);
        TDataSource source;
        source.SetDataSet(&table);
        const QSignalSpy changed(&source, &TDataSource::DataSetChanged);
        const QSignalSpy moved(&source, &TDataSource::RecordChanged);
        try {
            const TWalkGuard walk(&table, {table.Fields(0)}, TWalkGuard::TRestore(restore));
            for (table.First(); !table.Eof(); table.Next())
                if (fails && table.RecNo() == 20) throw EDatabaseError(QStringLiteral("lost"));
        } catch (const EDatabaseError&) {
        }
        QCOMPARE(table.RecNo(), 7);
        QVERIFY(!table.ControlsDisabled());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(moved.count(), moves);
    }
};

TAMSEL_TEST(WalkGuardTest);
#include "WalkGuardTest.moc"
