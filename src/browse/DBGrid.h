#pragma once

// The data grid: a read-only table view over a data source, showing a window
// onto the data set. Its model has only the rows that fit on the screen,
// records Top..Top+n-1, read from the data set's cache by record number; the
// vertical scroll bar is a position into the data set, not a layout of every
// row, so the view's memory does not grow with the record count and no count
// is asked before the first rows are drawn. The grid's current row and the
// data set's current record follow each other.

#include "browse/DBGridModel.h"
#include "common/ExportTxt.h"
#include "engine/TDataSet.h"

#include <QColor>
#include <QHash>
#include <QPoint>
#include <QPointer>
#include <QStringList>
#include <QTableView>

class QHeaderView;
class TDataSource;
class TField;
class TFrozenColumns;

// Title row and indicator column.
inline const QColor GridFixedColor = QColor(204, 187, 170);

class TDBGrid : public QTableView, public TExportGrid {
    Q_OBJECT
public:
    explicit TDBGrid(QWidget* parent = nullptr);
    ~TDBGrid() override;

    void SetDataSource(TDataSource* source);
    TDataSource* DataSource() const;
    TDataSet* DataSet() const;
    // The field of the current cell's column; none without an open data set.
    TField* SelectedField() const;
    TField* ColumnField(int column) const;
    int ColumnCount() const;
    // The data column under a point of the viewport, -1 outside the columns.
    int ColumnAt(const QPoint& viewportPos) const;

    // The record shown in the top row (1 when there is none), the record of
    // a row of the model, and the row of a record (-1 when not shown).
    int TopRecord() const { return FModel->Top(); }
    int RecordOfRow(int row) const { return FModel->Top() + row; }
    int RowOfRecord(int recNo) const;
    // Scrolls so that record recNo is shown whole, as far as the records
    // go; the current record stays where it is.
    void ShowRecord(int recNo);

    // The records the user selected, from the anchor of a move or a click
    // made with Shift to the current record, in order; the current record
    // alone when none are selected, and 0, 0 without a current record.
    void SelectedRecords(int& first, int& last) const;
    bool RecordSelected(int recNo) const;
    // The record the selection reaches from; 0 when nothing is selected.
    int SelectionAnchor() const { return FAnchor; }
    void SetSelectionAnchor(int recNo);

    // The columns the user hid, by field name, and the first shown columns
    // that stay while the grid scrolls sideways. They hold while the grid
    // shows the same table (refresh, filter, order, link) until
    // ShowEveryColumn. The last shown column cannot be hidden.
    void HideColumn(int column, bool hidden);
    int ShownColumnCount() const;
    int FrozenColumns() const { return FFrozen; }
    void SetFrozenColumns(int count);
    void ShowEveryColumn();

    // A title row over some of the grid's columns that looks and acts as the
    // grid's own: sorting clicks, link drops and its menu reach the grid.
    QHeaderView* NewTitleRow(QWidget* parent);
    // The grid being dragged when event may drop it here as a link (the
    // event accepted), else none (the event ignored).
    TDBGrid* LinkDragOf(QDropEvent* event) const;

    // Starts dragging the grid once the pointer has moved threshold pixels.
    void BeginDrag(int threshold);
    bool DragPending() const { return FDragPending; }
    // Whether a drag of source may be dropped here: both grids, different,
    // this grid on a table, and source with a selected field.
    bool AcceptsDragFrom(const TDBGrid* source) const;

    TDataSet* ExportDataSet() const override;
    int ExportColumnCount() const override;
    TField* ExportColumnField(int column) const override;
    int ExportColumnWidth(int column) const override;

signals:
    void TitleClick(int column);
    void DblClick();
    // A drag of source was dropped on a column's cells or title; -1 when
    // the point was outside the data columns.
    void DragDrop(TDBGrid* source, int column);
    // The context menu of a title; column -1 outside the columns.
    void TitleMenu(int column, const QPoint& globalPos);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyboardSearch(const QString& search) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    void scrollContentsBy(int dx, int dy) override;
    void updateGeometries() override;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    void DataSetChanged();
    void RecordChanged();
    void CountKnown();
    void FollowRecord();
    // Shows the records from top, pulled back so that the last record ends
    // the screen rather than empty rows; reads only the rows shown.
    void SetTop(int top);
    void SyncCurrent();
    void SyncScrollBar();
    void ScrollBarMoved(int value);
    void ScrollBarReleased();
    // Rows that fit whole in the viewport, at least one.
    int WholeRows() const;
    // The highest record number up to recNo that exists, 0 when none.
    int LastRecordUpTo(int recNo) const;
    int FirstColumn() const;
    int LastColumn() const;
    void SetDefaultWidths();
    void StartDrag();
    // Hides the columns of hidden fields and lays the frozen ones over the grid.
    void ApplyColumnChoice();
    // Keeps the current cell off a hidden column.
    void LeaveHiddenColumn();
    int CurrentRecord() const;
    bool PressKeepsSelection(const QMouseEvent* event, const QModelIndex& index) const;
    // After a click moved the current record from recordBefore: Shift
    // selects from there, any other click drops the selection.
    void NoteClick(int recordBefore, Qt::KeyboardModifiers modifiers);

    // The frozen columns take the grid's clicks in their place.
    friend class TFrozenColumns;

    TDBGridModel* FModel;
    QPointer<TDataSource> FDataSource;
    bool FWasActive = false;
    bool FFollowing = false;
    bool FMoving = false;   // the grid is moving the data set itself
    bool FFocusing = false; // Qt's focus-in looks for a cell to make current
    // While set, Qt's own layout changes the scroll bar and the grid keeps
    // its position.
    int FBarLocked = 0;
    int FBarMaximum = 0;
    int FSelectedColumn = 0;
    bool FDragPending = false;
    int FDragThreshold = 0;
    QPoint FDragOrigin; // global
    QPoint FLastMouseGlobal;
    int FAnchor = 0;
    QStringList FHiddenFields;
    QHash<QString, int> FHiddenWidths;
    int FFrozen = 0;
    TFrozenColumns* FFrozenView = nullptr;
    ScrollMode FScrollMode = ScrollPerItem; // across the columns, while none are frozen
};
