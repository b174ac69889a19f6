#include "SelectDbUnit.h"

#include "engine/DataSources.h"
#include "engine/Session.h"
#include "engine/TDatabase.h"

#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>

namespace {

// The client area that the design's outer size of 318 by 448 leaves.
const int ClientWidth = 310;
const int ClientHeight = 416;
const int ListRightGap = ClientWidth - (7 + 187);
const int ListBottomGap = ClientHeight - (7 + 402);
const int ButtonRightGap = ClientWidth - 201;
const QLatin1String ListedDriver("SQL Anywhere 11");

} // namespace

TSelectDbForm::TSelectDbForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Select Database Alias"));
    setMinimumSize(300 - (318 - ClientWidth), 200 - (448 - ClientHeight));
    resize(ClientWidth, ClientHeight);
    move(200, 165);

    cbDbList = new QListWidget(this);
    cbDbList->setObjectName(QStringLiteral("cbDbList"));
    cbDbList->setFrameShape(QFrame::NoFrame);
    cbDbList->setUniformItemSizes(true);
    cbDbList->setSelectionMode(QAbstractItemView::SingleSelection);

    btOk = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("O&k"), this);
    btOk->setObjectName(QStringLiteral("btOk"));
    btOk->setAutoDefault(false);
    btCancel = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                               QStringLiteral(" &Cancel"), this);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    btCancel->setAutoDefault(false);
    connect(btOk, &QPushButton::clicked, this, [this] { done(mrOk); });
    connect(btCancel, &QPushButton::clicked, this, [this] { done(mrCancel); });

    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
    cbDbList->viewport()->installEventFilter(this);

    FillList();
}

void TSelectDbForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    cbDbList->setGeometry(7, 7, width() - 7 - ListRightGap, height() - 7 - ListBottomGap);
    btOk->setGeometry(width() - ButtonRightGap, 7, 100, 27);
    btCancel->setGeometry(width() - ButtonRightGap, 45, 100, 27);
}

void TSelectDbForm::FillList() {
    Session().Close();
    Session().Open();
    cbDbList->clear();

    for (const TOdbcDataSource& source : OdbcDataSources()) {
        if (source.Driver != ListedDriver) continue;
        // The list keeps itself in alphabetical order, as a sorted list box does.
        int row = 0;
        while (row < cbDbList->count() &&
               QString::compare(cbDbList->item(row)->text(), source.Name, Qt::CaseInsensitive) <= 0)
            ++row;
        cbDbList->insertItem(row, source.Name);
    }

    const QString current =
        Session().DatabaseCount() > 0 ? Session().Databases(0)->DatabaseName() : QString();
    cbDbList->setCurrentRow(-1);
    for (int row = 0; row < cbDbList->count(); ++row)
        if (QString::compare(cbDbList->item(row)->text(), current, Qt::CaseInsensitive) == 0) {
            cbDbList->setCurrentRow(row);
            break;
        }
}

QString TSelectDbForm::AliasName() const {
    const QList<QListWidgetItem*> selected = cbDbList->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

bool TSelectDbForm::FormCloseQuery(int result) const {
    return result != mrOk || !AliasName().isEmpty();
}

void TSelectDbForm::done(int result) {
    if (!FormCloseQuery(result)) return;
    QDialog::done(result);
}

void TSelectDbForm::reject() {
    done(mrCancel);
}

void TSelectDbForm::cbDbListDblClick() {
    done(mrOk);
}

bool TSelectDbForm::FormKeyPress(int key) {
    // As in a list box, an arrow key with nothing selected selects the first entry.
    if ((key == Qt::Key_Down || key == Qt::Key_Up || key == Qt::Key_Home) &&
        cbDbList->selectedItems().isEmpty() && cbDbList->count() > 0) {
        cbDbList->setCurrentRow(0);
        return true;
    }
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        done(mrOk);
        return true;
    case Qt::Key_Escape:
        done(mrCancel);
        return true;
    default:
        return false;
    }
}

bool TSelectDbForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && FormKeyPress(static_cast<QKeyEvent*>(event)->key())) return true;
    if (event->type() == QEvent::MouseButtonDblClick && watched == cbDbList->viewport()) {
        cbDbListDblClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
