#include "engine/Session.h"

#include "engine/Driver.h"
#include "engine/Exception.h"
#include "engine/TDataSource.h"
#include "engine/TDatabase.h"
#include "engine/TField.h"
#include "engine/TQuery.h"
#include "engine/TTable.h"
#include "support/TestRegistry.h"
#include "support/TestSqlite.h"
#include "support/TestTemp.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(TAliasKind)

namespace {

void WriteFile(const QString& path, const QString& text) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.toUtf8());
}

// What the login callback was asked and how it answers.
struct TLoginScript {
    int Calls = 0;
    QString SeenDatabase, SeenUser;
    bool Ok = true;
    QString User, Password;
};

} // namespace

class SessionTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir FDir{TestTemp() + QStringLiteral("/session-XXXXXX")};
    QString FDbFile, FDesktopFile;
    TLoginScript FLogin;

private slots:
    void initTestCase() {
        QVERIFY(FDir.isValid());
        FDbFile = FDir.filePath(QStringLiteral("server.db"));
        FDesktopFile = FDir.filePath(QStringLiteral("desk.db"));
        for (const QString& file : {FDbFile, FDesktopFile}) {
            ExecSqlite(file, {QStringLiteral("CREATE TABLE stoki (id INTEGER, ime VARCHAR(20))"),
                              QStringLiteral("INSERT INTO stoki VALUES (1, 'хляб')")});
        }
        // User data sources in ODBCINI, system ones in ODBCSYSINI's odbc.ini.
        WriteFile(FDir.filePath(QStringLiteral("user.ini")),
                  QStringLiteral(
                      "[EmbDemo]\nDriver = SQL Anywhere 11\nEmbeddedDatabase = %1\nUID = dba\nPWD = sql\n\n"
                      "[EmbOpen]\nDriver = SQL Anywhere 11\nEmbeddedDatabase = %1\nUID = guest\n\n"
                      "[EmbNoUser]\nDriver = SQL Anywhere 11\nEmbeddedDatabase = %1\n\n"
                      "[OtherDsn]\nDriver = NoSuchDriverAnywhere\nServername = localhost\n")
                      .arg(FDbFile));
        WriteFile(FDir.filePath(QStringLiteral("odbc.ini")),
                  QStringLiteral("[SysDemo]\nDriver = SQL Anywhere 11\nEmbeddedDatabase = %1\nUID = sys\n")
                      .arg(FDbFile));
        WriteFile(FDir.filePath(QStringLiteral("odbcinst.ini")), QString());
        qputenv("ODBCINI", QFile::encodeName(FDir.filePath(QStringLiteral("user.ini"))));
        qputenv("ODBCSYSINI", QFile::encodeName(FDir.path()));
        Session().SetLoginCallback([this](const QString& db, QString& user, QString& password) {
            ++FLogin.Calls;
            FLogin.SeenDatabase = db;
            FLogin.SeenUser = user;
            if (FLogin.Ok) {
                user = FLogin.User;
                password = FLogin.Password;
            }
            return FLogin.Ok;
        });
    }
    void cleanupTestCase() {
        Session().SetLoginCallback({});
        Session().Close();
    }
    void init() { FLogin = TLoginScript(); }

    void aliasesAreFound_data() {
        QTest::addColumn<QString>("alias");
        QTest::addColumn<TAliasKind>("kind");
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QString>("user");
        QTest::newRow("user data source, embedded")
            << "EmbDemo" << TAliasKind::EmbeddedServer << "SQL Anywhere 11"
            << "dba";
        QTest::newRow("name in other case") << "embdemo" << TAliasKind::EmbeddedServer << "SQL Anywhere 11"
                                            << "dba";
        QTest::newRow("system data source") << "SysDemo" << TAliasKind::EmbeddedServer << "SQL Anywhere 11"
                                            << "sys";
        QTest::newRow("other data source") << "OtherDsn" << TAliasKind::OdbcServer << "NoSuchDriverAnywhere"
                                           << "";
        QTest::newRow("SQLite file") << "@desk" << TAliasKind::DesktopFile << "SQLite"
                                     << "";
        QTest::newRow("unknown") << "NoSuchAlias" << TAliasKind::None << ""
                                 << "";
        QTest::newRow("missing file") << "@missing" << TAliasKind::None << ""
                                      << "";
    }
    void aliasesAreFound() {
        QFETCH(QString, alias);
        QFETCH(TAliasKind, kind);
        QFETCH(QString, driver);
        QFETCH(QString, user);
        if (alias == QLatin1String("@desk")) alias = FDesktopFile;
        if (alias == QLatin1String("@missing")) alias = FDir.filePath(QStringLiteral("missing.db"));
        QCOMPARE(Session().IsSQLAlias(alias),
                 kind == TAliasKind::EmbeddedServer || kind == TAliasKind::OdbcServer);
        QCOMPARE(Session().AliasUserName(alias), user);
        if (kind == TAliasKind::None) {
            try {
                Session().GetAliasDescription(alias);
                QFAIL("no error for an unknown alias");
            } catch (const EDatabaseError& e) {
                QCOMPARE(e.Message(), QStringLiteral("Alias '%1' not found").arg(alias));
            }
            TDatabase db;
            db.SetDatabaseName(alias);
            QVERIFY_THROWS_EXCEPTION(EDatabaseError, db.SetConnected(true));
            return;
        }
        const TAliasInfo info = Session().AliasInfo(alias);
        QCOMPARE(info.Kind, kind);
        QCOMPARE(Session().GetAliasDescription(alias), driver);
        if (kind == TAliasKind::EmbeddedServer) QCOMPARE(info.DatabaseFile, FDbFile);
    }

    void emptyAliasHasNoDescription() { QCOMPARE(Session().GetAliasDescription(QString()), QString()); }

    void login_data() {
        QTest::addColumn<QString>("alias");
        QTest::addColumn<bool>("prompt");
        QTest::addColumn<QStringList>("params");
        QTest::addColumn<bool>("answerOk");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("calls");
        QTest::addColumn<QString>("prefill");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QStringList>("paramsAfter");
        const QStringList none;
        QTest::newRow("prefill from the alias, then the entered name")
            << "EmbDemo" << true << none << true << "sql" << 1 << "dba" << true
            << QStringList{"USER NAME=clerk"};
        QTest::newRow("prefill from Params, entered name replaces it")
            << "EmbDemo" << true << QStringList{"USER NAME=boss"} << true << "sql" << 1 << "boss" << true
            << QStringList{"USER NAME=clerk"};
        // The alias's user name stays in Params even when the login fails.
        QTest::newRow("cancel fails") << "EmbDemo" << true << none << false << "" << 1 << "dba" << false
                                      << QStringList{"USER NAME=dba"};
        QTest::newRow("wrong password fails") << "EmbDemo" << true << none << true << "nope" << 1 << "dba"
                                              << false << QStringList{"USER NAME=clerk"};
        QTest::newRow("no password on the alias") << "EmbOpen" << true << none << true << "any" << 1
                                                  << "guest" << true << QStringList{"USER NAME=clerk"};
        QTest::newRow("no user anywhere")
            << "EmbNoUser" << true << none << true << "" << 1 << "" << true << QStringList{"USER NAME=clerk"};
        QTest::newRow("prompt off: Params log in")
            << "EmbDemo" << false << QStringList{"USER NAME=dba", "PASSWORD=sql"} << true << "" << 0 << ""
            << true << QStringList{"USER NAME=dba", "PASSWORD=sql"};
        QTest::newRow("prompt off: wrong password")
            << "EmbDemo" << false << QStringList{"USER NAME=dba", "PASSWORD=x"} << true << "" << 0 << ""
            << false << QStringList{"USER NAME=dba", "PASSWORD=x"};
        QTest::newRow("desktop file: no login")
            << "@desk" << true << none << true << "" << 0 << "" << true << none;
    }
    void login() {
        QFETCH(QString, alias);
        QFETCH(bool, prompt);
        QFETCH(QStringList, params);
        QFETCH(bool, answerOk);
        QFETCH(QString, password);
        QFETCH(int, calls);
        QFETCH(QString, prefill);
        QFETCH(bool, connected);
        QFETCH(QStringList, paramsAfter);
        if (alias == QLatin1String("@desk")) alias = FDesktopFile;
        FLogin.Ok = answerOk;
        FLogin.User = QStringLiteral("clerk");
        FLogin.Password = password;
        TDatabase db;
        db.SetDatabaseName(alias);
        db.SetAliasName(alias);
        db.SetLoginPrompt(prompt);
        db.Params() = params;
        if (connected) {
            db.SetConnected(true);
        } else {
            QVERIFY_THROWS_EXCEPTION(EDatabaseError, db.SetConnected(true));
        }
        QCOMPARE(db.Connected(), connected);
        QCOMPARE(FLogin.Calls, calls);
        if (calls) {
            QCOMPARE(FLogin.SeenDatabase, alias);
            QCOMPARE(FLogin.SeenUser, prefill);
        }
        QCOMPARE(db.Params(), paramsAfter);
        QCOMPARE(db.IsSQLBased(), connected && alias != FDesktopFile);
    }

    void odbcDataSourceRaisesItsDriversMessage() {
        TDatabase db;
        db.SetDatabaseName(QStringLiteral("OtherDsn"));
        db.SetLoginPrompt(false);
        try {
            db.SetConnected(true);
            QFAIL("connected to a data source without a driver");
        } catch (const EDatabaseError& e) {
            QVERIFY(!e.Message().isEmpty());
        }
        QVERIFY(!db.Connected());
    }

    void dataSetConnectsItsDatabaseFirst() {
        FLogin.User = QStringLiteral("dba");
        FLogin.Password = QStringLiteral("sql");
        TDatabase db;
        db.SetDatabaseName(QStringLiteral("MAIN"));
        db.SetAliasName(QStringLiteral("EmbDemo"));
        TTable t;
        t.SetDatabaseName(QStringLiteral("MAIN"));
        t.SetTableName(QStringLiteral("stoki"));
        t.Open();
        QCOMPARE(FLogin.Calls, 1);
        QVERIFY(db.Connected());
        QCOMPARE(t.Database(), &db);
        QCOMPARE(t.FieldByName(QStringLiteral("ime"))->AsString(), QStringLiteral("хляб"));
        QStringList names{QStringLiteral("old entry")};
        Session().GetTableNames(QStringLiteral("MAIN"), names);
        QVERIFY(names.contains(QStringLiteral("stoki")));
        QVERIFY(!names.contains(QStringLiteral("old entry")));

        // Disconnecting closes what is open on the database, and nothing else.
        TTable other;
        other.SetDatabaseName(FDesktopFile);
        other.SetTableName(QStringLiteral("stoki"));
        other.Open();
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, db.SetDatabaseName(QStringLiteral("OTHER")));
        db.SetConnected(false);
        QVERIFY(!t.Active());
        QVERIFY(other.Active());
        // Reopening logs in again.
        t.Open();
        QCOMPARE(FLogin.Calls, 2);
        // A cancelled login leaves the data set closed with the reason.
        db.SetConnected(false);
        FLogin.Ok = false;
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, t.Open());
        QVERIFY(!t.Active());
    }

    void registeredDatabasesInCreationOrder() {
        const int before = Session().DatabaseCount();
        auto first = std::make_unique<TDatabase>();
        auto second = std::make_unique<TDatabase>();
        first->SetDatabaseName(QStringLiteral("First"));
        QCOMPARE(Session().DatabaseCount(), before + 2);
        QCOMPARE(Session().Databases(before), first.get());
        QCOMPARE(Session().Databases(before + 1), second.get());
        QCOMPARE(Session().FindDatabase(QStringLiteral("first")), first.get());
        QCOMPARE(first->SessionName(), QStringLiteral("Default"));
        QCOMPARE(first->TransIsolation(), TTransIsolation::tiDirtyRead);
        QVERIFY(first->LoginPrompt());
        first.reset();
        QCOMPARE(Session().DatabaseCount(), before + 1);
        QCOMPARE(Session().Databases(before), second.get());
    }

    void paramValues() {
        TDatabase db;
        db.Params() << QStringLiteral("SERVER NAME=x") << QStringLiteral("USER NAME=a=b");
        QCOMPARE(db.ParamValue(QStringLiteral("user name")), QStringLiteral("a=b"));
        QCOMPARE(db.ParamValue(QStringLiteral("PASSWORD")), QString());
        db.SetParamValue(QStringLiteral("USER NAME"), QStringLiteral("c"));
        db.SetParamValue(QStringLiteral("PASSWORD"), QStringLiteral("p"));
        QCOMPARE(db.Params(), (QStringList{"SERVER NAME=x", "USER NAME=c", "PASSWORD=p"}));
    }
};

TAMSEL_TEST(SessionTest);

#include "SessionTest.moc"
