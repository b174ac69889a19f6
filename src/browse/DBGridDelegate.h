#pragma once

#include <QColor>
#include <QStyledItemDelegate>

class TDBGrid;

// The two row stripes, chosen by a cell's on-screen position: q = top div
// height; odd q gives a very pale yellow, even q aqua.
QColor GridStripeColor(int top, int height);

// Cells: the stripe of their on-screen position, vertical lines only, and a
// frame around the current cell that stays while the grid has no focus.
class TDBGridDelegate : public QStyledItemDelegate {
public:
    explicit TDBGridDelegate(TDBGrid* grid);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    TDBGrid* FGrid;
};
