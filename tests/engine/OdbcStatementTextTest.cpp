#include "engine/odbc/OdbcDriver.h"
#include "support/TestRegistry.h"

#include <QTest>

Q_DECLARE_METATYPE(TDbms)

// The texts the ODBC driver sends that differ by server, for servers the
// tests have no instance of as much as for those they have.
class OdbcStatementTextTest : public QObject {
    Q_OBJECT

    const QString Select = QStringLiteral(R"(SELECT *, "k" FROM "a ""b""" WHERE ("n" > ?) ORDER BY "n")");

private slots:
    void windows_data() {
        QTest::addColumn<TDbms>("dbms");
        QTest::addColumn<qint64>("offset");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("clientSkip");
        const QString& select = Select;
        const QString from = select.mid(6);
        // The blocks a data set reads: the first, the hundredth, and the
        // rest of the table from its last block on.
        QTest::newRow("SQL Anywhere, first block") << TDbms::SqlAnywhere << qint64(0) << qint64(200)
                                                   << QStringLiteral("SELECT TOP 200") + from << qint64(0);
        QTest::newRow("SQL Anywhere, block 100")
            << TDbms::SqlAnywhere << qint64(20000) << qint64(200)
            << QStringLiteral("SELECT TOP 200 START AT 20001") + from << qint64(0);
        QTest::newRow("SQL Anywhere, last")
            << TDbms::SqlAnywhere << qint64(99800) << qint64(-1)
            << QStringLiteral("SELECT TOP ALL START AT 99801") + from << qint64(0);
        QTest::newRow("SQL Anywhere, second row on")
            << TDbms::SqlAnywhere << qint64(1) << qint64(-1)
            << QStringLiteral("SELECT TOP ALL START AT 2") + from << qint64(0);
        QTest::newRow("SQL Anywhere, whole")
            << TDbms::SqlAnywhere << qint64(0) << qint64(-1) << select << qint64(0);
        QTest::newRow("PostgreSQL, first block") << TDbms::PostgreSQL << qint64(0) << qint64(200)
                                                 << select + QStringLiteral(" LIMIT 200") << qint64(0);
        QTest::newRow("PostgreSQL, block 100")
            << TDbms::PostgreSQL << qint64(20000) << qint64(200)
            << select + QStringLiteral(" LIMIT 200 OFFSET 20000") << qint64(0);
        QTest::newRow("PostgreSQL, last") << TDbms::PostgreSQL << qint64(99800) << qint64(-1)
                                          << select + QStringLiteral(" OFFSET 99800") << qint64(0);
        QTest::newRow("PostgreSQL, whole")
            << TDbms::PostgreSQL << qint64(0) << qint64(-1) << select << qint64(0);
        QTest::newRow("SQLite, first block") << TDbms::SQLite << qint64(0) << qint64(200)
                                             << select + QStringLiteral(" LIMIT 200") << qint64(0);
        QTest::newRow("SQLite, block 100") << TDbms::SQLite << qint64(20000) << qint64(200)
                                           << select + QStringLiteral(" LIMIT 200 OFFSET 20000") << qint64(0);
        QTest::newRow("SQLite, last") << TDbms::SQLite << qint64(99800) << qint64(-1)
                                      << select + QStringLiteral(" LIMIT -1 OFFSET 99800") << qint64(0);
        QTest::newRow("SQLite, whole") << TDbms::SQLite << qint64(0) << qint64(-1) << select << qint64(0);
        // Any other server reads from the start; the client skips.
        QTest::newRow("other, first block")
            << TDbms::Other << qint64(0) << qint64(200) << select << qint64(0);
        QTest::newRow("other, block 100")
            << TDbms::Other << qint64(20000) << qint64(200) << select << qint64(20000);
        QTest::newRow("other, last") << TDbms::Other << qint64(99800) << qint64(-1) << select
                                     << qint64(99800);
    }
    void windows() {
        QFETCH(TDbms, dbms);
        QFETCH(qint64, offset);
        QFETCH(qint64, limit);
        QFETCH(QString, text);
        QFETCH(qint64, clientSkip);
        qint64 skip = -1;
        QCOMPARE(OdbcWindowText(dbms, Select, offset, limit, skip), text);
        QCOMPARE(skip, clientSkip);
    }

    void rowKeysAndSessionStatements_data() {
        QTest::addColumn<TDbms>("dbms");
        QTest::addColumn<QStringList>("key");
        QTest::addColumn<QStringList>("placeholders");
        QTest::addColumn<QStringList>("session");
        QTest::newRow("PostgreSQL") << TDbms::PostgreSQL << QStringList{"ctid"}
                                    << QStringList{"CAST(? AS tid)"}
                                    << QStringList{"SET synchronize_seqscans = off"};
        QTest::newRow("SQLite") << TDbms::SQLite << QStringList{"rowid"} << QStringList{"?"} << QStringList{};
        // The catalogue names these servers' keys.
        QTest::newRow("SQL Anywhere")
            << TDbms::SqlAnywhere << QStringList{} << QStringList{} << QStringList{};
        QTest::newRow("other") << TDbms::Other << QStringList{} << QStringList{} << QStringList{};
    }
    void rowKeysAndSessionStatements() {
        QFETCH(TDbms, dbms);
        QFETCH(QStringList, key);
        QFETCH(QStringList, placeholders);
        QFETCH(QStringList, session);
        const TRowKey rowKey = OdbcServerRowKey(dbms);
        QCOMPARE(rowKey.Columns, key);
        QCOMPARE(rowKey.Placeholders, placeholders);
        QCOMPARE(OdbcSessionStatements(dbms), session);
    }
};

TAMSEL_TEST(OdbcStatementTextTest);

#include "OdbcStatementTextTest.moc"
