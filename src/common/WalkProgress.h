#pragma once

#include "StatementWaiter.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <memory>

class QProgressDialog;
class TDataSet;

// The progress of a walk over every record of a data set, shown once the
// walk has gone on for half a second or 100,000 records (or one of its
// statements for as long as the busy panel waits), with a Cancel that ends
// it, and the statement that runs then, and leaves the window usable. The bar's range is the record count
// where the data set already knows it; otherwise the bar only shows that the
// work goes on: a walk is never made to count first.
class TWalkProgress {
public:
    // rowsText: what the records are called in the label ("Записани редове");
    // total: the records the walk takes where it is not the whole data set.
    TWalkProgress(TDataSet* dataSet, QString title, QString rowsText, int total = -1);
    ~TWalkProgress();
    TWalkProgress(const TWalkProgress&) = delete;
    TWalkProgress& operator=(const TWalkProgress&) = delete;

    // After each record; false once the user has cancelled.
    bool Step() {
        ++FDone;
        return (FDone & 255) != 0 || Update();
    }

private:
    bool Update();
    void ShowDialog();
    void ShowCount();

    QPointer<TDataSet> FDataSet;
    QString FTitle, FRowsText;
    int FTotal;
    qint64 FDone = 0;
    QElapsedTimer FStarted, FShown;
    std::unique_ptr<QProgressDialog> FDialog;
    // A statement of the walk that runs long (a sort before the first
    // record) shows this dialog, not the busy panel.
    TStatementWaiter::TOwnDisplay FOwnDisplay{[this] { ShowDialog(); }};
};
