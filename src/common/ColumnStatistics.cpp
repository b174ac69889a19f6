#include "ColumnStatistics.h"

#include "ZorvMathUnit.h"
#include "ZorvUtilUnit.h"
#include "engine/TDataSet.h"
#include "engine/TField.h"

#include <QScopeGuard>

namespace {

enum class TSumKind { Text, Numeric, Floating };

const QString IntegerPicture = QStringLiteral("### ### ##0");

QString SumPicture(const TField* field, TSumKind kind) {
    if (kind == TSumKind::Text) return IntegerPicture;
    if (!field->DisplayFormat().isEmpty()) return field->DisplayFormat();
    return kind == TSumKind::Floating ? IntegerPicture + QStringLiteral(".00##") : IntegerPicture;
}

} // namespace

double ColumnStatistics(TDataSet* dataSet, const QString& fieldName, bool show) {
    TField* field = dataSet ? dataSet->FindField(fieldName) : nullptr;
    if (!field) {
        ShowMsg(QStringLiteral("Field not found:  %1").arg(fieldName), QStringLiteral("Грешка"), MB_ICONSTOP);
        return 0;
    }
    QString label = field->DisplayName();
    if (label.isEmpty()) label = fieldName;
    const TSumKind kind = field->IsFloat() ? TSumKind::Floating
                          : field->IsNumeric() ? TSumKind::Numeric
                                               : TSumKind::Text;
    const QString picture = SumPicture(field, kind);
    if (!dataSet->Active()) return 0;

    double sum = 0;
    int emptyCount = 0;
    bool aborted = false;
    {
        // The walk reads this one column (declared first: it ends after the
        // record the user was on is found again).
        const TDataSet::TWalkFields walk(dataSet, {field});
        dataSet->DisableControls();
        const QString bookmark = dataSet->Bookmark();
        const auto restore = qScopeGuard([dataSet, &bookmark] {
            // Back on the record the user was on, whatever ended the walk.
            try {
                if (!bookmark.isEmpty()) dataSet->SetBookmark(bookmark);
            } catch (const Exception&) {
                // The record is gone (the rows were re-read): stay where the walk ended.
            }
            dataSet->EnableControls();
        });
        dataSet->First();
        while (!dataSet->Eof()) {
            double value = 0;
            if (kind != TSumKind::Text) {
                value = field->AsFloat();
                if (value == 0 && field->AsString().trimmed().isEmpty()) ++emptyCount;
            } else {
                QString text = field->AsString().trimmed();
                if (text.isEmpty()) {
                    text = QStringLiteral("0");
                    ++emptyCount;
                }
                try {
                    value = double(TextToNumber(text));
                } catch (const EConvertError& error) {
                    const int answer = ShowMsg(error.Message() + QStringLiteral("\rZero is assumed!\r\rPress [Cancel] to abort."),
                                               QStringLiteral("Error"), MB_OKCANCEL | MB_ICONEXCLAMATION);
                    if (answer == IDCANCEL) {
                        aborted = true;
                        break;
                    }
                    value = 0;
                }
            }
            sum += value;
            dataSet->Next();
        }
    }

    if (show) {
        const QString sumText = aborted ? QStringLiteral("<n.a.>") : FormatNumber(picture, sum);
        QString text = QStringLiteral("Сума колона \"") + label + QStringLiteral("\":   ") + sumText + QLatin1Char('\r') +
                       QLatin1Char('\r') + QStringLiteral("Брой редове   ") + QString::number(dataSet->RecordCount()) +
                       QLatin1Char('\r');
        if (emptyCount > 0) text += QStringLiteral("Брой null стойности   ") + QString::number(emptyCount) + QLatin1Char('\r');
        ShowMsg(text, QStringLiteral("Съобщение"), MB_ICONINFORMATION);
    }
    return sum;
}
