#pragma once

// The rows a data set has read from its source: a bounded cache of aligned
// blocks, the one open cursor that a walk streams on, and the current
// record. Only the engine includes this.

#include "Driver.h"
#include "RowSource.h"

#include <functional>
#include <list>
#include <memory>
#include <vector>

struct TRowBlock {
    qint64 Start = 0;
    std::vector<QVariantList> Rows; // a table's rows carry their row key after the fields
};

class TRowCache {
public:
    static constexpr int BlockSize = 200;
    static constexpr int MaxBlocks = 12;

    [[noreturn]] static void RaiseUni();
    static QVariantList CursorRow(const TCursor& cursor);

    // Forgets the rows and the current record; from now on the rows are
    // those of source (none: there are none to read).
    void Reset(std::unique_ptr<TRowSource> source = nullptr, bool uniDirectional = false);
    // Straight after Reset: the first rows of the source, read ahead as
    // block (limit rows were asked for), or still to be read from first, a
    // cursor at record start with limit rows left.
    void TakeBlock(std::shared_ptr<TRowBlock> block, qint64 limit);
    void TakeStream(std::unique_ptr<TCursor> first, qint64 start, qint64 limit);

    void Release();
    // Makes record index current; false where there is none. sequential: a
    // step on to the next record, which may come from the open stream.
    bool Locate(qint64 index, bool sequential);
    std::shared_ptr<TRowBlock> FetchBlock(qint64 block, bool sequential);
    std::shared_ptr<TRowBlock> CachedBlock(qint64 index);
    int CachedRows() const;
    void Materialise();
    void CloseCursor();
    // The live cursor's column for a field; a field that the cursor does not
    // bring has the record read again whole first.
    int CursorIndex(int field) {
        if (CursorColumn.empty()) return field;
        const int column = size_t(field) < CursorColumn.size() ? CursorColumn[size_t(field)] : -1;
        if (column >= 0) return column;
        ReadWhole();
        return field;
    }
    // The cursor that streams the current record, where a field of it can be
    // read straight from the row; none otherwise.
    TCursor* LiveCursor(int field) {
        if (!Live || Cur < 0 || field < 0 || field >= ColumnCount) return nullptr;
        CursorIndex(field); // may replace the cursor
        return Cursor.get();
    }
    qint64 KnownCount();
    void LearnCount(qint64 count);
    QVariant Value(int field);
    QString RowKey();
    QVariantList CurrentRow();
    qint64 FindNear(const QString& key, qint64 near, bool beside);
    qint64 ScanFor(const QString& key);
    bool FindPlace(const QString& key, const QVariantList& row, qint64 old);

    std::unique_ptr<TRowSource> Source;
    int ColumnCount = 0;         // of the source's rows
    bool UniDirectional = false; // nothing is read backwards, nothing kept
    // Controls off (nested): a walk runs, the stream stays open between
    // calls and reads on past a block.
    int Walks = 0;
    bool Walking() const { return Walks > 0; }
    // Heard each time the count is learned.
    std::function<void()> CountLearned;

    // The cache: aligned blocks, most recently used first.
    std::list<std::shared_ptr<TRowBlock>> Blocks;
    qint64 LastFetchedBlock = -2;
    // The one open cursor and the index of the row its Next() delivers.
    std::unique_ptr<TCursor> Cursor;
    qint64 CursorNext = 0;
    qint64 CursorLeft = -1; // rows its limit still allows; -1 no limit
    qint64 Count = -1;      // -1 not known yet
    qint64 Seen = 0;        // records known to exist: up to the furthest row read
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

private:
    std::shared_ptr<TRowBlock> FetchFromEnd(qint64 block);
    std::shared_ptr<TRowBlock> Keep(std::shared_ptr<TRowBlock> block);
    void OpenStream(qint64 index);
    void ReadWhole();
    void ReadBackCurrent();
};
