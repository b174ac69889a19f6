#include "DBGrid.h"

#include "browse/DBGridDelegate.h"
#include "browse/DBGridHeader.h"
#include "browse/DBGridLink.h"
#include "browse/FrozenColumns.h"
#include "common/Application.h"
#include "engine/Exception.h"
#include "engine/TDataSource.h"
#include "engine/TField.h"

#include <QScopedValueRollback>
#include <QScrollBar>
#include <limits>

TDBGrid::TDBGrid(QWidget* parent) : QTableView(parent), FModel(new TDBGridModel(this)) {
    setHorizontalHeader(NewTitleRow(this));
    setVerticalHeader(new TDBGridHeader(Qt::Vertical, this, this));
    setItemDelegate(new TDBGridDelegate(this));
    setModel(FModel);
    // Pressing a title must not move the current row to the top row.
    disconnect(horizontalHeader(), &QHeaderView::sectionPressed, this, nullptr);
    disconnect(horizontalHeader(), &QHeaderView::sectionEntered, this, nullptr);
    // The vertical scroll bar is the top record's position in the data set.
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &TDBGrid::ScrollBarMoved);
    connect(verticalScrollBar(), &QScrollBar::sliderReleased, this, &TDBGrid::ScrollBarReleased);

    const int rowHeight = fontMetrics().height() + 4;
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(rowHeight);
    verticalHeader()->setFixedWidth(12);
    verticalHeader()->setHighlightSections(false);

    setFrameShape(QFrame::NoFrame);
    setShowGrid(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setMouseTracking(true);
    viewport()->setAcceptDrops(true);
    QPalette fixed = palette();
    fixed.setColor(QPalette::Button, GridFixedColor);
    setPalette(fixed);
    FScrollMode = horizontalScrollMode();
    LiveGrids().insert(this);
}

TDBGrid::~TDBGrid() {
    LiveGrids().remove(this);
}

QHeaderView* TDBGrid::NewTitleRow(QWidget* parent) {
    auto* titles = new TDBGridHeader(Qt::Horizontal, this, parent);
    titles->setSectionsClickable(true);
    titles->setHighlightSections(false);
    titles->setSectionResizeMode(QHeaderView::Interactive);
    titles->setMinimumSectionSize(1);
    titles->setFixedHeight(fontMetrics().height() + 4);
    connect(titles, &QHeaderView::sectionClicked, this, &TDBGrid::TitleClick);
    return titles;
}

void TDBGrid::SetDataSource(TDataSource* source) {
    if (FDataSource) disconnect(FDataSource, nullptr, this, nullptr);
    FDataSource = source;
    if (source) {
        connect(source, &TDataSource::DataSetChanged, this, &TDBGrid::DataSetChanged);
        connect(source, &TDataSource::RecordChanged, this, &TDBGrid::RecordChanged);
        connect(source, &TDataSource::CountKnown, this, &TDBGrid::CountKnown);
    }
    FWasActive = false;
    FModel->SetDataSet(source ? source->DataSet() : nullptr);
    DataSetChanged();
}

TDataSource* TDBGrid::DataSource() const {
    return FDataSource;
}

TDataSet* TDBGrid::DataSet() const {
    return FDataSource ? FDataSource->DataSet() : nullptr;
}

TField* TDBGrid::ColumnField(int column) const {
    return FModel->Field(column);
}

int TDBGrid::ColumnCount() const {
    return FModel->columnCount();
}

TField* TDBGrid::SelectedField() const {
    const int count = ColumnCount();
    if (count == 0) return nullptr;
    return ColumnField(qBound(0, FSelectedColumn, count - 1));
}

int TDBGrid::ColumnAt(const QPoint& viewportPos) const {
    if (viewportPos.y() < 0 || viewportPos.y() >= viewport()->height()) return -1;
    return columnAt(viewportPos.x());
}

int TDBGrid::RowOfRecord(int recNo) const {
    const int row = recNo - FModel->Top();
    return recNo >= 1 && row >= 0 && row < FModel->rowCount() ? row : -1;
}

void TDBGrid::DataSetChanged() {
    FAnchor = 0;
    TDataSet* dataSet = DataSet();
    if (FModel->DataSet() != dataSet) FModel->SetDataSet(dataSet);
    const bool active = dataSet && dataSet->Active();
    // A refresh or a new filter keeps the columns as the user sized them;
    // a fresh open sizes them from the fields.
    QList<int> widths;
    if (FWasActive && active)
        for (int i = 0; i < ColumnCount(); ++i)
            widths << columnWidth(i);
    // A refresh keeps the rows where they were on the screen; a fresh open
    // starts at the first record.
    const int top = FWasActive && active ? FModel->Top() : 1;
    {
        const QScopedValueRollback following(FFollowing, true);
        FModel->Reload(top, 0);
    }
    if (active && !FWasActive) {
        FSelectedColumn = 0;
        SetDefaultWidths();
    } else if (widths.size() == ColumnCount()) {
        for (int i = 0; i < widths.size(); ++i)
            setColumnWidth(i, widths[i]);
    } else {
        SetDefaultWidths();
    }
    FWasActive = active;
    ApplyColumnChoice();
    SetTop(top);
    FollowRecord();
    viewport()->update();
}

void TDBGrid::RecordChanged() {
    // A move the grid made itself is where the grid already is.
    if (!FMoving) FollowRecord();
    // The stripes depend on the on-screen position, so every move repaints
    // the whole grid.
    viewport()->update();
    verticalHeader()->viewport()->update();
    if (FFrozenView) FFrozenView->viewport()->update();
}

void TDBGrid::CountKnown() {
    SetTop(FModel->Top());
}

void TDBGrid::FollowRecord() {
    TDataSet* dataSet = DataSet();
    if (dataSet && dataSet->Active() && dataSet->RecNo() > 0) ShowRecord(dataSet->RecNo());
    SyncCurrent();
}

void TDBGrid::ShowRecord(int recNo) {
    const int whole = WholeRows();
    int top = FModel->Top();
    if (recNo < top)
        top = recNo;
    else if (recNo > top + whole - 1)
        top = recNo - whole + 1;
    if (top != FModel->Top() || RowOfRecord(recNo) < 0) SetTop(top);
}

void TDBGrid::SetTop(int top) {
    TDataSet* dataSet = DataSet();
    int rows = 0;
    const int whole = WholeRows();
    top = qBound(1, top, std::numeric_limits<int>::max() - whole);
    if (dataSet && dataSet->Active() && ColumnCount() > 0) {
        // One row more than fit whole: the last one shows in part.
        const int last = LastRecordUpTo(top + whole);
        if (last < top + whole - 1) top = qMax(1, last - whole + 1);
        rows = qMax(0, last - top + 1);
    } else {
        top = 1;
    }
    {
        const QScopedValueRollback following(FFollowing, true);
        FModel->SetWindow(top, rows);
    }
    SyncCurrent();
    SyncScrollBar();
}

// The current cell is on the data set's current record when that record is
// on the screen, and there is none while it is scrolled away.
void TDBGrid::SyncCurrent() {
    TDataSet* dataSet = DataSet();
    const int row = dataSet && dataSet->Active() ? RowOfRecord(dataSet->RecNo()) : -1;
    const int column = qBound(0, FSelectedColumn, qMax(0, ColumnCount() - 1));
    const QModelIndex target = row >= 0 ? FModel->index(row, column) : QModelIndex();
    if (target == currentIndex()) return;
    const QScopedValueRollback following(FFollowing, true);
    if (target.isValid())
        selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    else
        selectionModel()->clear();
}

void TDBGrid::SyncScrollBar() {
    const int page = WholeRows();
    const int top = FModel->Top();
    qint64 total = 0;
    bool counted = true;
    if (TDataSet* dataSet = DataSet(); dataSet && dataSet->Active()) {
        const qint64 known = dataSet->KnownRecordCount();
        counted = known >= 0;
        // Without a count the bar reaches past the records seen so far, and
        // grows as the user goes down.
        const qint64 seen = qMax<qint64>(dataSet->SeenRecordCount(), top + FModel->rowCount() - 1);
        total = known >= 0 ? known : seen + qMax<qint64>(seen, 4 * qint64(page));
    }
    QScrollBar* bar = verticalScrollBar();
    int maximum = int(qBound<qint64>(qint64(top) - 1, total - page, std::numeric_limits<int>::max()));
    // A bar that grew under the dragging pointer would run away with it: it
    // grows when the thumb is let go.
    if (bar->isSliderDown() && !counted) maximum = qMax(top - 1, FBarMaximum);
    FBarMaximum = maximum;
    {
        const QScopedValueRollback locked(FBarLocked, FBarLocked + 1);
        bar->setRange(0, maximum);
        bar->setPageStep(page);
        bar->setSingleStep(1);
        bar->setValue(top - 1);
    }
    // Qt's layout moved the row titles with its own idea of the bar.
    verticalHeader()->setOffset(0);
}

void TDBGrid::ScrollBarMoved(int value) {
    if (FBarLocked == 0) SetTop(value + 1);
}

// Without a count the bar's bottom stands for the last record: a drag let
// go there goes to it, as Ctrl+End does.
void TDBGrid::ScrollBarReleased() {
    QScrollBar* bar = verticalScrollBar();
    TDataSet* dataSet = DataSet();
    if (bar->maximum() > 0 && bar->value() >= bar->maximum() && dataSet && dataSet->Active() &&
        dataSet->KnownRecordCount() < 0) {
        try {
            dataSet->Last();
        } catch (const std::exception& error) {
            TApplication::ShowException(error);
        }
    }
    SyncScrollBar();
}

int TDBGrid::WholeRows() const {
    return qMax(1, viewport()->height() / qMax(1, verticalHeader()->defaultSectionSize()));
}

int TDBGrid::LastRecordUpTo(int recNo) const {
    TDataSet* dataSet = DataSet();
    if (!dataSet || !dataSet->Active() || recNo < 1) return 0;
    try {
        // Reads the block of recNo; where the rows end before it, halves the
        // gap between the records seen and recNo rather than reading every
        // block in between.
        int below = 0;         // a record that exists
        int above = recNo + 1; // one that does not
        int probe = recNo;
        for (;;) {
            const int known = dataSet->KnownRecordCount();
            if (known >= 0) return qMin(recNo, known);
            below = qMax(below, dataSet->SeenRecordCount());
            if (below >= recNo) return recNo;
            if (probe <= below || probe >= above) probe = below + (above - below) / 2;
            if (probe <= below) return below;
            dataSet->ValueAt(probe, 0);
            if (dataSet->KnownRecordCount() < 0 && dataSet->SeenRecordCount() < probe) above = probe;
        }
    } catch (const Exception&) {
        // A read that fails shows no further rows; the data set reports the
        // failure on the next operation that moves it.
        return qMin(recNo, dataSet->SeenRecordCount());
    }
}

int TDBGrid::FirstColumn() const {
    for (int i = 0; i < ColumnCount(); ++i)
        if (!isColumnHidden(i)) return i;
    return 0;
}

int TDBGrid::LastColumn() const {
    for (int i = ColumnCount() - 1; i >= 0; --i)
        if (!isColumnHidden(i)) return i;
    return 0;
}

void TDBGrid::SetDefaultWidths() {
    const QFontMetrics metrics(font());
    const int digit = metrics.horizontalAdvance(QLatin1Char('0'));
    for (int i = 0; i < ColumnCount(); ++i) {
        const TField* field = ColumnField(i);
        const int byData = field->DisplayWidth() * digit + 4;
        const int byTitle =
            metrics.horizontalAdvance(FModel->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString()) + 4;
        setColumnWidth(i, qMax(byData, byTitle));
    }
}

void TDBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    if (current.isValid()) FSelectedColumn = current.column();
    // The data set moves first: Qt's scrolling to the new cell then finds
    // the record where the grid shows it.
    TDataSet* dataSet = DataSet();
    const int recNo = current.isValid() ? RecordOfRow(current.row()) : 0;
    if (!FFollowing && recNo > 0 && dataSet && dataSet->Active() && recNo != dataSet->RecNo()) {
        try {
            const QScopedValueRollback moving(FMoving, true);
            dataSet->SetRecNo(recNo);
        } catch (const std::exception& error) {
            TApplication::ShowException(error);
        }
        if (dataSet->RecNo() != recNo) FollowRecord();
    }
    QTableView::currentChanged(current, previous);
    verticalHeader()->viewport()->update();
}

void TDBGrid::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!index.isValid()) return;
    // A frozen column is always in view; any other must come out from under
    // the frozen ones.
    if (!FFrozenView || !FFrozenView->Shows(index.column())) {
        // Across the columns Qt's own scrolling, on the top row, which is
        // always in view; down the records the grid's.
        const QScopedValueRollback locked(FBarLocked, FBarLocked + 1);
        QTableView::scrollTo(FModel->index(0, index.column()), hint);
        const int covered = FFrozenView ? FFrozenView->width() - columnViewportPosition(index.column()) : 0;
        if (covered > 0) horizontalScrollBar()->setValue(horizontalScrollBar()->value() - covered);
    }
    SyncScrollBar();
    if (!FFollowing) ShowRecord(RecordOfRow(index.row()));
}

void TDBGrid::scrollContentsBy(int dx, int dy) {
    // The rows do not move under the viewport: the window onto the data set
    // does, in SetTop.
    Q_UNUSED(dy);
    if (dx != 0) QTableView::scrollContentsBy(dx, 0);
}

void TDBGrid::updateGeometries() {
    {
        const QScopedValueRollback locked(FBarLocked, FBarLocked + 1);
        QTableView::updateGeometries();
    }
    SyncScrollBar();
    if (FFrozenView) FFrozenView->Place();
}

void TDBGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    if (FFrozenView) FFrozenView->Place();
    // As many rows as now fit.
    SetTop(FModel->Top());
}

void TDBGrid::focusInEvent(QFocusEvent* event) {
    const QScopedValueRollback focusing(FFocusing, true);
    QTableView::focusInEvent(event);
}

// ---------------------------------------------------------------- columns

int TDBGrid::ShownColumnCount() const {
    int shown = 0;
    for (int i = 0; i < ColumnCount(); ++i)
        if (!isColumnHidden(i)) ++shown;
    return shown;
}

void TDBGrid::HideColumn(int column, bool hidden) {
    const TField* field = ColumnField(column);
    if (!field || hidden == isColumnHidden(column)) return;
    if (hidden && ShownColumnCount() <= 1) return;
    if (hidden)
        FHiddenFields << field->FieldName();
    else
        FHiddenFields.removeAll(field->FieldName());
    ApplyColumnChoice();
}

void TDBGrid::SetFrozenColumns(int count) {
    FFrozen = qMax(0, count);
    ApplyColumnChoice();
}

void TDBGrid::ShowEveryColumn() {
    FHiddenFields.clear();
    FHiddenWidths.clear();
    FFrozen = 0;
    ApplyColumnChoice();
}

void TDBGrid::ApplyColumnChoice() {
    const int count = ColumnCount();
    for (int i = 0; i < count; ++i) {
        // A hidden column has no width of its own: it takes again the one
        // it had when it was hidden.
        const QString name = ColumnField(i)->FieldName();
        const bool hide = FHiddenFields.contains(name);
        if (hide == isColumnHidden(i)) continue;
        if (hide && columnWidth(i) > 0) FHiddenWidths[name] = columnWidth(i);
        setColumnHidden(i, hide);
        if (!hide && FHiddenWidths.contains(name)) setColumnWidth(i, FHiddenWidths.take(name));
    }
    // Other columns than those hidden: one stays in sight.
    if (count > 0 && ShownColumnCount() == 0) setColumnHidden(0, false);
    LeaveHiddenColumn();
    const int frozen = qMin(FFrozen, ShownColumnCount());
    if (frozen == 0) {
        if (!FFrozenView) return;
        delete FFrozenView;
        FFrozenView = nullptr;
        setHorizontalScrollMode(FScrollMode);
        return;
    }
    if (!FFrozenView) {
        FScrollMode = horizontalScrollMode();
        // Only a pixel offset brings every column out from under the frozen ones.
        setHorizontalScrollMode(ScrollPerPixel);
        FFrozenView = new TFrozenColumns(this);
    }
    FFrozenView->SetColumns(frozen);
}

void TDBGrid::LeaveHiddenColumn() {
    const int count = ColumnCount();
    if (count == 0 || !isColumnHidden(qBound(0, FSelectedColumn, count - 1))) return;
    int column = -1;
    for (int i = FSelectedColumn + 1; i < count && column < 0; ++i)
        if (!isColumnHidden(i)) column = i;
    for (int i = FSelectedColumn - 1; i >= 0 && column < 0; --i)
        if (!isColumnHidden(i)) column = i;
    if (column < 0) return;
    FSelectedColumn = column;
    const QModelIndex current = currentIndex();
    if (!current.isValid()) return;
    const QScopedValueRollback following(FFollowing, true);
    selectionModel()->setCurrentIndex(FModel->index(current.row(), column),
                                      QItemSelectionModel::ClearAndSelect);
}

TDataSet* TDBGrid::ExportDataSet() const {
    return DataSet();
}

int TDBGrid::ExportColumnCount() const {
    return ColumnCount();
}

TField* TDBGrid::ExportColumnField(int column) const {
    return isColumnHidden(column) ? nullptr : ColumnField(column);
}

int TDBGrid::ExportColumnWidth(int column) const {
    return columnWidth(column);
}
