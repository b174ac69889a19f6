#pragma once

// The inside of a data set: what it reads and the rows it has read. Only the
// engine includes this.

#include "RowCache.h"
#include "RowSource.h"
#include "TDataSet.h"
#include "TDataSource.h"

#include <QPointer>
#include <memory>
#include <vector>

class TDatabase;

// What a subclass asks to read when the data set opens.
struct TDataSet::TOpenSpec : TRowSpec {};

struct TDataSet::Impl {
    explicit Impl(TDataSet* owner) : Self(owner) {
        Rows.CountLearned = [this] { PostCount(); };
    }

    TDataSet* Self;
    QString DatabaseName, Filter;
    bool Filtered = false;
    QList<TDataSource*> Sources;
    bool PendingChange = false;

    // Open state.
    bool Active = false;
    QPointer<TDatabase> Database;
    TOpenSpec Spec;
    QList<TColumnInfo> Columns;
    // The table whose columns Columns are (none for a statement); both stay
    // when the data set closes.
    QString ColumnsTable;
    std::vector<std::unique_ptr<TField>> Fields;
    QVariantList LinkValues; // the master's values the rows were read for

    // The rows read from the source, and the current record.
    TRowCache Rows;
    bool CountPosted = false;
    bool Eof = true, Bof = true;

    void CheckActive() const;
    // Forgets the rows and the position; the rows are source's from now on.
    void ResetRows(std::unique_ptr<TRowSource> source = nullptr) {
        Rows.Reset(std::move(source), Spec.UniDirectional);
        Eof = Bof = true;
    }
    // The current record's field, or its cursor where the field can be read
    // straight from the row; nothing on a closed data set.
    QVariant Value(int field) { return Active ? Rows.Value(field) : QVariant(); }
    TCursor* LiveCursor(int field) { return Active ? Rows.LiveCursor(field) : nullptr; }
    void PostCount();
    std::unique_ptr<TRowSource> BuildSource();
    void CheckFilter(const QString& filter, bool filtered);
    void Notify(bool full);
};
