#pragma once

#include <QObject>
#include <QPointer>

class TDataSet;

// Joins grids and detail tables to a data set. Nothing is signalled while
// the data set's controls are disabled; enabling them sends one
// DataSetChanged.
class TDataSource : public QObject {
    Q_OBJECT
public:
    explicit TDataSource(QObject* owner = nullptr);
    ~TDataSource() override;

    TDataSet* DataSet() const { return FDataSet; }
    void SetDataSet(TDataSet* dataSet);

signals:
    // Opened, closed, refreshed, filtered, reordered, re-linked: rows and
    // fields may all be different.
    void DataSetChanged();
    // The current record moved; the rows are the same.
    void RecordChanged();
    // The data set learned its record count (KnownRecordCount), after the
    // read that found it.
    void CountKnown();

private:
    friend class TDataSet;
    QPointer<TDataSet> FDataSet;
};
