#include "engine/RowCache.h"

#include "engine/Session.h"
#include "engine/TDatabase.h"
#include "support/TestRegistry.h"
#include "support/TestSqlite.h"
#include "support/TestTemp.h"

#include <QTemporaryDir>
#include <QTest>

// The row cache over a table t of n = 1..3000 (15 blocks), ordered by n.
class RowCacheTest : public QObject {
    Q_OBJECT

private:
    static constexpr int Rows = 3000;
    QTemporaryDir FDir{TestTemp() + QStringLiteral("/rowcache-XXXXXX")};

    QString File() const { return FDir.filePath(QStringLiteral("rows.db")); }

    std::unique_ptr<TRowSource> Source() {
        TRowSpec spec;
        spec.TableName = QStringLiteral("t");
        spec.OrderBy = {QStringLiteral("n")};
        QList<TColumnInfo> columns;
        QString table;
        QVariantList link;
        return BuildRowSource(Session().DatabaseFor(File())->Connection(), spec, QString(), false, columns,
                              table, link);
    }

private slots:
    void init() {
        ExecSqlite(File(), {QStringLiteral("DROP TABLE IF EXISTS t"),
                            QStringLiteral("CREATE TABLE t (n INTEGER, s VARCHAR(10))"),
                            QStringLiteral("WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c "
                                           "WHERE n < %1) INSERT INTO t SELECT n, 's' || n FROM c")
                                .arg(Rows)});
    }
    void cleanupTestCase() { Session().DatabaseFor(File())->SetConnected(false); }

    void leastRecentlyUsedBlockGoes() {
        TRowCache rows;
        rows.Reset(Source());
        for (int b = 0; b < TRowCache::MaxBlocks; ++b)
            QVERIFY(rows.Locate(b * TRowCache::BlockSize, false));
        QVERIFY(rows.Locate(5, false));                                           // the first block again
        QVERIFY(rows.Locate(TRowCache::MaxBlocks * TRowCache::BlockSize, false)); // the second one goes
        QCOMPARE(rows.CachedRows(), TRowCache::MaxBlocks * TRowCache::BlockSize);
        const qint64 read = rows.RowsRead;
        QVERIFY(rows.Locate(6, false));
        QCOMPARE(rows.Value(0).toInt(), 7);
        QCOMPARE(rows.RowsRead, read);
        QVERIFY(rows.Locate(TRowCache::BlockSize + 6, false));
        QCOMPARE(rows.Value(0).toInt(), TRowCache::BlockSize + 7);
        QCOMPARE(rows.RowsRead, read + TRowCache::BlockSize);
    }

    void walkStreamsWithoutBlocks_data() {
        QTest::addColumn<QList<int>>("walkFields");
        QTest::addColumn<int>("otherFieldAt"); // where the walk reads s, -1 nowhere
        QTest::addColumn<qint64>("read");
        QTest::newRow("whole rows") << QList<int>() << 1000 << qint64(Rows);
        QTest::newRow("one field") << QList<int>{0} << -1 << qint64(Rows);
        QTest::newRow("one field, then the other") << QList<int>{0} << 1000 << qint64(Rows + 1);
    }
    void walkStreamsWithoutBlocks() {
        QFETCH(QList<int>, walkFields);
        QFETCH(int, otherFieldAt);
        QFETCH(qint64, read);
        TRowCache rows;
        rows.Reset(Source());
        rows.Walks = 1;
        rows.WalkFields = walkFields;
        int i = 0;
        for (; rows.Locate(i, true); ++i) {
            QVERIFY(rows.LiveCursor(0));
            QCOMPARE(rows.Value(0).toInt(), i + 1);
            if (i == otherFieldAt) QCOMPARE(rows.Value(1).toString(), QStringLiteral("s%1").arg(i + 1));
        }
        QCOMPARE(i, Rows);
        QCOMPARE(rows.Count, qint64(Rows));
        QCOMPARE(rows.CachedRows(), 0);
        QCOMPARE(rows.RowsRead, read);
    }

    void refindAfterRefresh_data() {
        QTest::addColumn<int>("at");
        QTest::addColumn<QString>("change");
        QTest::addColumn<qint64>("found");
        QTest::newRow("unchanged") << 1500 << QString() << qint64(1500);
        QTest::newRow("rows added before")
            << 1500 << "INSERT INTO t VALUES (0, 'a'), (-1, 'b')" << qint64(1502);
        QTest::newRow("a block of rows gone before")
            << 1500 << "DELETE FROM t WHERE n <= 500" << qint64(1000);
        QTest::newRow("gone: the next") << 1500 << "DELETE FROM t WHERE n = 1501" << qint64(1500);
        QTest::newRow("gone: the last") << Rows - 1 << "DELETE FROM t WHERE n = 3000" << qint64(Rows - 2);
    }
    void refindAfterRefresh() {
        QFETCH(int, at);
        QFETCH(QString, change);
        QFETCH(qint64, found);
        TRowCache rows;
        rows.Reset(Source());
        QVERIFY(rows.Locate(at, false));
        const QString key = rows.RowKey();
        const QVariantList row = rows.CurrentRow();
        rows.Release();
        if (!change.isEmpty()) ExecSqlite(File(), {change});
        rows.Reset(Source());
        QVERIFY(rows.FindPlace(key, row, at));
        QCOMPARE(rows.Cur, found);
    }
};

TAMSEL_TEST(RowCacheTest);

#include "RowCacheTest.moc"
