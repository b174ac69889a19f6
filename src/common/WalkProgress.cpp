#include "WalkProgress.h"

#include "engine/TDataSet.h"

#include <QApplication>
#include <QProgressDialog>

namespace {

const qint64 ShowAfterMs = 500;
const qint64 ShowAfterRecords = 100000;
const qint64 UpdateEveryMs = 100;

} // namespace

TWalkProgress::TWalkProgress(TDataSet* dataSet, QString title, QString rowsText, int total)
    : FDataSet(dataSet), FTitle(std::move(title)), FRowsText(std::move(rowsText)), FTotal(total) {
    FStarted.start();
}

TWalkProgress::~TWalkProgress() = default;

bool TWalkProgress::Update() {
    if (!FDialog) {
        if (FStarted.elapsed() < ShowAfterMs && FDone < ShowAfterRecords) return true;
        FDialog = std::make_unique<QProgressDialog>(QApplication::activeWindow());
        FDialog->setWindowTitle(FTitle);
        FDialog->setCancelButtonText(QStringLiteral("Cancel"));
        FDialog->setWindowModality(Qt::ApplicationModal);
        FDialog->setAutoClose(false);
        FDialog->setAutoReset(false);
        FDialog->setMinimumDuration(0);
        FDialog->show();
    } else if (FShown.elapsed() < UpdateEveryMs) {
        return true;
    }
    const int count = FTotal >= 0 ? FTotal : FDataSet ? FDataSet->KnownRecordCount() : -1;
    const int done = int(qMin<qint64>(FDone, std::numeric_limits<int>::max()));
    if (count >= 0) {
        FDialog->setRange(0, count);
        FDialog->setLabelText(QStringLiteral("%1: %2 от %3").arg(FRowsText).arg(done).arg(count));
        FDialog->setValue(qMin(done, count));
    } else {
        FDialog->setRange(0, 0); // a busy bar: the count is not known
        FDialog->setLabelText(QStringLiteral("%1: %2").arg(FRowsText).arg(done));
    }
    // setValue handles events only when the value changed; Cancel must be
    // seen either way.
    QCoreApplication::processEvents();
    FShown.start();
    return !FDialog->wasCanceled();
}
