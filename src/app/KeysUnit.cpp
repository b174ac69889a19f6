#include "KeysUnit.h"

#include "common/KeyTable.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

TKeysForm::TKeysForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("KeysForm"));
    setWindowTitle(QStringLiteral("Клавиши"));

    lvKeys = new QTreeWidget(this);
    lvKeys->setObjectName(QStringLiteral("lvKeys"));
    lvKeys->setColumnCount(2);
    lvKeys->setHeaderLabels({QStringLiteral("Клавиш или жест"), QStringLiteral("Действие")});
    lvKeys->setRootIsDecorated(false);
    lvKeys->setSelectionMode(QAbstractItemView::NoSelection);
    lvKeys->setFocusPolicy(Qt::NoFocus);
    lvKeys->setWordWrap(true);
    auto* frame = new QTreeWidgetItem(lvKeys, {QStringLiteral("Главен прозорец")});
    auto* table = new QTreeWidgetItem(lvKeys, {QStringLiteral("Прозорец с таблица")});
    for (QTreeWidgetItem* group : {frame, table}) {
        QFont bold = group->font(0);
        bold.setBold(true);
        group->setFont(0, bold);
        group->setFirstColumnSpanned(true);
        group->setFlags(Qt::ItemIsEnabled);
    }
    for (const TKeyEntry& entry : KeyTable())
        new QTreeWidgetItem(entry.InFrame ? frame : table, {GestureText(entry), entry.Description});
    lvKeys->expandAll();
    lvKeys->header()->setStretchLastSection(true);
    lvKeys->resizeColumnToContents(0);
    lvKeys->setColumnWidth(0, lvKeys->columnWidth(0) + 12);

    lbFilter = new QLabel(FilterLanguageSummary(), this);
    lbFilter->setObjectName(QStringLiteral("lbFilter"));
    lbFilter->setWordWrap(true);
    lbFilter->setTextInteractionFlags(Qt::TextSelectableByMouse);

    btClose = new QPushButton(QStringLiteral("Затвори"), this);
    btClose->setObjectName(QStringLiteral("btClose"));
    btClose->setDefault(true);
    connect(btClose, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lvKeys, 1);
    layout->addWidget(lbFilter);
    layout->addLayout(buttons);
    resize(720, 560);
}
