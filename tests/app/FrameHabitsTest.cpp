#include "app/DrovikAboutUnit.h"
#include "app/DrovikUnit.h"
#include "app/KeysUnit.h"
#include "browse/BrowseFixture.h"
#include "browse/DBGrid.h"
#include "browse/DbTableUnit.h"
#include "common/KeyTable.h"
#include "common/ZorvUtilUnit.h"
#include "common/ZorvWorkQuery.h"
#include "connect/LoginDialog.h"
#include "connect/SelectDbUnit.h"
#include "connect/TestDataSources.h"
#include "engine/TDatabase.h"
#include "engine/TTable.h"
#include "output/ExportDBUnit.h"
#include "support/ScriptedMsgBox.h"
#include "support/TestRegistry.h"

#include <QAbstractButton>
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyleOptionButton>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <memory>

namespace {

QString WithoutMnemonic(QString text) {
    text.replace(QLatin1String("&&"), QChar(1));
    text.remove(QLatin1Char('&'));
    return text.replace(QChar(1), QLatin1Char('&'));
}

// The room a button leaves for its caption: the contents rectangle its
// style draws the caption and icon into.
QRect CaptionRoom(const QAbstractButton* button) {
    if (const auto* push = qobject_cast<const QPushButton*>(button)) {
        QStyleOptionButton option;
        option.initFrom(push);
        option.text = push->text();
        option.icon = push->icon();
        option.iconSize = push->iconSize();
        if (push->isDefault()) option.features |= QStyleOptionButton::DefaultButton;
        if (push->autoDefault()) option.features |= QStyleOptionButton::AutoDefaultButton;
        return push->style()->subElementRect(QStyle::SE_PushButtonContents, &option, push);
    }
    const int frame = button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
    return button->contentsRect().adjusted(frame, frame, -frame, -frame);
}

// Every shown label and button of the window whose caption does not fit
// its contents rectangle, as "name: text (needed > room)".
QStringList Clipped(QWidget* window) {
    // Captions set since the last paint are laid out first.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QStringList clipped;
    const auto report = [&clipped, window](const QWidget* widget, const QString& text, int needed, int room) {
        if (needed > room)
            clipped << QStringLiteral("%1 %2: %3 (%4 > %5)")
                           .arg(window->metaObject()->className(), widget->objectName(), text)
                           .arg(needed)
                           .arg(room);
    };
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->isVisible() || label->wordWrap() || label->text().isEmpty()) continue;
        const QString text = label->buddy() ? WithoutMnemonic(label->text()) : label->text();
        const QFontMetrics metrics(label->font());
        const QRect room = label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(),
                                                          -label->margin());
        const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
        int widest = 0;
        for (const QString& line : lines)
            widest = std::max(widest, metrics.horizontalAdvance(line));
        report(label, text, widest, room.width());
        report(label, text, metrics.height() + metrics.lineSpacing() * int(lines.size() - 1), room.height());
    }
    for (const QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (!button->isVisible() || button->text().isEmpty()) continue;
        const QString text = WithoutMnemonic(button->text());
        const QFontMetrics metrics(button->font());
        const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
        const QRect room = CaptionRoom(button);
        report(button, text, metrics.horizontalAdvance(text) + icon, room.width());
        report(button, text, metrics.height(), room.height());
    }
    return clipped;
}

TDbTableForm* ActiveTable(TDrovikForm* frame) {
    QMdiSubWindow* child = frame->MdiArea->activeSubWindow();
    return child ? qobject_cast<TDbTableForm*>(child->widget()) : nullptr;
}

} // namespace

// The frame's status bar, Help's key list against the keys that are bound,
// and captions that fit with the fonts the package list installs.
class FrameHabitsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestDataSources> FSources;
    std::unique_ptr<TDrovikForm> FForm;

    void Activate() {
        FForm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(FForm.get()));
    }
    // F5, then Enter on the table in the new window's chooser.
    TDbTableForm* Open(const QString& table) {
        Activate();
        QTest::keyClick(FForm.get(), Qt::Key_F5);
        TDbTableForm* form = ActiveTable(FForm.get());
        if (!form) return nullptr;
        form->cbTableName->setCurrentIndex(form->cbTableName->findText(table));
        QTest::keyClick(form->cbTableName, Qt::Key_Return);
        return form;
    }
    QStringList Status() const {
        return {FForm->sbPosition->text(), FForm->sbFilter->text(), FForm->sbOrder->text(),
                FForm->sbLink->text()};
    }

private slots:
    void initTestCase() { qApp->setQuitOnLastWindowClosed(false); }
    void init() {
        FSources = std::make_unique<TTestDataSources>();
        FSources->AddEmbedded(
            QStringLiteral("TamselDemo"),
            {QStringLiteral("create table stoki (ID integer, NAME varchar(20), GRP integer)"),
             QStringLiteral("insert into stoki values (1, 'хляб', 2), (2, 'сол', 1), (3, 'мляко', 2)"),
             QStringLiteral("create table grupi (ID integer, NAME varchar(20))"),
             QStringLiteral("insert into grupi values (1, 'подправки'), (2, 'храни')")});
        ExecDir = FSources->Folder();
        FirstConnect = true;
        CommandLineArguments = {QStringLiteral("TamselDemo"), QStringLiteral("dba"), QStringLiteral("sql")};
        FForm = std::make_unique<TDrovikForm>();
        FForm->show();
        QTRY_VERIFY_WITH_TIMEOUT(FForm->isMaximized(), 10000);
    }
    void cleanup() {
        FForm.reset();
        delete WorkQuery;
        WorkQuery = nullptr;
        FSources.reset();
    }

    // Moves, filters, orders, links and window switches each show at once.
    void statusBarFollowsTheActiveWindow() {
        QCOMPARE(Status(), QStringList({"", "", "", ""}));
        TDbTableForm* goods = Open(QStringLiteral("stoki"));
        QVERIFY(goods);
        QCOMPARE(Status(), QStringList({"Запис 1 от 3", "", "", ""}));
        goods->dbgData->setFocus();
        QTest::keyClick(goods->dbgData, Qt::Key_Down);
        QCOMPARE(Status(), QStringList({"Запис 2 от 3", "", "", ""}));
        goods->edFilter->setEditText(QStringLiteral("GRP=2"));
        Activate();
        QTest::keyClick(FForm.get(), Qt::Key_F3, Qt::ControlModifier);
        QCOMPARE(Status(), QStringList({"Запис 1 от 2", "Филтър: GRP=2", "", ""}));
        ClickTitle(goods, QStringLiteral("NAME"), Qt::ControlModifier);
        QCOMPARE(goods->tblData->IndexFieldNames(), QStringLiteral("NAME"));
        QCOMPARE(Status(), QStringList({"Запис 1 от 2", "Филтър: GRP=2", "Ред: NAME", ""}));

        TDbTableForm* groups = Open(QStringLiteral("grupi"));
        QVERIFY(groups);
        QCOMPARE(Status(), QStringList({"Запис 1 от 2", "", "", ""}));
        // goods becomes the detail of groups, by GRP.
        QVERIFY(goods->LinkToMaster(groups->dbgData, 2));
        QCOMPARE(Status(), QStringList({"Запис 1 от 2", "", "", ""}));
        const auto activate = [this](TDbTableForm* form) {
            FForm->MdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(form->parentWidget()));
        };
        const QString link = QStringLiteral("Връзка: TamselDemo Table: grupi (ID = GRP)");
        activate(goods);
        QCOMPARE(Status(), QStringList({"Няма записи", "Филтър: GRP=2", "Ред: GRP", link}));

        activate(groups);
        QTest::keyClick(groups->dbgData, Qt::Key_Down);
        QCOMPARE(Status(), QStringList({"Запис 2 от 2", "", "", ""}));
        activate(goods);
        QCOMPARE(Status(), QStringList({"Запис 1 от 2", "Филтър: GRP=2", "Ред: GRP", link}));
        QTest::keyClick(goods->dbgData, Qt::Key_Down);
        QCOMPARE(Status(), QStringList({"Запис 2 от 2", "Филтър: GRP=2", "Ред: GRP", link}));

        // Closing the active window hands the bar to the one that is left.
        Activate();
        QTest::keyClick(FForm.get(), Qt::Key_F4);
        QTRY_COMPARE(FForm->MdiArea->subWindowList().size(), 1);
        QCOMPARE(Status(), QStringList({"Запис 2 от 2", "", "", ""}));
        Activate();
        QTest::keyClick(FForm.get(), Qt::Key_F4);
        QTRY_COMPARE(Status(), QStringList({"", "", "", ""}));
    }

    // The marks follow a closed table too, and a filter that the closed
    // table could not open with is refused.
    void statusBarFollowsAClosedTable() {
        ExecSqlite(FSources->Folder() + QStringLiteral("TamselDemo.db"),
                   {QStringLiteral("create table gone (ID integer)"),
                    QStringLiteral("create view broken as select * from gone"),
                    QStringLiteral("drop table gone")});
        TDbTableForm* groups = Open(QStringLiteral("grupi"));
        TDbTableForm* goods = Open(QStringLiteral("stoki"));
        QVERIFY(groups && goods);
        QVERIFY(goods->LinkToMaster(groups->dbgData, 2));
        goods->edFilter->setEditText(QStringLiteral("ID>1"));
        Activate();
        QTest::keyClick(FForm.get(), Qt::Key_F3, Qt::ControlModifier);
        QCOMPARE(Status().mid(1),
                 QStringList({"Филтър: ID>1", "Ред: GRP", "Връзка: TamselDemo Table: grupi (ID = GRP)"}));
        const auto choose = [goods](const QString& table) {
            goods->cbTableName->setCurrentIndex(goods->cbTableName->findText(table));
            goods->cbTableName->setFocus();
            QTest::keyClick(goods->cbTableName, Qt::Key_Return);
        };
        {
            // Another table whose opening fails: the old table's marks go.
            ScriptedMsgBox boxes;
            choose(QStringLiteral("broken"));
            QCOMPARE(boxes.Count(), 1);
        }
        QCOMPARE(Status(), QStringList({"", "", "", ""}));

        choose(QStringLiteral("stoki"));
        goods->edFilter->setEditText(QStringLiteral("ID>1"));
        Activate();
        QTest::keyClick(FForm.get(), Qt::Key_F3, Qt::ControlModifier);
        QCOMPARE(Status(), QStringList({"Запис 1 от 2", "Филтър: ID>1", "", ""}));
        // The chooser's session restart closes the table; clearing its filter shows.
        { TSelectDbForm chooser(FForm.get()); }
        QVERIFY(!goods->tblData->Active());
        Activate();
        QTest::keyClick(FForm.get(), Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(Status(), QStringList({"", "", "", ""}));
        {
            ScriptedMsgBox boxes;
            goods->edFilter->setEditText(QStringLiteral("NOPE=1"));
            Activate();
            QTest::keyClick(FForm.get(), Qt::Key_F3, Qt::ControlModifier);
            QCOMPARE(boxes.Count(), 1);
            QCOMPARE(boxes.Last().Caption, QStringLiteral("BDE Exception"));
            QVERIFY2(boxes.Last().Text.contains(QStringLiteral("'NOPE' not found")),
                     qPrintable(boxes.Last().Text));
        }
        QCOMPARE(Status(), QStringList({"", "", "", ""}));
        choose(QStringLiteral("stoki"));
        QVERIFY(goods->tblData->Active());
        QCOMPARE(Status(), QStringList({"Запис 1 от 3", "", "", ""}));
    }

    // Help lists the table's every line, and every key of it does what the
    // line says.
    void keyListMatchesTheBindings() {
        const QList<TKeyEntry>& table = KeyTable();
        QCOMPARE(FForm->mnKeys->text(), QStringLiteral("Клавиши"));
        QCOMPARE(FForm->mnHelp->actions(), (QList<QAction*>{FForm->mnKeys, FForm->mnAbout}));
        TKeysForm keys(FForm.get());
        QStringList listed;
        for (int g = 0; g < keys.lvKeys->topLevelItemCount(); ++g)
            for (int i = 0; i < keys.lvKeys->topLevelItem(g)->childCount(); ++i)
                listed << keys.lvKeys->topLevelItem(g)->child(i)->text(0);
        QStringList expected;
        for (bool inFrame : {true, false})
            for (const TKeyEntry& entry : table)
                if (entry.InFrame == inFrame) expected << GestureText(entry);
        QCOMPARE(listed, expected);
        for (const char* key : {"F5", "F7", "Alt+F3", "Shift+F3", "Ctrl+F3", "Ctrl+U", "Ctrl+C", "F4"})
            QVERIFY2(listed.contains(QString::fromLatin1(key)), key);
        QVERIFY(keys.lbFilter->text().contains(QStringLiteral("IS NULL")));

        // The frame's keys are the shortcuts of its menu commands.
        const QList<QAction*> actions = FForm->findChildren<QAction*>();
        for (const TKeyEntry& entry : table) {
            if (!entry.InFrame) continue;
            const auto bound = std::count_if(actions.begin(), actions.end(),
                                             [&](const QAction* a) { return a->shortcut() == entry.Key; });
            QVERIFY2(bound == 1, qPrintable(GestureText(entry)));
        }

        // The table window's keys, pressed where they act.
        TDbTableForm* form = Open(QStringLiteral("stoki"));
        QVERIFY(form && form->tblData->Active());
        const auto press = [](QWidget* target, const QKeySequence& key) {
            QTest::keyClick(target, key[0].key(), key[0].keyboardModifiers());
        };
        form->cbTableName->setFocus();
        press(form->cbTableName, KeyOf(TKeyCommand::OpenChosenTable));
        QVERIFY(form->TableOpened);
        QVERIFY(form->dbgData->hasFocus());
        form->edFilter->setEditText(QStringLiteral("ID>1"));
        press(form->edFilter->lineEdit(), KeyOf(TKeyCommand::ApplyTypedFilter));
        QCOMPARE(form->tblData->Filter(), QStringLiteral("ID>1"));
        QVERIFY(form->tblData->Filtered());
        QGuiApplication::clipboard()->clear();
        {
            ScopedModifiers ctrl{Qt::ControlModifier};
            press(form->dbgData, KeyOf(TKeyCommand::CopyValue));
        }
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("2"));
        {
            ScriptedMsgBox boxes;
            press(form->dbgData, KeyOf(TKeyCommand::Statistics));
            QCOMPARE(boxes.Count(), 1);
        }
        {
            ScopedModifiers ctrlAlt{Qt::ControlModifier | Qt::AltModifier};
            press(form->dbgData, KeyOf(TKeyCommand::StartLinkByKey));
        }
        QVERIFY(form->dbgData->DragPending());
        press(form->dbgData, KeyOf(TKeyCommand::RecordView));
        auto* dock = FForm->findChild<QDockWidget*>(QStringLiteral("RecordViewDock"));
        QVERIFY(dock && dock->isVisible());
        QCOMPARE(FForm->dockWidgetArea(dock), Qt::RightDockWidgetArea);
        press(form->dbgData, KeyOf(TKeyCommand::RecordView));
        QVERIFY(!dock->isVisible());
    }

    // Every window of the program, with the texts it shows.
    void captionsFit() {
        TDbTableForm* form = Open(QStringLiteral("stoki"));
        QVERIFY(form);
        QStringList clipped = Clipped(FForm.get());

        TLoginDialog login(QStringLiteral("TamselDemo"), QStringLiteral("dba"));
        login.show();
        QVERIFY(QTest::qWaitForWindowExposed(&login));
        clipped << Clipped(&login);
        login.close();

        TAboutBox about(FForm.get());
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        clipped << Clipped(&about);
        about.close();

        TKeysForm keys(FForm.get());
        keys.show();
        QVERIFY(QTest::qWaitForWindowExposed(&keys));
        clipped << Clipped(&keys);
        keys.close();

        TExportDbForm unload(FForm.get());
        PrepareUnloadDialog(&unload, FForm->TargetDatabase);
        unload.show();
        QVERIFY(QTest::qWaitForWindowExposed(&unload));
        clipped << Clipped(&unload);
        unload.close();

        // The statistics box is the toolkit's, with its standard button.
        const TMsgPresenter scripted = SetMsgPresenter({});
        TModalDriver driver;
        driver.Then([&clipped](QWidget* modal) {
            clipped << Clipped(modal);
            if (auto* box = qobject_cast<QMessageBox*>(modal)) box->accept();
        });
        form->dbgData->setFocus();
        QTest::keyClick(form->dbgData, Qt::Key_U, Qt::ControlModifier);
        SetMsgPresenter(scripted);
        QVERIFY(driver.Done());
        QCOMPARE(driver.Shown, QStringList{"QMessageBox"});

        // Last: the chooser restarts the session.
        TSelectDbForm chooser(FForm.get());
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        clipped << Clipped(&chooser);
        chooser.close();

        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1Char('\n'))));
    }

    // The forms are laid out for Tahoma; every window takes the same
    // substitute, dialogs included.
    void oneFont() {
        TLoginDialog login(QStringLiteral("TamselDemo"), QStringLiteral("dba"));
        TExportDbForm unload(FForm.get());
        const QString family = QFontInfo(FForm->font()).family();
        QCOMPARE(family, QStringLiteral("Liberation Sans"));
        QCOMPARE(QFontInfo(login.font()).family(), family);
        QCOMPARE(QFontInfo(unload.btnDeselectAll->font()).family(), family);
        QCOMPARE(login.font().pointSize(), FForm->font().pointSize());
    }

    // Qt's own texts speak Bulgarian; the program's stay as written.
    void bulgarianStandardTexts() {
        QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Отказ"));
        QLineEdit edit;
        std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
        QStringList items;
        for (const QAction* action : menu->actions())
            items << action->text();
        QVERIFY2(items.join(' ').contains(QStringLiteral("Поставяне")), qPrintable(items.join(' ')));
        TLoginDialog login(QStringLiteral("TamselDemo"), QStringLiteral("dba"));
        QCOMPARE(login.CancelButton->text(), QStringLiteral("Cancel"));
        QCOMPARE(FForm->btSelectDb->toolTip(), QStringLiteral("Select Database Alias"));
    }
};

TAMSEL_TEST(FrameHabitsTest);
#include "FrameHabitsTest.moc"
