#include "DBGridModel.h"

#include "browse/DBGrid.h"
#include "browse/SortMarks.h"
#include "engine/Exception.h"
#include "engine/TField.h"
#include "engine/TTable.h"

namespace {

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

} // namespace

TDBGridModel::TDBGridModel(TDBGrid* grid) : QAbstractTableModel(grid), FGrid(grid) {}

void TDBGridModel::SetDataSet(TDataSet* dataSet) {
    FDataSet = dataSet;
    Reload(1, 0);
}

TField* TDBGridModel::Field(int column) const {
    if (!FDataSet || !FDataSet->Active() || column < 0 || column >= FColumnCount) return nullptr;
    return FDataSet->Fields(column);
}

void TDBGridModel::Reload(int top, int rows) {
    beginResetModel();
    const bool active = FDataSet && FDataSet->Active();
    FColumnCount = active ? FDataSet->FieldCount() : 0;
    FTop = top;
    FRowCount = active ? rows : 0;
    endResetModel();
}

void TDBGridModel::SetWindow(int top, int rows) {
    const bool moved = top != FTop;
    FTop = top;
    if (rows > FRowCount) {
        beginInsertRows({}, FRowCount, rows - 1);
        FRowCount = rows;
        endInsertRows();
    } else if (rows < FRowCount) {
        beginRemoveRows({}, rows, FRowCount - 1);
        FRowCount = rows;
        endRemoveRows();
    }
    if (moved && FRowCount > 0 && FColumnCount > 0)
        emit dataChanged(index(0, 0), index(FRowCount - 1, FColumnCount - 1));
}

int TDBGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : FRowCount;
}

int TDBGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : FColumnCount;
}

QVariant TDBGridModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole && role != Qt::TextAlignmentRole) return {};
    const TField* field = Field(index.column());
    if (!field) return {};
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(AlignmentOf(field));
    try {
        return field->DisplayTextFor(FDataSet->ValueAt(FTop + index.row(), index.column()));
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
