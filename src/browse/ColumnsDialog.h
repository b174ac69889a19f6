#pragma once

// "Колони...": which of a grid's columns are shown, ticked by name, and how
// many of the first shown ones stay while the grid scrolls sideways.

#include <QDialog>

class QListWidget;
class QPushButton;
class QSpinBox;
class TDBGrid;

class TColumnsDialog : public QDialog {
    Q_OBJECT
public:
    TColumnsDialog(TDBGrid* grid, QWidget* parent);

    QListWidget* lvColumns;
    QPushButton* btShowAll;
    QSpinBox* edFrozen;
    QPushButton* btOk;

    // Gives the grid the columns ticked and the count frozen, and closes.
    void accept() override;

private:
    // At least one column stays shown.
    void UpdateOk();

    TDBGrid* FGrid;
};
