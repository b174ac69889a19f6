#pragma once

// Where a data set's rows come from: a table select or a statement, and the
// select built from what the data set asks to read. Only the engine includes
// this.

#include "Driver.h"
#include "TDataSet.h"
#include "TDataSource.h"

#include <QPointer>
#include <memory>

// What a data set reads.
struct TRowSpec {
    QString TableName;   // a table by name ...
    QString Sql;         // ... or a statement
    QStringList OrderBy; // field names, ascending
    bool UniDirectional = false;
    // Linked: rows where DetailFields[i] = the master's MasterFields[i]; none
    // while the master source is gone, closed or empty.
    bool Linked = false;
    QPointer<TDataSource> Master;
    QStringList DetailFields, MasterFields;
};

// Where the rows come from: a table select or a statement.
class TRowSource {
public:
    virtual ~TRowSource() = default;
    virtual const QList<TColumnInfo>& Columns() const = 0;
    // Rows from offset on; limit -1 for all the rest. columns: the indexes of
    // the columns to read, in this order (empty: all); a source that cannot
    // read fewer brings them all.
    virtual std::unique_ptr<TCursor> OpenAt(qint64 offset, qint64 limit, const QList<int>& columns) = 0;
    virtual qint64 Count() = 0;
    // As TDriverConnection::Totals over these rows; false where the source
    // cannot tell.
    virtual bool Totals(int column, TColumnTotals& totals) {
        Q_UNUSED(column);
        Q_UNUSED(totals);
        return false;
    }
    // Rows backwards from the end of the order: the last `skip` rows passed
    // over, then at most limit rows, last first. None where the source
    // cannot read backwards exactly.
    virtual std::unique_ptr<TCursor> OpenFromEnd(qint64 skip, qint64 limit) {
        Q_UNUSED(skip);
        Q_UNUSED(limit);
        return nullptr;
    }
    // The rows after a row (whole, as OpenAt read them with no columns
    // asked), at most limit of them; none where the source cannot find them
    // by the row alone.
    virtual std::unique_ptr<TCursor> OpenAfter(const QVariantList& row, qint64 limit) {
        Q_UNUSED(row);
        Q_UNUSED(limit);
        return nullptr;
    }
    // How many rows come before a row in the order, found on the server by
    // the row's values (whole, as OpenAt read them with no columns asked);
    // -1 where the source cannot tell. byKey: by its row key too, so that the
    // row is there if it still exists.
    virtual qint64 Place(const QVariantList& row, bool& byKey) {
        Q_UNUSED(row);
        byKey = false;
        return -1;
    }
};

// The source of the rows spec asks for, filtered where filtered. As it is
// built it tells the columns, the table they are of (none for a statement)
// and the master's values a linked table's rows are read for.
std::unique_ptr<TRowSource> BuildRowSource(TDriverConnection& conn, const TRowSpec& spec,
                                           const QString& filter, bool filtered,
                                           QList<TColumnInfo>& columnsOut, QString& columnsTable,
                                           QVariantList& linkValues);
