#pragma once

// The inside of a data set: what it reads (a row source) and the bounded
// block cache with the current record. Only the engine includes this.

#include "Driver.h"
#include "TDataSet.h"
#include "TDataSource.h"

#include <QPointer>
#include <list>
#include <memory>
#include <vector>

class TDatabase;

// What a subclass asks to read when the data set opens.
struct TDataSet::TOpenSpec {
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

struct TRowBlock {
    qint64 Start = 0;
    std::vector<QVariantList> Rows; // a table's rows carry their row key after the fields
};

struct TDataSet::Impl {
    explicit Impl(TDataSet* owner) : Self(owner) {}

    TDataSet* Self;
    QString DatabaseName, Filter;
    bool Filtered = false;
    QList<TDataSource*> Sources;
    int DisableCount = 0;
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
    std::unique_ptr<TRowSource> Source;
    QVariantList LinkValues; // the master's values the rows were read for

    // The cache: aligned blocks, most recently used first.
    std::list<std::shared_ptr<TRowBlock>> Blocks;
    qint64 LastFetchedBlock = -2;
    // The one open cursor and the index of the row its Next() delivers.
    std::unique_ptr<TCursor> Cursor;
    qint64 CursorNext = 0;
    qint64 CursorLeft = -1; // rows its limit still allows; -1 no limit
    qint64 Count = -1;      // -1 not known yet
    qint64 Seen = 0;        // records known to exist: up to the furthest row read
    bool CountPosted = false;
    // The fields a walk reads (ascending indexes; empty: all), and the open
    // cursor's column of each field, -1 where it has none (empty: whole rows).
    // Only a streaming cursor brings part of a row, so that blocks always
    // hold whole rows.
    QList<int> WalkFields;
    std::vector<int> CursorColumn;
    qint64 RowsRead = 0;

    // The current record: index, and its row in a block or live on the cursor.
    qint64 Cur = -1;
    std::shared_ptr<TRowBlock> CurBlock;
    int CurOffset = 0;
    bool Live = false;
    bool ReadBack = false; // neither: its row is read again when it is read
    bool Eof = true, Bof = true;

    static constexpr int BlockSize = 200;
    static constexpr int MaxBlocks = 12;

    void CheckActive() const;
    bool Walking() const { return DisableCount > 0; }
    void ResetRows();
    void Release();
    bool Locate(qint64 index, bool sequential);
    std::shared_ptr<TRowBlock> FetchBlock(qint64 block, bool sequential);
    std::shared_ptr<TRowBlock> FetchFromEnd(qint64 block);
    std::shared_ptr<TRowBlock> Keep(std::shared_ptr<TRowBlock> block);
    std::shared_ptr<TRowBlock> CachedBlock(qint64 index);
    void Materialise();
    static QVariantList CursorRow(const TCursor& cursor);
    void CloseCursor();
    void OpenStream(qint64 index);
    int CursorIndex(int field);
    TCursor* LiveCursor(int field);
    void ReadWhole();
    void ReadBackCurrent();
    qint64 KnownCount();
    void LearnCount(qint64 count);
    QVariant Value(int field);
    QString RowKey();
    QVariantList CurrentRow();
    qint64 FindNear(const QString& key, qint64 near, bool beside);
    qint64 ScanFor(const QString& key);
    bool FindPlace(const QString& key, const QVariantList& row, qint64 old);
    void BuildSource();
    void CheckFilter(const QString& filter, bool filtered);
    void Notify(bool full);
};
