#include "DBGridLink.h"

#include "browse/DBGrid.h"
#include "engine/TDataSource.h"
#include "engine/TTable.h"

#include <QCoreApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QMimeData>

namespace {

const QString GridMimeType = QStringLiteral("application/x-tamsel-dbgrid");

QByteArray GridTag(const TDBGrid* grid) {
    return QByteArray::number(QCoreApplication::applicationPid()) + ':' +
           QByteArray::number(reinterpret_cast<quintptr>(grid));
}

TDBGrid* DraggedGrid(const QMimeData* mime) {
    if (!mime || !mime->hasFormat(GridMimeType)) return nullptr;
    const QByteArray tag = mime->data(GridMimeType);
    for (const TDBGrid* grid : LiveGrids())
        if (GridTag(grid) == tag) return const_cast<TDBGrid*>(grid);
    return nullptr;
}

} // namespace

QSet<const TDBGrid*>& LiveGrids() {
    static QSet<const TDBGrid*> grids;
    return grids;
}

TDBGrid* AcceptLink(const TDBGrid* grid, QDropEvent* event) {
    TDBGrid* source = DraggedGrid(event->mimeData());
    if (!grid->AcceptsDragFrom(source)) {
        event->ignore();
        return nullptr;
    }
    event->setDropAction(Qt::LinkAction);
    event->accept();
    return source;
}

TDBGrid* TDBGrid::LinkDragOf(QDropEvent* event) const {
    return AcceptLink(this, event);
}

void TDBGrid::BeginDrag(int threshold) {
    FDragPending = true;
    FDragThreshold = threshold;
    FDragOrigin = FLastMouseGlobal;
}

void TDBGrid::StartDrag() {
    QPointer<QDrag> drag = new QDrag(this);
    auto* mime = new QMimeData;
    mime->setData(GridMimeType, GridTag(this));
    drag->setMimeData(mime);
    drag->exec(Qt::LinkAction, Qt::LinkAction);
    if (drag) drag->deleteLater();
}

bool TDBGrid::AcceptsDragFrom(const TDBGrid* source) const {
    auto* detail = qobject_cast<TTable*>(DataSet());
    if (!source || source == this || !detail || !source->SelectedField()) return false;
    // Refuse a link that would lead back to this table through the masters.
    QSet<const TDataSet*> seen;
    for (const TDataSet* master = source->DataSet(); master && !seen.contains(master);) {
        if (master == detail) return false;
        seen.insert(master);
        auto* table = qobject_cast<const TTable*>(master);
        master = table && table->MasterSource() ? table->MasterSource()->DataSet() : nullptr;
    }
    return true;
}

void TDBGrid::dragEnterEvent(QDragEnterEvent* event) {
    AcceptLink(this, event);
}

void TDBGrid::dragMoveEvent(QDragMoveEvent* event) {
    AcceptLink(this, event);
}

void TDBGrid::dropEvent(QDropEvent* event) {
    if (TDBGrid* source = AcceptLink(this, event))
        emit DragDrop(source, ColumnAt(event->position().toPoint()));
}
