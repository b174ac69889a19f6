#include "CopyRows.h"

#include "browse/DBGrid.h"
#include "common/ExportTxt.h"
#include "common/WalkProgress.h"
#include "engine/TDataSet.h"
#include "engine/TField.h"
#include "engine/WalkGuard.h"

#include <QScopeGuard>

namespace {

template <typename Cell> void AppendLine(QString& text, const QList<TField*>& fields, Cell cell) {
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0) text += QLatin1Char('\t');
        AppendEscaped(text, cell(fields[i]));
    }
    text += QLatin1Char('\n');
}

QString Title(const TField* field) {
    return field->DisplayName();
}

QString Value(const TField* field) {
    return field->AsString();
}

} // namespace

std::optional<QString> GridRowsText(TDBGrid* grid, int first, int last) {
    TDataSet* dataSet = grid->DataSet();
    if (!dataSet || !dataSet->Active() || first < 1 || last < first) return QString();
    QList<TField*> fields;
    for (int i = 0; i < grid->ColumnCount(); ++i)
        if (!grid->isColumnHidden(i)) fields << grid->ColumnField(i);
    QString text;
    AppendLine(text, fields, Title);
    // The current record alone is read where it is.
    if (first == last && first == dataSet->RecNo()) {
        AppendLine(text, fields, Value);
        return text;
    }

    // The walk reads the copied columns only, with the grid disconnected;
    // then the grid is back on its record with its selection.
    const int anchor = grid->SelectionAnchor();
    const auto keepSelection = qScopeGuard([grid, anchor] { grid->SetSelectionAnchor(anchor); });
    const TWalkGuard walk(dataSet, fields, TWalkGuard::TRestore::ControlsFirst);
    TWalkProgress progress(dataSet, QStringLiteral("Копиране на редове"), QStringLiteral("Копирани редове"),
                           last - first + 1);
    dataSet->SetRecNo(first);
    for (int recNo = first; recNo <= last && !dataSet->Eof(); ++recNo) {
        AppendLine(text, fields, Value);
        dataSet->Next();
        if (!progress.Step()) return std::nullopt;
    }
    return text;
}
