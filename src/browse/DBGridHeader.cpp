#include "DBGridHeader.h"

#include "browse/DBGrid.h"
#include "browse/DBGridLink.h"

#include <QDragEnterEvent>
#include <QPainter>

TDBGridHeader::TDBGridHeader(Qt::Orientation orientation, TDBGrid* grid, QWidget* parent)
    : QHeaderView(orientation, parent), FGrid(grid) {
    // A title takes a link drop as its column's cells do.
    setAcceptDrops(orientation == Qt::Horizontal);
    if (orientation != Qt::Horizontal) return;
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, grid,
            [this](const QPoint& pos) { emit FGrid->TitleMenu(logicalIndexAt(pos), mapToGlobal(pos)); });
}

void TDBGridHeader::dragEnterEvent(QDragEnterEvent* event) {
    AcceptLink(FGrid, event);
}

void TDBGridHeader::dragMoveEvent(QDragMoveEvent* event) {
    AcceptLink(FGrid, event);
}

void TDBGridHeader::dropEvent(QDropEvent* event) {
    if (TDBGrid* source = AcceptLink(FGrid, event))
        emit FGrid->DragDrop(source, logicalIndexAt(event->position().toPoint()));
}

void TDBGridHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    painter->save();
    painter->fillRect(rect, GridFixedColor);
    painter->setPen(GridFixedColor.darker(160));
    painter->drawLine(rect.topRight(), rect.bottomRight());
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    if (orientation() == Qt::Horizontal) {
        painter->setPen(palette().color(QPalette::WindowText));
        const QString title = model()->headerData(logicalIndex, Qt::Horizontal, Qt::DisplayRole).toString();
        painter->drawText(rect.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter, title);
    } else if (logicalIndex == FGrid->currentIndex().row()) {
        const QPoint c = rect.center();
        const QPoint triangle[] = {{c.x() - 2, c.y() - 4}, {c.x() + 2, c.y()}, {c.x() - 2, c.y() + 4}};
        painter->setPen(Qt::NoPen);
        painter->setBrush(Qt::black);
        painter->drawPolygon(triangle, 3);
    }
    painter->restore();
}
