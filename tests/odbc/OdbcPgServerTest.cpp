#include "OdbcTestSupport.h"
#include "engine/Exception.h"
#include "engine/odbc/OdbcDriver.h"
#include "support/TestRegistry.h"

#include <QTest>

// What only the PostgreSQL server shows: logins, isolation, the catalogue,
// and the program's own statements answered by the fixture's objects.
class OdbcPgServerTest : public QObject {
    Q_OBJECT

private slots:
    void logins_data();
    void logins();
    void unknownDataSourceRaises();
    void isolationLevels_data();
    void isolationLevels();
    void tableNamesIncludeSystemTables();
    void programStatements_data();
    void programStatements();
};

void OdbcPgServerTest::logins_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("failure"); // "" when the login works

    QTest::newRow("test login") << "tamsel"
                                << "secret"
                                << "";
    // A blank in the name; ; { } = and a trailing blank in the password.
    QTest::newRow("odd characters") << "odd user"
                                    << "p;w}d{=x "
                                    << "";
    QTest::newRow("wrong password") << "tamsel"
                                    << "wrong"
                                    << "password authentication failed";
    QTest::newRow("password that injects an attribute") << "tamsel"
                                                        << "x;PWD=secret"
                                                        << "password authentication failed";
    QTest::newRow("no password") << "tamsel"
                                 << ""
                                 << "no password supplied";
}

void OdbcPgServerTest::logins() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, failure);
    try {
        const auto connection = OpenTestConnection(user, password);
        QVERIFY2(failure.isEmpty(), "the login was accepted");
        const auto cursor = connection->Query(QStringLiteral("SELECT current_user"));
        QVERIFY(cursor->Next());
        QCOMPARE(cursor->Value(0).toString(), user);
    } catch (const EDatabaseError& e) {
        QVERIFY2(!failure.isEmpty(), qPrintable(e.Message()));
        QVERIFY2(e.Message().contains(failure), qPrintable(e.Message()));
        QVERIFY2(e.Message().contains(QLatin1String("SQLSTATE 08")) ||
                     e.Message().contains(QLatin1String("SQLSTATE 28")),
                 qPrintable(e.Message()));
    }
}

void OdbcPgServerTest::unknownDataSourceRaises() {
    TAliasInfo alias;
    alias.Kind = TAliasKind::OdbcServer;
    alias.Name = QStringLiteral("NoSuchSource");
    try {
        OpenOdbcConnection(alias, QString(), QString(), TTransIsolation::tiDirtyRead);
        QFAIL("connected to a data source that does not exist");
    } catch (const EDatabaseError& e) {
        QVERIFY2(e.Message().contains(QLatin1String("IM002")), qPrintable(e.Message()));
    }
}

void OdbcPgServerTest::isolationLevels_data() {
    QTest::addColumn<int>("isolation");
    QTest::addColumn<QString>("level");
    QTest::newRow("dirty read") << int(TTransIsolation::tiDirtyRead) << "read uncommitted";
    QTest::newRow("read committed") << int(TTransIsolation::tiReadCommitted) << "read committed";
    QTest::newRow("repeatable read") << int(TTransIsolation::tiRepeatableRead) << "repeatable read";
}

void OdbcPgServerTest::isolationLevels() {
    QFETCH(int, isolation);
    QFETCH(QString, level);
    const auto connection = OpenTestConnection(TTransIsolation(isolation));
    const auto cursor = connection->Query(QStringLiteral("SHOW transaction_isolation"));
    QVERIFY(cursor->Next());
    QCOMPARE(cursor->Value(0).toString(), level);
}

void OdbcPgServerTest::tableNamesIncludeSystemTables() {
    const auto connection = OpenTestConnection();
    TOdbcWriter writer;
    RecreateTable(writer, QStringLiteral("t_listed"), QStringLiteral("id INTEGER"));
    const QStringList names = connection->TableNames();
    QVERIFY(names.contains(QStringLiteral("t_listed")));
    QVERIFY(names.contains(QStringLiteral("systable"))); // a view
    QVERIFY(names.contains(QStringLiteral("pg_class")));
    QCOMPARE(names.count(QStringLiteral("systable")), 1); // public and sys: listed once
}

// The statements the program sends after connecting and when unloading.
void OdbcPgServerTest::programStatements_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QVariant>("expected"); // invalid: any value but NULL

    QTest::newRow("probe, table absent")
        << "select count(*) from systable where LCase(table_name) = 'stoki'" << QVariant(qlonglong(0));
    QTest::newRow("probe, table present")
        << "select count(*) from systable where LCase(table_name) = 'book'" << QVariant(qlonglong(1));
    QTest::newRow("connection number") << "SELECT Connection_property('Number')" << QVariant();
    QTest::newRow("variable check") << "select varexists('bvrConnectID')" << QVariant(qlonglong(0));
    QTest::newRow("table list")
        << "select table_name from sys.systable\nwhere creator=1 and table_type='BASE'\n"
           "order by table_name "
        << QVariant(QStringLiteral("book"));
    QTest::newRow("header line") << "select replace(list(name order by column_number asc),',','\\x09')  from "
                                    "sa_describe_query('SELECT * FROM "
                                    "book')"
                                 << QVariant(QStringLiteral("id\\x09title"));
}

void OdbcPgServerTest::programStatements() {
    QFETCH(QString, statement);
    QFETCH(QVariant, expected);
    const auto connection = OpenTestConnection();
    TOdbcWriter writer;
    RecreateTable(writer, QStringLiteral("book"), QStringLiteral("id INTEGER, title VARCHAR(40)"));
    // The program's window tests leave their stoki on the shared server.
    writer.Execute(QStringLiteral("DROP TABLE IF EXISTS stoki CASCADE"));
    const auto cursor = connection->Query(statement);
    QVERIFY(cursor->Next());
    QVERIFY(!cursor->Value(0).isNull());
    if (expected.isValid())
        QCOMPARE(cursor->Value(0), expected);
    else
        QVERIFY(cursor->Value(0).toLongLong() > 0);
}

TAMSEL_TEST(OdbcPgServerTest);

#include "OdbcPgServerTest.moc"
