#pragma once

#include <QString>

// The sort fields of one table window, most significant first, joined by
// single commas ("A,B,C"); a name holding "," or ";" stands in brackets
// ("A,[x,y]"). Empty when no order is chosen.
class TQuerySorter {
public:
    QString SortList;

    void Clear() { SortList.clear(); }
    // Removes the whole entry equal to name (case-sensitive) with one
    // adjoining comma.
    void RemoveField(const QString& name);
    // Moves name to the end (or the front); an empty name changes nothing.
    // Returns the new list.
    QString AddField(const QString& name, bool atFront);
};
