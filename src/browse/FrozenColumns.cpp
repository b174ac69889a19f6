#include "FrozenColumns.h"

#include "browse/DBGrid.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>

TFrozenColumns::TFrozenColumns(TDBGrid* grid) : QTableView(grid), FGrid(grid) {
    setObjectName(QStringLiteral("FrozenColumns"));
    setHorizontalHeader(grid->NewTitleRow(this));
    setModel(grid->model());
    setSelectionModel(grid->selectionModel());
    setItemDelegate(grid->itemDelegate());
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(grid->verticalHeader()->defaultSectionSize());
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    setShowGrid(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    setAutoScroll(false);
    setFocusPolicy(Qt::NoFocus);
    setPalette(grid->palette());
    setFont(grid->font());
    viewport()->setAcceptDrops(true);
    // A width set on either title row holds for both; hiding a column,
    // which reports a width of 0, sets none.
    connect(grid->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column, int, int width) {
        if (width > 0 && columnWidth(column) != width) setColumnWidth(column, width);
        Place();
    });
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column, int, int width) {
        if (width > 0 && Shows(column) && FGrid->columnWidth(column) != width)
            FGrid->setColumnWidth(column, width);
    });
}

void TFrozenColumns::SetColumns(int count) {
    int shown = 0;
    for (int i = 0; i < FGrid->ColumnCount(); ++i) {
        bool frozen = false;
        if (!FGrid->isColumnHidden(i)) frozen = shown++ < count;
        // The width first: a column shown again reports the width it has.
        setColumnWidth(i, FGrid->columnWidth(i));
        setColumnHidden(i, !frozen);
    }
    Place();
    show();
    raise();
}

void TFrozenColumns::Place() {
    int width = 0;
    for (int i = 0; i < FGrid->ColumnCount(); ++i)
        if (Shows(i)) width += columnWidth(i);
    const QRect rows = FGrid->viewport()->geometry();
    const int top = FGrid->horizontalHeader()->geometry().top();
    setGeometry(rows.left(), top, qMin(width, rows.width()), rows.bottom() + 1 - top);
}

void TFrozenColumns::mousePressEvent(QMouseEvent* event) {
    FGrid->FLastMouseGlobal = event->globalPosition().toPoint();
    FGrid->setFocus(Qt::MouseFocusReason);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (FGrid->PressKeepsSelection(event, index)) return;
    const int before = FGrid->CurrentRecord();
    // The selection is the grid's: the grid moves the record.
    QTableView::mousePressEvent(event);
    if (index.isValid()) FGrid->NoteClick(before, event->modifiers());
}

void TFrozenColumns::mouseDoubleClickEvent(QMouseEvent* event) {
    FGrid->FLastMouseGlobal = event->globalPosition().toPoint();
    QTableView::mouseDoubleClickEvent(event);
    emit FGrid->DblClick();
}

void TFrozenColumns::mouseMoveEvent(QMouseEvent* event) {
    // A link drag begun here goes on as the grid's.
    if (FGrid->DragPending())
        QCoreApplication::sendEvent(FGrid->viewport(), event);
    else
        QTableView::mouseMoveEvent(event);
}

void TFrozenColumns::wheelEvent(QWheelEvent* event) {
    QCoreApplication::sendEvent(FGrid->viewport(), event);
}

void TFrozenColumns::dragEnterEvent(QDragEnterEvent* event) {
    FGrid->LinkDragOf(event);
}

void TFrozenColumns::dragMoveEvent(QDragMoveEvent* event) {
    FGrid->LinkDragOf(event);
}

void TFrozenColumns::dropEvent(QDropEvent* event) {
    if (TDBGrid* source = FGrid->LinkDragOf(event))
        emit FGrid->DragDrop(source, columnAt(event->position().toPoint().x()));
}
