#include "QuerySorter.h"

#include "engine/FieldNames.h"

#include <QStringList>

void TQuerySorter::RemoveField(const QString& name) {
    QStringList entries = SplitFieldNames(SortList, QLatin1Char(','));
    const qsizetype at = entries.indexOf(name);
    if (at < 0) return;
    // Removing the entry from the split list drops exactly one adjoining
    // comma: the one after it, or before it when it was the last entry.
    entries.removeAt(at);
    SortList = JoinFieldNames(entries, QLatin1Char(','));
}

QString TQuerySorter::AddField(const QString& name, bool atFront) {
    if (name.isEmpty()) return SortList;
    RemoveField(name);
    const QString entry = JoinFieldNames({name}, QLatin1Char(','));
    if (SortList.isEmpty())
        SortList = entry;
    else if (atFront)
        SortList = entry + QLatin1Char(',') + SortList;
    else
        SortList = SortList + QLatin1Char(',') + entry;
    return SortList;
}
