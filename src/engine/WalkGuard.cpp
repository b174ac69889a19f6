#include "WalkGuard.h"

#include "Exception.h"

TWalkGuard::TWalkGuard(TDataSet* dataSet, const QList<TField*>& fields, TRestore restore)
    : FFields(dataSet, fields), FDataSet(dataSet), FRestore(restore) {
    if (!dataSet) return;
    dataSet->DisableControls();
    try {
        FBookmark = dataSet->Bookmark();
    } catch (...) {
        dataSet->EnableControls();
        throw;
    }
}

TWalkGuard::~TWalkGuard() {
    if (!FDataSet) return;
    if (FRestore == TRestore::ControlsFirst) FDataSet->EnableControls();
    // Back on the record the user was on, whatever ended the walk.
    try {
        if (!FBookmark.isEmpty()) FDataSet->SetBookmark(FBookmark);
    } catch (const Exception&) {
        // The record is gone (the rows were re-read during the walk): the
        // data set stays where the walk left it.
    }
    if (FRestore == TRestore::RecordFirst) FDataSet->EnableControls();
}
