#include "DbTableUnit.h"

#include "browse/ColumnsDialog.h"
#include "browse/CopyRows.h"
#include "browse/DBGrid.h"
#include "browse/QuerySorter.h"
#include "browse/RecordView.h"
#include "browse/TableMessages.h"
#include "common/Application.h"
#include "common/ColumnStatistics.h"
#include "common/ExportTxt.h"
#include "common/KeyTable.h"
#include "common/KeyboardState.h"
#include "common/WindowMessage.h"
#include "common/ZorvUtilUnit.h"
#include "common/ZorvWorkQuery.h"
#include "engine/Exception.h"
#include "engine/FieldNames.h"
#include "engine/Session.h"
#include "engine/TDataSource.h"
#include "engine/TDatabase.h"
#include "engine/TField.h"
#include "engine/TTable.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QScopeGuard>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

namespace {

// Panel1 is laid out for a client width of 612 pixels; edFilter stretches
// and btFilterByField keeps its distance from the right edge.
constexpr int designWidth = 612;

// The table window that is the active child of its frame; it stores the
// shared history when another child becomes active.
QPointer<TDbTableForm> ActiveTableForm;

QIcon FilterPicture() {
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath funnel;
    funnel.moveTo(1.5, 2.5);
    funnel.lineTo(14.5, 2.5);
    funnel.lineTo(9.5, 8.5);
    funnel.lineTo(9.5, 14.5);
    funnel.lineTo(6.5, 12.5);
    funnel.lineTo(6.5, 8.5);
    funnel.closeSubpath();
    painter.setPen(QPen(QColor(40, 40, 90), 1));
    painter.setBrush(QColor(90, 140, 220));
    painter.drawPath(funnel);
    return QIcon(picture);
}

bool IsEnterKey(const QKeyEvent* key) {
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
           key->text() == QLatin1String("\r") || key->text() == QLatin1String("\n");
}

} // namespace

TDbTableForm::TDbTableForm(QMdiArea* frame) : QWidget(nullptr), Sorter(std::make_unique<TQuerySorter>()) {
    setWindowTitle(QStringLiteral("Database Table"));
    QFont formFont(QStringLiteral("Tahoma"));
    formFont.setPixelSize(11);
    setFont(formFont);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(27);
    Panel1->resize(designWidth, 27);

    Label1 = new QLabel(QStringLiteral("Таблица"), Panel1);
    Label1->setGeometry(3, 5, 43, 13);
    cbTableName = new QComboBox(Panel1);
    cbTableName->setObjectName(QStringLiteral("cbTableName"));
    cbTableName->setEditable(false);
    cbTableName->setMaxVisibleItems(20);
    cbTableName->setGeometry(48, 2, 159, 21);
    Label1->setBuddy(cbTableName);

    Label2 = new QLabel(QStringLiteral("Филтър"), Panel1);
    Label2->setGeometry(208, 5, 39, 13);
    edFilter = new QComboBox(Panel1);
    edFilter->setObjectName(QStringLiteral("edFilter"));
    edFilter->setEditable(true);
    edFilter->setInsertPolicy(QComboBox::NoInsert);
    edFilter->setCompleter(nullptr);                                     // the text stays exactly as typed
    edFilter->lineEdit()->setMaxLength(std::numeric_limits<int>::max()); // however long
    edFilter->setMaxVisibleItems(20);
    edFilter->setGeometry(248, 2, 341, 21);
    Label2->setBuddy(edFilter);

    btFilterByField = new QToolButton(Panel1);
    btFilterByField->setObjectName(QStringLiteral("btFilterByField"));
    btFilterByField->setAutoRaise(true);
    btFilterByField->setFocusPolicy(Qt::NoFocus);
    btFilterByField->setIcon(FilterPicture());
    btFilterByField->setToolTip(QStringLiteral("Filter by the selected field (<Alt+F3>)"));
    btFilterByField->setGeometry(588, 2, 22, 22);

    tblData = new TTable(this);
    tblData->setObjectName(QStringLiteral("tblData"));
    dsData = new TDataSource(this);
    dsData->setObjectName(QStringLiteral("dsData"));
    dsData->SetDataSet(tblData);

    dbgData = new TDBGrid(this);
    dbgData->setObjectName(QStringLiteral("dbgData"));
    dbgData->SetDataSource(dsData);
    dbgData->setContextMenuPolicy(Qt::CustomContextMenu);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(dbgData, 1);

    Panel1->installEventFilter(this);
    cbTableName->installEventFilter(this);
    cbTableName->view()->installEventFilter(this);
    // An editable box receives the typed keys itself and passes them to its
    // line edit directly, past any filter: both are watched.
    edFilter->installEventFilter(this);
    edFilter->lineEdit()->installEventFilter(this);
    dbgData->installEventFilter(this);

    connect(cbTableName, &QComboBox::currentIndexChanged, this, [this] {
        TableOpened = false;
        FFailedName.reset();
    });
    // An entry taken from the list is its whole text, not the cut one shown.
    const auto takeEntry = [this](int index) {
        if (index >= 0) SetFilterText(FilterEntry(index));
    };
    connect(edFilter, &QComboBox::currentIndexChanged, this, takeEntry);
    connect(edFilter, &QComboBox::activated, this, takeEntry);
    connect(btFilterByField, &QToolButton::clicked, this, Guarded(this, &TDbTableForm::btFilterByFieldClick));
    connect(dbgData, &TDBGrid::TitleClick, this, Guarded(this, &TDbTableForm::dbgDataTitleClick));
    connect(dbgData, &TDBGrid::DblClick, this, Guarded(this, &TDbTableForm::dbgDataDblClick));
    connect(dbgData, &TDBGrid::DragDrop, this, Guarded(this, &TDbTableForm::dbgDataDragDrop));
    // The master went over to a table without the link's field.
    connect(tblData, &TTable::MasterLinkBroken, this, &TDbTableForm::BreakMasterLink);
    connect(dbgData, &QWidget::customContextMenuRequested, this,
            Guarded(this, &TDbTableForm::dbgDataContextPopup));
    connect(dbgData, &TDBGrid::TitleMenu, this, Guarded(this, &TDbTableForm::dbgDataTitlePopup));
    auto* recordView =
        new QShortcut(KeyOf(TKeyCommand::RecordView), this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    connect(recordView, &QShortcut::activated, this, [this] { TRecordView::Toggle(this); });

    FSubWindow = frame->addSubWindow(this);
    FSubWindow->setAttribute(Qt::WA_DeleteOnClose);
    FSubWindow->setMinimumSize(300, 106);
    FSubWindow->resize(620, 360);
    connect(frame, &QMdiArea::subWindowActivated, this, &TDbTableForm::FrameSubWindowActivated);

    if (!Session().Active()) Session().Open();
    SetDatabase(CurrentDatabase);
    DataSet = tblData;

    FSubWindow->show();
}

TDbTableForm::~TDbTableForm() {
    dbgData->SetDataSource(nullptr);
    tblData->Close();
}

TDatabase* TDbTableForm::Database() const {
    return FDatabase;
}

void TDbTableForm::SetDatabase(TDatabase* database) {
    tblData->Close();
    FDatabase = database;
    tblData->SetDatabaseName(database ? database->DatabaseName() : QString());
    Show();
}

void TDbTableForm::Show() {
    QStringList names;
    if (!tblData->DatabaseName().isEmpty()) {
        try {
            Session().GetTableNames(tblData->DatabaseName(), names);
        } catch (const std::exception& error) {
            TApplication::ShowException(error);
        }
    }
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    // Refilling keeps the chosen name where it is still listed.
    const QString chosen = cbTableName->currentText();
    {
        const QSignalBlocker blocker(cbTableName);
        cbTableName->clear();
        cbTableName->addItems(names);
        cbTableName->setCurrentIndex(
            cbTableName->findText(chosen, Qt::MatchFixedString | Qt::MatchCaseSensitive));
    }
    if (cbTableName->currentText() != chosen) TableOpened = false;
    if (isVisible()) cbTableName->setFocus();
}

void TDbTableForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) Show();
}

void TDbTableForm::closeEvent(QCloseEvent* event) {
    FClosing = true;
    StoreFilterHistory();
    if (ActiveTableForm == this) ActiveTableForm = nullptr;
    QWidget::closeEvent(event);
}

void TDbTableForm::Execute() {
    TableOpened = false;
    const QString name = cbTableName->currentText();
    try {
        if (name != tblData->TableName()) {
            tblData->Close();
            dbgData->ShowEveryColumn();
            ClearFilter();
            BreakMasterLink();
            tblData->SetTableName(name);
            const QString databaseName = FDatabase ? FDatabase->DatabaseName() : tblData->DatabaseName();
            setWindowTitle(databaseName + QStringLiteral(" Table: ") + name);
            tblData->Open();
        } else if (tblData->Active()) {
            tblData->Refresh();
        } else if (name.isEmpty()) {
            // No table chosen yet: nothing to open or refresh.
            return;
        } else {
            // Closed under the window (by the session's restart): the same
            // table opens again.
            tblData->Open();
        }
        TableOpened = true;
        FFailedName.reset();
        AfterExecute();
    } catch (const EStatementCancelled&) {
    } catch (const Exception& error) {
        FFailedName = name;
        ShowMsg(error.Message(), QStringLiteral("BDE Exception"), MB_ICONEXCLAMATION);
    }
}

void TDbTableForm::AfterExecute() {
    for (int i = 0; i < dbgData->ColumnCount(); ++i) {
        TField* field = dbgData->ColumnField(i);
        if (field->IsFloat()) field->SetDisplayFormat(QStringLiteral("0.00####"));
        // A column the user hid shows no width to take.
        if (dbgData->isColumnHidden(i)) continue;
        const int width = std::min(240, dbgData->columnWidth(i));
        dbgData->setColumnWidth(i, width);
        field->SetDisplayWidth((width + 7) / 8);
    }
    dbgData->viewport()->update();
}

void TDbTableForm::FrameSubWindowActivated(QMdiSubWindow* window) {
    if (window && window == FSubWindow) {
        if (ActiveTableForm == this) return;
        if (ActiveTableForm) ActiveTableForm->StoreFilterHistory();
        ActiveTableForm = this;
        LoadFilterHistory();
    } else if (ActiveTableForm == this) {
        StoreFilterHistory();
        ActiveTableForm = nullptr;
    }
}

// ---------------------------------------------------------------- sorting

void TDbTableForm::dbgDataTitleClick(int column) {
    const Qt::KeyboardModifiers keys = KeyboardState();
    if (!(keys & Qt::ControlModifier)) return;
    const TField* field = dbgData->ColumnField(column);
    if (!field) return;
    const QString before = Sorter->SortList;
    if (!(keys & Qt::AltModifier)) Sorter->Clear();
    Sorter->AddField(field->FieldName(), false);
    const QString order = JoinFieldNames(SplitFieldNames(Sorter->AddField(LinkField, true), QLatin1Char(',')),
                                         QLatin1Char(';'));
    try {
        // The open table takes its new order in place: a cancelled sort
        // leaves its rows, order and position as they were.
        tblData->SetIndexFieldNames(order);
        tblData->Open();
        AfterExecute();
    } catch (const EStatementCancelled&) {
        Sorter->SortList = before;
    } catch (const std::exception& error) {
        tblData->Close();
        TApplication::ShowException(error);
    }
}

// ---------------------------------------------------------------- master-detail

void TDbTableForm::dbgDataDblClick() {
    if (KeyboardState() & Qt::AltModifier) dbgData->BeginDrag(8);
}

void TDbTableForm::dbgDataDragDrop(TDBGrid* source, int column) {
    try {
        LinkToMaster(source, column);
    } catch (const std::exception& error) {
        TApplication::ShowException(error);
    }
}

bool TDbTableForm::LinkToMaster(TDBGrid* master, int column) {
    // A point outside the data columns names no detail field, and a master
    // without an open table has no field to link by: the link stays.
    const TField* detailField = dbgData->ColumnField(column);
    if (!detailField || !dbgData->AcceptsDragFrom(master)) return false;
    LinkField = detailField->FieldName();
    const QString masterField = master->SelectedField()->FieldName();
    tblData->Close();
    tblData->SetMasterSource(master->DataSource());
    Sorter->Clear();
    tblData->SetIndexFieldNames(JoinFieldNames({LinkField}, QLatin1Char(';')));
    tblData->SetMasterFields(JoinFieldNames({masterField}, QLatin1Char(';')));
    tblData->Open();
    AfterExecute();
    return true;
}

void TDbTableForm::BreakMasterLink() {
    // A table that its link closed (the link could not be read) opens again
    // once the link is gone.
    const bool wasOpen = tblData->Active() || (TableOpened && !LinkField.isEmpty());
    if (wasOpen) tblData->Close();
    tblData->SetMasterSource(nullptr);
    tblData->SetMasterFields(QString());
    tblData->SetIndexFieldNames(QString());
    LinkField.clear();
    Sorter->Clear();
    if (wasOpen) {
        tblData->Open();
        AfterExecute();
    }
}

// ---------------------------------------------------------------- keys and messages

bool TDbTableForm::eventFilter(QObject* watched, QEvent* event) {
    bool handled = false;
    Guarded([&] { handled = FilterEvent(watched, event); })();
    return handled;
}

bool TDbTableForm::FilterEvent(QObject* watched, QEvent* event) {
    if (watched == Panel1 && event->type() == QEvent::Resize) {
        const int width = Panel1->width();
        edFilter->setGeometry(248, 2, std::max(0, width - designWidth + 341), 21);
        btFilterByField->move(width - designWidth + 588, 2);
        return false;
    }
    if (watched == cbTableName && event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // Opening the drop-down or switching to another window is no leaving.
        if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason ||
            cbTableName->view()->isVisible() || FClosing)
            return false;
        if (!TableOpened && FFailedName != cbTableName->currentText()) Execute();
        return false;
    }
    if (event->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (watched == cbTableName) {
        if (IsEnterKey(key)) {
            Execute();
            dbgData->setFocus();
            return true;
        }
        if (!key->text().isEmpty() && key->text().at(0) >= QLatin1Char(' ') &&
            !cbTableName->view()->isVisible())
            cbTableName->showPopup();
        return false;
    }
    if (watched == cbTableName->view()) {
        // Enter in the open list takes the highlighted name and opens it.
        if (!IsEnterKey(key)) return false;
        cbTableName->setCurrentIndex(cbTableName->view()->currentIndex().row());
        cbTableName->hidePopup();
        Execute();
        dbgData->setFocus();
        return true;
    }
    if (watched == edFilter || watched == edFilter->lineEdit()) {
        if (!IsEnterKey(key) || edFilter->view()->isVisible()) return false;
        ApplyFilter();
        return true;
    }
    if (watched == dbgData) return dbgDataKeyDown(key);
    return false;
}

bool TDbTableForm::dbgDataKeyDown(QKeyEvent* key) {
    const Qt::KeyboardModifiers shift = key->modifiers() & ~Qt::KeypadModifier;
    if (key->key() == KeyCodeOf(TKeyCommand::CopyValue) && (KeyboardState() & Qt::ControlModifier)) {
        if (const TField* field = dbgData->SelectedField())
            QGuiApplication::clipboard()->setText(field->AsString());
        return false;
    }
    // The event of Ctrl+Enter pressed with Alt held reports Alt too; the
    // double-click action then starts the link drag.
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        (shift & ~Qt::AltModifier) == Qt::ControlModifier) {
        dbgDataDblClick();
        return true;
    }
    if (key->text() == QChar(21) ||
        (key->key() == KeyCodeOf(TKeyCommand::Statistics) && shift == Qt::ControlModifier)) {
        SendWindowMessage(this, msgStatistics);
        return true;
    }
    return false;
}

void TDbTableForm::dbgDataContextPopup(const QPoint& pos) {
    QMenu menu(this);
    menu.addAction(QStringLiteral("Експорт в текстов файл..."), this,
                   [this] { SendWindowMessage(this, msgExport); });
    menu.addAction(QStringLiteral("Експорт като таблица..."), this,
                   [this] { SendWindowMessage(this, msgExportPlain); });
    QAction* sum = menu.addAction(QStringLiteral("Сума на колоната"), this,
                                  [this] { SendWindowMessage(this, msgStatistics); });
    sum->setShortcut(KeyOf(TKeyCommand::Statistics));
    sum->setShortcutContext(Qt::WidgetShortcut);
    sum->setShortcutVisibleInContextMenu(true);
    menu.addSeparator();
    QAction* record =
        menu.addAction(QStringLiteral("Изглед на записа"), this, [this] { TRecordView::Toggle(this); });
    record->setShortcut(KeyOf(TKeyCommand::RecordView));
    record->setShortcutContext(Qt::WidgetShortcut);
    record->setShortcutVisibleInContextMenu(true);
    QAction* rows = menu.addAction(QStringLiteral("Копирай редовете със заглавията"), this,
                                   Guarded(this, &TDbTableForm::CopyRows));
    rows->setEnabled(dbgData->SelectedField() != nullptr);
    menu.exec(dbgData->viewport()->mapToGlobal(pos));
}

void TDbTableForm::dbgDataTitlePopup(int column, const QPoint& globalPos) {
    if (!dbgData->SelectedField()) return;
    QMenu menu(this);
    QAction* hide = menu.addAction(QStringLiteral("Скрий колоната"), this,
                                   [this, column] { dbgData->HideColumn(column, true); });
    hide->setEnabled(column >= 0 && dbgData->ShownColumnCount() > 1);
    menu.addAction(QStringLiteral("Колони..."), this, Guarded(this, &TDbTableForm::ChooseColumns));
    menu.exec(globalPos);
}

void TDbTableForm::ChooseColumns() {
    TColumnsDialog dialog(dbgData, this);
    dialog.exec();
}

void TDbTableForm::CopyRows() {
    int first = 0;
    int last = 0;
    dbgData->SelectedRecords(first, last);
    if (first == 0) return;
    if (const std::optional<QString> text = GridRowsText(dbgData, first, last))
        QGuiApplication::clipboard()->setText(*text);
}

bool TDbTableForm::event(QEvent* event) {
    const bool result = QWidget::event(event);
    if (event->type() != TWindowMessage::Type()) return result;
    HandleMessage(static_cast<TWindowMessage*>(event)->Msg);
    return true;
}

void TDbTableForm::HandleMessage(int msg) {
    switch (msg) {
    case msgExport:
        ExportGrid(false);
        break;
    case msgExportPlain:
        ExportGrid(true);
        break;
    case msgExecute:
        Execute();
        break;
    case msgStatistics:
        if (const TField* field = dbgData->SelectedField())
            ColumnStatistics(dbgData->DataSet(), field->FieldName(), true);
        break;
    case msgFocusFilter:
        edFilter->setFocus();
        break;
    case msgApplyFilter:
        ApplyFilter();
        break;
    case msgFilterByField:
        FilterByField();
        break;
    case msgClearFilter:
        ClearFilter();
        ApplyFilter();
        break;
    case msgBreakLink:
        BreakMasterLink();
        break;
    default:
        break;
    }
}

void TDbTableForm::ExportGrid(bool plain) {
    // A window derived from the table window exports under a neutral title.
    const QString title =
        metaObject() == &TDbTableForm::staticMetaObject ? windowTitle() : QStringLiteral("Export");
    QStringList headerLines;
    if (const QString filter = FilterText(); !filter.isEmpty()) headerLines << filter;
    const TExportTxtOpts saved = ExportTxtOpts;
    const auto restore = qScopeGuard([&saved] { ExportTxtOpts = saved; });
    if (plain) {
        ExportTxtOpts.WithHeader = false;
        ExportTxtOpts.WithTitles = true;
        if (ExportTxtOpts.Separator.isEmpty()) ExportTxtOpts.Separator = QStringLiteral("\t");
        ExportTxtOpts.FixedWidths = false;
        ExportTxtOpts.CodePage = 0;
    }
    QString status;
    ExportToTextFile(static_cast<const TExportGrid*>(dbgData), &headerLines, nullptr, title, QString(),
                     status);
}
