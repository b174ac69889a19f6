#pragma once

// The program's frame: an MDI main window that owns the one database
// connection, the main menu, the toolbar and the table windows.

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

class QAction;
class QFrame;
class QLabel;
class QMdiSubWindow;
class QMdiArea;
class QMenu;
class QMenuBar;
class QToolButton;
class TDatabase;
class TDbTableForm;

// True until the first connect command has taken its database name; only
// then is the command line looked at.
extern bool FirstConnect;
// The program's arguments without its own name: database, user, password.
extern QStringList CommandLineArguments;

class TDrovikForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TDrovikForm(QWidget* parent = nullptr);
    ~TDrovikForm() override;

    // Delivers a window message at once to the focused control of the frame,
    // else to the active child window; returns the receiver, or none.
    QWidget* ForwardToActiveChild(int msg, qintptr wParam = 0, qintptr lParam = 0);

    TDatabase* TargetDatabase;
    QMdiArea* MdiArea;

    QFrame* MainToolBar;
    QToolButton* btSelectDb;
    QToolButton* btOpenTable;
    QToolButton* btExportDB;

    // The status bar follows the active table window.
    QLabel* sbPosition;
    QLabel* sbFilter;
    QLabel* sbOrder;
    QLabel* sbLink;

    QMenuBar* MainMenu1;
    QMenu* mnStart;
    QAction* mnExportTxtData;
    QAction* mnOpenTable;
    QAction* mnSelectDbAlias;
    QAction* mnMainExit;
    QMenu* mnActions;
    QAction* mnApplyFilter;
    QAction* mnFilterbyField;
    QAction* mnClearFilter;
    QMenu* mnWindow;
    QAction* mnClose;
    QAction* mnCascade;
    QAction* mnTile;
    QMenu* mnHelp;
    QAction* mnKeys;
    QAction* mnAbout;

    bool StartingUp() const { return FStartingUp; }

public slots:
    void FormShow();
    bool FormCloseQuery();
    void mnSelectDbAliasClick();
    void mnOpenTableClick();
    void mnExportTxtDataClick();
    void btExportDBClick();
    void mnApplyFilterClick();
    void mnFilterbyFieldClick();
    void mnClearFilterClick();
    void mnCloseClick();
    void mnCascadeClick();
    void mnTileClick();
    void mnKeysClick();
    void mnAboutClick();
    void mnMainExitClick();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateToolBar();
    void CreateMenu();
    // Lists the open child windows below the fixed items of "Прозорец".
    void UpdateWindowMenu();
    void CreateStatusBar();
    // Listens to the data source of the window that became active.
    void FollowActiveTable(QMdiSubWindow* window);
    void StopFollowingTable();
    void UpdateStatusBar();

    bool FStartingUp = false;
    bool FShown = false;
    QList<QAction*> FWindowItems;
    QPointer<TDbTableForm> FStatusForm;
};
