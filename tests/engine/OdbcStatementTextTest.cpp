#include "engine/odbc/OdbcDialect.h"
#include "support/TestRegistry.h"

#include <QTest>

// The texts the ODBC driver sends that differ by server, for servers the
// tests have no instance of as much as for those they have; each server is
// named as it calls itself.
class OdbcStatementTextTest : public QObject {
    Q_OBJECT

    const QString Select = QStringLiteral(R"(SELECT *, "k" FROM "a ""b""" WHERE ("n" > ?) ORDER BY "n")");

private slots:
    void windows_data() {
        QTest::addColumn<QString>("dbms");
        QTest::addColumn<qint64>("offset");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("clientSkip");
        const QString& select = Select;
        const QString from = select.mid(6);
        // The blocks a data set reads: the first, the hundredth, and the
        // rest of the table from its last block on.
        QTest::newRow("SQL Anywhere, first block") << "SQL Anywhere" << qint64(0) << qint64(200)
                                                   << QStringLiteral("SELECT TOP 200") + from << qint64(0);
        QTest::newRow("SQL Anywhere, block 100")
            << "SQL Anywhere" << qint64(20000) << qint64(200)
            << QStringLiteral("SELECT TOP 200 START AT 20001") + from << qint64(0);
        QTest::newRow("SQL Anywhere, last")
            << "SQL Anywhere" << qint64(99800) << qint64(-1)
            << QStringLiteral("SELECT TOP ALL START AT 99801") + from << qint64(0);
        QTest::newRow("SQL Anywhere, second row on")
            << "SQL Anywhere" << qint64(1) << qint64(-1) << QStringLiteral("SELECT TOP ALL START AT 2") + from
            << qint64(0);
        QTest::newRow("SQL Anywhere, whole")
            << "SQL Anywhere" << qint64(0) << qint64(-1) << select << qint64(0);
        QTest::newRow("PostgreSQL, first block")
            << "PostgreSQL" << qint64(0) << qint64(200) << select + QStringLiteral(" LIMIT 200") << qint64(0);
        QTest::newRow("PostgreSQL, block 100")
            << "PostgreSQL" << qint64(20000) << qint64(200)
            << select + QStringLiteral(" LIMIT 200 OFFSET 20000") << qint64(0);
        QTest::newRow("PostgreSQL, last") << "PostgreSQL" << qint64(99800) << qint64(-1)
                                          << select + QStringLiteral(" OFFSET 99800") << qint64(0);
        QTest::newRow("PostgreSQL, whole") << "PostgreSQL" << qint64(0) << qint64(-1) << select << qint64(0);
        QTest::newRow("SQLite, first block")
            << "SQLite" << qint64(0) << qint64(200) << select + QStringLiteral(" LIMIT 200") << qint64(0);
        QTest::newRow("SQLite, block 100") << "SQLite" << qint64(20000) << qint64(200)
                                           << select + QStringLiteral(" LIMIT 200 OFFSET 20000") << qint64(0);
        QTest::newRow("SQLite, last") << "SQLite" << qint64(99800) << qint64(-1)
                                      << select + QStringLiteral(" LIMIT -1 OFFSET 99800") << qint64(0);
        QTest::newRow("SQLite, whole") << "SQLite" << qint64(0) << qint64(-1) << select << qint64(0);
        // Any other server reads from the start; the client skips.
        QTest::newRow("other, first block")
            << "Microsoft SQL Server" << qint64(0) << qint64(200) << select << qint64(0);
        QTest::newRow("other, block 100")
            << "Microsoft SQL Server" << qint64(20000) << qint64(200) << select << qint64(20000);
        QTest::newRow("other, last") << "Microsoft SQL Server" << qint64(99800) << qint64(-1) << select
                                     << qint64(99800);
    }
    void windows() {
        QFETCH(QString, dbms);
        QFETCH(qint64, offset);
        QFETCH(qint64, limit);
        QFETCH(QString, text);
        QFETCH(qint64, clientSkip);
        qint64 skip = -1;
        QCOMPARE(OdbcDialect(dbms).WindowText(Select, offset, limit, skip), text);
        QCOMPARE(skip, clientSkip);
    }

    void records_data() {
        QTest::addColumn<QString>("dbms");
        QTest::addColumn<QStringList>("key");
        QTest::addColumn<QStringList>("placeholders");
        QTest::addColumn<QStringList>("session");
        QTest::addColumn<QString>("readOnly");
        QTest::addColumn<bool>("nullsFirst");
        QTest::addColumn<bool>("caselessPrefix");
        QTest::newRow("PostgreSQL") << "PostgreSQL" << QStringList{"ctid"} << QStringList{"CAST(? AS tid)"}
                                    << QStringList{"SET synchronize_seqscans = off"}
                                    << "SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY" << false
                                    << false;
        QTest::newRow("SQLite") << "SQLite" << QStringList{"rowid"} << QStringList{"?"} << QStringList{}
                                << "PRAGMA query_only = ON" << true << true;
        QTest::newRow("SQLite, in other letters")
            << "sqlite 3" << QStringList{"rowid"} << QStringList{"?"} << QStringList{}
            << "PRAGMA query_only = ON" << true << true;
        // The catalogue names these servers' keys.
        QTest::newRow("SQL Anywhere")
            << "SQL Anywhere" << QStringList{} << QStringList{} << QStringList{} << "" << true << false;
        QTest::newRow("SQL Anywhere, its older name")
            << "Adaptive Server Anywhere" << QStringList{} << QStringList{} << QStringList{} << "" << true
            << false;
        QTest::newRow("other") << "Microsoft SQL Server" << QStringList{} << QStringList{} << QStringList{}
                               << "" << true << false;
        QTest::newRow("no name") << "" << QStringList{} << QStringList{} << QStringList{} << "" << true
                                 << false;
    }
    void records() {
        QFETCH(QString, dbms);
        QFETCH(QStringList, key);
        QFETCH(QStringList, placeholders);
        QFETCH(QStringList, session);
        QFETCH(QString, readOnly);
        QFETCH(bool, nullsFirst);
        QFETCH(bool, caselessPrefix);
        const TOdbcDialect& dialect = OdbcDialect(dbms);
        QCOMPARE(dialect.RowKey.Columns, key);
        QCOMPARE(dialect.RowKey.Placeholders, placeholders);
        QCOMPARE(dialect.SessionStatements, session);
        QCOMPARE(dialect.ReadOnlyStatement, readOnly);
        QCOMPARE(dialect.NullsFirst, nullsFirst);
        QCOMPARE(dialect.CaselessPrefix != nullptr, caselessPrefix);
    }

    // SQLite's GLOB in place of UPPER and LIKE, which know ASCII letters only.
    void sqlitePrefix_data() {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<bool>("negated");
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QString>("pattern");
        QTest::newRow("Cyrillic") << "Бо" << false << "(\"n\" GLOB ?)"
                                  << "[бБ][оО]*";
        QTest::newRow("Latin, negated") << "ab" << true << "(\"n\" NOT GLOB ?)"
                                        << "[aA][bB]*";
        QTest::newRow("GLOB's own characters") << "*?[]" << false << "(\"n\" GLOB ?)"
                                               << "[*][?][[]]*";
        QTest::newRow("no case") << "1 -" << false << "(\"n\" GLOB ?)"
                                 << "1 -*";
        // Letters whose other case is more than one character stand as they are.
        QTest::newRow("sharp s") << "ß" << false << "(\"n\" GLOB ?)"
                                 << "ß*";
    }
    void sqlitePrefix() {
        QFETCH(QString, prefix);
        QFETCH(bool, negated);
        QFETCH(QString, condition);
        QFETCH(QString, pattern);
        QVariantList params{QStringLiteral("before")};
        QCOMPARE(OdbcDialect(QStringLiteral("SQLite"))
                     .CaselessPrefix(QStringLiteral("\"n\""), prefix, negated, params),
                 condition);
        QCOMPARE(params, (QVariantList{QStringLiteral("before"), pattern}));
    }
};

TAMSEL_TEST(OdbcStatementTextTest);

#include "OdbcStatementTextTest.moc"
