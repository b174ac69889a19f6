#include "ColumnsDialog.h"

#include "browse/DBGrid.h"
#include "engine/TField.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

TColumnsDialog::TColumnsDialog(TDBGrid* grid, QWidget* parent) : QDialog(parent), FGrid(grid) {
    setObjectName(QStringLiteral("ColumnsDialog"));
    setWindowTitle(QStringLiteral("Колони"));

    lvColumns = new QListWidget(this);
    lvColumns->setObjectName(QStringLiteral("lvColumns"));
    for (int i = 0; i < grid->ColumnCount(); ++i) {
        auto* item = new QListWidgetItem(grid->ColumnField(i)->DisplayName(), lvColumns);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(grid->isColumnHidden(i) ? Qt::Unchecked : Qt::Checked);
    }
    btShowAll = new QPushButton(QStringLiteral("Всички"), this);
    btShowAll->setObjectName(QStringLiteral("btShowAll"));
    connect(btShowAll, &QPushButton::clicked, this, [this] {
        for (int i = 0; i < lvColumns->count(); ++i)
            lvColumns->item(i)->setCheckState(Qt::Checked);
    });

    edFrozen = new QSpinBox(this);
    edFrozen->setObjectName(QStringLiteral("edFrozen"));
    edFrozen->setRange(0, grid->ColumnCount());
    edFrozen->setValue(grid->FrozenColumns());
    edFrozen->setToolTip(QStringLiteral("Толкова от първите показани колони остават на мястото си, "
                                        "когато таблицата се превърта настрани"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    btOk = buttons->button(QDialogButtonBox::Ok);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отказ"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(lvColumns, &QListWidget::itemChanged, this, &TColumnsDialog::UpdateOk);

    auto* frozen = new QFormLayout;
    frozen->addRow(QStringLiteral("Замразени колони:"), edFrozen);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(btShowAll);
    bottom->addStretch();
    bottom->addWidget(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lvColumns, 1);
    layout->addLayout(frozen);
    layout->addLayout(bottom);
    resize(320, 420);
    UpdateOk();
}

void TColumnsDialog::UpdateOk() {
    bool any = false;
    for (int i = 0; i < lvColumns->count() && !any; ++i)
        any = lvColumns->item(i)->checkState() == Qt::Checked;
    btOk->setEnabled(any);
}

void TColumnsDialog::accept() {
    // Shown first, so that hiding never meets the last shown column.
    for (bool hide : {false, true})
        for (int i = 0; i < lvColumns->count() && i < FGrid->ColumnCount(); ++i)
            if ((lvColumns->item(i)->checkState() != Qt::Checked) == hide) FGrid->HideColumn(i, hide);
    FGrid->SetFrozenColumns(edFrozen->value());
    QDialog::accept();
}
