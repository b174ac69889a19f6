#include "DBGrid.h"

#include "browse/SortMarks.h"
#include "common/Application.h"
#include "engine/Exception.h"
#include "engine/TDataSource.h"
#include "engine/TField.h"
#include "engine/TTable.h"

#include <QCoreApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QSet>
#include <QStyledItemDelegate>

namespace {

const QString GridMimeType = QStringLiteral("application/x-tamsel-dbgrid");

// The grids alive in this process: a drop names its source grid by process
// and address, and only a live grid of this process is taken.
QSet<const TDBGrid*>& LiveGrids() {
    static QSet<const TDBGrid*> grids;
    return grids;
}

QByteArray GridTag(const TDBGrid* grid) {
    return QByteArray::number(QCoreApplication::applicationPid()) + ':' +
           QByteArray::number(reinterpret_cast<quintptr>(grid));
}

TDBGrid* DraggedGrid(const QMimeData* mime) {
    if (!mime || !mime->hasFormat(GridMimeType)) return nullptr;
    const QByteArray tag = mime->data(GridMimeType);
    for (const TDBGrid* grid : LiveGrids())
        if (GridTag(grid) == tag) return const_cast<TDBGrid*>(grid);
    return nullptr;
}

// Accepts a drag or drop event as a link when grid may take a drop of the
// dragged grid, and returns that grid; otherwise ignores it.
TDBGrid* AcceptLink(const TDBGrid* grid, QDropEvent* event) {
    TDBGrid* source = DraggedGrid(event->mimeData());
    if (!grid->AcceptsDragFrom(source)) {
        event->ignore();
        return nullptr;
    }
    event->setDropAction(Qt::LinkAction);
    event->accept();
    return source;
}

Qt::Alignment AlignmentOf(const TField* field) {
    switch (field->Alignment()) {
    case TAlignment::taRightJustify:
        return Qt::AlignRight | Qt::AlignVCenter;
    case TAlignment::taCenter:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    case TAlignment::taLeftJustify:
        break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

// Title row and indicator column, both in the grid's fixed colour; the
// indicator marks the current row with a small triangle.
class TDBGridHeader : public QHeaderView {
public:
    TDBGridHeader(Qt::Orientation orientation, TDBGrid* grid) : QHeaderView(orientation, grid), FGrid(grid) {
        // A title takes a link drop as its column's cells do.
        setAcceptDrops(orientation == Qt::Horizontal);
    }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override { AcceptLink(FGrid, event); }
    void dragMoveEvent(QDragMoveEvent* event) override { AcceptLink(FGrid, event); }
    void dropEvent(QDropEvent* event) override {
        if (TDBGrid* source = AcceptLink(FGrid, event))
            emit FGrid->DragDrop(source, logicalIndexAt(event->position().toPoint()));
    }

    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
        painter->save();
        painter->fillRect(rect, GridFixedColor);
        painter->setPen(GridFixedColor.darker(160));
        painter->drawLine(rect.topRight(), rect.bottomRight());
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
        if (orientation() == Qt::Horizontal) {
            painter->setPen(palette().color(QPalette::WindowText));
            const QString title = model()->headerData(logicalIndex, Qt::Horizontal, Qt::DisplayRole).toString();
            painter->drawText(rect.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter, title);
        } else if (logicalIndex == FGrid->currentIndex().row()) {
            const QPoint c = rect.center();
            const QPoint triangle[] = {{c.x() - 2, c.y() - 4}, {c.x() + 2, c.y()}, {c.x() - 2, c.y() + 4}};
            painter->setPen(Qt::NoPen);
            painter->setBrush(Qt::black);
            painter->drawPolygon(triangle, 3);
        }
        painter->restore();
    }

private:
    TDBGrid* FGrid;
};

// Cells: the stripe of their on-screen position, vertical lines only, and a
// frame around the current cell that stays while the grid has no focus.
class TDBGridDelegate : public QStyledItemDelegate {
public:
    explicit TDBGridDelegate(TDBGrid* grid) : QStyledItemDelegate(grid), FGrid(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        // Positions count in the grid's own coordinates, the title row included.
        const int top = FGrid->viewport()->y() + opt.rect.top();
        const QColor stripe = GridStripeColor(top, opt.rect.height());
        painter->fillRect(opt.rect, stripe);
        opt.backgroundBrush = stripe;
        opt.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
        opt.palette.setColor(QPalette::Text, FGrid->palette().color(QPalette::Text));
        QStyledItemDelegate::paint(painter, opt, index);
        painter->save();
        painter->setPen(FGrid->palette().color(QPalette::Mid));
        painter->drawLine(opt.rect.topRight(), opt.rect.bottomRight());
        if (index == FGrid->currentIndex()) {
            painter->setPen(QPen(FGrid->palette().color(QPalette::Highlight), 1, Qt::DotLine));
            painter->drawRect(opt.rect.adjusted(0, 0, -2, -1));
        }
        painter->restore();
    }

private:
    TDBGrid* FGrid;
};

} // namespace

QColor GridStripeColor(int top, int height) {
    const int q = height > 0 ? top / height : 0;
    return q % 2 != 0 ? QColor(255, 255, 239) : QColor(0, 255, 255);
}

// ---------------------------------------------------------------- model

TDBGridModel::TDBGridModel(TDBGrid* grid) : QAbstractTableModel(grid), FGrid(grid) {}

void TDBGridModel::SetDataSet(TDataSet* dataSet) {
    FDataSet = dataSet;
    Reload();
}

TField* TDBGridModel::Field(int column) const {
    if (!FDataSet || !FDataSet->Active() || column < 0 || column >= FColumnCount) return nullptr;
    return FDataSet->Fields(column);
}

void TDBGridModel::Reload() {
    beginResetModel();
    const bool active = FDataSet && FDataSet->Active();
    FColumnCount = active ? FDataSet->FieldCount() : 0;
    FRowCount = active ? FDataSet->RecordCount() : 0;
    endResetModel();
}

int TDBGridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : FRowCount; }

int TDBGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : FColumnCount; }

QVariant TDBGridModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole && role != Qt::TextAlignmentRole) return {};
    const TField* field = Field(index.column());
    if (!field) return {};
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(AlignmentOf(field));
    try {
        return field->DisplayTextFor(FDataSet->ValueAt(index.row() + 1, index.column()));
    } catch (const Exception&) {
        // A row that cannot be read shows empty; the data set reports the
        // failure on the next operation that moves it.
        return {};
    }
}

QVariant TDBGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::ToolTipRole) return SortTitleToolTip();
    if (role != Qt::DisplayRole) return {};
    const TField* field = Field(section);
    if (!field) return QString();
    const auto* table = qobject_cast<const TTable*>(FDataSet.data());
    return table ? SortMarkedTitle(field->DisplayName(), field->FieldName(), table->IndexFieldNames())
                 : field->DisplayName();
}

Qt::ItemFlags TDBGridModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

// ---------------------------------------------------------------- grid

TDBGrid::TDBGrid(QWidget* parent) : QTableView(parent), FModel(new TDBGridModel(this)) {
    setHorizontalHeader(new TDBGridHeader(Qt::Horizontal, this));
    setVerticalHeader(new TDBGridHeader(Qt::Vertical, this));
    setItemDelegate(new TDBGridDelegate(this));
    setModel(FModel);
    // Pressing a title must not move the current row to the top row.
    disconnect(horizontalHeader(), &QHeaderView::sectionPressed, this, nullptr);
    disconnect(horizontalHeader(), &QHeaderView::sectionEntered, this, nullptr);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &TDBGrid::TitleClick);

    const int rowHeight = fontMetrics().height() + 4;
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setFixedHeight(rowHeight);
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
    LiveGrids().insert(this);
}

TDBGrid::~TDBGrid() { LiveGrids().remove(this); }

void TDBGrid::SetDataSource(TDataSource* source) {
    if (FDataSource) disconnect(FDataSource, nullptr, this, nullptr);
    FDataSource = source;
    if (source) {
        connect(source, &TDataSource::DataSetChanged, this, &TDBGrid::DataSetChanged);
        connect(source, &TDataSource::RecordChanged, this, &TDBGrid::RecordChanged);
    }
    FWasActive = false;
    FModel->SetDataSet(source ? source->DataSet() : nullptr);
    DataSetChanged();
}

TDataSource* TDBGrid::DataSource() const { return FDataSource; }

TDataSet* TDBGrid::DataSet() const { return FDataSource ? FDataSource->DataSet() : nullptr; }

TField* TDBGrid::ColumnField(int column) const { return FModel->Field(column); }

int TDBGrid::ColumnCount() const { return FModel->columnCount(); }

TField* TDBGrid::SelectedField() const {
    const int count = ColumnCount();
    if (count == 0) return nullptr;
    return ColumnField(qBound(0, FSelectedColumn, count - 1));
}

int TDBGrid::ColumnAt(const QPoint& viewportPos) const {
    if (viewportPos.y() < 0 || viewportPos.y() >= viewport()->height()) return -1;
    return columnAt(viewportPos.x());
}

void TDBGrid::DataSetChanged() {
    TDataSet* dataSet = DataSet();
    if (FModel->DataSet() != dataSet) FModel->SetDataSet(dataSet);
    const bool active = dataSet && dataSet->Active();
    // A refresh or a new filter keeps the columns as the user sized them;
    // a fresh open sizes them from the fields.
    QList<int> widths;
    if (FWasActive && active)
        for (int i = 0; i < ColumnCount(); ++i) widths << columnWidth(i);
    FModel->Reload();
    if (active && !FWasActive) {
        FSelectedColumn = 0;
        SetDefaultWidths();
    } else if (widths.size() == ColumnCount()) {
        for (int i = 0; i < widths.size(); ++i) setColumnWidth(i, widths[i]);
    } else {
        SetDefaultWidths();
    }
    FWasActive = active;
    FollowRecord();
    viewport()->update();
}

void TDBGrid::RecordChanged() {
    FollowRecord();
    // The stripes depend on the on-screen position, so every move repaints
    // the whole grid.
    viewport()->update();
    verticalHeader()->viewport()->update();
}

void TDBGrid::FollowRecord() {
    TDataSet* dataSet = DataSet();
    if (!dataSet || !dataSet->Active()) return;
    const int row = dataSet->RecNo() - 1;
    if (row < 0 || row >= FModel->rowCount()) return;
    const int column = qBound(0, FSelectedColumn, qMax(0, ColumnCount() - 1));
    const QModelIndex target = FModel->index(row, column);
    if (target == currentIndex()) return;
    FFollowing = true;
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    FFollowing = false;
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
    QTableView::currentChanged(current, previous);
    if (current.isValid()) FSelectedColumn = current.column();
    verticalHeader()->viewport()->update();
    if (FFollowing || !current.isValid() || current.row() == previous.row()) return;
    TDataSet* dataSet = DataSet();
    if (!dataSet || !dataSet->Active()) return;
    try {
        dataSet->SetRecNo(current.row() + 1);
    } catch (const std::exception& error) {
        TApplication::ShowException(error);
    }
}

void TDBGrid::keyPressEvent(QKeyEvent* event) {
    // The view's own copy would take the display text; the window copies the
    // value itself. Nothing edits.
    if (event->matches(QKeySequence::Copy) || event->key() == Qt::Key_Insert) return;
    if (event->key() == Qt::Key_Delete) return;
    QTableView::keyPressEvent(event);
}

void TDBGrid::keyboardSearch(const QString&) {
    // Searching by typed letters would read every row of a large table.
}

void TDBGrid::mousePressEvent(QMouseEvent* event) {
    FLastMouseGlobal = event->globalPosition().toPoint();
    QTableView::mousePressEvent(event);
}

void TDBGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    FLastMouseGlobal = event->globalPosition().toPoint();
    QTableView::mouseDoubleClickEvent(event);
    emit DblClick();
}

void TDBGrid::mouseMoveEvent(QMouseEvent* event) {
    FLastMouseGlobal = event->globalPosition().toPoint();
    if (!FDragPending) {
        QTableView::mouseMoveEvent(event);
        return;
    }
    const QPoint moved = FLastMouseGlobal - FDragOrigin;
    if (qAbs(moved.x()) >= FDragThreshold || qAbs(moved.y()) >= FDragThreshold) {
        FDragPending = false;
        StartDrag();
    }
}

void TDBGrid::mouseReleaseEvent(QMouseEvent* event) {
    FLastMouseGlobal = event->globalPosition().toPoint();
    FDragPending = false;
    QTableView::mouseReleaseEvent(event);
}

void TDBGrid::BeginDrag(int threshold) {
    FDragPending = true;
    FDragThreshold = threshold;
    FDragOrigin = FLastMouseGlobal;
}

void TDBGrid::StartDrag() {
    QPointer<QDrag> drag = new QDrag(this);
    auto* mime = new QMimeData;
    mime->setData(GridMimeType, GridTag(this));
    drag->setMimeData(mime);
    drag->exec(Qt::LinkAction, Qt::LinkAction);
    if (drag) drag->deleteLater();
}

bool TDBGrid::AcceptsDragFrom(const TDBGrid* source) const {
    auto* detail = qobject_cast<TTable*>(DataSet());
    if (!source || source == this || !detail || !source->SelectedField()) return false;
    // Refuse a link that would lead back to this table through the masters.
    QSet<const TDataSet*> seen;
    for (const TDataSet* master = source->DataSet(); master && !seen.contains(master);) {
        if (master == detail) return false;
        seen.insert(master);
        auto* table = qobject_cast<const TTable*>(master);
        master = table && table->MasterSource() ? table->MasterSource()->DataSet() : nullptr;
    }
    return true;
}

void TDBGrid::dragEnterEvent(QDragEnterEvent* event) { AcceptLink(this, event); }

void TDBGrid::dragMoveEvent(QDragMoveEvent* event) { AcceptLink(this, event); }

void TDBGrid::dropEvent(QDropEvent* event) {
    if (TDBGrid* source = AcceptLink(this, event)) emit DragDrop(source, ColumnAt(event->position().toPoint()));
}

TDataSet* TDBGrid::ExportDataSet() const { return DataSet(); }

int TDBGrid::ExportColumnCount() const { return ColumnCount(); }

TField* TDBGrid::ExportColumnField(int column) const { return isColumnHidden(column) ? nullptr : ColumnField(column); }

int TDBGrid::ExportColumnWidth(int column) const { return columnWidth(column); }
