#include "TTable.h"

#include "DataSetImpl.h"
#include "Exception.h"
#include "FieldNames.h"
#include "TDataSource.h"

struct TTable::TableImpl {
    QString TableName, IndexFieldNames, MasterFields;
    QPointer<TDataSource> Master;
    QMetaObject::Connection OnChanged, OnRecord, OnGone;
    bool Following = false;
};

TTable::TTable(QObject* owner) : TDataSet(owner), t(std::make_unique<TableImpl>()) {}

TTable::~TTable() {
    QObject::disconnect(t->OnChanged);
    QObject::disconnect(t->OnRecord);
    QObject::disconnect(t->OnGone);
}

const QString& TTable::TableName() const {
    return t->TableName;
}

void TTable::SetTableName(const QString& name) {
    if (name == t->TableName) return;
    if (Active()) throw EDatabaseError(QStringLiteral("Cannot perform this operation on an open dataset"));
    t->TableName = name;
}

const QString& TTable::IndexFieldNames() const {
    return t->IndexFieldNames;
}

void TTable::SetIndexFieldNames(const QString& names) {
    if (names == t->IndexFieldNames) return;
    const QString old = t->IndexFieldNames;
    t->IndexFieldNames = names;
    if (Active()) {
        const TOpenSpec previous = d->Spec;
        TOpenSpec spec;
        PrepareOpen(spec);
        d->Spec = spec;
        try {
            Requery(false);
        } catch (...) {
            t->IndexFieldNames = old;
            d->Spec = previous;
            throw;
        }
    } else {
        DataSetChanged(); // what is told of the closed table changes too
    }
}

TDataSource* TTable::MasterSource() const {
    return t->Master;
}

void TTable::SetMasterSource(TDataSource* source) {
    if (source == t->Master) return;
    // Follow the chain of masters from the new source: reaching this table
    // again would make every move chase its own tail.
    int steps = 0;
    for (TDataSource* s = source; s; ++steps) {
        TDataSet* ds = s->DataSet();
        if (ds == this || steps > 10000)
            throw EDatabaseError(QStringLiteral("Circular datalinks are not allowed"));
        auto* table = qobject_cast<TTable*>(ds);
        s = table ? table->MasterSource() : nullptr;
    }
    QObject::disconnect(t->OnChanged);
    QObject::disconnect(t->OnRecord);
    QObject::disconnect(t->OnGone);
    t->Master = source;
    if (source) {
        t->OnChanged = connect(source, &TDataSource::DataSetChanged, this, [this] { MasterMoved(); });
        t->OnRecord = connect(source, &TDataSource::RecordChanged, this, [this] { MasterMoved(); });
        t->OnGone = connect(source, &QObject::destroyed, this, [this] { MasterMoved(); });
    }
    if (Active()) {
        TOpenSpec spec;
        PrepareOpen(spec);
        d->Spec = spec;
        Requery(false);
    } else {
        DataSetChanged();
    }
}

const QString& TTable::MasterFields() const {
    return t->MasterFields;
}

void TTable::SetMasterFields(const QString& fields) {
    if (fields == t->MasterFields) return;
    t->MasterFields = fields;
    if (Active()) {
        TOpenSpec spec;
        PrepareOpen(spec);
        d->Spec = spec;
        Requery(false);
    } else {
        DataSetChanged();
    }
}

void TTable::Refresh() {
    TDataSet::Refresh();
}

void TTable::PrepareOpen(TOpenSpec& spec) {
    spec.TableName = t->TableName;
    spec.OrderBy = SplitFieldNames(t->IndexFieldNames, QLatin1Char(';'));
    if (t->Master && !t->MasterFields.trimmed().isEmpty()) {
        spec.Linked = true;
        spec.Master = t->Master;
        spec.MasterFields = SplitFieldNames(t->MasterFields, QLatin1Char(';'));
        spec.DetailFields = spec.OrderBy;
    }
}

void TTable::MasterMoved() {
    if (!Active() || t->Following) return;
    // The same master values give the same rows: nothing to read again.
    TDataSet* master = t->Master ? t->Master->DataSet() : nullptr;
    if (master && master->Active() && !master->IsEmpty() && !d->LinkValues.isEmpty()) {
        QVariantList now;
        for (const QString& f : d->Spec.MasterFields)
            if (TField* field = master->FindField(f)) now << field->Value();
        if (now == d->LinkValues) return;
    }
    // The master now shows a table without the master fields: the link
    // breaks, and this table shows its own rows again.
    if (master && master->Active()) {
        for (const QString& f : d->Spec.MasterFields)
            if (!master->FindField(f)) {
                BreakLink();
                return;
            }
    }
    t->Following = true;
    struct TGuard {
        bool& flag;
        ~TGuard() { flag = false; }
    } guard{t->Following};
    try {
        Requery(false);
    } catch (const Exception&) {
        // Nobody waits for this answer (the master only moved): a master
        // value the detail cannot read with leaves the detail closed.
        Close();
    }
}

void TTable::BreakLink() {
    QObject::disconnect(t->OnChanged);
    QObject::disconnect(t->OnRecord);
    QObject::disconnect(t->OnGone);
    t->Master = nullptr;
    t->MasterFields.clear();
    TOpenSpec spec;
    PrepareOpen(spec);
    d->Spec = spec;
    try {
        Requery(false);
    } catch (const Exception&) {
        Close();
    }
    emit MasterLinkBroken();
}
