#include "TDataSet.h"

#include "DataSetImpl.h"
#include "Exception.h"
#include "Filter.h"
#include "Session.h"
#include "StatementWait.h"
#include "TDatabase.h"
#include "TField.h"

#include <algorithm>

namespace {

[[noreturn]] void RaiseClosed() {
    throw EDatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
}
[[noreturn]] void RaiseUni() {
    throw EDatabaseError(QStringLiteral("Operation not allowed on a unidirectional dataset"));
}

class TEmptyCursor : public TCursor {
public:
    explicit TEmptyCursor(const QList<TColumnInfo>& columns) : FColumns(columns) {}
    const QList<TColumnInfo>& Columns() const override { return FColumns; }
    bool Next() override { return false; }
    QVariant Value(int) const override { return QVariant(); }

private:
    QList<TColumnInfo> FColumns;
};

// A condition that holds for the rows before one whose values of columns
// are values, in ascending order by columns, first to last; after: for the
// rows after it, which come before it in the order backwards, where NULLs
// are at the other end.
QString RowsBefore(const QStringList& columns, const QStringList& placeholders, const QVariantList& values,
                   bool nullsFirst, QVariantList& params, bool after = false) {
    const QString op = after ? QStringLiteral(">") : QStringLiteral("<");
    if (after) nullsFirst = !nullsFirst;
    QStringList terms, equal;
    QVariantList equalParams;
    for (int i = 0; i < columns.size(); ++i) {
        const QString& c = columns[i];
        const QVariant& v = values[i];
        QString less;
        QVariantList lessParams = equalParams;
        if (!v.isNull()) {
            less = nullsFirst ? QStringLiteral("(%1 %2 %3 OR %1 IS NULL)").arg(c, op, placeholders[i])
                              : QStringLiteral("%1 %2 %3").arg(c, op, placeholders[i]);
            lessParams << v;
        } else if (!nullsFirst) {
            less = c + QStringLiteral(" IS NOT NULL");
        }
        if (!less.isEmpty()) {
            QStringList parts = equal;
            parts << less;
            terms << QLatin1Char('(') + parts.join(QStringLiteral(" AND ")) + QLatin1Char(')');
            params << lessParams;
        }
        if (v.isNull()) {
            equal << c + QStringLiteral(" IS NULL");
        } else {
            equal << QStringLiteral("%1 = %2").arg(c, placeholders[i]);
            equalParams << v;
        }
    }
    return terms.isEmpty() ? QStringLiteral("1 = 0") : terms.join(QStringLiteral(" OR "));
}

class TTableSource : public TRowSource {
public:
    TTableSource(TDriverConnection& connection, QList<TColumnInfo> columns, TSelectSpec spec,
                 QList<int> order, bool empty)
        : FConnection(connection), FColumns(std::move(columns)), FSpec(std::move(spec)),
          FOrder(std::move(order)), FEmpty(empty) {
        if (!FEmpty) FKey = FConnection.RowKeyOf(FSpec);
    }
    const QList<TColumnInfo>& Columns() const override { return FColumns; }
    std::unique_ptr<TCursor> OpenAt(qint64 offset, qint64 limit, const QList<int>& columns) override {
        if (FEmpty) return std::make_unique<TEmptyCursor>(FColumns);
        TSelectSpec spec = FSpec;
        spec.Limit = limit;
        for (int c : columns)
            spec.Columns << FConnection.QuoteIdentifier(FColumns[c].Name);
        if (columns.isEmpty() && !FKey.Columns.isEmpty()) spec.Columns << QStringLiteral("*") << FKey.Columns;
        return FConnection.Select(spec, offset);
    }
    qint64 Count() override { return FEmpty ? 0 : FConnection.Count(FSpec); }
    bool Totals(int column, TColumnTotals& totals) override {
        if (!FEmpty) return FConnection.Totals(FSpec, FColumns[column], totals);
        totals = TColumnTotals();
        return true;
    }
    std::unique_ptr<TCursor> OpenFromEnd(qint64 skip, qint64 limit) override {
        if (FEmpty || FKey.Columns.isEmpty() || !FConnection.Reversible(FSpec)) return nullptr;
        TSelectSpec spec = FSpec;
        spec.Limit = limit;
        spec.Descending = true;
        spec.Columns << QStringLiteral("*") << FKey.Columns;
        return FConnection.Select(spec, skip);
    }
    // Only where the order is the row key alone, whose values compare
    // exactly as they were read.
    std::unique_ptr<TCursor> OpenAfter(const QVariantList& row, qint64 limit) override {
        if (FEmpty || !FSpec.OrderBy.isEmpty() || FKey.Columns.isEmpty() ||
            row.size() != FColumns.size() + FKey.Columns.size() || !FConnection.Reversible(FSpec))
            return nullptr;
        TSelectSpec spec = FSpec;
        spec.Limit = limit;
        spec.Columns << QStringLiteral("*") << FKey.Columns;
        const QString after = RowsBefore(FKey.Columns, FKey.Placeholders, row.mid(FColumns.size()),
                                         FConnection.NullsFirst(), spec.Params, true);
        spec.Where = spec.Where.isEmpty() ? after : QStringLiteral("(%1) AND (%2)").arg(spec.Where, after);
        return FConnection.Select(spec, 0);
    }
    qint64 Place(const QVariantList& row, bool& byKey) override {
        byKey = !FKey.Columns.isEmpty() && row.size() == FColumns.size() + FKey.Columns.size();
        if (FEmpty) return -1;
        QStringList columns = FSpec.OrderBy, placeholders(FOrder.size(), QStringLiteral("?"));
        QVariantList values;
        for (int c : FOrder)
            values << row.value(c);
        if (byKey) {
            columns << FKey.Columns;
            placeholders << FKey.Placeholders;
            values << row.mid(FColumns.size());
        }
        if (columns.isEmpty()) return -1;
        TSelectSpec spec = FSpec;
        const QString before =
            RowsBefore(columns, placeholders, values, FConnection.NullsFirst(), spec.Params);
        spec.Where = spec.Where.isEmpty() ? before : QStringLiteral("(%1) AND (%2)").arg(spec.Where, before);
        return FConnection.Count(spec);
    }

private:
    TDriverConnection& FConnection;
    QList<TColumnInfo> FColumns;
    TSelectSpec FSpec;
    QList<int> FOrder; // the field of each OrderBy column
    TRowKey FKey;
    bool FEmpty;
};

// A statement's rows can only be read forwards: reading from an offset runs
// it again and skips.
class TQuerySource : public TRowSource {
public:
    TQuerySource(TDriverConnection& connection, QString sql) : FConnection(connection), FSql(std::move(sql)) {
        FFirst = FConnection.Query(FSql);
        FColumns = FFirst->Columns();
    }
    const QList<TColumnInfo>& Columns() const override { return FColumns; }
    std::unique_ptr<TCursor> OpenAt(qint64 offset, qint64, const QList<int>&) override {
        std::unique_ptr<TCursor> c = FFirst ? std::move(FFirst) : FConnection.Query(FSql);
        for (qint64 i = 0; i < offset && c->Next(); ++i) {
        }
        return c;
    }
    qint64 Count() override {
        std::unique_ptr<TCursor> c = FConnection.Query(FSql);
        qint64 n = 0;
        while (c->Next())
            ++n;
        return n;
    }

private:
    TDriverConnection& FConnection;
    QString FSql;
    std::unique_ptr<TCursor> FFirst;
    QList<TColumnInfo> FColumns;
};

const TColumnInfo* FindColumn(const QList<TColumnInfo>& columns, const QString& name) {
    for (const TColumnInfo& c : columns)
        if (c.Name.compare(name.trimmed(), Qt::CaseInsensitive) == 0) return &c;
    return nullptr;
}

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

// --- Impl --------------------------------------------------------------------

void TDataSet::Impl::CheckActive() const {
    if (!Active) RaiseClosed();
}

void TDataSet::Impl::CloseCursor() {
    Cursor.reset();
    CursorColumn.clear();
    CursorLeft = -1;
}

void TDataSet::Impl::ResetRows() {
    Live = ReadBack = false;
    CloseCursor();
    Blocks.clear();
    CurBlock.reset();
    Cur = -1;
    Count = -1;
    Seen = 0;
    LastFetchedBlock = -2;
    Eof = Bof = true;
}

// The user's action is over: no statement stays open until the next one,
// for an open statement holds a read on the server (on SQLite a lock that
// keeps every other program from writing the file). A walk keeps its stream
// while it runs; the next block starts after the last row read, or at its
// offset.
void TDataSet::Impl::Release() {
    // Inside a statement's wait the connection belongs to the statement that
    // runs: nothing is closed under it.
    if (!Cursor || Walking() || Spec.UniDirectional || InStatementWait()) return;
    if (Live && CursorColumn.empty()) {
        Materialise();
    } else if (Live) {
        Live = false;
        ReadBack = true;
    }
    CloseCursor();
}

// A streaming cursor from record index on, bringing only the walk's fields
// when it has some.
void TDataSet::Impl::OpenStream(qint64 index) {
    CloseCursor();
    QList<int> columns;
    for (int f : WalkFields)
        if (f < Columns.size()) columns << f;
    if (columns.size() == Columns.size()) columns.clear();
    Cursor = Source->OpenAt(index, -1, columns);
    CursorNext = index;
    if (!columns.isEmpty() && Cursor->Columns().size() == columns.size()) {
        CursorColumn.assign(size_t(Columns.size()), -1);
        for (int i = 0; i < columns.size(); ++i)
            CursorColumn[size_t(columns[i])] = i;
    }
}

// The live cursor's column for a field; a field that the cursor does not
// bring has the record read again whole first.
int TDataSet::Impl::CursorIndex(int field) {
    if (CursorColumn.empty()) return field;
    const int column = size_t(field) < CursorColumn.size() ? CursorColumn[size_t(field)] : -1;
    if (column >= 0) return column;
    ReadWhole();
    return field;
}

// The current record is live on a cursor that brings only some columns: a
// cursor of whole rows takes over from this record on, so that the rest of
// the walk needs no further reads.
void TDataSet::Impl::ReadWhole() {
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

void TDataSet::Impl::Materialise() {
    if (!Live) return;
    if (!CursorColumn.empty()) ReadWhole(); // blocks hold whole rows only
    auto b = std::make_shared<TRowBlock>();
    b->Start = Cur;
    b->Rows.push_back(CursorRow(*Cursor));
    CurBlock = b;
    CurOffset = 0;
    Live = false;
}

QVariantList TDataSet::Impl::CursorRow(const TCursor& cursor) {
    const int n = int(cursor.Columns().size());
    QVariantList row;
    row.reserve(n);
    for (int i = 0; i < n; ++i)
        row.append(cursor.Value(i));
    return row;
}

std::shared_ptr<TRowBlock> TDataSet::Impl::CachedBlock(qint64 index) {
    for (auto it = Blocks.begin(); it != Blocks.end(); ++it) {
        const auto& b = *it;
        if (index >= b->Start && index < b->Start + qint64(b->Rows.size())) {
            if (it != Blocks.begin()) Blocks.splice(Blocks.begin(), Blocks, it);
            return Blocks.front();
        }
    }
    return nullptr;
}

std::shared_ptr<TRowBlock> TDataSet::Impl::FetchBlock(qint64 block, bool sequential) {
    const qint64 start = block * BlockSize;
    if (start < 0 || (Count >= 0 && start >= Count)) return nullptr;
    if (Spec.UniDirectional) RaiseUni();
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
std::shared_ptr<TRowBlock> TDataSet::Impl::FetchFromEnd(qint64 block) {
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
std::shared_ptr<TRowBlock> TDataSet::Impl::Keep(std::shared_ptr<TRowBlock> block) {
    Blocks.push_front(std::move(block));
    while (int(Blocks.size()) > MaxBlocks)
        Blocks.pop_back();
    return Blocks.front();
}

bool TDataSet::Impl::Locate(qint64 index, bool sequential) {
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
    if (!stream && sequential && index == Cur + 1 &&
        (Spec.UniDirectional ? index == 0 && !Cursor : Walking())) {
        // A walk past the cached blocks streams through one cursor and
        // keeps nothing behind; the user's steps read blocks.
        Materialise();
        OpenStream(index);
        stream = true;
    }
    if (stream && (sequential || Spec.UniDirectional)) {
        bool more = false;
        try {
            more = Cursor->Next();
        } catch (...) {
            // A cancelled or failed fetch leaves nothing readable on the
            // cursor: the current row is read back when it is read.
            if (Live) {
                Live = false;
                ReadBack = !Spec.UniDirectional;
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
            ReadBack = !Spec.UniDirectional;
        }
        return false;
    }
    if (Spec.UniDirectional) RaiseUni();
    auto b = FetchBlock(index / BlockSize, sequential);
    if (!b || index - b->Start >= qint64(b->Rows.size())) return false;
    CurBlock = b;
    CurOffset = int(index - b->Start);
    Cur = index;
    Live = ReadBack = false;
    return true;
}

void TDataSet::Impl::ReadBackCurrent() {
    auto b = CachedBlock(Cur);
    if (!b) b = FetchBlock(Cur / BlockSize, false);
    if (!b || Cur - b->Start >= qint64(b->Rows.size()))
        throw EDatabaseError(QStringLiteral("The current record is no longer there"));
    CurBlock = b;
    CurOffset = int(Cur - b->Start);
    ReadBack = false;
}

qint64 TDataSet::Impl::KnownCount() {
    if (Count < 0) LearnCount(Source->Count());
    return Count;
}

QVariant TDataSet::Impl::Value(int field) {
    if (!Active || Cur < 0 || field < 0 || field >= Columns.size()) return QVariant();
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

QString TDataSet::Impl::RowKey() {
    return KeyOf(int(Columns.size()), [this](int i) { return Value(i); });
}

// The current record whole, with its row key where the source reads one.
QVariantList TDataSet::Impl::CurrentRow() {
    if (Live && !CursorColumn.empty()) ReadWhole();
    if (Live) return CursorRow(*Cursor);
    if (ReadBack) ReadBackCurrent();
    return CurBlock ? CurBlock->Rows[size_t(CurOffset)] : QVariantList();
}

// The record nearest to index near, in its block (and the two beside it
// where beside), whose values hash to key; -1 when there is none.
qint64 TDataSet::Impl::FindNear(const QString& key, qint64 near, bool beside) {
    const int n = int(Columns.size());
    if (Spec.UniDirectional) RaiseUni();
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
qint64 TDataSet::Impl::ScanFor(const QString& key) {
    const int n = int(Columns.size());
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
bool TDataSet::Impl::FindPlace(const QString& key, const QVariantList& row, qint64 old) {
    if (Spec.UniDirectional) RaiseUni();
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

// The count is often learned in the middle of a read that a grid's paint
// asked for; the data sources hear of it once that read is over.
void TDataSet::Impl::LearnCount(qint64 count) {
    if (count == Count) return;
    Count = count;
    if (CountPosted) return;
    CountPosted = true;
    QMetaObject::invokeMethod(
        Self,
        [this] {
            CountPosted = false;
            if (!Active || Count < 0 || DisableCount > 0) return;
            const QList<TDataSource*> sources = Sources;
            for (TDataSource* s : sources) {
                QPointer<TDataSource> guard(s);
                if (guard && Sources.contains(s)) emit s->CountKnown();
            }
        },
        Qt::QueuedConnection);
}

void TDataSet::Impl::Notify(bool full) {
    Release();
    if (DisableCount > 0) {
        PendingChange = true;
        return;
    }
    const QList<TDataSource*> sources = Sources;
    for (TDataSource* s : sources) {
        QPointer<TDataSource> guard(s);
        if (!guard || !Sources.contains(s)) continue;
        if (full)
            emit s->DataSetChanged();
        else
            emit s->RecordChanged();
    }
}

void TDataSet::Impl::BuildSource() {
    TDriverConnection& conn = Database->Connection();
    if (!Spec.Sql.isNull()) {
        if (Filtered && !Filter.trimmed().isEmpty())
            throw EDatabaseError(QStringLiteral("A query cannot be filtered"));
        auto source = std::make_unique<TQuerySource>(conn, Spec.Sql);
        Columns = source->Columns();
        ColumnsTable.clear();
        Source = std::move(source);
        return;
    }
    if (Spec.TableName.trimmed().isEmpty()) throw EDatabaseError(QStringLiteral("Table name is not set"));
    QList<TColumnInfo> columns = conn.TableColumns(Spec.TableName);
    TSelectSpec select;
    select.Table = conn.QuoteIdentifier(Spec.TableName);
    QList<int> order;
    for (const QString& name : Spec.OrderBy) {
        const TColumnInfo* c = FindColumn(columns, name);
        if (!c) throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(name.trimmed()));
        select.OrderBy << conn.QuoteIdentifier(c->Name);
        order << int(c - columns.constData());
    }
    QStringList where;
    if (Filtered) {
        const TCompiledFilter f = CompileFilter(
            Filter, columns, [&conn](const QString& name) { return conn.QuoteIdentifier(name); },
            [&conn](const QString& column, const QString& prefix, bool negated, QVariantList& params) {
                return conn.CaselessPrefix(column, prefix, negated, params);
            });
        if (!f.Where.isEmpty()) {
            where << f.Where;
            select.Params << f.Params;
        }
    }
    bool empty = false;
    LinkValues.clear();
    if (Spec.Linked) {
        TDataSet* master = Spec.Master ? Spec.Master->DataSet() : nullptr;
        if (Spec.DetailFields.size() < Spec.MasterFields.size())
            throw EDatabaseError(
                QStringLiteral("A linked table needs as many index fields as master fields"));
        if (!master || !master->Active() || master->IsEmpty()) {
            empty = true;
        } else {
            for (int i = 0; i < Spec.MasterFields.size(); ++i) {
                const QVariant v = master->FieldByName(Spec.MasterFields[i])->Value();
                const TColumnInfo* c = FindColumn(columns, Spec.DetailFields[i]);
                if (!c)
                    throw EDatabaseError(
                        QStringLiteral("Field '%1' not found").arg(Spec.DetailFields[i].trimmed()));
                LinkValues << v;
                if (v.isNull()) empty = true; // NULL equals nothing
                where << QStringLiteral("(%1 = ?)").arg(conn.QuoteIdentifier(c->Name));
                select.Params << v;
            }
        }
    }
    select.Where = where.join(QLatin1String(" AND "));
    Columns = columns;
    ColumnsTable = Spec.TableName;
    Source =
        std::make_unique<TTableSource>(conn, std::move(columns), std::move(select), std::move(order), empty);
}

// A text that does not parse changes nothing. Nor, while the data set is
// closed, does a filter that it could not open with: one that it would apply
// is checked against the columns of its table's last opening, where they
// are known.
void TDataSet::Impl::CheckFilter(const QString& filter, bool filtered) {
    ParseFilter(filter);
    if (Active || !filtered || ColumnsTable.isEmpty()) return;
    TOpenSpec spec;
    Self->PrepareOpen(spec);
    if (spec.Sql.isNull() && spec.TableName == ColumnsTable)
        CompileFilter(filter, Columns, [](const QString& name) { return name; });
}

// --- TDataSet ------------------------------------------------------------------

TDataSet::TDataSet(QObject* owner) : QObject(owner), d(std::make_unique<Impl>(this)) {
    Session().RegisterDataSet(this);
}

TDataSet::~TDataSet() {
    Session().UnregisterDataSet(this);
    d->Active = false;
    d->ResetRows();
    d->Fields.clear();
    d->Source.reset();
    // Whoever follows this data set through a source sees it gone.
    const QList<TDataSource*> sources = d->Sources;
    d->Sources.clear();
    for (TDataSource* s : sources) {
        s->FDataSet = nullptr;
        emit s->DataSetChanged();
    }
}

const QString& TDataSet::DatabaseName() const {
    return d->DatabaseName;
}

void TDataSet::SetDatabaseName(const QString& name) {
    Close();
    d->DatabaseName = name;
}

TDatabase* TDataSet::Database() const {
    return Session().FindDatabase(d->DatabaseName);
}

TDatabase* TDataSet::OpenedOn() const {
    return d->Active ? d->Database.data() : nullptr;
}

void TDataSet::Open() {
    if (d->Active) return;
    if (!Session().Active()) Session().Open();
    TDatabase* db = Session().DatabaseFor(d->DatabaseName);
    TOpenSpec spec;
    PrepareOpen(spec);
    db->Connection();
    d->Spec = spec;
    d->Database = db;
    try {
        d->ResetRows();
        d->BuildSource();
        d->Fields.clear();
        for (int i = 0; i < d->Columns.size(); ++i) {
            const TColumnInfo& c = d->Columns[i];
            const TFieldType type = c.Type == TFieldType::ftUnknown ? TFieldType::ftString : c.Type;
            d->Fields.push_back(std::make_unique<TField>(this, i, c.Name, type, c.Size));
            d->Fields.back()->SetPrecision(c.Precision);
        }
        d->Active = true;
        d->Locate(0, d->Spec.UniDirectional);
        d->Bof = true;
        d->Eof = d->Cur < 0;
    } catch (...) {
        d->Active = false;
        d->ResetRows();
        d->Fields.clear();
        d->Source.reset();
        throw;
    }
    d->Notify(true);
}

void TDataSet::Close() {
    if (!d->Active) return;
    TDatabase* db = d->Database;
    d->Active = false;
    d->ResetRows();
    d->Fields.clear();
    d->Source.reset();
    d->LinkValues.clear();
    d->Notify(true);
    if (db && !db->KeepConnection() && db->Connected()) {
        bool inUse = false;
        for (TDataSet* ds : Session().DataSets())
            inUse = inUse || ds->OpenedOn() == db;
        if (!inUse) db->SetConnected(false);
    }
}

bool TDataSet::Active() const {
    return d->Active;
}

void TDataSet::SetActive(bool active) {
    if (active)
        Open();
    else
        Close();
}

void TDataSet::Refresh() {
    d->CheckActive();
    Requery(true);
}

void TDataSet::Requery(bool keepPosition) {
    const qint64 old = d->Cur;
    const QString key = old >= 0 ? d->RowKey() : QString();
    const QVariantList row = keepPosition && old >= 0 ? d->CurrentRow() : QVariantList();
    // The block the rows are read from first; a unidirectional walk streams.
    const bool uni = d->Spec.UniDirectional;
    const qint64 start = keepPosition && !uni && old > 0 ? old / Impl::BlockSize * Impl::BlockSize : 0;
    const qint64 limit = uni ? -1 : Impl::BlockSize;
    // Build the new source, and have the server take its statement, before
    // the old rows go: a failure leaves the rows as they were.
    d->Materialise();
    d->CloseCursor();
    std::unique_ptr<TRowSource> previous = std::move(d->Source);
    const QList<TColumnInfo> columns = d->Columns;
    const QVariantList link = d->LinkValues;
    std::unique_ptr<TCursor> first;
    // The first block is read here too: the embedded driver does its work
    // (a sort, a scan) at the first row, and a failure or a cancel there
    // must also find the old rows in place.
    std::shared_ptr<TRowBlock> block;
    try {
        d->BuildSource();
        first = d->Source->OpenAt(start, limit, {});
        if (!uni) {
            block = std::make_shared<TRowBlock>();
            block->Start = start;
            while (qint64(block->Rows.size()) < limit && first->Next())
                block->Rows.push_back(Impl::CursorRow(*first));
        }
    } catch (...) {
        first.reset();
        d->Source = std::move(previous);
        d->Columns = columns;
        d->LinkValues = link;
        throw;
    }
    d->ResetRows();
    previous.reset();
    if (block) {
        d->RowsRead += qint64(block->Rows.size());
        const qint64 read = qint64(block->Rows.size());
        if (read < limit && (read > 0 || start == 0)) d->LearnCount(start + read);
        d->LastFetchedBlock = start / Impl::BlockSize;
        if (read > 0) d->Seen = std::max(d->Seen, start + read);
        if (read > 0) d->Keep(std::move(block));
    } else {
        d->Cursor = std::move(first);
        d->CursorNext = start;
        d->CursorLeft = limit;
    }
    if (keepPosition && old >= 0 && d->FindPlace(key, row, old)) {
        d->Bof = d->Eof = false;
    } else {
        d->Locate(0, d->Spec.UniDirectional);
        d->Bof = true;
        d->Eof = d->Cur < 0;
    }
    d->Notify(true);
}

void TDataSet::First() {
    d->CheckActive();
    if (d->Spec.UniDirectional && d->Cur > 0) RaiseUni();
    d->Locate(0, false);
    d->Bof = true;
    d->Eof = d->Cur < 0;
    d->Notify(false);
}

void TDataSet::Next() {
    d->CheckActive();
    if (d->Cur >= 0 && d->Locate(d->Cur + 1, true)) {
        d->Bof = d->Eof = false;
    } else {
        d->Eof = true;
        if (d->Cur >= 0) d->Bof = false;
    }
    d->Notify(false);
}

void TDataSet::Prior() {
    d->CheckActive();
    if (d->Spec.UniDirectional) RaiseUni();
    if (d->Cur > 0 && d->Locate(d->Cur - 1, false)) {
        d->Bof = d->Eof = false;
    } else {
        d->Bof = true;
        d->Eof = d->Cur < 0;
    }
    d->Notify(false);
}

void TDataSet::Last() {
    d->CheckActive();
    if (d->Spec.UniDirectional) {
        while (d->Cur >= 0 && d->Locate(d->Cur + 1, true)) {
        }
    } else {
        const qint64 n = d->KnownCount();
        if (n > 0 && !d->Locate(n - 1, false)) {
            // The table shrank since it was counted.
            d->Count = -1;
            while (d->Cur >= 0 && d->Locate(d->Cur + 1, true)) {
            }
        }
    }
    d->Eof = true;
    d->Bof = d->Cur < 0;
    d->Notify(false);
}

int TDataSet::MoveBy(int distance) {
    d->CheckActive();
    if (distance == 0 || d->Cur < 0) return 0;
    const qint64 from = d->Cur;
    if (distance < 0) {
        if (d->Spec.UniDirectional) RaiseUni();
        const qint64 target = std::max<qint64>(0, from + distance);
        d->Locate(target, false);
        d->Eof = false;
        d->Bof = from + distance < 0;
    } else if (distance == 1 || d->Spec.UniDirectional) {
        for (int i = 0; i < distance; ++i)
            if (!d->Locate(d->Cur + 1, true)) break;
        d->Bof = false;
        d->Eof = d->Cur - from < distance;
    } else {
        const qint64 target = from + distance;
        if (!d->Locate(target, false)) d->Locate(d->KnownCount() - 1, false);
        d->Bof = false;
        d->Eof = d->Cur != target;
    }
    d->Notify(false);
    return int(d->Cur - from);
}

bool TDataSet::Eof() const {
    return !d->Active || d->Eof;
}
bool TDataSet::Bof() const {
    return !d->Active || d->Bof;
}

bool TDataSet::IsEmpty() {
    d->CheckActive();
    return d->Cur < 0;
}

int TDataSet::RecNo() const {
    return d->Active && d->Cur >= 0 ? int(d->Cur + 1) : 0;
}

void TDataSet::SetRecNo(int recNo) {
    d->CheckActive();
    if (d->Cur < 0) return;
    const qint64 target = std::max<qint64>(0, qint64(recNo) - 1);
    if (d->Spec.UniDirectional && target < d->Cur) RaiseUni();
    if (!d->Locate(target, false)) d->Locate(d->KnownCount() - 1, false);
    d->Bof = d->Eof = false;
    d->Notify(false);
}

int TDataSet::KnownRecordCount() const {
    return d->Active && d->Count >= 0 ? int(std::min<qint64>(d->Count, std::numeric_limits<int>::max())) : -1;
}

int TDataSet::SeenRecordCount() const {
    if (!d->Active) return 0;
    if (d->Count >= 0) return KnownRecordCount();
    const qint64 seen = std::max(d->Cur + 1, d->Seen);
    return int(std::min<qint64>(seen, std::numeric_limits<int>::max()));
}

int TDataSet::RecordCount() {
    d->CheckActive();
    return int(std::min<qint64>(d->KnownCount(), std::numeric_limits<int>::max()));
}

QString TDataSet::Bookmark() const {
    if (!d->Active || d->Cur < 0) return QString();
    const QString key = d->RowKey();
    d->Release();
    return QString::number(d->Cur + 1) + QLatin1Char(':') + key;
}

void TDataSet::SetBookmark(const QString& bookmark) {
    d->CheckActive();
    const int colon = int(bookmark.indexOf(QLatin1Char(':')));
    bool ok = false;
    const qint64 recNo = colon > 0 ? bookmark.left(colon).toLongLong(&ok) : 0;
    if (!ok || recNo < 1) throw EDatabaseError(QStringLiteral("Invalid bookmark"));
    const QString key = bookmark.mid(colon + 1);
    if (d->Spec.UniDirectional && recNo - 1 < d->Cur) RaiseUni();
    if (!d->Locate(recNo - 1, false) || d->RowKey() != key) {
        qint64 found = d->FindNear(key, recNo - 1, true);
        if (found < 0) found = d->ScanFor(key);
        if (found < 0 || !d->Locate(found, false)) throw EDatabaseError(QStringLiteral("Record not found"));
    }
    d->Bof = d->Eof = false;
    d->Notify(false);
}

TDataSet::TWalkFields::TWalkFields(TDataSet* dataSet, const QList<TField*>& fields) : FDataSet(dataSet) {
    if (!dataSet) return;
    Impl& d = *dataSet->d;
    FPrevious = d.WalkFields;
    QList<int> indexes;
    for (const TField* f : fields)
        if (f && f->DataSet() == dataSet && !indexes.contains(f->Index())) indexes << f->Index();
    std::sort(indexes.begin(), indexes.end());
    d.WalkFields = indexes;
    // A cursor of other fields whose record has moved on serves no walk.
    if (!d.CursorColumn.empty() && !d.Live) d.CloseCursor();
}

TDataSet::TWalkFields::~TWalkFields() {
    if (!FDataSet) return;
    Impl& d = *FDataSet->d;
    d.WalkFields = FPrevious;
    if (!d.CursorColumn.empty() && !d.Live) d.CloseCursor();
}

void TDataSet::DisableControls() {
    ++d->DisableCount;
}

void TDataSet::EnableControls() {
    if (d->DisableCount == 0) return;
    if (--d->DisableCount == 0) {
        d->PendingChange = false;
        d->Notify(true);
    }
}

bool TDataSet::ControlsDisabled() const {
    return d->DisableCount > 0;
}

int TDataSet::FieldCount() const {
    return int(d->Fields.size());
}

TField* TDataSet::Fields(int index) const {
    return index >= 0 && index < int(d->Fields.size()) ? d->Fields[size_t(index)].get() : nullptr;
}

TField* TDataSet::FindField(const QString& name) const {
    for (const auto& f : d->Fields)
        if (f->FieldName().compare(name, Qt::CaseInsensitive) == 0) return f.get();
    return nullptr;
}

TField* TDataSet::FieldByName(const QString& name) const {
    if (TField* f = FindField(name)) return f;
    throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(name));
}

const QString& TDataSet::Filter() const {
    return d->Filter;
}

void TDataSet::SetFilter(const QString& filter) {
    if (filter == d->Filter) return;
    d->CheckFilter(filter, d->Filtered);
    const QString old = d->Filter;
    d->Filter = filter;
    if (!d->Active) {
        d->Notify(true); // what is told of the closed data set changes too
    } else if (d->Filtered) {
        try {
            Requery(false);
        } catch (...) {
            d->Filter = old;
            throw;
        }
    }
}

bool TDataSet::Filtered() const {
    return d->Filtered;
}

void TDataSet::SetFiltered(bool filtered) {
    if (filtered == d->Filtered) return;
    d->CheckFilter(d->Filter, filtered);
    d->Filtered = filtered;
    if (!d->Active) {
        d->Notify(true);
    } else {
        try {
            Requery(false);
        } catch (...) {
            d->Filtered = !filtered;
            throw;
        }
    }
}

QVariant TDataSet::ValueAt(int recNo, int fieldIndex) {
    if (!d->Active || recNo < 1 || fieldIndex < 0 || fieldIndex >= d->Columns.size()) return QVariant();
    const qint64 index = recNo - 1;
    if (index == d->Cur && !d->ReadBack) return d->Value(fieldIndex);
    if (d->Spec.UniDirectional) return QVariant();
    auto b = d->CachedBlock(index);
    // A paint while a statement runs shows only what is read.
    if (!b && !InStatementWait()) {
        b = d->FetchBlock(index / Impl::BlockSize, false);
        d->Release();
    }
    if (!b || index - b->Start >= qint64(b->Rows.size())) return QVariant();
    return b->Rows[size_t(index - b->Start)].value(fieldIndex);
}

// The cursor that streams the current record, where a field of it can be
// read straight from the row; none otherwise.
TCursor* TDataSet::Impl::LiveCursor(int field) {
    if (!Live || !Active || Cur < 0 || field < 0 || field >= Columns.size()) return nullptr;
    CursorIndex(field); // may replace the cursor
    return Cursor.get();
}

QVariant TDataSet::CurrentValue(int fieldIndex) const {
    const QVariant value = d->Value(fieldIndex);
    d->Release();
    return value;
}

bool TDataSet::CurrentFloat(int fieldIndex, double& value) const {
    TCursor* cursor = d->LiveCursor(fieldIndex);
    return cursor && cursor->FloatValue(d->CursorIndex(fieldIndex), value);
}

bool TDataSet::CurrentExact(int fieldIndex, TExactNumber& value) const {
    TCursor* cursor = d->LiveCursor(fieldIndex);
    return cursor && cursor->ExactValue(d->CursorIndex(fieldIndex), value);
}

bool TDataSet::CurrentNull(int fieldIndex, bool& null) const {
    TCursor* cursor = d->LiveCursor(fieldIndex);
    return cursor && cursor->NullValue(d->CursorIndex(fieldIndex), null);
}

bool TDataSet::CurrentText(int fieldIndex, QString& out) const {
    TCursor* cursor = d->LiveCursor(fieldIndex);
    return cursor && cursor->AppendText(d->CursorIndex(fieldIndex), out);
}

bool TDataSet::ColumnTotals(const TField* field, TColumnTotals& totals) {
    d->CheckActive();
    if (!field || field->DataSet() != this || !d->Source->Totals(field->Index(), totals)) return false;
    if (d->Count < 0) d->LearnCount(totals.Rows);
    return true;
}

qint64 TDataSet::RowsRead() const {
    return d->RowsRead;
}

int TDataSet::CachedRows() const {
    int n = 0;
    for (const auto& b : d->Blocks)
        n += int(b->Rows.size());
    return n;
}

void TDataSet::AttachDataSource(TDataSource* source) {
    if (!d->Sources.contains(source)) d->Sources.append(source);
}

void TDataSet::DetachDataSource(TDataSource* source) {
    d->Sources.removeAll(source);
}

void TDataSet::DataSetChanged() {
    d->Notify(true);
}
