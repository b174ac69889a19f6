#include "TDataSource.h"

#include "TDataSet.h"

TDataSource::TDataSource(QObject* owner) : QObject(owner) {}

TDataSource::~TDataSource() {
    if (FDataSet) FDataSet->DetachDataSource(this);
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
    if (FDataSet == dataSet) return;
    if (FDataSet) FDataSet->DetachDataSource(this);
    FDataSet = dataSet;
    if (FDataSet) FDataSet->AttachDataSource(this);
    emit DataSetChanged();
}
