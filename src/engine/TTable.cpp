#include "TTable.h"

#include "EngineInternal.h"
#include "TDataSource.h"

struct TTable::TableImpl {
    QString TableName, IndexFieldNames, MasterFields;
    QPointer<TDataSource> Master;
};

TTable::TTable(QObject* owner) : TDataSet(owner), t(std::make_unique<TableImpl>()) {}
TTable::~TTable() = default;
const QString& TTable::TableName() const { return t->TableName; }
void TTable::SetTableName(const QString& name) { t->TableName = name; }
const QString& TTable::IndexFieldNames() const { return t->IndexFieldNames; }
void TTable::SetIndexFieldNames(const QString& names) { t->IndexFieldNames = names; }
TDataSource* TTable::MasterSource() const { return t->Master; }
void TTable::SetMasterSource(TDataSource* source) { t->Master = source; }
const QString& TTable::MasterFields() const { return t->MasterFields; }
void TTable::SetMasterFields(const QString& fields) { t->MasterFields = fields; }
void TTable::Refresh() { TDataSet::Refresh(); }
void TTable::PrepareOpen(TOpenSpec&) { NotYet("TTable::Open"); }
