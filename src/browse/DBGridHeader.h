#pragma once

#include <QHeaderView>

class TDBGrid;

// Title row and indicator column, both in the grid's fixed colour; the
// indicator marks the current row with a small triangle.
class TDBGridHeader : public QHeaderView {
public:
    TDBGridHeader(Qt::Orientation orientation, TDBGrid* grid, QWidget* parent);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    TDBGrid* FGrid;
};
