#include "OdbcTestSupport.h"
#include "app/DrovikUnit.h"
#include "browse/BrowseFixture.h"
#include "browse/DBGrid.h"
#include "browse/DbTableUnit.h"
#include "common/ExportTxt.h"
#include "common/PlatformDialogs.h"
#include "common/WindowMessage.h"
#include "common/ZorvUtilUnit.h"
#include "common/ZorvWorkQuery.h"
#include "connect/LoginDialog.h"
#include "connect/SelectDbUnit.h"
#include "connect/TestDataSources.h"
#include "engine/Exception.h"
#include "engine/TDatabase.h"
#include "engine/TField.h"
#include "engine/TTable.h"
#include "engine/Win1251.h"
#include "output/ExportDBUnit.h"
#include "support/DragLink.h"
#include "support/ScriptedMsgBox.h"
#include "support/TestFiles.h"
#include "support/TestRegistry.h"
#include "support/TestTemp.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <memory>
#include <optional>

namespace {

// What the login dialog showed when it came up.
struct TLoginSeen {
    QString Database;
    QString User;
    bool PasswordFocused = false;
};

// A step of the modal script: the chooser picks name ("cancel": Escape)
// and records its entries.
TModalDriver::TStep Chooser(const QString& name, QStringList* listed = nullptr) {
    return [name, listed](QWidget* modal) {
        auto* chooser = qobject_cast<TSelectDbForm*>(modal);
        if (!chooser) return;
        if (listed)
            for (int i = 0; i < chooser->cbDbList->count(); ++i)
                *listed << chooser->cbDbList->item(i)->text();
        if (name == QLatin1String("cancel")) {
            QTest::keyClick(chooser->cbDbList, Qt::Key_Escape);
            return;
        }
        const auto found = chooser->cbDbList->findItems(name, Qt::MatchExactly);
        if (!found.isEmpty()) chooser->cbDbList->setCurrentItem(found.first());
        QTest::keyClick(chooser->cbDbList, Qt::Key_Return);
    };
}

// The login dialog types password and presses Enter ("cancel": Escape).
TModalDriver::TStep Login(const QString& password, QList<TLoginSeen>* seen = nullptr) {
    return [password, seen](QWidget* modal) {
        auto* login = qobject_cast<TLoginDialog*>(modal);
        if (!login) return;
        if (seen) {
            QTRY_VERIFY(login->isActiveWindow());
            *seen << TLoginSeen{login->DatabaseName->text(), login->UserName->text(),
                                login->Password->hasFocus()};
        }
        if (password == QLatin1String("cancel")) {
            QTest::keyClick(login->UserName, Qt::Key_Escape);
            return;
        }
        login->Password->setText(password);
        QTest::keyClick(login->Password, Qt::Key_Return);
    };
}

// Answers the save dialog from a list of paths and records the names it proposed.
class ScriptedSaveDialog {
public:
    ScriptedSaveDialog() {
        FPrevious = SetSaveFileResponder([this](const QString&, const QString&, const QString& proposed,
                                                const QString&) -> std::optional<QString> {
            Proposed << proposed;
            if (Answers.isEmpty()) return std::nullopt;
            return Answers.takeFirst();
        });
    }
    ~ScriptedSaveDialog() { SetSaveFileResponder(FPrevious); }
    ScriptedSaveDialog(const ScriptedSaveDialog&) = delete;
    ScriptedSaveDialog& operator=(const ScriptedSaveDialog&) = delete;
    QStringList Answers;
    QStringList Proposed;

private:
    TSaveFileResponder FPrevious;
};

const QString PgApp = QStringLiteral("TamselPgApp");
const QString Local = QStringLiteral("TamselLocal");

} // namespace

// The whole program over ODBC on the loopback PostgreSQL server: the alias
// chooser and the login, the preparation, table windows with Cyrillic
// texts, filters, sorting, master-detail, statistics, the grid export and
// the unload dialog.
class OdbcProgramTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> FFolder;
    std::unique_ptr<TDriverConnection> FServer; // the tests' own view of the server
    std::unique_ptr<TOdbcWriter> FWriter;       // and their way of changing it
    std::unique_ptr<TDrovikForm> FForm;

    QString Folder() const { return FFolder->path() + QLatin1Char('/'); }

    // Starts the program with the arguments, answering its dialogs in turn.
    void Start(const QStringList& arguments, const QList<TModalDriver::TStep>& steps = {},
               QStringList* shown = nullptr) {
        FirstConnect = true;
        CommandLineArguments = arguments;
        TModalDriver driver;
        for (const auto& step : steps)
            driver.Then(step);
        FForm = std::make_unique<TDrovikForm>();
        FForm->show();
        QTRY_VERIFY_WITH_TIMEOUT(!FForm->isVisible() || FForm->isMaximized(), 20000);
        QVERIFY(driver.Done());
        if (shown) *shown = driver.Shown;
    }
    // The data script's failing line is the one box of the start.
    void StartOnServer() {
        ScriptedMsgBox boxes;
        Start({PgApp, QStringLiteral("tamsel"), QStringLiteral("secret")});
        QCOMPARE(boxes.Count(), 1);
    }
    QStringList Reconnect(const QList<TModalDriver::TStep>& steps) {
        TModalDriver driver;
        for (const auto& step : steps)
            driver.Then(step);
        Activate();
        QTest::keyClick(FForm.get(), Qt::Key_F7);
        return driver.Shown;
    }
    void Activate() {
        FForm->activateWindow();
        if (!QTest::qWaitForWindowActive(FForm.get())) qWarning("the main window did not become active");
    }
    int Children() const { return static_cast<int>(FForm->MdiArea->subWindowList().size()); }

    // F5, then the table chosen in the window's chooser with Enter.
    TDbTableForm* OpenTable(const QString& table) {
        Activate();
        QTest::keyClick(FForm.get(), Qt::Key_F5);
        QMdiSubWindow* child = FForm->MdiArea->activeSubWindow();
        auto* form = child ? qobject_cast<TDbTableForm*>(child->widget()) : nullptr;
        if (!form) return nullptr;
        form->cbTableName->setCurrentIndex(form->cbTableName->findText(table));
        form->cbTableName->setFocus();
        QTest::keyClick(form->cbTableName, Qt::Key_Return);
        return form;
    }

    static QString Cell(TDbTableForm* form, int row, int column) {
        return BrowseFixture::Cell(form, row, column);
    }
    static QStringList Column(TDbTableForm* form, int column) { return BrowseFixture::Column(form, column); }
    static int ColumnOf(TDbTableForm* form, const QString& field) {
        for (int i = 0; i < form->dbgData->ColumnCount(); ++i)
            if (form->dbgData->ColumnField(i)->FieldName() == field) return i;
        return -1;
    }
    static void Select(TDbTableForm* form, int row, const QString& field) {
        form->dbgData->setCurrentIndex(form->dbgData->model()->index(row, ColumnOf(form, field)));
    }
    void TypeFilter(TDbTableForm* form, const QString& text) {
        Activate();
        form->edFilter->lineEdit()->setFocus();
        form->edFilter->setEditText(text);
        QTest::keyClick(form->edFilter->lineEdit(), Qt::Key_Return);
    }
    QList<QVariantList> ServerRows(const QString& statement) {
        const auto cursor = FServer->Query(statement);
        return ReadAll(*cursor);
    }
    // The server connection of each preparation run so far, once per run:
    // the data script marks its connection's application name, which every
    // session of the server can see.
    QList<int> PreparedConnections() {
        QList<int> pids;
        for (const QVariantList& row : ServerRows(QStringLiteral(
                 "SELECT pid, application_name FROM pg_stat_activity WHERE application_name LIKE '%+'")))
            for (int run = 0; run < row[1].toString().count(QLatin1Char('+')); ++run)
                pids << row[0].toInt();
        return pids;
    }
    QString ServerLog() const {
        const QString data =
            QString::fromUtf8(ReadFile(qEnvironmentVariable("TAMSEL_PG_STATE") + "/datadir")).trimmed();
        return QString::fromUtf8(ReadFile(data + QStringLiteral("/server.log")));
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void chooserAndLogin();
    void start_data();
    void start();
    void wrongPasswordFallsBack_data();
    void wrongPasswordFallsBack();
    void startCredentialsRefusedByServer();
    void sameDatabaseAgain_data();
    void sameDatabaseAgain();
    void dataScriptWrites();
    void tableWindow();
    void filterExpressions_data();
    void filterExpressions();
    void filterBySelectedField_data();
    void filterBySelectedField();
    void titleClicksOrder_data();
    void titleClicksOrder();
    void masterDetailByDrag();
    void statistics_data();
    void statistics();
    void copyCell_data();
    void copyCell();
    void gridExport_data();
    void gridExport();
    void copiedRows();
    void cyrillicNames();
    void largeTable();
    void unloadFailsWithServerMessage();
    void serverStopsAndReturns();
};

void OdbcProgramTest::initTestCase() {
    FFolder = std::make_unique<QTemporaryDir>(TestTemp() + QStringLiteral("/program-XXXXXX"));
    QVERIFY(FFolder->isValid());
    qApp->setQuitOnLastWindowClosed(false);
    // The server's data sources and drivers, plus an embedded database of
    // the tests' own, in ini files of this test.
    const QString state = qEnvironmentVariable("TAMSEL_PG_STATE");
    const QString localFile = Folder() + QStringLiteral("local.db");
    sqlite3* local = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(localFile).constData(), &local), SQLITE_OK);
    const int made = sqlite3_exec(local, "create table lokalna (id integer)", nullptr, nullptr, nullptr);
    sqlite3_close(local);
    QCOMPARE(made, SQLITE_OK);
    WriteFile(Folder() + QStringLiteral("odbcinst.ini"), ReadFile(state + QStringLiteral("/odbcinst.ini")));
    WriteFile(Folder() + QStringLiteral("odbc.ini"),
              ReadFile(state + QStringLiteral("/odbc.ini")) +
                  "\n[TamselLocal]\nDriver=SQL Anywhere 11\nEmbeddedDatabase=" +
                  QFile::encodeName(localFile) + "\nUID=dba\nPWD=sql\n");
    qputenv("ODBCSYSINI", QFile::encodeName(FFolder->path()));
    qputenv("ODBCINI", QFile::encodeName(Folder() + QStringLiteral("odbc.ini")));

    FServer = OpenTestConnection();
    FWriter = std::make_unique<TOdbcWriter>();
    // The preparation's probes find stoki only, so it runs RestData.sql.
    FWriter->Execute(QStringLiteral("DROP TABLE IF EXISTS book"));
    FWriter->Execute(QStringLiteral("DROP TABLE IF EXISTS cng_currency"));
    RecreateTable(*FWriter, QStringLiteral("stoki"),
                  QStringLiteral("id INTEGER, name VARCHAR(40), price NUMERIC(10,2), cena DOUBLE PRECISION"));
    FWriter->Execute(
        QStringLiteral("INSERT INTO stoki VALUES (1, 'Ябълки', 1.50, 1.5), (2, 'Круши', 2.25, 0.125), "
                       "(3, 'Сливи', NULL, NULL), (4, 'Д''Артанян', 0, 2), "
                       "(5, E'C:\\\\папка', 10.00, -0.5)"));
    RecreateTable(
        *FWriter, QStringLiteral("dostavki"),
        QStringLiteral("id INTEGER, stoka_id INTEGER, kol INTEGER, dostavchik VARCHAR(40), dostavena DATE, "
                       "platena BOOLEAN"));
    FWriter->Execute(QStringLiteral(
        "INSERT INTO dostavki VALUES (10, 1, 5, 'Петров', '2026-12-01', true), "
        "(11, 2, 3, 'Иванов', '2026-11-15', false), (12, 1, 7, 'Георгиев', '2026-12-01', NULL), "
        "(13, 4, 1, 'Петров', NULL, true)"));
    RecreateTable(*FWriter, QStringLiteral("\"Стоки Б\""),
                  QStringLiteral("\"Код\" INTEGER, \"Име\" VARCHAR(40)"));
    FWriter->Execute(QStringLiteral(
        "INSERT INTO \"Стоки Б\" VALUES (2, 'Сливи'), (1, 'Круши'), (0, 'Ябълки'), (1, 'Дюли')"));

    RecreateTable(*FWriter, QStringLiteral("podgotovki"), QStringLiteral("pid INTEGER"));

    // The data script, in the program's code page: a mark of the run, a
    // Cyrillic setting, a skipped line, the two connection variables made to
    // exist, a row written and a failing line.
    ExecDir = Folder();
    WriteFile(Folder() + QStringLiteral("RestData.sql"),
              Win1251Lines(
                  {"select set_config('application_name', current_setting('application_name') || '+', false)",
                   "SET tamsel.note = 'Подготовка'", "GO", "SET tamsel.bvrconnectid = '0'",
                   "SET tamsel.bvrexecdir = ''", "insert into podgotovki values (pg_backend_pid())",
                   "; not a statement"}));
}

void OdbcProgramTest::init() {
    if (!FServer) FServer = OpenTestConnection(); // after a server stop
    if (!FWriter) FWriter = std::make_unique<TOdbcWriter>();
    // The sessions of the test before have ended.
    QTRY_VERIFY_WITH_TIMEOUT(PreparedConnections().isEmpty(), 10000);
}

void OdbcProgramTest::cleanup() {
    FForm.reset();
    delete WorkQuery;
    WorkQuery = nullptr;
    Session().Close();
}

void OdbcProgramTest::cleanupTestCase() {
    FServer.reset();
    FWriter.reset();
}

// Started without arguments: the chooser offers the program's data sources
// only, the login is prefilled from the data source, and the preparation
// runs on the server.
void OdbcProgramTest::chooserAndLogin() {
    ScriptedMsgBox boxes;
    QStringList listed;
    QList<TLoginSeen> logins;
    QStringList shown;
    Start({}, {Chooser(PgApp, &listed), Login(QStringLiteral("secret"), &logins)}, &shown);
    QCOMPARE(shown, (QStringList{"TSelectDbForm", "TLoginDialog"}));
    QVERIFY2(listed.contains(PgApp) && listed.contains(Local), qPrintable(listed.join(',')));
    QVERIFY2(!listed.contains(QStringLiteral("TamselPg")), qPrintable(listed.join(',')));
    QVERIFY2(!listed.contains(QStringLiteral("TamselPgConformance")), qPrintable(listed.join(',')));
    QCOMPARE(logins.size(), 1);
    QCOMPARE(logins[0].Database, PgApp);
    QCOMPARE(logins[0].User, QStringLiteral("tamsel"));
    QVERIFY(logins[0].PasswordFocused);

    QCOMPARE(FForm->btSelectDb->text(), QStringLiteral("DB: TamselPgApp"));
    QVERIFY(FForm->isMaximized());
    QCOMPARE(CurrentDatabase, FForm->TargetDatabase);
    QVERIFY(FForm->TargetDatabase->Connected());

    // The data script ran once, on the program's connection, whose number
    // the preparation learned; its Cyrillic arrived intact.
    QCOMPARE(PreparedConnections(), QList<int>{ConnectionNumber});
    QCOMPARE(RunSql(QStringLiteral("select current_setting('tamsel.note')")).toString(),
             QStringLiteral("Подготовка"));
    QCOMPARE(RunSql(QStringLiteral("select pg_backend_pid()")).toInt(), ConnectionNumber);
    // Only the failing script line was shown, with the server's message.
    QCOMPARE(boxes.Count(), 1);
    QCOMPARE(boxes.Last().Caption, QStringLiteral("SQL Exception"));
    QCOMPARE(boxes.Last().Flags, 16);
    QVERIFY2(boxes.Last().Text.contains(QLatin1String("syntax error")), qPrintable(boxes.Last().Text));
    // The variables exist, so both forms of setting the number were sent;
    // the server refused them and nothing was shown.
    const QString log = ServerLog();
    QVERIFY(log.contains(QStringLiteral("SET bvrConnectID = %1").arg(ConnectionNumber)));
    QVERIFY(log.contains(QStringLiteral("SET @bvrConnectID = %1").arg(ConnectionNumber)));
    QVERIFY(log.contains(QStringLiteral("SET bvrExecDir = '%1'").arg(Folder())));
    QCOMPARE(QuietLevel, qint16(0));
    QVERIFY(!ContinueOnSqlError);
}

void OdbcProgramTest::start_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("password"); // for the login dialog; empty: none expected
    QTest::addColumn<QString>("database"); // empty: the program ended
    QTest::newRow("name, user and password") << QStringList{PgApp, "tamsel", "secret"} << "" << PgApp;
    QTest::newRow("wrong password on the command line") << QStringList{PgApp, "tamsel", "wrong"} << ""
                                                        << "";
    QTest::newRow("name only") << QStringList{PgApp} << "secret" << PgApp;
    QTest::newRow("name only, wrong password") << QStringList{PgApp} << "wrong"
                                               << "";
    QTest::newRow("user without password") << QStringList{PgApp, "tamsel"} << "secret" << PgApp;
}

void OdbcProgramTest::start() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, password);
    QFETCH(QString, database);
    ScriptedMsgBox boxes;
    QStringList shown;
    QList<TModalDriver::TStep> steps;
    if (!password.isEmpty()) steps << Login(password);
    Start(arguments, steps, &shown);
    QCOMPARE(shown, password.isEmpty() ? QStringList{} : QStringList{"TLoginDialog"});
    QCOMPARE(FForm->btSelectDb->text(), QStringLiteral("DB: ") + database);
    QCOMPARE(FForm->isVisible(), !database.isEmpty());
    // A refused login is not reported; the preparation ran only on success.
    QCOMPARE(PreparedConnections().size(), database.isEmpty() ? 0 : 1);
    for (const auto& box : boxes.Boxes())
        QVERIFY2(box.Caption == QLatin1String("SQL Exception"), qPrintable(box.Text));
}

void OdbcProgramTest::wrongPasswordFallsBack_data() {
    QTest::addColumn<QString>("secondLogin");
    QTest::addColumn<QString>("database");
    QTest::newRow("back to the previous") << "sql" << Local;
    QTest::newRow("to none") << "cancel"
                             << "";
}

// On the embedded database, F7 to the server with a wrong password: the
// login for the previous database follows.
void OdbcProgramTest::wrongPasswordFallsBack() {
    QFETCH(QString, secondLogin);
    QFETCH(QString, database);
    Start({Local}, {Login(QStringLiteral("sql"))});
    QCOMPARE(FForm->btSelectDb->text(), QStringLiteral("DB: TamselLocal"));
    QVERIFY(OpenTable(QStringLiteral("lokalna")));
    QVERIFY(OpenTable(QStringLiteral("lokalna")));
    ScriptedMsgBox boxes;
    QList<TLoginSeen> logins;
    QCOMPARE(
        Reconnect({Chooser(PgApp), Login(QStringLiteral("wrong"), &logins), Login(secondLogin, &logins)}),
        (QStringList{"TSelectDbForm", "TLoginDialog", "TLoginDialog"}));
    QCOMPARE(logins.size(), 2);
    QCOMPARE(logins[0].Database, PgApp);
    // The user name of the first login is kept for the next one.
    QCOMPARE(logins[0].User, QStringLiteral("dba"));
    QCOMPARE(logins[1].Database, Local);
    QCOMPARE(FForm->TargetDatabase->DatabaseName(), database);
    QCOMPARE(FForm->btSelectDb->text(), QStringLiteral("DB: ") + database);
    QTRY_COMPARE(Children(), database.isEmpty() ? 0 : 2);
    QCOMPARE(boxes.Count(), 0);
    QVERIFY(PreparedConnections().isEmpty());
    QVERIFY(FForm->isVisible());
    QCOMPARE(FForm->TargetDatabase->Connected(), !database.isEmpty());
}

// Credentials from the command line are kept: F7 to the server tries them
// there, the server refuses them, and the program stays where it was
// without a dialog.
void OdbcProgramTest::startCredentialsRefusedByServer() {
    Start({Local, QStringLiteral("dba"), QStringLiteral("sql")});
    QVERIFY(OpenTable(QStringLiteral("lokalna")));
    ScriptedMsgBox boxes;
    QCOMPARE(Reconnect({Chooser(PgApp)}), QStringList{"TSelectDbForm"});
    QCOMPARE(FForm->btSelectDb->text(), QStringLiteral("DB: TamselLocal"));
    QVERIFY(FForm->TargetDatabase->Connected());
    QCOMPARE(Children(), 1);
    QCOMPARE(boxes.Count(), 0);
}

void OdbcProgramTest::sameDatabaseAgain_data() {
    QTest::addColumn<bool>("prompting");
    QTest::newRow("credentials from the command line") << false;
    QTest::newRow("login dialog") << true;
}

// F7 onto the database already connected: the windows stay, their tables
// are closed by the chooser, and the next table chosen reconnects (through
// the login dialog while prompting is on).
void OdbcProgramTest::sameDatabaseAgain() {
    QFETCH(bool, prompting);
    ScriptedMsgBox boxes;
    if (prompting)
        Start({PgApp}, {Login(QStringLiteral("secret"))});
    else
        Start({PgApp, QStringLiteral("tamsel"), QStringLiteral("secret")});
    TDbTableForm* form = OpenTable(QStringLiteral("stoki"));
    QVERIFY(form);
    boxes.Clear(); // the data script's failing line
    QCOMPARE(Reconnect({Chooser(PgApp)}), QStringList{"TSelectDbForm"});
    QCOMPARE(Children(), 1);
    QVERIFY(!form->tblData->Active());
    QCOMPARE(form->dbgData->model()->rowCount(), 0);
    // The chooser's session restart ended the prepared connection, and
    // nothing was prepared again.
    QTRY_VERIFY_WITH_TIMEOUT(PreparedConnections().isEmpty(), 10000);
    // Without an open table the grid keys do nothing.
    QTest::keyClick(form->dbgData, Qt::Key_U, Qt::ControlModifier);
    QCOMPARE(boxes.Count(), 0);
    TModalDriver driver;
    QList<TLoginSeen> logins;
    if (prompting) driver.Then(Login(QStringLiteral("secret"), &logins));
    form->cbTableName->setCurrentIndex(form->cbTableName->findText(QStringLiteral("dostavki")));
    form->cbTableName->setFocus();
    QTest::keyClick(form->cbTableName, Qt::Key_Return);
    QVERIFY(driver.Done());
    QCOMPARE(driver.Shown, prompting ? QStringList{"TLoginDialog"} : QStringList{});
    if (prompting) QCOMPARE(logins[0].User, QStringLiteral("tamsel"));
    QVERIFY2(boxes.Count() == 0, qPrintable(boxes.Count() ? boxes.Last().Text : QString()));
    QCOMPARE(form->dbgData->model()->rowCount(), 4);
    QCOMPARE(FForm->btSelectDb->text(), QStringLiteral("DB: TamselPgApp"));
}

// The data script's lines write on the server; from the end of the
// preparation on, the program's connection refuses every write.
void OdbcProgramTest::dataScriptWrites() {
    FWriter->Execute(QStringLiteral("DELETE FROM podgotovki"));
    StartOnServer();
    const QList<QVariantList> written = ServerRows(QStringLiteral("SELECT pid FROM podgotovki"));
    QCOMPARE(written.size(), 1);
    QCOMPARE(QList<int>{written[0][0].toInt()}, PreparedConnections());
    ScriptedMsgBox boxes;
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, RunSql(QStringLiteral("insert into podgotovki values (0)")));
    QCOMPARE(boxes.Count(), 1);
    QVERIFY2(boxes.Last().Text.contains(QLatin1String("read-only transaction")),
             qPrintable(boxes.Last().Text));
    QCOMPARE(ServerRows(QStringLiteral("SELECT pid FROM podgotovki")), written);
}

void OdbcProgramTest::tableWindow() {
    StartOnServer();
    TDbTableForm* form = OpenTable(QStringLiteral("stoki"));
    QVERIFY(form);
    const QStringList tables = [form] {
        QStringList names;
        for (int i = 0; i < form->cbTableName->count(); ++i)
            names << form->cbTableName->itemText(i);
        return names;
    }();
    QVERIFY(tables.contains(QStringLiteral("stoki")) && tables.contains(QStringLiteral("dostavki")));
    QCOMPARE(form->windowTitle(), QStringLiteral("TamselPgApp Table: stoki"));
    QVERIFY(form->TableOpened);
    QCOMPARE(Column(form, ColumnOf(form, "name")),
             (QStringList{"Ябълки", "Круши", "Сливи", "Д'Артанян", "C:\\папка"}));
    QCOMPARE(Column(form, ColumnOf(form, "price")), (QStringList{"1.50", "2.25", "", "0.00", "10.00"}));
    QCOMPARE(Column(form, ColumnOf(form, "cena")), (QStringList{"1.50", "0.125", "", "2.00", "-0.50"}));
    // Enter on the same table refreshes it: a row added meanwhile appears.
    FWriter->Execute(QStringLiteral("INSERT INTO stoki VALUES (6, 'Нова', 1, 1)"));
    form->cbTableName->setFocus();
    QTest::keyClick(form->cbTableName, Qt::Key_Return);
    QCOMPARE(form->dbgData->model()->rowCount(), 6);
    FWriter->Execute(QStringLiteral("DELETE FROM stoki WHERE id = 6"));
}

void OdbcProgramTest::filterExpressions_data() {
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QStringList>("ids"); // empty: refused
    QTest::newRow("Cyrillic text") << "name='Круши'" << QStringList{"2"};
    QTest::newRow("quote inside") << "name='Д''Артанян'" << QStringList{"4"};
    QTest::newRow("backslash inside") << "name='C:\\папка'" << QStringList{"5"};
    QTest::newRow("decimal and float") << "price>=2 AND cena<1" << QStringList{"2", "5"};
    QTest::newRow("null") << "price is null" << QStringList{"3"};
    QTest::newRow("refused") << "name='Круши" << QStringList{};
}

// Typed into the filter box, applied by Enter.
void OdbcProgramTest::filterExpressions() {
    QFETCH(QString, expression);
    QFETCH(QStringList, ids);
    StartOnServer();
    TDbTableForm* form = OpenTable(QStringLiteral("stoki"));
    QVERIFY(form);
    ScriptedMsgBox boxes;
    TypeFilter(form, expression);
    if (ids.isEmpty()) {
        QCOMPARE(boxes.Count(), 1);
        QCOMPARE(boxes.Last().Caption, QStringLiteral("BDE Exception"));
        QCOMPARE(form->edFilter->count(), 0);
        return;
    }
    QCOMPARE(boxes.Count(), 0);
    QCOMPARE(Column(form, ColumnOf(form, "id")), ids);
    QCOMPARE(form->edFilter->itemText(0), expression);
    // Shift+F3 brings every row back.
    Activate();
    QTest::keyClick(FForm.get(), Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(form->dbgData->model()->rowCount(), 5);
}

void OdbcProgramTest::filterBySelectedField_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("cells"); // "row:field", one Alt+F3 each
    QTest::addColumn<QString>("condition");
    QTest::addColumn<QStringList>("ids");
    QTest::newRow("text with a quote, then a decimal")
        << "stoki" << QStringList{"3:name", "3:price"} << "name='Д''Артанян' AND price=0" << QStringList{"4"};
    QTest::newRow("decimal with decimals")
        << "stoki" << QStringList{"1:price"} << "price=2.25" << QStringList{"2"};
    QTest::newRow("float") << "stoki" << QStringList{"1:cena"} << "cena=0.125" << QStringList{"2"};
    QTest::newRow("backslash") << "stoki" << QStringList{"4:name"} << "name='C:\\папка'" << QStringList{"5"};
    QTest::newRow("Cyrillic text and integer") << "dostavki" << QStringList{"0:dostavchik", "3:kol"}
                                               << "dostavchik='Петров' AND kol=1" << QStringList{"13"};
    QTest::newRow("date") << "dostavki" << QStringList{"0:dostavena"} << "dostavena='01.12.2026'"
                          << QStringList{"10", "12"};
    QTest::newRow("logical") << "dostavki" << QStringList{"1:platena"} << "platena='False'"
                             << QStringList{"11"};
}

// Alt+F3 on the selected cells, reviewed in the box, then Ctrl+F3.
void OdbcProgramTest::filterBySelectedField() {
    QFETCH(QString, table);
    QFETCH(QStringList, cells);
    QFETCH(QString, condition);
    QFETCH(QStringList, ids);
    StartOnServer();
    TDbTableForm* form = OpenTable(table);
    QVERIFY(form);
    const int rows = form->dbgData->model()->rowCount();
    for (const QString& cell : cells) {
        Select(form, cell.section(':', 0, 0).toInt(), cell.section(':', 1));
        Activate();
        QTest::keyClick(FForm.get(), Qt::Key_F3, Qt::AltModifier);
    }
    QCOMPARE(form->edFilter->currentText(), condition);
    QCOMPARE(form->dbgData->model()->rowCount(), rows); // not applied yet
    ScriptedMsgBox boxes;
    Activate();
    QTest::keyClick(FForm.get(), Qt::Key_F3, Qt::ControlModifier);
    QVERIFY2(boxes.Count() == 0, qPrintable(boxes.Count() ? boxes.Last().Text : QString()));
    QCOMPARE(Column(form, ColumnOf(form, "id")), ids);
}

void OdbcProgramTest::titleClicksOrder_data() {
    QTest::addColumn<QStringList>("clicks"); // "A": Ctrl, "+A": Ctrl+Alt
    QTest::addColumn<QString>("order");
    QTest::addColumn<QStringList>("ids");
    QTest::newRow("by name") << QStringList{"name"} << "name" << QStringList{"5", "4", "2", "3", "1"};
    QTest::newRow("by price, then id")
        << QStringList{"price", "+id"} << "price;id" << QStringList{"4", "1", "2", "5", "3"};
    QTest::newRow("Ctrl replaces") << QStringList{"name", "cena"} << "cena"
                                   << QStringList{"5", "2", "1", "4", "3"};
}

void OdbcProgramTest::titleClicksOrder() {
    QFETCH(QStringList, clicks);
    QFETCH(QString, order);
    QFETCH(QStringList, ids);
    StartOnServer();
    TDbTableForm* form = OpenTable(QStringLiteral("stoki"));
    QVERIFY(form);
    for (const QString& click : clicks) {
        if (click.startsWith('+'))
            ClickTitle(form, click.mid(1), Qt::ControlModifier | Qt::AltModifier);
        else
            ClickTitle(form, click, Qt::ControlModifier);
    }
    QCOMPARE(form->tblData->IndexFieldNames(), order);
    QCOMPARE(Column(form, ColumnOf(form, "id")), ids);
}

// Alt+double-click on the master's id, a move starts the drag, the drop on
// the detail's stoka_id links them; the detail follows the master.
void OdbcProgramTest::masterDetailByDrag() {
    StartOnServer();
    TDbTableForm* stoki = OpenTable(QStringLiteral("stoki"));
    TDbTableForm* dostavki = OpenTable(QStringLiteral("dostavki"));
    QVERIFY(stoki && dostavki);
    FForm->mnTile->trigger();
    TDBGrid* source = stoki->dbgData;
    TDBGrid* target = dostavki->dbgData;
    const QPoint from = source->visualRect(source->model()->index(0, ColumnOf(stoki, "id"))).center();
    const QMimeData* data = StartLinkDrag(source, from);
    QVERIFY(data);
    const QPoint onto =
        target->visualRect(target->model()->index(0, ColumnOf(dostavki, "stoka_id"))).center();
    QVERIFY(LinkDragEnters(target->viewport(), onto, data));
    QVERIFY(DropLink(target->viewport(), onto, data));
    QCOMPARE(dostavki->LinkField, QStringLiteral("stoka_id"));
    QCOMPARE(Column(dostavki, ColumnOf(dostavki, "dostavchik")), (QStringList{"Петров", "Георгиев"}));
    Select(stoki, 3, QStringLiteral("id"));
    QCOMPARE(Column(dostavki, ColumnOf(dostavki, "id")), QStringList{"13"});
    Select(stoki, 2, QStringLiteral("id"));
    QCOMPARE(dostavki->dbgData->model()->rowCount(), 0);
    // Sorting keeps the link field first; message 2038 breaks the link.
    Select(stoki, 0, QStringLiteral("id"));
    ClickTitle(dostavki, QStringLiteral("kol"), Qt::ControlModifier);
    QCOMPARE(dostavki->tblData->IndexFieldNames(), QStringLiteral("stoka_id;kol"));
    QCOMPARE(Column(dostavki, ColumnOf(dostavki, "kol")), (QStringList{"5", "7"}));
    SendWindowMessage(dostavki, 2038);
    QCOMPARE(dostavki->dbgData->model()->rowCount(), 4);
}

void OdbcProgramTest::statistics_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::newRow("integer") << "id"
                             << "Сума колона \"id\":   15\r\rБрой редове   5\r";
    QTest::newRow("decimal with a null and a zero")
        << "price"
        << "Сума колона \"price\":   13.75\r\rБрой редове   5\rБрой null стойности   1\r";
    QTest::newRow("floating with a null")
        << "cena"
        << "Сума колона \"cena\":   3.125\r\rБрой редове   5\rБрой null стойности   1\r";
}

// Ctrl+U on the column of the current cell.
void OdbcProgramTest::statistics() {
    QFETCH(QString, field);
    QFETCH(QString, text);
    StartOnServer();
    TDbTableForm* form = OpenTable(QStringLiteral("stoki"));
    QVERIFY(form);
    Select(form, 1, field);
    ScriptedMsgBox boxes;
    QTest::keyClick(form->dbgData, Qt::Key_U, Qt::ControlModifier);
    QCOMPARE(boxes.Count(), 1);
    QCOMPARE(boxes.Last().Text, text);
    QCOMPARE(boxes.Last().Caption, QStringLiteral("Съобщение"));
    QCOMPARE(form->dbgData->currentIndex().row(), 1);
}

void OdbcProgramTest::copyCell_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("copied");
    QTest::newRow("Cyrillic text") << 0 << "name"
                                   << "Ябълки";
    QTest::newRow("backslash") << 4 << "name"
                               << "C:\\папка";
    QTest::newRow("float with all its digits") << 1 << "cena"
                                               << "0.125";
    QTest::newRow("null") << 2 << "price"
                          << "";
    QTest::newRow("decimal as its value, not its picture") << 0 << "price"
                                                           << "1.5";
}

void OdbcProgramTest::copyCell() {
    QFETCH(int, row);
    QFETCH(QString, field);
    QFETCH(QString, copied);
    StartOnServer();
    TDbTableForm* form = OpenTable(QStringLiteral("stoki"));
    QVERIFY(form);
    Select(form, row, field);
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    ScopedModifiers ctrl(Qt::ControlModifier);
    QTest::keyClick(form->dbgData, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), copied);
}

void OdbcProgramTest::gridExport_data() {
    QTest::addColumn<int>("message");
    QTest::addColumn<QByteArray>("bytes");
    const QString title = QStringLiteral("TamselPgApp Table: stoki");
    const QString filter = QStringLiteral("name<>'Сливи'");
    QTest::newRow("1027") << 1027
                          << Win1251Lines({title, QString(title.size(), QLatin1Char('=')), filter,
                                           QString(40, QLatin1Char('-')), "id\tname\tprice\tcena",
                                           QString(40, QLatin1Char('-')), "1\tЯбълки\t1.50\t1.50",
                                           "2\tКруши\t2.25\t0.125", "4\tД'Артанян\t0.00\t2.00",
                                           "5\tC:\\\\папка\t10.00\t-0.50", QString(40, QLatin1Char('-'))});
    QTest::newRow("1028") << 1028
                          << Win1251Lines({"id\tname\tprice\tcena", "1\tЯбълки\t1.50\t1.50",
                                           "2\tКруши\t2.25\t0.125", "4\tД'Артанян\t0.00\t2.00",
                                           "5\tC:\\\\папка\t10.00\t-0.50"});
}

// The grid of a filtered window into the file the save dialog names, in
// Windows-1251 with CR LF.
void OdbcProgramTest::gridExport() {
    QFETCH(int, message);
    QFETCH(QByteArray, bytes);
    StartOnServer();
    TDbTableForm* form = OpenTable(QStringLiteral("stoki"));
    QVERIFY(form);
    TypeFilter(form, QStringLiteral("name<>'Сливи'"));
    Select(form, 2, QStringLiteral("name"));
    const QString path = Folder() + QStringLiteral("export%1.txt").arg(message);
    ScriptedSaveDialog dialog;
    dialog.Answers << path;
    ScriptedMsgBox boxes;
    SendWindowMessage(form, message);
    QCOMPARE(boxes.Count(), 0);
    QCOMPARE(dialog.Proposed, QStringList{"TamselPgApp_Table_stoki"});
    QCOMPARE(ReadFile(path), bytes);
    QCOMPARE(form->dbgData->currentIndex().row(), 2);
}

// Three rows copied with their titles over the server; the grid stays on
// its record.
void OdbcProgramTest::copiedRows() {
    StartOnServer();
    TDbTableForm* form = OpenTable(QStringLiteral("dostavki"));
    QVERIFY(form);
    Select(form, 0, QStringLiteral("dostavchik"));
    QTest::keyClick(form->dbgData, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(form->dbgData, Qt::Key_Down, Qt::ShiftModifier);
    form->dbgData->HideColumn(ColumnOf(form, "platena"), true);
    form->CopyRows();
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("id\tstoka_id\tkol\tdostavchik\tdostavena\n10\t1\t5\tПетров\t01.12.2026\n"
                            "11\t2\t3\tИванов\t15.11.2026\n12\t1\t7\tГеоргиев\t01.12.2026\n"));
    QCOMPARE(form->tblData->RecNo(), 3);
}

// A table and columns named in Cyrillic, the table name with a blank:
// opened, ordered, filtered by a cell and linked like any other.
void OdbcProgramTest::cyrillicNames() {
    StartOnServer();
    TDbTableForm* stoki = OpenTable(QStringLiteral("stoki"));
    TDbTableForm* form = OpenTable(QStringLiteral("Стоки Б"));
    QVERIFY(stoki && form);
    QCOMPARE(form->windowTitle(), QStringLiteral("TamselPgApp Table: Стоки Б"));
    ClickTitle(form, QStringLiteral("Име"), Qt::ControlModifier);
    QCOMPARE(Column(form, ColumnOf(form, "Име")), (QStringList{"Дюли", "Круши", "Сливи", "Ябълки"}));
    ClickTitle(form, QStringLiteral("Код"), Qt::ControlModifier);
    ClickTitle(form, QStringLiteral("Име"), Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(form->tblData->IndexFieldNames(), QStringLiteral("Код;Име"));
    QCOMPARE(Column(form, ColumnOf(form, "Име")), (QStringList{"Ябълки", "Дюли", "Круши", "Сливи"}));
    ScriptedMsgBox boxes;
    Select(form, 2, QStringLiteral("Код"));
    Activate();
    QTest::keyClick(FForm.get(), Qt::Key_F3, Qt::AltModifier);
    QCOMPARE(form->edFilter->currentText(), QStringLiteral("Код=1"));
    Activate();
    QTest::keyClick(FForm.get(), Qt::Key_F3, Qt::ControlModifier);
    QCOMPARE(Column(form, ColumnOf(form, "Име")), (QStringList{"Дюли", "Круши"}));
    Activate();
    QTest::keyClick(FForm.get(), Qt::Key_F3, Qt::ShiftModifier);
    Select(stoki, 1, QStringLiteral("id")); // id 2
    QVERIFY(form->LinkToMaster(stoki->dbgData, ColumnOf(form, "Код")));
    QCOMPARE(Column(form, ColumnOf(form, "Име")), QStringList{"Сливи"});
    Select(stoki, 0, QStringLiteral("id"));
    QCOMPARE(Column(form, ColumnOf(form, "Име")), (QStringList{"Круши", "Дюли"}));
    QVERIFY2(boxes.Count() == 0, qPrintable(boxes.Count() ? boxes.Last().Text : QString()));
}

// Twenty thousand rows: the grid jumps to the end, the statistics and the
// export walk every row, a filter narrows on the server.
void OdbcProgramTest::largeTable() {
    const int count = 20000;
    FillNumbered(*FWriter, QStringLiteral("numbered"), count);
    StartOnServer();
    TDbTableForm* form = OpenTable(QStringLiteral("numbered"));
    QVERIFY(form);
    Select(form, 0, QStringLiteral("id"));
    QTest::keyClick(form->dbgData, Qt::Key_End, Qt::ControlModifier);
    TDBGrid* grid = form->dbgData;
    QCOMPARE(grid->RecordOfRow(grid->currentIndex().row()), count);
    QCOMPARE(Cell(form, grid->RowOfRecord(count), ColumnOf(form, "id")), QString::number(count));
    Select(form, grid->RowOfRecord(count), QStringLiteral("id"));
    ScriptedMsgBox boxes;
    QTest::keyClick(form->dbgData, Qt::Key_U, Qt::ControlModifier);
    QCOMPARE(boxes.Count(), 1);
    QCOMPARE(boxes.Last().Text, QStringLiteral("Сума колона \"id\":   200 010 000\r\rБрой редове   20000\r"));
    QCOMPARE(grid->RecordOfRow(grid->currentIndex().row()), count);

    const QString path = Folder() + QStringLiteral("numbered.txt");
    ScriptedSaveDialog dialog;
    dialog.Answers << path;
    SendWindowMessage(form, 1028);
    const QList<QByteArray> lines = ReadFile(path).split('\n');
    QCOMPARE(lines.size(), count + 2); // titles, rows, and nothing after the last line end
    QCOMPARE(lines[count], ToWin1251(QStringLiteral("%1\t%2\tРед %1\r").arg(count).arg(count % 7)));

    TypeFilter(form, QStringLiteral("grp=3"));
    QCOMPARE(form->tblData->RecordCount(), 2857);
    QCOMPARE(boxes.Count(), 1);
}

// The unload run on PostgreSQL: the server refuses the program's unload
// statements; its own message reaches the box and the log, and the program
// goes on working.
void OdbcProgramTest::unloadFailsWithServerMessage() {
    StartOnServer();
    const QString out = Folder() + QStringLiteral("unload");
    QDir().mkpath(out);
    QStringList tables;
    QString log;
    bool exportEnabled = false;
    ScriptedMsgBox boxes;
    TModalDriver driver;
    driver.Then([&](QWidget* modal) {
        auto* dialog = qobject_cast<TExportDbForm*>(modal);
        if (!dialog) return;
        for (int i = 0; i < dialog->cblTables->count(); ++i) {
            QListWidgetItem* item = dialog->cblTables->item(i);
            tables << item->text();
            if (item->text() == QLatin1String("stoki")) item->setCheckState(Qt::Checked);
        }
        dialog->dirEdit->setText(out);
        QTest::mouseClick(dialog->btnExport, Qt::LeftButton);
        log = dialog->LogMemo->toPlainText();
        exportEnabled = dialog->btnExport->isEnabled();
        dialog->reject();
    });
    Activate();
    FForm->mnExportTxtData->trigger();
    QVERIFY(driver.Done());
    QCOMPARE(driver.Shown, QStringList{"TExportDbForm"});
    QVERIFY2(tables.contains(QStringLiteral("stoki")) && tables.contains(QStringLiteral("dostavki")),
             qPrintable(tables.join(',')));
    QVERIFY(!tables.contains(QStringLiteral("systable"))); // a view
    QVERIFY(std::is_sorted(tables.begin(), tables.end()));
    QCOMPARE(boxes.Count(), 1);
    QCOMPARE(boxes.Last().Caption, QStringLiteral("SQL Exception"));
    const QString message = boxes.Last().Text;
    QVERIFY2(message.contains(QLatin1String("syntax error")), qPrintable(message));
    // The server refuses the first statement already: nothing but the error is logged.
    QCOMPARE(log, QStringLiteral("ВЪЗНИКНА ГРЕШКА ПРИ ЕКСПОРТ : ") + message);
    QVERIFY(exportEnabled);
    QVERIFY(QDir(out).entryList(QDir::Files).isEmpty());
    // Still usable: a table window reads from the same connection.
    TDbTableForm* form = OpenTable(QStringLiteral("dostavki"));
    QVERIFY(form);
    QCOMPARE(form->dbgData->model()->rowCount(), 4);
    QCOMPARE(RunSql(QStringLiteral("select count(*) from stoki")).toInt(), 5);
}

// The server stops under an open table window: the refresh reports the
// driver's message and the window recovers once the server is back.
void OdbcProgramTest::serverStopsAndReturns() {
    StartOnServer();
    TDbTableForm* form = OpenTable(QStringLiteral("stoki"));
    QVERIFY(form);
    FServer.reset();
    FWriter.reset();
    QVERIFY(ServerScript(QStringLiteral("pause")));
    const auto resume = qScopeGuard([] { ServerScript(QStringLiteral("resume")); });
    ScriptedMsgBox boxes;
    SendWindowMessage(form, 2024);
    QCOMPARE(boxes.Count(), 1);
    QCOMPARE(boxes.Last().Caption, QStringLiteral("BDE Exception"));
    QVERIFY2(boxes.Last().Text.contains(QLatin1String("SQLSTATE")), qPrintable(boxes.Last().Text));
    QVERIFY(!form->TableOpened);
    QVERIFY(ServerScript(QStringLiteral("resume")));
    boxes.Clear();
    // Chosen again, the table opens on a fresh connection.
    form->cbTableName->setCurrentIndex(form->cbTableName->findText(QStringLiteral("dostavki")));
    form->cbTableName->setFocus();
    QTest::keyClick(form->cbTableName, Qt::Key_Return);
    QVERIFY2(boxes.Count() == 0, qPrintable(boxes.Count() ? boxes.Last().Text : QString()));
    QCOMPARE(form->dbgData->model()->rowCount(), 4);
    QCOMPARE(RunSql(QStringLiteral("select count(*) from stoki")).toInt(), 5);
}

TAMSEL_TEST(OdbcProgramTest);
#include "OdbcProgramTest.moc"
