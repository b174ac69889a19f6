#include "DBGridDelegate.h"

#include "browse/DBGrid.h"

#include <QPainter>

QColor GridStripeColor(int top, int height) {
    const int q = height > 0 ? top / height : 0;
    return q % 2 != 0 ? QColor(255, 255, 239) : QColor(0, 255, 255);
}

TDBGridDelegate::TDBGridDelegate(TDBGrid* grid) : QStyledItemDelegate(grid), FGrid(grid) {}

void TDBGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    // Positions count in the grid's own coordinates, the title row included.
    const int top = FGrid->viewport()->y() + opt.rect.top();
    // Rows the user selected stand out of the stripes.
    const bool selected = FGrid->RecordSelected(FGrid->RecordOfRow(index.row()));
    const QColor back =
        selected ? FGrid->palette().color(QPalette::Highlight) : GridStripeColor(top, opt.rect.height());
    painter->fillRect(opt.rect, back);
    opt.backgroundBrush = back;
    opt.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
    opt.palette.setColor(QPalette::Text,
                         FGrid->palette().color(selected ? QPalette::HighlightedText : QPalette::Text));
    QStyledItemDelegate::paint(painter, opt, index);
    painter->save();
    painter->setPen(FGrid->palette().color(QPalette::Mid));
    painter->drawLine(opt.rect.topRight(), opt.rect.bottomRight());
    if (index == FGrid->currentIndex()) {
        painter->setPen(QPen(FGrid->palette().color(QPalette::Highlight), 1, Qt::DotLine));
        painter->drawRect(opt.rect.adjusted(0, 0, -2, -1));
    }
    painter->restore();
}
