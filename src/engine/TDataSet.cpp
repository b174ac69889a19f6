#include "TDataSet.h"

#include "EngineInternal.h"
#include "TDataSource.h"
#include "TField.h"

struct TDataSet::TOpenSpec {};
struct TDataSet::Impl {
    QString DatabaseName, Filter;
    bool Filtered = false;
    QList<TDataSource*> Sources;
};

TDataSet::TDataSet(QObject* owner) : QObject(owner), d(std::make_unique<Impl>()) {}
TDataSet::~TDataSet() = default;
const QString& TDataSet::DatabaseName() const { return d->DatabaseName; }
void TDataSet::SetDatabaseName(const QString& name) { d->DatabaseName = name; }
TDatabase* TDataSet::Database() const { return nullptr; }
void TDataSet::Open() { NotYet("Open"); }
void TDataSet::Close() {}
bool TDataSet::Active() const { return false; }
void TDataSet::SetActive(bool active) { active ? Open() : Close(); }
void TDataSet::Refresh() { NotYet("Refresh"); }
void TDataSet::First() { NotYet("First"); }
void TDataSet::Next() { NotYet("Next"); }
void TDataSet::Prior() { NotYet("Prior"); }
void TDataSet::Last() { NotYet("Last"); }
int TDataSet::MoveBy(int) { NotYet("MoveBy"); }
bool TDataSet::Eof() const { return true; }
bool TDataSet::Bof() const { return true; }
bool TDataSet::IsEmpty() { return true; }
int TDataSet::RecNo() const { return 0; }
void TDataSet::SetRecNo(int) {}
int TDataSet::RecordCount() { return 0; }
QString TDataSet::Bookmark() const { return QString(); }
void TDataSet::SetBookmark(const QString&) { NotYet("SetBookmark"); }
void TDataSet::DisableControls() {}
void TDataSet::EnableControls() {}
bool TDataSet::ControlsDisabled() const { return false; }
int TDataSet::FieldCount() const { return 0; }
TField* TDataSet::Fields(int) const { return nullptr; }
TField* TDataSet::FindField(const QString&) const { return nullptr; }
TField* TDataSet::FieldByName(const QString& name) const {
    throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(name));
}
const QString& TDataSet::Filter() const { return d->Filter; }
void TDataSet::SetFilter(const QString& filter) { d->Filter = filter; }
bool TDataSet::Filtered() const { return d->Filtered; }
void TDataSet::SetFiltered(bool filtered) { d->Filtered = filtered; }
QVariant TDataSet::ValueAt(int, int) { return QVariant(); }
void TDataSet::AttachDataSource(TDataSource* source) { d->Sources.append(source); }
void TDataSet::DetachDataSource(TDataSource* source) { d->Sources.removeAll(source); }
void TDataSet::DataSetChanged() {
    for (TDataSource* s : d->Sources)
        emit s->DataSetChanged();
}
