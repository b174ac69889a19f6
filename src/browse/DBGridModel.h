#pragma once

// The data grid's model: the rows on the screen, records Top..Top+n-1.

#include "engine/TDataSet.h"

#include <QAbstractTableModel>
#include <QPointer>

class TDBGrid;
class TField;

class TDBGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TDBGridModel(TDBGrid* grid);

    void SetDataSet(TDataSet* dataSet);
    TDataSet* DataSet() const { return FDataSet; }
    TField* Field(int column) const;
    // Rows and fields again from the data set (open, close, refresh,
    // filter): rows rows from record top.
    void Reload(int top, int rows);
    // The same fields, rows rows from record top (scrolling, resizing).
    void SetWindow(int top, int rows);
    int Top() const { return FTop; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    TDBGrid* FGrid;
    QPointer<TDataSet> FDataSet;
    int FTop = 1;
    int FRowCount = 0;
    int FColumnCount = 0;
};
