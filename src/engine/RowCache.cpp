#include "RowCache.h"

#include "Exception.h"
#include "StatementWait.h"

#include <algorithm>

namespace {

template <typename Get> QString KeyOf(int count, Get get) {
    // FNV-1a over the values' texts and types: equal rows give equal keys.
    quint64 h = 1469598103934665603ULL;
    auto mix = [&h](const QString& s) {
        for (QChar c : s) {
            h ^= c.unicode();
            h *= 1099511628211ULL;
        }
        h ^= 0x1f;
        h *= 1099511628211ULL;
    };
    for (int i = 0; i < count; ++i) {
        const QVariant v = get(i);
        mix(v.isNull() ? QStringLiteral("\x01null")
                       : QString::number(v.typeId()) + QLatin1Char(':') + v.toString());
    }
    return QString::number(h, 16);
}

} // namespace

void TRowCache::RaiseUni() {
    throw EDatabaseError(QStringLiteral("Operation not allowed on a unidirectional dataset"));
}

void TRowCache::CloseCursor() {
    Cursor.reset();
    CursorColumn.clear();
    CursorLeft = -1;
}

void TRowCache::Reset(std::unique_ptr<TRowSource> source, bool uniDirectional) {
    Live = ReadBack = false;
    CloseCursor();
    Blocks.clear();
    CurBlock.reset();
    Cur = -1;
    Count = -1;
    Seen = 0;
    LastFetchedBlock = -2;
    Source = std::move(source);
    ColumnCount = Source ? int(Source->Columns().size()) : 0;
    UniDirectional = uniDirectional;
}

void TRowCache::TakeBlock(std::shared_ptr<TRowBlock> block, qint64 limit) {
    const qint64 start = block->Start;
    RowsRead += qint64(block->Rows.size());
    const qint64 read = qint64(block->Rows.size());
    if (read < limit && (read > 0 || start == 0)) LearnCount(start + read);
    LastFetchedBlock = start / BlockSize;
    if (read > 0) Seen = std::max(Seen, start + read);
    if (read > 0) Keep(std::move(block));
}

void TRowCache::TakeStream(std::unique_ptr<TCursor> first, qint64 start, qint64 limit) {
    Cursor = std::move(first);
    CursorNext = start;
    CursorLeft = limit;
}

// The user's action is over: no statement stays open until the next one,
// for an open statement holds a read on the server (on SQLite a lock that
// keeps every other program from writing the file). A walk keeps its stream
// while it runs; the next block starts after the last row read, or at its
// offset.
void TRowCache::Release() {
    // Inside a statement's wait the connection belongs to the statement that
    // runs: nothing is closed under it.
    if (!Cursor || Walking() || UniDirectional || InStatementWait()) return;
    if (Live && CursorColumn.empty()) {
        Materialise();
    } else if (Live) {
        Live = false;
        ReadBack = true;
    }
    CloseCursor();
}

// A streaming cursor from record index on, bringing only the walk's fields
// when it has some. A walk of every field names them all too: the row key,
// which only rows kept in blocks use, would cost the server and the driver
// a value more on every record.
void TRowCache::OpenStream(qint64 index) {
    CloseCursor();
    QList<int> columns;
    for (int f : WalkFields)
        if (f < ColumnCount) columns << f;
    const bool whole = columns.isEmpty() || columns.size() == ColumnCount;
    if (whole) {
        columns.clear();
        for (int f = 0; f < ColumnCount; ++f)
            columns << f;
    }
    Cursor = Source->OpenAt(index, -1, columns);
    CursorNext = index;
    if (!whole && Cursor->Columns().size() == columns.size()) {
        CursorColumn.assign(size_t(ColumnCount), -1);
        for (int i = 0; i < columns.size(); ++i)
            CursorColumn[size_t(columns[i])] = i;
    }
}

// The current record is live on a cursor that brings only some columns: a
// cursor of whole rows takes over from this record on, so that the rest of
// the walk needs no further reads.
void TRowCache::ReadWhole() {
    Live = false;
    CloseCursor();
    Cursor = Source->OpenAt(Cur, -1, {});
    CursorNext = Cur;
    if (!Cursor->Next()) {
        CloseCursor();
        throw EDatabaseError(QStringLiteral("The current record is no longer there"));
    }
    ++CursorNext;
    ++RowsRead;
    Seen = std::max(Seen, CursorNext);
    Live = true;
}

void TRowCache::Materialise() {
    if (!Live) return;
    if (!CursorColumn.empty()) ReadWhole(); // blocks hold whole rows only
    auto b = std::make_shared<TRowBlock>();
    b->Start = Cur;
    b->Rows.push_back(CursorRow(*Cursor));
    CurBlock = b;
    CurOffset = 0;
    Live = false;
}

QVariantList TRowCache::CursorRow(const TCursor& cursor) {
    const int n = int(cursor.Columns().size());
    QVariantList row;
    row.reserve(n);
    for (int i = 0; i < n; ++i)
        row.append(cursor.Value(i));
    return row;
}

std::shared_ptr<TRowBlock> TRowCache::CachedBlock(qint64 index) {
    for (auto it = Blocks.begin(); it != Blocks.end(); ++it) {
        const auto& b = *it;
        if (index >= b->Start && index < b->Start + qint64(b->Rows.size())) {
            if (it != Blocks.begin()) Blocks.splice(Blocks.begin(), Blocks, it);
            return Blocks.front();
        }
    }
    return nullptr;
}

std::shared_ptr<TRowBlock> TRowCache::FetchBlock(qint64 block, bool sequential) {
    const qint64 start = block * BlockSize;
    if (start < 0 || (Count >= 0 && start >= Count)) return nullptr;
    if (UniDirectional) RaiseUni();
    Materialise();
    const bool reuse = Cursor && CursorColumn.empty() && CursorNext == start && CursorLeft != 0;
    // Only a walk goes on reading the rows after the block.
    const qint64 limit = Walking() && (sequential || LastFetchedBlock == block - 1) ? -1 : BlockSize;
    if (!reuse) {
        CloseCursor();
        // Straight after the block before it, where that is at hand whole.
        for (const auto& before : Blocks)
            if (before->Start == start - BlockSize && before->Rows.size() == size_t(BlockSize)) {
                Cursor = Source->OpenAfter(before->Rows.back(), limit);
                break;
            }
    }
    if (!reuse && !Cursor && !sequential && Count >= 0 && Count - start < start) {
        if (auto b = FetchFromEnd(block)) return b;
    }
    if (!reuse) {
        if (!Cursor) Cursor = Source->OpenAt(start, limit, {});
        CursorNext = start;
        CursorLeft = limit;
    }
    auto b = std::make_shared<TRowBlock>();
    b->Start = start;
    b->Rows.reserve(BlockSize);
    while (int(b->Rows.size()) < BlockSize && CursorLeft != 0 && Cursor->Next()) {
        b->Rows.push_back(CursorRow(*Cursor));
        ++CursorNext;
        ++RowsRead;
        if (CursorLeft > 0) --CursorLeft;
    }
    if (!b->Rows.empty()) Seen = std::max(Seen, start + qint64(b->Rows.size()));
    if (int(b->Rows.size()) < BlockSize && CursorLeft != 0) {
        // An empty block past the first only tells that the rows end before it.
        if (!b->Rows.empty() || start == 0) {
            LearnCount(start + qint64(b->Rows.size()));
        } else {
            Count = -1;
            Seen = std::min(Seen, start);
        }
        CloseCursor();
    }
    LastFetchedBlock = block;
    if (b->Rows.empty()) return nullptr;
    return Keep(std::move(b));
}

// A block nearer the end than the start is read backwards from the end, so
// that an ordered server keeps only the rows after it rather than sorting
// every row to skip those before it. None where the source cannot read
// backwards, or when the rows ended elsewhere than the count said.
std::shared_ptr<TRowBlock> TRowCache::FetchFromEnd(qint64 block) {
    const qint64 start = block * BlockSize;
    const qint64 end = std::min(start + BlockSize, Count);
    CloseCursor(); // some ODBC drivers hold one result open at a time
    std::unique_ptr<TCursor> c = Source->OpenFromEnd(Count - end, end - start);
    if (!c) return nullptr;
    auto b = std::make_shared<TRowBlock>();
    b->Start = start;
    b->Rows.reserve(size_t(end - start));
    while (qint64(b->Rows.size()) < end - start && c->Next()) {
        b->Rows.push_back(CursorRow(*c));
        ++RowsRead;
    }
    if (qint64(b->Rows.size()) != end - start) {
        // Rows went since the count: the numbering from the end is wrong.
        Count = -1;
        return nullptr;
    }
    std::reverse(b->Rows.begin(), b->Rows.end());
    Seen = std::max(Seen, end);
    LastFetchedBlock = block;
    return Keep(std::move(b));
}

// The newest block goes first; the least recently used ones go.
std::shared_ptr<TRowBlock> TRowCache::Keep(std::shared_ptr<TRowBlock> block) {
    Blocks.push_front(std::move(block));
    while (int(Blocks.size()) > MaxBlocks)
        Blocks.pop_back();
    return Blocks.front();
}

bool TRowCache::Locate(qint64 index, bool sequential) {
    if (index < 0 || (Count >= 0 && index >= Count)) return false;
    if (index == Cur && (Live || CurBlock)) return true;
    // A walk on its stream takes the cursor's next row without looking
    // through the cache for every record.
    const bool onStream = Live && sequential && index == Cur + 1 && CursorNext == index && CursorLeft != 0;
    if (auto b = onStream ? nullptr : CachedBlock(index)) {
        CurBlock = b;
        CurOffset = int(index - b->Start);
        Cur = index;
        Live = ReadBack = false;
        return true;
    }
    bool stream = Cursor && CursorNext == index && CursorLeft != 0;
    if (!stream && sequential && index == Cur + 1 && (UniDirectional ? index == 0 && !Cursor : Walking())) {
        // A walk past the cached blocks streams through one cursor and
        // keeps nothing behind; the user's steps read blocks.
        Materialise();
        OpenStream(index);
        stream = true;
    }
    if (stream && (sequential || UniDirectional)) {
        bool more = false;
        try {
            more = Cursor->Next();
        } catch (...) {
            // A cancelled or failed fetch leaves nothing readable on the
            // cursor: the current row is read back when it is read.
            if (Live) {
                Live = false;
                ReadBack = !UniDirectional;
            }
            CloseCursor();
            throw;
        }
        if (more) {
            ++CursorNext;
            ++RowsRead;
            Seen = std::max(Seen, CursorNext);
            if (CursorLeft > 0) --CursorLeft;
            Cur = index;
            Live = true;
            ReadBack = false;
            CurBlock.reset();
            return true;
        }
        LearnCount(index);
        CloseCursor();
        if (Live) {
            // The cursor took the current row with it. It is read back when
            // it is read: a walk that goes back elsewhere never needs it, and
            // reading the last block of a large table costs a scan. Nothing
            // is kept behind a unidirectional data set: its fields read empty.
            Live = false;
            ReadBack = !UniDirectional;
        }
        return false;
    }
    if (UniDirectional) RaiseUni();
    auto b = FetchBlock(index / BlockSize, sequential);
    if (!b || index - b->Start >= qint64(b->Rows.size())) return false;
    CurBlock = b;
    CurOffset = int(index - b->Start);
    Cur = index;
    Live = ReadBack = false;
    return true;
}

void TRowCache::ReadBackCurrent() {
    auto b = CachedBlock(Cur);
    if (!b) b = FetchBlock(Cur / BlockSize, false);
    if (!b || Cur - b->Start >= qint64(b->Rows.size()))
        throw EDatabaseError(QStringLiteral("The current record is no longer there"));
    CurBlock = b;
    CurOffset = int(Cur - b->Start);
    ReadBack = false;
}

qint64 TRowCache::KnownCount() {
    if (Count < 0) LearnCount(Source->Count());
    return Count;
}

QVariant TRowCache::Value(int field) {
    if (Cur < 0 || field < 0 || field >= ColumnCount) return QVariant();
    // The cursor may be the statement that runs: a paint meanwhile reads
    // nothing from it.
    if ((Live || ReadBack) && InStatementWait()) return QVariant();
    if (Live) {
        const int column = CursorIndex(field); // may replace the cursor
        return Cursor->Value(column);
    }
    if (ReadBack) ReadBackCurrent();
    if (!CurBlock) return QVariant();
    return CurBlock->Rows[size_t(CurOffset)].value(field);
}

QString TRowCache::RowKey() {
    return KeyOf(ColumnCount, [this](int i) { return Value(i); });
}

// The current record whole, with its row key where the source reads one.
QVariantList TRowCache::CurrentRow() {
    if (Live && !CursorColumn.empty()) ReadWhole();
    if (Live) return CursorRow(*Cursor);
    if (ReadBack) ReadBackCurrent();
    return CurBlock ? CurBlock->Rows[size_t(CurOffset)] : QVariantList();
}

// The record nearest to index near, in its block (and the two beside it
// where beside), whose values hash to key; -1 when there is none.
qint64 TRowCache::FindNear(const QString& key, qint64 near, bool beside) {
    const int n = ColumnCount;
    if (UniDirectional) RaiseUni();
    const qint64 home = near / BlockSize;
    qint64 found = -1;
    for (qint64 k : {home, home - 1, home + 1}) {
        if (k != home && !beside) break;
        auto b = CachedBlock(k * BlockSize);
        if (!b) b = FetchBlock(k, false);
        if (!b) continue;
        for (size_t i = 0; i < b->Rows.size(); ++i) {
            const QVariantList& row = b->Rows[i];
            const qint64 index = b->Start + qint64(i);
            if ((found < 0 || std::abs(index - near) < std::abs(found - near)) &&
                KeyOf(n, [&row](int c) { return row.value(c); }) == key)
                found = index;
        }
        if (found == near) break;
    }
    return found;
}

// Every row, one at a time, for the first whose values hash to key.
qint64 TRowCache::ScanFor(const QString& key) {
    const int n = ColumnCount;
    Materialise();
    CloseCursor();
    std::unique_ptr<TCursor> c = Source->OpenAt(0, -1, {});
    qint64 index = 0;
    while (c->Next()) {
        ++RowsRead;
        if (KeyOf(n, [&c](int col) { return c->Value(col); }) == key) return index;
        ++index;
    }
    LearnCount(index);
    return -1;
}

// After the rows were read again: the record whose values hash to key, which
// was at index old with these values; where it is gone, the one that took its
// place, else the last. False when there are no rows.
bool TRowCache::FindPlace(const QString& key, const QVariantList& row, qint64 old) {
    if (UniDirectional) RaiseUni();
    // Where it was: among equal rows the only right one.
    const bool there = Locate(old, false);
    if (there && RowKey() == key) return true;
    // Elsewhere: where its values put it in the order, looked up on the server.
    bool byKey = false;
    const qint64 place = Source->Place(row, byKey);
    if (place >= 0 && Locate(place, false) && RowKey() == key) return true;
    // Found by its key, the row is gone unless the server compared a value a
    // little otherwise than it sorts it: the block there tells.
    const qint64 found = FindNear(key, place >= 0 ? place : old, !byKey);
    if (found >= 0) return Locate(found, false);
    if (place >= 0 ? Locate(place, false) : there && Locate(old, false)) return true;
    return KnownCount() > 0 && Locate(Count - 1, false);
}

void TRowCache::LearnCount(qint64 count) {
    if (count == Count) return;
    Count = count;
    if (CountLearned) CountLearned();
}

int TRowCache::CachedRows() const {
    int n = 0;
    for (const auto& b : Blocks)
        n += int(b->Rows.size());
    return n;
}
