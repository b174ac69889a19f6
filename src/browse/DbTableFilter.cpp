#include "browse/DBGrid.h"
#include "browse/DbTableUnit.h"
#include "common/KeyboardState.h"
#include "common/ZorvStr.h"
#include "common/ZorvUtilUnit.h"
#include "engine/Exception.h"
#include "engine/FieldNames.h"
#include "engine/TDataSet.h"
#include "engine/TField.h"

#include <QComboBox>
#include <QLineEdit>

// The filter box: applying and clearing the filter, a condition for the
// selected cell, and the history of filters shared by the table windows.

QStringList FilterHistory;

void TDbTableForm::ApplyFilter() {
    const QString text = FilterText();
    try {
        DataSet->SetFilter(text);
        DataSet->SetFiltered(!DataSet->Filter().isEmpty());
        edFilter->hidePopup();
        int found = -1;
        for (int i = 0; i < edFilter->count(); ++i)
            if (FilterEntry(i).compare(text, Qt::CaseInsensitive) == 0) {
                found = i;
                break;
            }
        if (DataSet->Filtered()) {
            if (found >= 0) edFilter->removeItem(found);
            AddFilterEntry(0, text);
            SetFilterText(text);
        }
        edFilter->lineEdit()->selectAll();
    } catch (const EStatementCancelled&) {
    } catch (const Exception& error) {
        ShowMsg(error.Message(), QStringLiteral("BDE Exception"), MB_ICONEXCLAMATION);
    }
}

void TDbTableForm::ClearFilter() {
    edFilter->hidePopup();
    SetFilterText(QString());
    DataSet->SetFilter(QString());
}

// A text too long to lay out at every paint is shown cut. Once the user
// edits what the box shows, the edited text is the filter.
QString TDbTableForm::FilterText() const {
    const QString shown = edFilter->currentText();
    return !FLongFilter.isEmpty() && shown == Elided(FLongFilter, LongestShownFilter) ? FLongFilter : shown;
}

void TDbTableForm::SetFilterText(const QString& text) {
    FLongFilter = text.size() > LongestShownFilter ? text : QString();
    edFilter->setEditText(Elided(text, LongestShownFilter));
}

QString TDbTableForm::FilterEntry(int index) const {
    const QVariant whole = edFilter->itemData(index);
    return whole.isValid() ? whole.toString() : edFilter->itemText(index);
}

void TDbTableForm::AddFilterEntry(int index, const QString& text) {
    edFilter->insertItem(index, Elided(text, LongestShownFilter), text);
}

void TDbTableForm::FilterByField() {
    const Qt::KeyboardModifiers keys = KeyboardState();
    if (keys & Qt::ShiftModifier) {
        ClearFilter();
        ApplyFilter();
        if (keys & Qt::AltModifier) BreakMasterLink();
        return;
    }
    const TField* field = dbgData->SelectedField();
    if (!field) return;
    QString value = field->AsString();
    // A name the filter language would misread goes in brackets; a text
    // ending in "*" is compared with "==", which takes the "*" as itself.
    QString condition = FilterFieldName(field->FieldName()) + QLatin1Char('=');
    if (field->IsNumeric()) {
        condition += value;
    } else {
        if (value.endsWith(QLatin1Char('*'))) condition += QLatin1Char('=');
        condition +=
            QLatin1Char('\'') + value.replace(QLatin1Char('\''), QLatin1String("''")) + QLatin1Char('\'');
    }
    QString text = FilterText();
    if (!text.contains(condition)) {
        if (!text.isEmpty()) text += QStringLiteral(" AND ");
        text += condition;
        SetFilterText(text);
    }
    edFilter->setFocus();
    edFilter->lineEdit()->setCursorPosition(int(edFilter->currentText().size()));
}

void TDbTableForm::btFilterByFieldClick() {
    FilterByField();
}

void TDbTableForm::StoreFilterHistory() {
    FilterHistory.clear();
    for (int i = 0; i < edFilter->count(); ++i)
        FilterHistory << FilterEntry(i);
}

void TDbTableForm::LoadFilterHistory() {
    const QString text = FilterText();
    edFilter->clear();
    for (const QString& entry : std::as_const(FilterHistory))
        AddFilterEntry(int(edFilter->count()), entry);
    SetFilterText(text);
}
