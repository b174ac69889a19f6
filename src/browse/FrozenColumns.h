#pragma once

// The first columns of a grid, laid over its left edge so that they stay
// while the grid scrolls sideways. It shows the grid's own rows, current
// cell and stripes; its clicks, titles, wheel and drops act on the grid.

#include <QTableView>

class TDBGrid;

class TFrozenColumns : public QTableView {
    Q_OBJECT
public:
    explicit TFrozenColumns(TDBGrid* grid);

    // Shows the grid's first count shown columns, as wide as the grid's.
    void SetColumns(int count);
    bool Shows(int column) const { return column >= 0 && !isColumnHidden(column); }
    // Over the grid's titles and cells, from the left of its rows.
    void Place();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // The rows are the grid's window onto the data set: nothing scrolls here.
    void scrollContentsBy(int, int) override {}
    void scrollTo(const QModelIndex&, ScrollHint) override {}

private:
    TDBGrid* FGrid;
};
