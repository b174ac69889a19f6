#include "QuerySorter.h"

#include <QStringList>

void TQuerySorter::RemoveField(const QString& name) {
    QStringList entries = SortList.split(QLatin1Char(','));
    const qsizetype at = entries.indexOf(name);
    if (at < 0) return;
    // Removing the entry from the split list drops exactly one adjoining
    // comma: the one after it, or before it when it was the last entry.
    entries.removeAt(at);
    SortList = entries.join(QLatin1Char(','));
}

QString TQuerySorter::AddField(const QString& name, bool atFront) {
    if (name.isEmpty()) return SortList;
    RemoveField(name);
    if (SortList.isEmpty())
        SortList = name;
    else if (atFront)
        SortList = name + QLatin1Char(',') + SortList;
    else
        SortList = SortList + QLatin1Char(',') + name;
    return SortList;
}
