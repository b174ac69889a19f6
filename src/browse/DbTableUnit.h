#pragma once

// The table window: one table of the connected database in a read-only
// grid, with its filter box and history, column sorting, master-detail links
// made by drag and drop, and the grid keys.

#include "engine/TDatabase.h"

#include <QPoint>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <optional>

class QComboBox;
class QKeyEvent;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QToolButton;
class TDataSet;
class TDataSource;
class TDBGrid;
class TQuerySorter;
class TTable;

// The history of applied filters, shared by every table window: a copy of
// the filter box entries of the window last deactivated or closed.
extern QStringList FilterHistory;
// The most of a filter text that the filter box and its list show: a longer
// one is shown cut, and kept and applied whole.
constexpr int LongestShownFilter = 1000;

class TDbTableForm : public QWidget {
    Q_OBJECT
    Q_PROPERTY(TDatabase* Database READ Database WRITE SetDatabase)
public:
    // Adds the window to frame as a sub-window (deleted on close), shows it
    // and takes CurrentDatabase as its database.
    explicit TDbTableForm(QMdiArea* frame);
    ~TDbTableForm() override;

    // Opens the chosen table, or refreshes it when it is the open one.
    virtual void Execute();
    // Caps column widths and sets field display widths and float formats.
    virtual void AfterExecute();

    TDatabase* Database() const;
    void SetDatabase(TDatabase* database);

    void ApplyFilter();
    void ClearFilter();
    // The filter box's text, whole where the box shows it cut.
    QString FilterText() const;
    void SetFilterText(const QString& text);
    // The filter button's command: Shift clears (and with Alt also breaks
    // the link); otherwise appends a condition for the selected cell.
    void FilterByField();
    void BreakMasterLink();
    // Links this window as detail of master's grid, by this window's field
    // shown in grid column column (0-based data column). False when refused.
    bool LinkToMaster(TDBGrid* master, int column);
    // The selected rows (the current one when none are) with the column
    // titles on the clipboard, ready for a spreadsheet.
    void CopyRows();
    // "Колони...": the columns shown and frozen.
    void ChooseColumns();

    // The window's controls.
    QWidget* Panel1;
    QLabel* Label1;
    QComboBox* cbTableName;
    QLabel* Label2;
    QComboBox* edFilter;
    QToolButton* btFilterByField;
    TDBGrid* dbgData;
    TTable* tblData;
    TDataSource* dsData;

    TDataSet* DataSet = nullptr; // the data set the filter and sort commands act on
    bool TableOpened = false;
    std::unique_ptr<TQuerySorter> Sorter;
    QString LinkField;

public slots:
    void dbgDataTitleClick(int column);
    void dbgDataDblClick();
    void btFilterByFieldClick();
    void dbgDataDragDrop(TDBGrid* source, int column);
    void dbgDataContextPopup(const QPoint& pos);
    void dbgDataTitlePopup(int column, const QPoint& globalPos);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Show();
    void HandleMessage(int msg);
    void ExportGrid(bool plain);
    void FrameSubWindowActivated(QMdiSubWindow* window);
    // The keys and focus changes of the chooser, the filter box and the grid.
    bool FilterEvent(QObject* watched, QEvent* event);
    bool dbgDataKeyDown(QKeyEvent* key);
    void StoreFilterHistory();
    void LoadFilterHistory();
    // The whole text of the box's entry index.
    QString FilterEntry(int index) const;
    void AddFilterEntry(int index, const QString& text);

    QPointer<TDatabase> FDatabase;
    QPointer<QMdiSubWindow> FSubWindow;
    // The name whose opening failed last; leaving the chooser does not
    // retry it until another name is chosen.
    std::optional<QString> FFailedName;
    bool FClosing = false;
    // The whole text while the box shows it cut.
    QString FLongFilter;
};
