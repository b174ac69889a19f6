#include "common/ZorvUtilUnit.h"
#include "common/ZorvWorkQuery.h"
#include "connect/TestDataSources.h"
#include "engine/Exception.h"
#include "engine/FormatSettings.h"
#include "engine/TDatabase.h"
#include "engine/Win1251.h"
#include "support/ScriptedMsgBox.h"
#include "support/TestRegistry.h"

#include <QRegularExpression>
#include <QTest>
#include <memory>

// The statement runner and the post-connect preparation on embedded server
// databases of the test's own.
class WorkQueryTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestDataSources> FSources;
    std::unique_ptr<TDatabase> FDatabase;

    // Connects the data source with its own credentials, as after a start
    // with user name and password.
    TDatabase* Connect(const QString& name) {
        FDatabase = std::make_unique<TDatabase>();
        FDatabase->SetDatabaseName(name);
        FDatabase->SetAliasName(name);
        FDatabase->Params() << QStringLiteral("USER NAME=dba") << QStringLiteral("PASSWORD=sql");
        FDatabase->SetLoginPrompt(false);
        FDatabase->SetConnected(true);
        return FDatabase.get();
    }
    void WriteScript(const QString& name, const QStringList& lines) {
        FSources->WriteFile(name, ToWin1251(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
    }
    // Data scripts leave their marks as connection variables.
    qint64 Exists(const QString& variable) {
        return RunSql(QStringLiteral("select varexists('%1')").arg(variable)).toLongLong();
    }

private slots:
    void init() {
        FSources = std::make_unique<TTestDataSources>();
        ExecDir = FSources->Folder();
    }
    void cleanup() {
        delete WorkQuery;
        WorkQuery = nullptr;
        CurrentDatabase = nullptr;
        FDatabase.reset();
        FSources.reset();
        QCOMPARE(QuietLevel, 0);
        QVERIFY(!ContinueOnSqlError);
    }

    void sqlIdentifier_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("identifier");
        QTest::newRow("ordinary name") << "Order_Lines"
                                       << "Order_Lines";
        QTest::newRow("reserved word in any case") << "Order"
                                                   << "\"Order\"";
        QTest::newRow("first reserved word") << "ADD"
                                             << "\"ADD\"";
        QTest::newRow("last reserved word") << "xml"
                                            << "\"xml\"";
        QTest::newRow("between two reserved words") << "selected"
                                                    << "selected";
        QTest::newRow("digit first, inner quote") << "1\"a"
                                                  << "\"1\"\"a\"";
    }
    void sqlIdentifier() {
        QFETCH(QString, name);
        QTEST(SqlIdentifier(name), "identifier");
    }

    void runSqlValues_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("constant") << "select 1" << QVariant(1);
        QTest::newRow("upper case, two lines") << "SELECT 2\r\n+ 3" << QVariant(5);
        QTest::newRow("first row, first column") << "select n, 'x' from nums order by n desc" << QVariant(3);
        QTest::newRow("text") << "select 'Жоро'" << QVariant(QStringLiteral("Жоро"));
        QTest::newRow("null") << "select null" << QVariant();
        QTest::newRow("no row") << "select n from nums where n > 10" << QVariant();
        QTest::newRow("leading blank is executed") << " select 1" << QVariant();
        QTest::newRow("statement without rows") << "create variable v integer" << QVariant();
    }
    void runSqlValues() {
        QFETCH(QString, statement);
        QFETCH(QVariant, value);
        FSources->AddEmbedded(QStringLiteral("W"), {QStringLiteral("create table nums (n integer)"),
                                                    QStringLiteral("insert into nums values (1), (2), (3)")});
        PrepareConnection(Connect(QStringLiteral("W")));
        ScriptedMsgBox boxes;
        const QVariant got = RunSql(statement);
        QCOMPARE(got.isValid(), value.isValid());
        if (value.isValid()) QCOMPARE(got.toString(), value.toString());
        QCOMPARE(LastSqlError, 0);
        QCOMPARE(boxes.Count(), 0);
    }

    void runSqlFailure_data() {
        QTest::addColumn<bool>("continueOnError");
        QTest::newRow("passed on") << false;
        QTest::newRow("swallowed") << true;
    }
    void runSqlFailure() {
        QFETCH(bool, continueOnError);
        FSources->AddEmbedded(QStringLiteral("W"), {});
        PrepareConnection(Connect(QStringLiteral("W")));
        ScriptedMsgBox boxes;
        ContinueOnSqlError = continueOnError;
        bool raised = false;
        QVariant got = 1;
        try {
            got = RunSql(QStringLiteral("select x from missing_table"));
        } catch (const EDatabaseError&) {
            raised = true;
        }
        ContinueOnSqlError = false;
        QCOMPARE(raised, !continueOnError);
        if (continueOnError) QVERIFY(!got.isValid());
        QCOMPARE(LastSqlError, -1);
        QCOMPARE(boxes.Count(), 1);
        QCOMPARE(boxes.Last().Caption, QStringLiteral("SQL Exception"));
        QCOMPARE(boxes.Last().Flags, 16);
        QVERIFY(boxes.Last().Text.contains(QStringLiteral("missing_table")));
        // The next statement runs on the same query again.
        QCOMPARE(RunSql(QStringLiteral("select 7")).toInt(), 7);
        QCOMPARE(LastSqlError, 0);
    }

    void emptyStatementIsNeitherShownNorSwallowed() {
        FSources->AddEmbedded(QStringLiteral("W"), {});
        PrepareConnection(Connect(QStringLiteral("W")));
        ScriptedMsgBox boxes;
        ContinueOnSqlError = true;
        QVERIFY_THROWS_EXCEPTION(Exception, RunSql(QString()));
        ContinueOnSqlError = false;
        QCOMPARE(boxes.Count(), 0);
    }

    void noDatabaseSelected() {
        ScriptedMsgBox boxes;
        WorkQuery = new TZorvWorkQuery(nullptr, QString());
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, RunSql(QStringLiteral("select 1")));
        QCOMPARE(boxes.Count(), 1);
        QCOMPARE(boxes.Last().Text, QStringLiteral("Database not selected."));
    }

    void workQueryAndFormats() {
        FSources->AddEmbedded(QStringLiteral("W"), {});
        FormatSettings().DecimalSeparator = QLatin1Char(',');
        FormatSettings().ShortDateFormat = QStringLiteral("YYYY-MM-DD");
        FormatSettings().UpdateFromSystem = true;
        TDatabase* database = Connect(QStringLiteral("W"));
        PrepareConnection(database);
        TZorvWorkQuery* first = WorkQuery;
        QCOMPARE(CurrentDatabase, database);
        QCOMPARE(WorkQuery->DatabaseName(), QStringLiteral("W"));
        QCOMPARE(WorkQuery->parent(), QCoreApplication::instance());
        QVERIFY(WorkQuery->UniDirectional());
        QVERIFY(!WorkQuery->ParamCheck());
        QCOMPARE(FormatSettings().DecimalSeparator, QLatin1Char('.'));
        QCOMPARE(FormatSettings().ShortDateFormat, QStringLiteral("DD.MM.YYYY"));
        QCOMPARE(FormatSettings().ShortTimeFormat, QStringLiteral("HH:MM"));
        QVERIFY(!FormatSettings().UpdateFromSystem);
        // A colon reaches the server unchanged.
        QCOMPARE(RunSql(QStringLiteral("select '12:30'")).toString(), QStringLiteral("12:30"));
        QPointer<TZorvWorkQuery> old(first);
        PrepareConnection(database);
        QVERIFY(old.isNull());
        QVERIFY(WorkQuery);
    }

    void unknownAliasEndsPreparation() {
        TDatabase database;
        database.SetDatabaseName(QStringLiteral("NoSuchAlias"));
        database.SetAliasName(QStringLiteral("NoSuchAlias"));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, PrepareConnection(&database));
        QCOMPARE(CurrentDatabase, &database);
        CurrentDatabase = nullptr;
    }

    void dataScriptChoice_data() {
        QTest::addColumn<QStringList>("tables");
        QTest::addColumn<QString>("script");
        QTest::newRow("book and stoki") << QStringList{"Book", "stoki"} << "BraskData.sql";
        QTest::newRow("stoki in capitals") << QStringList{"STOKI"} << "RestData.sql";
        QTest::newRow("cng_currency") << QStringList{"cng_currency"} << "ChangeData.sql";
        QTest::newRow("none of them") << QStringList{"other"} << ".SQL";
    }
    void dataScriptChoice() {
        const QStringList Scripts{"BraskData.sql", "RestData.sql", "ChangeData.sql", ".SQL"};
        QFETCH(QStringList, tables);
        QFETCH(QString, script);
        QStringList statements;
        for (const QString& table : tables)
            statements << QStringLiteral("create table %1 (x integer)").arg(table);
        FSources->AddEmbedded(QStringLiteral("W"), statements);
        for (const QString& name : Scripts) {
            const QString marker = QString(name).remove(QLatin1Char('.')).toLower();
            WriteScript(name, {QStringLiteral("create variable ran_%1 integer").arg(marker)});
        }
        ScriptedMsgBox boxes;
        PrepareConnection(Connect(QStringLiteral("W")));
        QCOMPARE(boxes.Count(), 0);
        for (const QString& name : Scripts) {
            const QString marker = QString(name).remove(QLatin1Char('.')).toLower();
            QCOMPARE(Exists(QStringLiteral("ran_") + marker), name == script ? 1 : 0);
        }
    }

    void dataScriptLines() {
        FSources->AddEmbedded(QStringLiteral("W"), {QStringLiteral("create table stoki (name varchar(20))")});
        WriteScript(QStringLiteral("RestData.sql"),
                    {QStringLiteral("create variable Жоро varchar(20)"), QStringLiteral("SET Жоро = 'Жоро'"),
                     QStringLiteral("GO"), QStringLiteral("go create variable go_line integer"),
                     QStringLiteral(";;create variable semi integer"), QStringLiteral(";"),
                     QStringLiteral("; create variable blank integer"),
                     QStringLiteral("create variable last integer"), QString(),
                     QStringLiteral("create variable after_empty integer")});
        ScriptedMsgBox boxes;
        // The failing line is shown; the empty one ends the script, which
        // only the terminal hears of.
        QTest::ignoreMessage(QtWarningMsg, "W: List index out of bounds (0)");
        PrepareConnection(Connect(QStringLiteral("W")));
        QCOMPARE(RunSql(QStringLiteral("select Жоро")).toString(), QStringLiteral("Жоро"));
        for (const char* name : {"go_line", "semi", "blank", "after_empty"})
            QCOMPARE(Exists(QLatin1String(name)), 0);
        QCOMPARE(Exists(QStringLiteral("last")), 1);
        QCOMPARE(boxes.Count(), 1);
        QCOMPARE(boxes.Last().Caption, QStringLiteral("SQL Exception"));
    }

    // Stored data scripts may create, insert and update; from the end of
    // the preparation on, the same connection refuses every write.
    void dataScriptWrites() {
        FSources->AddEmbedded(QStringLiteral("W"), {QStringLiteral("create table stoki (name varchar(20))")});
        WriteScript(QStringLiteral("RestData.sql"), {QStringLiteral("create table made (x integer)"),
                                                     QStringLiteral("insert into stoki values ('хляб')"),
                                                     QStringLiteral("update stoki set name = name || '!'")});
        ScriptedMsgBox boxes;
        PrepareConnection(Connect(QStringLiteral("W")));
        QCOMPARE(boxes.Count(), 0);
        QCOMPARE(RunSql(QStringLiteral("select name from stoki")).toString(), QStringLiteral("хляб!"));
        QCOMPARE(RunSql(QStringLiteral("select count(*) from made")).toInt(), 0);
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, RunSql(QStringLiteral("insert into stoki values ('сол')")));
        QCOMPARE(boxes.Count(), 1);
        QCOMPARE(boxes.Last().Text, QStringLiteral("attempt to write a readonly database"));
        QCOMPARE(RunSql(QStringLiteral("select count(*) from stoki")).toInt(), 1);
    }

    // A data script saved as UTF-16 reads as Windows-1251 text with a NUL
    // after every letter: each line is refused as a statement (and shown),
    // never run for ever, and the preparation goes on to the end.
    void utf16DataScript() {
        FSources->AddEmbedded(QStringLiteral("W"), {QStringLiteral("create table stoki (x integer)")});
        const QString text = QStringLiteral(
            "CREATE VARIABLE bvrConnectID INTEGER\r\nCREATE VARIABLE bvrExecDir VARCHAR(255)\r\n");
        QByteArray utf16("\xff\xfe", 2);
        for (const QChar c : text)
            utf16 += QByteArray(reinterpret_cast<const char*>(&c), 2);
        FSources->WriteFile(QStringLiteral("RestData.sql"), utf16);
        ScriptedMsgBox boxes;
        PrepareConnection(Connect(QStringLiteral("W")));
        QVERIFY(boxes.Count() > 0);
        for (const auto& box : boxes.Boxes()) {
            QCOMPARE(box.Caption, QStringLiteral("SQL Exception"));
            QCOMPARE(box.Text, QStringLiteral("The statement text contains a NUL character"));
        }
        QCOMPARE(Exists(QStringLiteral("bvrConnectID")), 0);
        QCOMPARE(LastSqlError, 0);
        QCOMPARE(RunSql(QStringLiteral("select 1")).toInt(), 1);
    }

    void missingScriptIsNotReported() {
        FSources->AddEmbedded(QStringLiteral("W"), {QStringLiteral("create table stoki (x integer)")});
        ScriptedMsgBox boxes;
        PrepareConnection(Connect(QStringLiteral("W")));
        QCOMPARE(boxes.Count(), 0);
    }

    void connectionVariables_data() {
        QTest::addColumn<QString>("execDir");
        QTest::newRow("plain folder") << "/srv/tamsel/";
        QTest::newRow("quote and backslash") << "/srv/o'neil\\new/";
        QTest::newRow("empty") << "";
    }
    void connectionVariables() {
        QFETCH(QString, execDir);
        FSources->AddEmbedded(QStringLiteral("W"), {QStringLiteral("create table stoki (x integer)")});
        WriteScript(QStringLiteral("RestData.sql"),
                    {QStringLiteral("CREATE VARIABLE bvrConnectID INTEGER"),
                     QStringLiteral("CREATE VARIABLE bvrExecDir VARCHAR(255)")});
        // The script is found through the test's folder, the variable gets the
        // folder under test.
        TDatabase* database = Connect(QStringLiteral("W"));
        PrepareConnection(database);
        QVERIFY(ConnectionNumber >= 0);
        QCOMPARE(RunSql(QStringLiteral("select bvrConnectID")).toInt(), ConnectionNumber);
        QCOMPARE(RunSql(QStringLiteral("select bvrExecDir")).toString(), FSources->Folder());
        ExecDir = execDir;
        PrepareConnection(database);
        QCOMPARE(RunSql(QStringLiteral("select bvrExecDir")).toString(), execDir);
    }

    void failingProbeRestoresTheRunnerState() {
        // An ODBC data source of another driver: plain SQLite knows no systable.
        const QString file = FSources->MakeDatabase(QStringLiteral("plain.db"),
                                                    {QStringLiteral("create table t (x integer)")});
        FSources->Add(QStringLiteral("Plain"), QStringLiteral("SQLite3"),
                      {QStringLiteral("Database = ") + file});
        ScriptedMsgBox boxes;
        TDatabase* database = Connect(QStringLiteral("Plain"));
        // Swallowed by the runner, so the terminal hears of it.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Plain: .*systable")));
        QVERIFY_THROWS_EXCEPTION(Exception, PrepareConnection(database));
        QCOMPARE(boxes.Count(), 1);
        QCOMPARE(boxes.Last().Caption, QStringLiteral("SQL Exception"));
        QVERIFY(!ContinueOnSqlError);
        QCOMPARE(QuietLevel, 0);
        // Later failures reach their callers and are shown again.
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, RunSql(QStringLiteral("select x from nothing_here")));
        QCOMPARE(boxes.Count(), 2);
    }
};

TAMSEL_TEST(WorkQueryTest);
#include "WorkQueryTest.moc"
