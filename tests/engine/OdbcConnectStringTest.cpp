#include "engine/Session.h"
#include "engine/odbc/OdbcDriver.h"
#include "support/TestRegistry.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// What the program asks of a data source when it connects, read from the
// driver manager's files of the test's own.
class OdbcConnectStringTest : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;

    void Write(const QString& name, const QByteArray& text) {
        QFile file(FDir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

private slots:
    void initTestCase() {
        QVERIFY(FDir.isValid());
        Write(QStringLiteral("odbcinst.ini"),
              "[PostgreSQL Unicode]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so\n\n"
              "[SQL Anywhere 11]\nDriver=/opt/sqlanywhere11/lib64/libdbodbc11.so\n");
        Write(QStringLiteral("odbc.ini"),
              "[PgBare]\nDriver=PostgreSQL Unicode\nServername=db\n\n"
              "[PgOwnMode]\nDriver=PostgreSQL Unicode\nUseDeclareFetch=0\n\n"
              "[PgTuned]\nDriver=PostgreSQL Unicode\nUseDeclareFetch=1\nFetch=100\n\n"
              "[PgByPath]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/psqlodbca.so\n\n"
              "[Anywhere]\nDriver=SQL Anywhere 11\n\n"
              "[Брой; {1}]\nDriver=SQL Anywhere 11\n");
        qputenv("ODBCSYSINI", QFile::encodeName(FDir.path()));
        qputenv("ODBCINSTINI", "odbcinst.ini");
        qputenv("ODBCINI", QFile::encodeName(FDir.filePath(QStringLiteral("odbc.ini"))));
    }

    void connectString_data() {
        QTest::addColumn<QString>("dataSource");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("text");
        QTest::newRow("psqlODBC, nothing set") << "PgBare"
                                               << "dba"
                                               << "sql"
                                               << "DSN=PgBare;UID=dba;PWD=sql;UseDeclareFetch=1;Fetch=4000";
        QTest::newRow("psqlODBC, its own mode") << "PgOwnMode"
                                                << ""
                                                << ""
                                                << "DSN=PgOwnMode;Fetch=4000";
        QTest::newRow("psqlODBC, tuned") << "PgTuned"
                                         << ""
                                         << ""
                                         << "DSN=PgTuned";
        QTest::newRow("psqlODBC by its path") << "PgByPath"
                                              << ""
                                              << ""
                                              << "DSN=PgByPath;UseDeclareFetch=1;Fetch=4000";
        QTest::newRow("another driver") << "Anywhere"
                                        << "dba"
                                        << ""
                                        << "DSN=Anywhere;UID=dba";
        QTest::newRow("names in braces") << "Брой; {1}"
                                         << "a;b"
                                         << " x"
                                         << "DSN={Брой; {1}}};UID={a;b};PWD={ x}";
        QTest::newRow("no such data source") << "Nowhere"
                                             << ""
                                             << ""
                                             << "DSN=Nowhere";
    }

    void connectString() {
        QFETCH(QString, dataSource);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, text);
        TAliasInfo alias;
        alias.Kind = TAliasKind::OdbcServer;
        alias.Name = dataSource;
        QCOMPARE(OdbcConnectString(alias, user, password), text);
    }
};

TAMSEL_TEST(OdbcConnectStringTest);
#include "OdbcConnectStringTest.moc"
