#include "browse/DBGrid.h"
#include "browse/FrozenColumns.h"
#include "common/Application.h"

#include <QKeyEvent>
#include <QMouseEvent>

// The grid's keys and clicks: moves by record number, and the selection of
// records that they make.

QModelIndex TDBGrid::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
    TDataSet* dataSet = DataSet();
    // Gaining the focus moves nothing: the current cell is the current
    // record's, or none while that is scrolled away.
    if (FFocusing || !dataSet || !dataSet->Active() || dataSet->RecNo() == 0 || ColumnCount() == 0) return {};
    const int recNo = dataSet->RecNo();
    // A key brings a current record that was scrolled away back first.
    ShowRecord(recNo);
    SyncCurrent();
    const QModelIndex current = currentIndex();
    if (!current.isValid()) return {};
    // Across the row Qt's own moves serve; its moves between rows would stop
    // at the rows on the screen, so those go by record number.
    auto across = [&](CursorAction action) {
        return QTableView::moveCursor(action, Qt::NoModifier).column();
    };
    const bool ctrl = modifiers & Qt::ControlModifier;
    int column = current.column();
    int target = recNo;
    bool page = false;
    bool last = false;
    switch (cursorAction) {
    case MoveUp:
        --target;
        break;
    case MoveDown:
        ++target;
        break;
    case MovePageUp:
        target -= WholeRows();
        page = true;
        break;
    case MovePageDown:
        target += WholeRows();
        page = true;
        break;
    case MoveHome:
        column = FirstColumn();
        if (ctrl) target = 1;
        break;
    case MoveEnd:
        column = LastColumn();
        last = ctrl;
        break;
    case MoveLeft:
    case MoveRight:
        column = across(cursorAction);
        break;
    case MoveNext:
        // Tab goes on to the next record after the last column, and from the
        // last record round to the first.
        if (column != LastColumn()) {
            column = across(MoveRight);
        } else {
            column = FirstColumn();
            target = LastRecordUpTo(recNo + 1) > recNo ? recNo + 1 : 1;
        }
        break;
    case MovePrevious:
        if (column != FirstColumn()) {
            column = across(MoveLeft);
        } else {
            column = LastColumn();
            if (recNo > 1)
                target = recNo - 1;
            else
                last = true;
        }
        break;
    }
    try {
        if (last) {
            dataSet->Last();
            target = dataSet->RecNo();
        } else if (target > recNo) {
            target = qMax(recNo, LastRecordUpTo(target));
        } else {
            target = qMax(1, target);
        }
    } catch (const std::exception& error) {
        TApplication::ShowException(error);
        return {};
    }
    // A page key moves the rows with the record, as far as they go.
    if (page) SetTop(FModel->Top() + target - recNo);
    ShowRecord(target);
    const int row = RowOfRecord(target);
    return row >= 0 && column >= 0 ? FModel->index(row, column) : QModelIndex();
}

void TDBGrid::keyPressEvent(QKeyEvent* event) {
    // The view's own copy would take the display text; the window copies the
    // value itself. Nothing edits.
    if (event->matches(QKeySequence::Copy) || event->key() == Qt::Key_Insert) return;
    if (event->key() == Qt::Key_Delete) return;
    const int before = CurrentRecord();
    QTableView::keyPressEvent(event);
    // Shift with a move up or down selects from the record left; a move
    // without Shift drops the selection.
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        if (!shift)
            SetSelectionAnchor(0);
        else if (FAnchor == 0)
            SetSelectionAnchor(before);
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (!shift) SetSelectionAnchor(0);
        break;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        SetSelectionAnchor(0);
        break;
    default:
        break;
    }
}

int TDBGrid::CurrentRecord() const {
    const TDataSet* dataSet = DataSet();
    return dataSet && dataSet->Active() ? dataSet->RecNo() : 0;
}

void TDBGrid::SelectedRecords(int& first, int& last) const {
    const int current = CurrentRecord();
    first = current > 0 && FAnchor > 0 ? qMin(FAnchor, current) : current;
    last = current > 0 && FAnchor > 0 ? qMax(FAnchor, current) : current;
}

bool TDBGrid::RecordSelected(int recNo) const {
    int first = 0;
    int last = 0;
    SelectedRecords(first, last);
    return first < last && recNo >= first && recNo <= last;
}

void TDBGrid::SetSelectionAnchor(int recNo) {
    if (recNo == FAnchor) return;
    FAnchor = qMax(0, recNo);
    viewport()->update();
    if (FFrozenView) FFrozenView->viewport()->update();
}

bool TDBGrid::PressKeepsSelection(const QMouseEvent* event, const QModelIndex& index) const {
    // A right click in the selection keeps it for the menu.
    return event->button() == Qt::RightButton && index.isValid() && RecordSelected(RecordOfRow(index.row()));
}

void TDBGrid::NoteClick(int recordBefore, Qt::KeyboardModifiers modifiers) {
    if (!(modifiers & Qt::ShiftModifier))
        SetSelectionAnchor(0);
    else if (FAnchor == 0)
        SetSelectionAnchor(recordBefore);
}

void TDBGrid::keyboardSearch(const QString&) {
    // Searching by typed letters would read every row of a large table.
}

void TDBGrid::mousePressEvent(QMouseEvent* event) {
    FLastMouseGlobal = event->globalPosition().toPoint();
    const QModelIndex index = indexAt(event->position().toPoint());
    if (PressKeepsSelection(event, index)) return;
    const int before = CurrentRecord();
    QTableView::mousePressEvent(event);
    if (index.isValid()) NoteClick(before, event->modifiers());
}

void TDBGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    FLastMouseGlobal = event->globalPosition().toPoint();
    QTableView::mouseDoubleClickEvent(event);
    emit DblClick();
}

void TDBGrid::mouseMoveEvent(QMouseEvent* event) {
    FLastMouseGlobal = event->globalPosition().toPoint();
    if (!FDragPending) {
        QTableView::mouseMoveEvent(event);
        return;
    }
    const QPoint moved = FLastMouseGlobal - FDragOrigin;
    if (qAbs(moved.x()) >= FDragThreshold || qAbs(moved.y()) >= FDragThreshold) {
        FDragPending = false;
        StartDrag();
    }
}

void TDBGrid::mouseReleaseEvent(QMouseEvent* event) {
    FLastMouseGlobal = event->globalPosition().toPoint();
    FDragPending = false;
    QTableView::mouseReleaseEvent(event);
}
