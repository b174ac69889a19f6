#include "WalkProgress.h"

#include "engine/TDataSet.h"

#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>

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

void TWalkProgress::ShowDialog() {
    if (FDialog) return;
    FDialog = std::make_unique<QProgressDialog>(QApplication::activeWindow());
    FDialog->setWindowTitle(FTitle);
    // Pressable while a statement of the walk runs: it cancels that too.
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    TStatementWaiter::AllowCancel(cancel);
    FDialog->setCancelButton(cancel);
    FDialog->setWindowModality(Qt::ApplicationModal);
    FDialog->setAutoClose(false);
    FDialog->setAutoReset(false);
    FDialog->setMinimumDuration(0);
    ShowCount();
    FDialog->show();
    FShown.start();
}

bool TWalkProgress::Update() {
    if (!FDialog) {
        if (FStarted.elapsed() < ShowAfterMs && FDone < ShowAfterRecords) return true;
        ShowDialog();
    } else if (FShown.elapsed() < UpdateEveryMs) {
        // A Cancel pressed while a statement of the walk ran counts at once.
        return !FDialog->wasCanceled();
    } else {
        ShowCount();
    }
    // setValue handles events only when the value changed; Cancel must be
    // seen either way.
    QCoreApplication::processEvents();
    FShown.start();
    return !FDialog->wasCanceled();
}

void TWalkProgress::ShowCount() {
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
}
