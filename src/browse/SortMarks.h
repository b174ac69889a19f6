#pragma once

// The marks of the current order on the grid's titles: a field of the order
// shows an arrow (every order is ascending) and, when the order has more
// than one field, its place in it.

#include <QString>

// The title of a column whose field is fieldName, with indexFieldNames the
// table's order (";"-separated, as TTable::IndexFieldNames).
QString SortMarkedTitle(const QString& title, const QString& fieldName, const QString& indexFieldNames);
// What hovering a title tells.
QString SortTitleToolTip();
