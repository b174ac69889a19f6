#pragma once

#include "TDataSet.h"

#include <QList>
#include <QPointer>
#include <QString>

class TField;

// Held by a routine that walks the records of a data set (the export, the
// column statistics, the copied rows). While it lives, the data set's
// controls are disabled and the rows the walk streams bring only the fields
// it names. When it ends, however the walk ended (done, cancelled or
// failed), the data set is back on the record it was on where that record
// still exists, its controls are enabled, and last the fields to walk are
// restored.
class TWalkGuard {
public:
    // Which comes back first; a grid on the data set sees the difference.
    enum class TRestore {
        // The record, with the controls still disabled: a grid hears one
        // change with its record already back and stays as it was.
        RecordFirst,
        // The controls: a grid follows the record the walk ended on, then
        // comes back to its own record, which it may now show at its top or
        // bottom edge rather than where it was.
        ControlsFirst,
    };

    // Raises where the current record cannot be read; the controls are
    // enabled again then.
    TWalkGuard(TDataSet* dataSet, const QList<TField*>& fields, TRestore restore);
    ~TWalkGuard();
    TWalkGuard(const TWalkGuard&) = delete;
    TWalkGuard& operator=(const TWalkGuard&) = delete;

private:
    // Declared first: the fields to walk are restored after the record is
    // found again.
    TDataSet::TWalkFields FFields;
    QPointer<TDataSet> FDataSet;
    TRestore FRestore;
    QString FBookmark;
};
