#pragma once

// What the frame's status bar tells of a table window: the record position
// and, once the data set knows it, the count; the applied filter, the order
// and the master link. Built only from what the window and its data set
// already hold: it reads no row and counts nothing.

#include <QString>

class TDbTableForm;

struct TTableStatus {
    QString Position; // "Запис 120 от 2 067"; "Запис 120" while the count is unknown
    QString Filter;   // "Филтър: ..." when a filter is applied
    QString Order;    // "Ред: A, B" when the rows are ordered
    QString Link;     // "Връзка: <master window> (master field = link field)"
};

TTableStatus TableStatusOf(const TDbTableForm* form);
// A whole number with its thousands grouped by blanks: 2067 gives "2 067".
QString GroupedNumber(qint64 number);
