#include "DrovikUnit.h"

#include "DrovikAboutUnit.h"
#include "KeysUnit.h"
#include "browse/DbTableUnit.h"
#include "browse/TableMessages.h"
#include "browse/TableStatus.h"
#include "common/Application.h"
#include "common/KeyTable.h"
#include "common/WindowMessage.h"
#include "common/ZorvStr.h"
#include "common/ZorvUtilUnit.h"
#include "common/ZorvWorkQuery.h"
#include "connect/LoginDialog.h"
#include "connect/SelectDbUnit.h"
#include "engine/TDataSource.h"
#include "engine/TDatabase.h"
#include "output/ExportDBUnit.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QShowEvent>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <memory>

bool FirstConnect = true;
QStringList CommandLineArguments;

namespace {

const int ToolBarHeight = 27;
const int ButtonWidth = 100;
const int ButtonHeight = 25;
// The toolbar's colour number 11189196: blue 170, green 187, red 204.
const QColor ToolBarColour(204, 187, 170);

// "Затвори" sends 0, which the table window ignores, to find its target.
const int NoMessage = 0;

} // namespace

TDrovikForm::TDrovikForm(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Tamsel ++"));
    QApplication::setWindowIcon(QIcon(ProgramPicture()));
    resize(790, 440);

    TargetDatabase = new TDatabase(this);
    TargetDatabase->setObjectName(QStringLiteral("TargetDatabase"));
    TargetDatabase->SetTransIsolation(TTransIsolation::tiDirtyRead);
    TargetDatabase->SetLoginPrompt(true);
    TargetDatabase->SetKeepConnection(true);
    InstallLoginDialog();

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    CreateToolBar();
    layout->addWidget(MainToolBar);
    MdiArea = new QMdiArea(central);
    MdiArea->setObjectName(QStringLiteral("MdiArea"));
    layout->addWidget(MdiArea, 1);
    setCentralWidget(central);
    CreateMenu();
    CreateStatusBar();
    connect(MdiArea, &QMdiArea::subWindowActivated, this, &TDrovikForm::UpdateWindowMenu);
    connect(MdiArea, &QMdiArea::subWindowActivated, this, &TDrovikForm::FollowActiveTable);
}

TDrovikForm::~TDrovikForm() {
    // Nothing the closing windows signal reaches the frame being destroyed.
    disconnect(MdiArea, nullptr, this, nullptr);
    StopFollowingTable();
    // The table windows go before the connection they read from.
    for (QMdiSubWindow* child : MdiArea->subWindowList())
        delete child;
    if (CurrentDatabase == TargetDatabase) CurrentDatabase = nullptr;
}

void TDrovikForm::CreateToolBar() {
    MainToolBar = new QFrame(this);
    MainToolBar->setObjectName(QStringLiteral("MainToolBar"));
    MainToolBar->setFixedHeight(ToolBarHeight);
    MainToolBar->setFrameStyle(QFrame::Panel | QFrame::Raised);
    MainToolBar->setLineWidth(1);
    MainToolBar->setAutoFillBackground(true);
    QPalette palette = MainToolBar->palette();
    palette.setColor(QPalette::Window, ToolBarColour);
    MainToolBar->setPalette(palette);

    auto makeButton = [this](const char* name, const QString& caption, int left) {
        auto* button = new QToolButton(MainToolBar);
        button->setObjectName(QLatin1String(name));
        button->setText(caption);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setGeometry(left, 1, ButtonWidth, ButtonHeight);
        return button;
    };
    btSelectDb = makeButton("btSelectDb", QStringLiteral("БД"), 2);
    btSelectDb->setToolTip(QStringLiteral("Select Database Alias"));
    btOpenTable = makeButton("btOpenTable", QStringLiteral("Таблица"), 102);
    btExportDB = makeButton("btExportDB", QStringLiteral("Експорт"), 202);
    connect(btSelectDb, &QToolButton::clicked, this, Guarded(this, &TDrovikForm::mnSelectDbAliasClick));
    connect(btOpenTable, &QToolButton::clicked, this, Guarded(this, &TDrovikForm::mnOpenTableClick));
    connect(btExportDB, &QToolButton::clicked, this, Guarded(this, &TDrovikForm::btExportDBClick));
}

void TDrovikForm::CreateMenu() {
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    auto item = [this](QMenu* menu, const char* name, const QString& caption, const QKeySequence& key,
                       void (TDrovikForm::*handler)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        if (!key.isEmpty()) action->setShortcut(key);
        connect(action, &QAction::triggered, this, Guarded(this, handler));
        return action;
    };

    mnStart = MainMenu1->addMenu(QStringLiteral("Начало"));
    mnExportTxtData = item(mnStart, "mnExportTxtData", QStringLiteral("Експортиране към текстов файл"), {},
                           &TDrovikForm::mnExportTxtDataClick);
    mnStart->addSeparator();
    mnOpenTable = item(mnStart, "mnOpenTable", QStringLiteral("Таблица от БД"), KeyOf(TKeyCommand::OpenTable),
                       &TDrovikForm::mnOpenTableClick);
    mnSelectDbAlias = item(mnStart, "mnSelectDbAlias", QStringLiteral("Избор на БД"),
                           KeyOf(TKeyCommand::SelectDb), &TDrovikForm::mnSelectDbAliasClick);
    mnStart->addSeparator();
    mnMainExit = item(mnStart, "mnMainExit", QStringLiteral("Изход"), KeyOf(TKeyCommand::Exit),
                      &TDrovikForm::mnMainExitClick);

    mnActions = MainMenu1->addMenu(QStringLiteral("Действия"));
    mnApplyFilter = item(mnActions, "mnApplyFilter", QStringLiteral("Приложи филтър"),
                         KeyOf(TKeyCommand::ApplyFilter), &TDrovikForm::mnApplyFilterClick);
    mnFilterbyField = item(mnActions, "mnFilterbyField", QStringLiteral("Филтър според избраното поле"),
                           KeyOf(TKeyCommand::FilterByField), &TDrovikForm::mnFilterbyFieldClick);
    mnClearFilter = item(mnActions, "mnClearFilter", QStringLiteral("Изчистване на филтър"),
                         KeyOf(TKeyCommand::ClearFilter), &TDrovikForm::mnClearFilterClick);

    mnWindow = MainMenu1->addMenu(QStringLiteral("Прозорец"));
    mnClose = item(mnWindow, "mnClose", QStringLiteral("Затвори"), KeyOf(TKeyCommand::CloseWindow),
                   &TDrovikForm::mnCloseClick);
    mnCascade = item(mnWindow, "mnCascade", QStringLiteral("Каскадно"), {}, &TDrovikForm::mnCascadeClick);
    mnTile = item(mnWindow, "mnTile", QStringLiteral("Мозайка"), {}, &TDrovikForm::mnTileClick);
    connect(mnWindow, &QMenu::aboutToShow, this, &TDrovikForm::UpdateWindowMenu);

    mnHelp = MainMenu1->addMenu(QStringLiteral("Помощ"));
    mnKeys = item(mnHelp, "mnKeys", QStringLiteral("Клавиши"), {}, &TDrovikForm::mnKeysClick);
    mnAbout = item(mnHelp, "mnAbout", QStringLiteral("За продукта"), {}, &TDrovikForm::mnAboutClick);
}

void TDrovikForm::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setSizeGripEnabled(false);
    auto label = [bar](const char* name, int stretch) {
        auto* item = new QLabel(bar);
        item->setObjectName(QLatin1String(name));
        item->setTextFormat(Qt::PlainText);
        bar->addWidget(item, stretch);
        return item;
    };
    sbPosition = label("sbPosition", 0);
    sbFilter = label("sbFilter", 2);
    sbOrder = label("sbOrder", 1);
    sbLink = label("sbLink", 2);
}

// The status bar stops following the table window it showed.
void TDrovikForm::StopFollowingTable() {
    if (!FStatusForm) return;
    disconnect(FStatusForm->dsData, nullptr, this, nullptr);
    disconnect(FStatusForm, nullptr, this, nullptr);
}

void TDrovikForm::FollowActiveTable(QMdiSubWindow* window) {
    // The frame losing the focus reports no active window: the status
    // stays with the current one.
    if (!window) window = MdiArea->currentSubWindow();
    auto* form = window ? qobject_cast<TDbTableForm*>(window->widget()) : nullptr;
    if (form != FStatusForm) {
        StopFollowingTable();
        FStatusForm = form;
        if (form) {
            connect(form->dsData, &TDataSource::DataSetChanged, this, &TDrovikForm::UpdateStatusBar);
            connect(form->dsData, &TDataSource::RecordChanged, this, &TDrovikForm::UpdateStatusBar);
            connect(form->dsData, &TDataSource::CountKnown, this, &TDrovikForm::UpdateStatusBar);
            connect(form, &QObject::destroyed, this, &TDrovikForm::UpdateStatusBar);
        }
    }
    UpdateStatusBar();
}

void TDrovikForm::UpdateStatusBar() {
    const TTableStatus status = TableStatusOf(FStatusForm);
    // A long filter is cut; the label's tooltip holds as much of it as the
    // filter box shows.
    sbPosition->setText(status.Position);
    sbFilter->setText(Elided(status.Filter, 80));
    sbFilter->setToolTip(Elided(status.Filter, LongestShownFilter));
    sbOrder->setText(status.Order);
    sbOrder->setToolTip(status.Order);
    sbLink->setText(status.Link);
    sbLink->setToolTip(status.Link);
}

void TDrovikForm::UpdateWindowMenu() {
    for (QAction* action : FWindowItems) {
        mnWindow->removeAction(action);
        delete action;
    }
    FWindowItems.clear();
    const QList<QMdiSubWindow*> children = MdiArea->subWindowList(QMdiArea::CreationOrder);
    if (children.isEmpty()) return;
    FWindowItems << mnWindow->addSeparator();
    QMdiSubWindow* active = MdiArea->activeSubWindow();
    for (int i = 0; i < children.size(); ++i) {
        QMdiSubWindow* child = children[i];
        QAction* action = mnWindow->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(child->windowTitle()));
        action->setCheckable(true);
        action->setChecked(child == active);
        connect(action, &QAction::triggered, this, [this, child = QPointer<QMdiSubWindow>(child)] {
            if (child) MdiArea->setActiveSubWindow(child);
        });
        FWindowItems << action;
    }
}

void TDrovikForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (FShown) return;
    FShown = true;
    // Runs once the message loop has started, so that closing the frame from
    // here ends the loop.
    QTimer::singleShot(0, this, &TDrovikForm::FormShow);
}

void TDrovikForm::FormShow() {
    FStartingUp = true;
    try {
        mnSelectDbAliasClick();
        if (TargetDatabase->DatabaseName().isEmpty()) {
            close();
            return;
        }
    } catch (...) {
        LogSilentFailure(TargetDatabase->DatabaseName());
        close();
        return;
    }
    showMaximized();
    FStartingUp = false;
}

bool TDrovikForm::FormCloseQuery() {
    if (FStartingUp) return true;
    return ShowMsg(QStringLiteral("Изход от програмата?"), QStringLiteral("Потвърждение"),
                   MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void TDrovikForm::closeEvent(QCloseEvent* event) {
    if (FormCloseQuery())
        event->accept();
    else
        event->ignore();
}

void TDrovikForm::mnSelectDbAliasClick() {
    const QString oldName = TargetDatabase->DatabaseName();
    // Creating the chooser restarts the session, closing the connection.
    auto chooser = std::make_unique<TSelectDbForm>(this);
    QString newName;
    QString userName;
    QString password;
    int outcome;
    if (FirstConnect && !CommandLineArguments.isEmpty()) {
        newName = CommandLineArguments.value(0);
        userName = CommandLineArguments.value(1);
        password = CommandLineArguments.value(2);
        outcome = TSelectDbForm::mrOk;
    } else {
        outcome = chooser->exec();
        if (outcome == TSelectDbForm::mrOk) newName = chooser->AliasName();
    }
    FirstConnect = false;

    if (outcome == TSelectDbForm::mrOk && newName != oldName) {
        TargetDatabase->SetConnected(false);
        try {
            TargetDatabase->SetDatabaseName(newName);
            TargetDatabase->SetAliasName(newName);
            if (!userName.isEmpty() && !password.isEmpty()) {
                TargetDatabase->Params()
                    << QStringLiteral("USER NAME=") + userName << QStringLiteral("PASSWORD=") + password;
                TargetDatabase->SetLoginPrompt(false);
            }
            TargetDatabase->SetConnected(true);
        } catch (...) {
            // Back to the previous database, else to none; neither is shown.
            LogSilentFailure(newName);
            try {
                TargetDatabase->SetDatabaseName(oldName);
                TargetDatabase->SetAliasName(oldName);
                TargetDatabase->SetConnected(true);
            } catch (...) {
                if (!oldName.isEmpty()) LogSilentFailure(oldName);
                TargetDatabase->SetDatabaseName(QString());
                TargetDatabase->SetAliasName(QString());
            }
        }
    }
    if (outcome == TSelectDbForm::mrOk && TargetDatabase->DatabaseName() != oldName) {
        const QList<QMdiSubWindow*> children = MdiArea->subWindowList(QMdiArea::CreationOrder);
        for (int i = children.size() - 1; i >= 0; --i)
            children[i]->close();
    }
    chooser.reset();
    btSelectDb->setText(QStringLiteral("DB: ") + TargetDatabase->DatabaseName());
    if (TargetDatabase->DatabaseName() != oldName) PrepareConnection(TargetDatabase);
}

void TDrovikForm::mnOpenTableClick() {
    new TDbTableForm(MdiArea);
}

void TDrovikForm::mnExportTxtDataClick() {
    if (!TargetDatabase->DatabaseName().isEmpty()) ShowUnloadDialog(TargetDatabase);
}

void TDrovikForm::btExportDBClick() {
    mnExportTxtDataClick();
}

QWidget* TDrovikForm::ForwardToActiveChild(int msg, qintptr wParam, qintptr lParam) {
    QWidget* target = nullptr;
    // A control of the frame itself, not one inside the MDI area.
    QWidget* focused = QApplication::focusWidget();
    if (focused && isAncestorOf(focused) && focused != MdiArea && !MdiArea->isAncestorOf(focused))
        target = focused;
    else if (QMdiSubWindow* child = MdiArea->activeSubWindow())
        target = child->widget() ? child->widget() : child;
    if (!target) return nullptr;
    SendWindowMessage(target, msg, wParam, lParam);
    return target;
}

void TDrovikForm::mnApplyFilterClick() {
    ForwardToActiveChild(msgApplyFilter);
}

void TDrovikForm::mnFilterbyFieldClick() {
    ForwardToActiveChild(msgFilterByField);
}

void TDrovikForm::mnClearFilterClick() {
    ForwardToActiveChild(msgClearFilter);
}

void TDrovikForm::mnCloseClick() {
    QWidget* target = ForwardToActiveChild(NoMessage);
    if (!target) return;
    for (QMdiSubWindow* child : MdiArea->subWindowList())
        if (child == target || child->widget() == target) {
            child->close();
            return;
        }
}

void TDrovikForm::mnCascadeClick() {
    MdiArea->cascadeSubWindows();
}

void TDrovikForm::mnTileClick() {
    // Horizontal tiling: every child as wide as the area, stacked downwards.
    QList<QMdiSubWindow*> children;
    for (QMdiSubWindow* child : MdiArea->subWindowList(QMdiArea::CreationOrder))
        if (child->isVisible() && !child->isMinimized()) children << child;
    if (children.isEmpty()) return;
    const QRect area = MdiArea->viewport()->rect();
    const int count = static_cast<int>(children.size());
    int top = 0;
    for (int i = 0; i < count; ++i) {
        QMdiSubWindow* child = children[i];
        if (child->isMaximized()) child->showNormal();
        const int bottom = area.height() * (i + 1) / count;
        child->setGeometry(0, top, area.width(), bottom - top);
        top = bottom;
    }
}

void TDrovikForm::mnAboutClick() {
    auto box = std::make_unique<TAboutBox>(this);
    box->exec();
}

void TDrovikForm::mnKeysClick() {
    auto box = std::make_unique<TKeysForm>(this);
    box->exec();
}

void TDrovikForm::mnMainExitClick() {
    close();
}
