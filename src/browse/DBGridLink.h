#pragma once

// The link drag between grids: a grid is dragged onto another to make it
// the master of the other's table.

#include <QSet>

class QDropEvent;
class TDBGrid;

// The grids alive in this process: a drop names its source grid by process
// and address, and only a live grid of this process is taken.
QSet<const TDBGrid*>& LiveGrids();

// Accepts a drag or drop event as a link when grid may take a drop of the
// dragged grid, and returns that grid; otherwise ignores it.
TDBGrid* AcceptLink(const TDBGrid* grid, QDropEvent* event);
