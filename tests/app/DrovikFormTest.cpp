#include "app/DrovikAboutUnit.h"
#include "app/DrovikUnit.h"
#include "browse/DbTableUnit.h"
#include "common/WindowMessage.h"
#include "common/ZorvUtilUnit.h"
#include "common/ZorvWorkQuery.h"
#include "connect/LoginDialog.h"
#include "connect/SelectDbUnit.h"
#include "connect/TestDataSources.h"
#include "engine/TDatabase.h"
#include "support/ScriptedMsgBox.h"
#include "support/TestRegistry.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <memory>

namespace {

// A child window that records the window messages it receives.
class TRecorder : public QWidget {
public:
    QList<int> Messages;
    bool ZeroParameters = true;

protected:
    bool event(QEvent* event) override {
        if (event->type() == TWindowMessage::Type()) {
            auto* message = static_cast<TWindowMessage*>(event);
            Messages << message->Msg;
            ZeroParameters = ZeroParameters && message->WParam == 0 && message->LParam == 0;
            return true;
        }
        return QWidget::event(event);
    }
};

// How many times the data script ran on the database file: each run adds
// the file's path to a client file (the connection itself only reads).
int Preparations(const QString& file) {
    QFile log(ExecDir + QStringLiteral("prepared.txt"));
    if (!log.open(QIODevice::ReadOnly)) return 0;
    return int(QString::fromUtf8(log.readAll()).split(QStringLiteral("\r\n")).count(file));
}

// The steps of a modal script: "chooser:NAME", "chooser:cancel",
// "login:PASSWORD", "login:cancel". Login steps record the database shown.
TModalDriver::TStep Step(const QString& step, QStringList* loginsFor) {
    const QString kind = step.section(QLatin1Char(':'), 0, 0);
    const QString value = step.section(QLatin1Char(':'), 1);
    return [kind, value, loginsFor](QWidget* modal) {
        if (kind == QLatin1String("chooser")) {
            auto* chooser = qobject_cast<TSelectDbForm*>(modal);
            if (!chooser) return;
            if (value == QLatin1String("cancel")) {
                QTest::keyClick(chooser->cbDbList, Qt::Key_Escape);
                return;
            }
            const auto found = chooser->cbDbList->findItems(value, Qt::MatchExactly);
            if (!found.isEmpty()) chooser->cbDbList->setCurrentItem(found.first());
            QTest::keyClick(chooser->cbDbList, Qt::Key_Return);
        } else {
            auto* login = qobject_cast<TLoginDialog*>(modal);
            if (!login) return;
            if (loginsFor) *loginsFor << login->DatabaseName->text();
            if (value == QLatin1String("cancel")) {
                QTest::keyClick(login->UserName, Qt::Key_Escape);
                return;
            }
            login->Password->setText(value);
            QTest::keyClick(login->Password, Qt::Key_Return);
        }
    };
}

} // namespace

// The main window: start-up, the connect command, the window commands.
class DrovikFormTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestDataSources> FSources;
    std::unique_ptr<TDrovikForm> FForm;
    QString FFileA;
    QString FFileB;

    // Starts the program with the arguments, answering its dialogs.
    void Start(const QStringList& arguments, const QStringList& steps = {}, QStringList* shown = nullptr,
               QStringList* logins = nullptr) {
        FirstConnect = true;
        CommandLineArguments = arguments;
        TModalDriver driver;
        for (const QString& step : steps)
            driver.Then(Step(step, logins));
        FForm = std::make_unique<TDrovikForm>();
        FForm->show();
        QTRY_VERIFY_WITH_TIMEOUT(!FForm->isVisible() || FForm->isMaximized(), 10000);
        QVERIFY(driver.Done());
        if (shown) *shown = driver.Shown;
    }
    // Runs the connect command by its shortcut, answering its dialogs.
    QStringList Reconnect(const QStringList& steps, QStringList* logins = nullptr) {
        TModalDriver driver;
        for (const QString& step : steps)
            driver.Then(Step(step, logins));
        Activate();
        QTest::keyClick(FForm.get(), Qt::Key_F7);
        return driver.Shown;
    }
    // Shortcuts need the frame active again once a dialog has gone.
    void Activate() {
        FForm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(FForm.get()));
    }
    int Children() const { return static_cast<int>(FForm->MdiArea->subWindowList().size()); }
    TRecorder* AddRecorder(const QString& title) {
        auto* recorder = new TRecorder;
        recorder->setWindowTitle(title);
        QMdiSubWindow* child = FForm->MdiArea->addSubWindow(recorder);
        child->setAttribute(Qt::WA_DeleteOnClose);
        child->show();
        FForm->MdiArea->setActiveSubWindow(child);
        return recorder;
    }

private slots:
    void initTestCase() { qApp->setQuitOnLastWindowClosed(false); }
    void init() {
        FSources = std::make_unique<TTestDataSources>();
        const QStringList schema{QStringLiteral("create table stoki (name varchar(20))")};
        FFileA = FSources->AddEmbedded(QStringLiteral("TamselA"), schema);
        FFileB = FSources->AddEmbedded(QStringLiteral("TamselB"), schema);
        FSources->AddEmbedded(QStringLiteral("Other12"), schema, QStringLiteral("SQL Anywhere 12"));
        ExecDir = FSources->Folder();
        FSources->WriteFile(
            QStringLiteral("RestData.sql"),
            "set option allow_write_client_file='On'\r\n"
            "unload select file from pragma_database_list where name = 'main' into client file '" +
                QFile::encodeName(ExecDir) + "prepared.txt' quotes off append on\r\n");
    }
    void cleanup() {
        FForm.reset();
        delete WorkQuery;
        WorkQuery = nullptr;
        FSources.reset();
    }

    void start_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("database"); // empty: the program ended
        const QString chooser = QStringLiteral("TSelectDbForm");
        const QString login = QStringLiteral("TLoginDialog");
        QTest::newRow("name, user and password")
            << QStringList{"TamselA", "dba", "sql", "ignored"} << QStringList{} << QStringList{} << "TamselA";
        QTest::newRow("name only") << QStringList{"TamselA"} << QStringList{"login:sql"} << QStringList{login}
                                   << "TamselA";
        QTest::newRow("name only, login cancelled")
            << QStringList{"TamselA"} << QStringList{"login:cancel"} << QStringList{login} << "";
        QTest::newRow("user without password")
            << QStringList{"TamselA", "dba"} << QStringList{"login:sql"} << QStringList{login} << "TamselA";
        QTest::newRow("wrong password")
            << QStringList{"TamselA", "dba", "wrong"} << QStringList{} << QStringList{} << "";
        QTest::newRow("no arguments, chooser") << QStringList{} << QStringList{"chooser:TamselB", "login:sql"}
                                               << QStringList{chooser, login} << "TamselB";
        QTest::newRow("no arguments, chooser cancelled")
            << QStringList{} << QStringList{"chooser:cancel"} << QStringList{chooser} << "";
    }
    void start() {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, steps);
        QFETCH(QStringList, shown);
        QFETCH(QString, database);
        ScriptedMsgBox boxes;
        QStringList seen;
        Start(arguments, steps, &seen);
        QCOMPARE(seen, shown);
        QCOMPARE(FForm->btSelectDb->text(), QStringLiteral("DB: ") + database);
        QCOMPARE(FForm->TargetDatabase->DatabaseName(), database);
        QCOMPARE(FForm->isVisible(), !database.isEmpty());
        // Ending at start-up asks nothing.
        QCOMPARE(boxes.Count(), 0);
        if (database.isEmpty()) return;
        QVERIFY(FForm->isMaximized());
        QVERIFY(!FForm->StartingUp());
        QCOMPARE(CurrentDatabase, FForm->TargetDatabase);
        QCOMPARE(Preparations(database == QLatin1String("TamselA") ? FFileA : FFileB), 1);
    }

    void switchingDatabases() {
        Start({QStringLiteral("TamselA"), QStringLiteral("dba"), QStringLiteral("sql")});
        Activate();
        QVERIFY(FForm->isActiveWindow());
        QTest::keyClick(FForm.get(), Qt::Key_F5);
        QTest::keyClick(FForm.get(), Qt::Key_F5);
        QCOMPARE(Children(), 2);

        // The same database again keeps the windows and prepares nothing.
        QCOMPARE(Reconnect({QStringLiteral("chooser:TamselA")}), QStringList{"TSelectDbForm"});
        QCOMPARE(Children(), 2);
        QCOMPARE(Preparations(FFileA), 1);
        QCOMPARE(FForm->btSelectDb->text(), QStringLiteral("DB: TamselA"));

        // Another one connects with the start's credentials, closes the windows, prepares once.
        QCOMPARE(Reconnect({QStringLiteral("chooser:TamselB")}), QStringList{"TSelectDbForm"});
        QTRY_COMPARE(Children(), 0);
        QCOMPARE(FForm->btSelectDb->text(), QStringLiteral("DB: TamselB"));
        QVERIFY(FForm->TargetDatabase->Connected());
        QCOMPARE(Preparations(FFileB), 1);
        QCOMPARE(Preparations(FFileA), 1);

        // Cancelling the chooser changes nothing but the caption's refresh.
        Activate();
        QTest::keyClick(FForm.get(), Qt::Key_F5);
        QCOMPARE(Reconnect({QStringLiteral("chooser:cancel")}), QStringList{"TSelectDbForm"});
        QCOMPARE(Children(), 1);
        QCOMPARE(FForm->btSelectDb->text(), QStringLiteral("DB: TamselB"));
        QCOMPARE(Preparations(FFileB), 1);
    }

    void cancelledLoginFallsBack_data() {
        QTest::addColumn<QString>("secondLogin");
        QTest::addColumn<QString>("database");
        QTest::newRow("back to the previous") << "login:sql"
                                              << "TamselA";
        QTest::newRow("to none") << "login:cancel"
                                 << "";
    }
    void cancelledLoginFallsBack() {
        QFETCH(QString, secondLogin);
        QFETCH(QString, database);
        Start({QStringLiteral("TamselA")}, {QStringLiteral("login:sql")});
        Activate();
        QVERIFY(FForm->isActiveWindow());
        QTest::keyClick(FForm.get(), Qt::Key_F5);
        QTest::keyClick(FForm.get(), Qt::Key_F5);
        ScriptedMsgBox boxes;
        QStringList logins;
        Reconnect({QStringLiteral("chooser:TamselB"), QStringLiteral("login:cancel"), secondLogin}, &logins);
        QCOMPARE(logins, (QStringList{"TamselB", "TamselA"}));
        QCOMPARE(FForm->TargetDatabase->DatabaseName(), database);
        QCOMPARE(FForm->btSelectDb->text(), QStringLiteral("DB: ") + database);
        QTRY_COMPARE(Children(), database.isEmpty() ? 0 : 2);
        QCOMPARE(Preparations(FFileA), 1);
        QCOMPARE(Preparations(FFileB), 0);
        QVERIFY(FForm->isVisible());
    }

    void closeQuestion_data() {
        QTest::addColumn<QString>("way");
        QTest::newRow("menu") << "menu";
        QTest::newRow("Alt+F4") << "alt+f4";
        QTest::newRow("close box") << "close box";
    }
    void closeQuestion() {
        QFETCH(QString, way);
        Start({QStringLiteral("TamselA"), QStringLiteral("dba"), QStringLiteral("sql")});
        Activate();
        QVERIFY(FForm->isActiveWindow());
        auto close = [&] {
            if (way == QLatin1String("menu")) FForm->mnMainExit->trigger();
            if (way == QLatin1String("alt+f4")) QTest::keyClick(FForm.get(), Qt::Key_F4, Qt::AltModifier);
            if (way == QLatin1String("close box")) FForm->close();
        };
        ScriptedMsgBox boxes;
        boxes.Answer(IDNO);
        close();
        QCOMPARE(boxes.Count(), 1);
        QCOMPARE(boxes.Last().Text, QStringLiteral("Изход от програмата?"));
        QCOMPARE(boxes.Last().Caption, QStringLiteral("Потвърждение"));
        QCOMPARE(boxes.Last().Flags, 36);
        QVERIFY(FForm->isVisible());
        boxes.Answer(IDYES);
        close();
        QCOMPARE(boxes.Count(), 2);
        QVERIFY(!FForm->isVisible());
    }

    void filterCommandsReachTheActiveChild_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("message");
        QTest::newRow("Ctrl+F3") << int(Qt::Key_F3) << int(Qt::ControlModifier) << 2035;
        QTest::newRow("Alt+F3") << int(Qt::Key_F3) << int(Qt::AltModifier) << 2036;
        QTest::newRow("Shift+F3") << int(Qt::Key_F3) << int(Qt::ShiftModifier) << 2037;
    }
    void filterCommandsReachTheActiveChild() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, message);
        Start({QStringLiteral("TamselA"), QStringLiteral("dba"), QStringLiteral("sql")});
        Activate();
        QVERIFY(FForm->isActiveWindow());
        // With no child window the command does nothing.
        QTest::keyClick(FForm.get(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        TRecorder* first = AddRecorder(QStringLiteral("First"));
        TRecorder* second = AddRecorder(QStringLiteral("Second"));
        QTest::keyClick(FForm.get(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(second->Messages, QList<int>{message});
        QVERIFY(second->ZeroParameters);
        QVERIFY(first->Messages.isEmpty());
    }

    void closeActiveChild() {
        Start({QStringLiteral("TamselA"), QStringLiteral("dba"), QStringLiteral("sql")});
        Activate();
        QVERIFY(FForm->isActiveWindow());
        QTest::keyClick(FForm.get(), Qt::Key_F4);
        QVERIFY(FForm->isVisible());
        QPointer<TRecorder> first = AddRecorder(QStringLiteral("First"));
        QPointer<TRecorder> second = AddRecorder(QStringLiteral("Second"));
        QTest::keyClick(FForm.get(), Qt::Key_F4);
        QTRY_VERIFY(second.isNull());
        QVERIFY(!first.isNull());
        QCOMPARE(Children(), 1);
        QVERIFY(first->Messages.isEmpty() || first->Messages == QList<int>{0});
    }

    void windowMenuAndTiling() {
        Start({QStringLiteral("TamselA"), QStringLiteral("dba"), QStringLiteral("sql")});
        TRecorder* first = AddRecorder(QStringLiteral("First"));
        AddRecorder(QStringLiteral("Second"));
        emit FForm->mnWindow->aboutToShow();
        QStringList items;
        QList<QAction*> windowItems;
        for (QAction* action : FForm->mnWindow->actions())
            if (action->isCheckable()) {
                items << action->text() + (action->isChecked() ? QStringLiteral(" *") : QString());
                windowItems << action;
            }
        QCOMPARE(items, (QStringList{"&1 First", "&2 Second *"}));
        windowItems.first()->trigger();
        QCOMPARE(FForm->MdiArea->activeSubWindow()->widget(), first);

        FForm->mnTile->trigger();
        const QRect area = FForm->MdiArea->viewport()->rect();
        const auto children = FForm->MdiArea->subWindowList(QMdiArea::CreationOrder);
        QCOMPARE(children[0]->geometry(), QRect(0, 0, area.width(), area.height() / 2));
        QCOMPARE(children[1]->geometry(),
                 QRect(0, area.height() / 2, area.width(), area.height() - area.height() / 2));
        FForm->mnCascade->trigger();
        QVERIFY(children[0]->width() < area.width());
    }

    void menuAndToolbar_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QKeySequence>("shortcut");
        QTest::newRow("mnExportTxtData") << "mnExportTxtData"
                                         << "Експортиране към текстов файл" << QKeySequence();
        QTest::newRow("mnOpenTable") << "mnOpenTable"
                                     << "Таблица от БД" << QKeySequence(Qt::Key_F5);
        QTest::newRow("mnSelectDbAlias") << "mnSelectDbAlias"
                                         << "Избор на БД" << QKeySequence(Qt::Key_F7);
        QTest::newRow("mnMainExit") << "mnMainExit"
                                    << "Изход" << QKeySequence(Qt::ALT | Qt::Key_F4);
        QTest::newRow("mnApplyFilter") << "mnApplyFilter"
                                       << "Приложи филтър" << QKeySequence(Qt::CTRL | Qt::Key_F3);
        QTest::newRow("mnFilterbyField")
            << "mnFilterbyField"
            << "Филтър според избраното поле" << QKeySequence(Qt::ALT | Qt::Key_F3);
        QTest::newRow("mnClearFilter") << "mnClearFilter"
                                       << "Изчистване на филтър" << QKeySequence(Qt::SHIFT | Qt::Key_F3);
        QTest::newRow("mnClose") << "mnClose"
                                 << "Затвори" << QKeySequence(Qt::Key_F4);
        QTest::newRow("mnCascade") << "mnCascade"
                                   << "Каскадно" << QKeySequence();
        QTest::newRow("mnTile") << "mnTile"
                                << "Мозайка" << QKeySequence();
        QTest::newRow("mnAbout") << "mnAbout"
                                 << "За продукта" << QKeySequence();
    }
    void menuAndToolbar() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QKeySequence, shortcut);
        TDrovikForm form;
        auto* action = form.findChild<QAction*>(name);
        QVERIFY(action);
        QCOMPARE(action->text(), caption);
        QCOMPARE(action->shortcut(), shortcut);
        QCOMPARE(form.windowTitle(), QStringLiteral("Tamsel ++"));
        QCOMPARE(form.MainToolBar->height(), 27);
        QCOMPARE(form.MainToolBar->palette().color(QPalette::Window), QColor(204, 187, 170));
        QCOMPARE(form.btSelectDb->geometry().left(), 2);
        QCOMPARE(form.btOpenTable->geometry(), QRect(102, 1, 100, 25));
        QCOMPARE(form.btExportDB->geometry().left(), 202);
        QCOMPARE(form.btSelectDb->toolTip(), QStringLiteral("Select Database Alias"));
    }

    void aboutBox() {
        TDrovikForm form;
        QSize size;
        QString product;
        bool pictured = false;
        bool okDefault = false;
        TModalDriver driver;
        driver.Then([&](QWidget* modal) {
            auto* box = qobject_cast<TAboutBox*>(modal);
            if (!box) return;
            size = box->size();
            product = box->ProductName->text() + QLatin1Char(' ') + box->Version->text();
            pictured =
                !box->ProgramIcon->pixmap().isNull() && box->ProgramIcon->pixmap().size() == QSize(64, 64);
            okDefault = box->OKButton->isDefault();
            QTest::keyClick(box->OKButton, Qt::Key_Escape);
        });
        form.mnAbout->trigger();
        QVERIFY(driver.Done());
        QCOMPARE(driver.Shown, QStringList{"TAboutBox"});
        QCOMPARE(size, QSize(298, 213));
        QCOMPARE(product, QStringLiteral("Drovik Version 4.1.1.12"));
        QVERIFY(pictured);
        QVERIFY(okDefault);
    }
};

TAMSEL_TEST(DrovikFormTest);
#include "DrovikFormTest.moc"
