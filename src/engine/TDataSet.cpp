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

} // namespace

// --- Impl --------------------------------------------------------------------

void TDataSet::Impl::CheckActive() const {
    if (!Active) RaiseClosed();
}

// The count is often learned in the middle of a read that a grid's paint
// asked for; the data sources hear of it once that read is over.
void TDataSet::Impl::PostCount() {
    if (CountPosted) return;
    CountPosted = true;
    QMetaObject::invokeMethod(
        Self,
        [this] {
            CountPosted = false;
            if (!Active || Rows.Count < 0 || Rows.Walking()) return;
            const QList<TDataSource*> sources = Sources;
            for (TDataSource* s : sources) {
                QPointer<TDataSource> guard(s);
                if (guard && Sources.contains(s)) emit s->CountKnown();
            }
        },
        Qt::QueuedConnection);
}

void TDataSet::Impl::Notify(bool full) {
    Rows.Release();
    if (Rows.Walking()) {
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

std::unique_ptr<TRowSource> TDataSet::Impl::BuildSource() {
    return BuildRowSource(Database->Connection(), Spec, Filter, Filtered, Columns, ColumnsTable, LinkValues);
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
        d->ResetRows(d->BuildSource());
        d->Fields.clear();
        for (int i = 0; i < d->Columns.size(); ++i) {
            const TColumnInfo& c = d->Columns[i];
            const TFieldType type = c.Type == TFieldType::ftUnknown ? TFieldType::ftString : c.Type;
            d->Fields.push_back(std::make_unique<TField>(this, i, c.Name, type, c.Size));
            d->Fields.back()->SetPrecision(c.Precision);
        }
        d->Active = true;
        d->Rows.Locate(0, d->Spec.UniDirectional);
        d->Bof = true;
        d->Eof = d->Rows.Cur < 0;
    } catch (...) {
        d->Active = false;
        d->ResetRows();
        d->Fields.clear();
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
    const qint64 old = d->Rows.Cur;
    const QString key = old >= 0 ? d->Rows.RowKey() : QString();
    const QVariantList row = keepPosition && old >= 0 ? d->Rows.CurrentRow() : QVariantList();
    // The block the rows are read from first; a unidirectional walk streams.
    const bool uni = d->Spec.UniDirectional;
    const qint64 start =
        keepPosition && !uni && old > 0 ? old / TRowCache::BlockSize * TRowCache::BlockSize : 0;
    const qint64 limit = uni ? -1 : TRowCache::BlockSize;
    // Build the new source, and have the server take its statement, before
    // the old rows go: a failure leaves the rows as they were.
    d->Rows.Materialise();
    d->Rows.CloseCursor();
    const QList<TColumnInfo> columns = d->Columns;
    const QVariantList link = d->LinkValues;
    std::unique_ptr<TRowSource> source;
    std::unique_ptr<TCursor> first;
    // The first block is read here too: the embedded driver does its work
    // (a sort, a scan) at the first row, and a failure or a cancel there
    // must also find the old rows in place.
    std::shared_ptr<TRowBlock> block;
    try {
        source = d->BuildSource();
        first = source->OpenAt(start, limit, {});
        if (!uni) {
            block = std::make_shared<TRowBlock>();
            block->Start = start;
            while (qint64(block->Rows.size()) < limit && first->Next())
                block->Rows.push_back(TRowCache::CursorRow(*first));
        }
    } catch (...) {
        first.reset();
        source.reset();
        d->Columns = columns;
        d->LinkValues = link;
        throw;
    }
    d->ResetRows(std::move(source));
    if (block)
        d->Rows.TakeBlock(std::move(block), limit);
    else
        d->Rows.TakeStream(std::move(first), start, limit);
    if (keepPosition && old >= 0 && d->Rows.FindPlace(key, row, old)) {
        d->Bof = d->Eof = false;
    } else {
        d->Rows.Locate(0, d->Spec.UniDirectional);
        d->Bof = true;
        d->Eof = d->Rows.Cur < 0;
    }
    d->Notify(true);
}

void TDataSet::First() {
    d->CheckActive();
    if (d->Spec.UniDirectional && d->Rows.Cur > 0) TRowCache::RaiseUni();
    d->Rows.Locate(0, false);
    d->Bof = true;
    d->Eof = d->Rows.Cur < 0;
    d->Notify(false);
}

void TDataSet::Next() {
    d->CheckActive();
    if (d->Rows.Cur >= 0 && d->Rows.Locate(d->Rows.Cur + 1, true)) {
        d->Bof = d->Eof = false;
    } else {
        d->Eof = true;
        if (d->Rows.Cur >= 0) d->Bof = false;
    }
    d->Notify(false);
}

void TDataSet::Prior() {
    d->CheckActive();
    if (d->Spec.UniDirectional) TRowCache::RaiseUni();
    if (d->Rows.Cur > 0 && d->Rows.Locate(d->Rows.Cur - 1, false)) {
        d->Bof = d->Eof = false;
    } else {
        d->Bof = true;
        d->Eof = d->Rows.Cur < 0;
    }
    d->Notify(false);
}

void TDataSet::Last() {
    d->CheckActive();
    if (d->Spec.UniDirectional) {
        while (d->Rows.Cur >= 0 && d->Rows.Locate(d->Rows.Cur + 1, true)) {
        }
    } else {
        const qint64 n = d->Rows.KnownCount();
        if (n > 0 && !d->Rows.Locate(n - 1, false)) {
            // The table shrank since it was counted.
            d->Rows.Count = -1;
            while (d->Rows.Cur >= 0 && d->Rows.Locate(d->Rows.Cur + 1, true)) {
            }
        }
    }
    d->Eof = true;
    d->Bof = d->Rows.Cur < 0;
    d->Notify(false);
}

int TDataSet::MoveBy(int distance) {
    d->CheckActive();
    if (distance == 0 || d->Rows.Cur < 0) return 0;
    const qint64 from = d->Rows.Cur;
    if (distance < 0) {
        if (d->Spec.UniDirectional) TRowCache::RaiseUni();
        const qint64 target = std::max<qint64>(0, from + distance);
        d->Rows.Locate(target, false);
        d->Eof = false;
        d->Bof = from + distance < 0;
    } else if (distance == 1 || d->Spec.UniDirectional) {
        for (int i = 0; i < distance; ++i)
            if (!d->Rows.Locate(d->Rows.Cur + 1, true)) break;
        d->Bof = false;
        d->Eof = d->Rows.Cur - from < distance;
    } else {
        const qint64 target = from + distance;
        if (!d->Rows.Locate(target, false)) d->Rows.Locate(d->Rows.KnownCount() - 1, false);
        d->Bof = false;
        d->Eof = d->Rows.Cur != target;
    }
    d->Notify(false);
    return int(d->Rows.Cur - from);
}

bool TDataSet::Eof() const {
    return !d->Active || d->Eof;
}
bool TDataSet::Bof() const {
    return !d->Active || d->Bof;
}

bool TDataSet::IsEmpty() {
    d->CheckActive();
    return d->Rows.Cur < 0;
}

int TDataSet::RecNo() const {
    return d->Active && d->Rows.Cur >= 0 ? int(d->Rows.Cur + 1) : 0;
}

void TDataSet::SetRecNo(int recNo) {
    d->CheckActive();
    if (d->Rows.Cur < 0) return;
    const qint64 target = std::max<qint64>(0, qint64(recNo) - 1);
    if (d->Spec.UniDirectional && target < d->Rows.Cur) TRowCache::RaiseUni();
    if (!d->Rows.Locate(target, false)) d->Rows.Locate(d->Rows.KnownCount() - 1, false);
    d->Bof = d->Eof = false;
    d->Notify(false);
}

int TDataSet::KnownRecordCount() const {
    return d->Active && d->Rows.Count >= 0
               ? int(std::min<qint64>(d->Rows.Count, std::numeric_limits<int>::max()))
               : -1;
}

int TDataSet::SeenRecordCount() const {
    if (!d->Active) return 0;
    if (d->Rows.Count >= 0) return KnownRecordCount();
    const qint64 seen = std::max(d->Rows.Cur + 1, d->Rows.Seen);
    return int(std::min<qint64>(seen, std::numeric_limits<int>::max()));
}

int TDataSet::RecordCount() {
    d->CheckActive();
    return int(std::min<qint64>(d->Rows.KnownCount(), std::numeric_limits<int>::max()));
}

QString TDataSet::Bookmark() const {
    if (!d->Active || d->Rows.Cur < 0) return QString();
    const QString key = d->Rows.RowKey();
    d->Rows.Release();
    return QString::number(d->Rows.Cur + 1) + QLatin1Char(':') + key;
}

void TDataSet::SetBookmark(const QString& bookmark) {
    d->CheckActive();
    const int colon = int(bookmark.indexOf(QLatin1Char(':')));
    bool ok = false;
    const qint64 recNo = colon > 0 ? bookmark.left(colon).toLongLong(&ok) : 0;
    if (!ok || recNo < 1) throw EDatabaseError(QStringLiteral("Invalid bookmark"));
    const QString key = bookmark.mid(colon + 1);
    if (d->Spec.UniDirectional && recNo - 1 < d->Rows.Cur) TRowCache::RaiseUni();
    if (!d->Rows.Locate(recNo - 1, false) || d->Rows.RowKey() != key) {
        qint64 found = d->Rows.FindNear(key, recNo - 1, true);
        if (found < 0) found = d->Rows.ScanFor(key);
        if (found < 0 || !d->Rows.Locate(found, false))
            throw EDatabaseError(QStringLiteral("Record not found"));
    }
    d->Bof = d->Eof = false;
    d->Notify(false);
}

TDataSet::TWalkFields::TWalkFields(TDataSet* dataSet, const QList<TField*>& fields) : FDataSet(dataSet) {
    if (!dataSet) return;
    Impl& d = *dataSet->d;
    FPrevious = d.Rows.WalkFields;
    QList<int> indexes;
    for (const TField* f : fields)
        if (f && f->DataSet() == dataSet && !indexes.contains(f->Index())) indexes << f->Index();
    std::sort(indexes.begin(), indexes.end());
    d.Rows.WalkFields = indexes;
    // A cursor of other fields whose record has moved on serves no walk.
    if (!d.Rows.CursorColumn.empty() && !d.Rows.Live) d.Rows.CloseCursor();
}

TDataSet::TWalkFields::~TWalkFields() {
    if (!FDataSet) return;
    Impl& d = *FDataSet->d;
    d.Rows.WalkFields = FPrevious;
    if (!d.Rows.CursorColumn.empty() && !d.Rows.Live) d.Rows.CloseCursor();
}

void TDataSet::DisableControls() {
    ++d->Rows.Walks;
}

void TDataSet::EnableControls() {
    if (d->Rows.Walks == 0) return;
    if (--d->Rows.Walks == 0) {
        d->PendingChange = false;
        d->Notify(true);
    }
}

bool TDataSet::ControlsDisabled() const {
    return d->Rows.Walking();
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
    if (index == d->Rows.Cur && !d->Rows.ReadBack) return d->Value(fieldIndex);
    if (d->Spec.UniDirectional) return QVariant();
    auto b = d->Rows.CachedBlock(index);
    // A paint while a statement runs shows only what is read.
    if (!b && !InStatementWait()) {
        b = d->Rows.FetchBlock(index / TRowCache::BlockSize, false);
        d->Rows.Release();
    }
    if (!b || index - b->Start >= qint64(b->Rows.size())) return QVariant();
    return b->Rows[size_t(index - b->Start)].value(fieldIndex);
}

QVariant TDataSet::CurrentValue(int fieldIndex) const {
    const QVariant value = d->Value(fieldIndex);
    d->Rows.Release();
    return value;
}

bool TDataSet::CurrentFloat(int fieldIndex, double& value) const {
    TCursor* cursor = d->LiveCursor(fieldIndex);
    return cursor && cursor->FloatValue(d->Rows.CursorIndex(fieldIndex), value);
}

bool TDataSet::CurrentExact(int fieldIndex, TExactNumber& value) const {
    TCursor* cursor = d->LiveCursor(fieldIndex);
    return cursor && cursor->ExactValue(d->Rows.CursorIndex(fieldIndex), value);
}

bool TDataSet::CurrentNull(int fieldIndex, bool& null) const {
    TCursor* cursor = d->LiveCursor(fieldIndex);
    return cursor && cursor->NullValue(d->Rows.CursorIndex(fieldIndex), null);
}

bool TDataSet::CurrentText(int fieldIndex, QString& out) const {
    TCursor* cursor = d->LiveCursor(fieldIndex);
    return cursor && cursor->AppendText(d->Rows.CursorIndex(fieldIndex), out);
}

bool TDataSet::CurrentDate(int fieldIndex, QDate& value, bool& null) const {
    TCursor* cursor = d->LiveCursor(fieldIndex);
    return cursor && cursor->DateValue(d->Rows.CursorIndex(fieldIndex), value, null);
}

bool TDataSet::ColumnTotals(const TField* field, TColumnTotals& totals) {
    d->CheckActive();
    if (!field || field->DataSet() != this || !d->Rows.Source->Totals(field->Index(), totals)) return false;
    if (d->Rows.Count < 0) d->Rows.LearnCount(totals.Rows);
    return true;
}

qint64 TDataSet::RowsRead() const {
    return d->Rows.RowsRead;
}

int TDataSet::CachedRows() const {
    return d->Rows.CachedRows();
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
