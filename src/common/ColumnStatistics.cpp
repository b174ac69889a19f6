#include "ColumnStatistics.h"

#include "WalkProgress.h"
#include "ZorvMathUnit.h"
#include "ZorvUtilUnit.h"
#include "engine/TDataSet.h"
#include "engine/TField.h"
#include "engine/WalkGuard.h"

#include <cmath>

namespace {

enum class TSumKind { Text, Numeric, Floating };

const QString IntegerPicture = QStringLiteral("### ### ##0");

QString SumPicture(const TField* field, TSumKind kind) {
    if (kind == TSumKind::Text) return IntegerPicture;
    if (!field->DisplayFormat().isEmpty()) return field->DisplayFormat();
    return kind == TSumKind::Floating ? IntegerPicture + QStringLiteral(".00##") : IntegerPicture;
}

// The running sum of a column: exact while every value is a whole or
// fixed-point number and the sum stays exact, a double from the first REAL or
// overflow on.
class TColumnSum {
public:
    void Add(const TExactNumber& number) {
        if (FExact && FSum.Add(number)) return;
        ToFloat();
        FFloat += double(number.Mantissa) / std::pow(10.0, number.Scale);
    }
    void Add(double value) {
        ToFloat();
        FFloat += value;
    }
    double Value() const { return FExact ? FSum.Value().ToDouble() : FFloat; }
    QString Format(const QString& picture) const {
        return FExact ? FormatNumber(picture, FSum.Value()) : FormatNumber(picture, FFloat);
    }

private:
    void ToFloat() {
        if (!FExact) return;
        FFloat = Value();
        FExact = false;
    }

    bool FExact = true;
    TExactSum FSum;
    double FFloat = 0;
};

void ShowResult(const QString& label, const QString& sumText, int recordCount, qint64 emptyCount) {
    QString text = QStringLiteral("Сума колона \"") + label + QStringLiteral("\":   ") + sumText +
                   QLatin1Char('\r') + QLatin1Char('\r') + QStringLiteral("Брой редове   ") +
                   QString::number(recordCount) + QLatin1Char('\r');
    if (emptyCount > 0)
        text += QStringLiteral("Брой null стойности   ") + QString::number(emptyCount) + QLatin1Char('\r');
    ShowMsg(text, QStringLiteral("Съобщение"), MB_ICONINFORMATION);
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
    const TSumKind kind = field->IsFloat()     ? TSumKind::Floating
                          : field->IsNumeric() ? TSumKind::Numeric
                                               : TSumKind::Text;
    const QString picture = SumPicture(field, kind);
    if (!dataSet->Active()) return 0;

    // Whole and fixed-point numbers add up on the server, in one statement,
    // where it adds them exactly: the same text as the walk's, without it.
    TColumnTotals totals;
    if (kind == TSumKind::Numeric && dataSet->ColumnTotals(field, totals)) {
        if (show) ShowResult(label, FormatNumber(picture, totals.Sum), dataSet->RecordCount(), totals.Nulls);
        return totals.Sum.ToDouble();
    }

    TColumnSum sum;
    int emptyCount = 0;
    bool aborted = false, cancelled = false;
    {
        // The walk reads this one column; the grid stays as it was.
        const TWalkGuard walk(dataSet, {field}, TWalkGuard::TRestore::RecordFirst);
        TWalkProgress progress(dataSet, QStringLiteral("Сума колона \"") + label + QLatin1Char('"'),
                               QStringLiteral("Прочетени редове"));
        dataSet->First();
        while (!dataSet->Eof() && !cancelled) {
            TExactNumber exact;
            if (kind != TSumKind::Text && field->AsExact(exact)) {
                if (exact.Null) ++emptyCount;
                sum.Add(exact);
            } else if (kind != TSumKind::Text) {
                const double value = field->AsFloat();
                if (value == 0 && field->AsString().trimmed().isEmpty()) ++emptyCount;
                sum.Add(value);
            } else {
                QString text = field->AsString().trimmed();
                if (text.isEmpty()) {
                    text = QStringLiteral("0");
                    ++emptyCount;
                }
                double value = 0;
                try {
                    value = double(TextToNumber(text));
                } catch (const EConvertError& error) {
                    const int answer = ShowMsg(
                        error.Message() + QStringLiteral("\rZero is assumed!\r\rPress [Cancel] to abort."),
                        QStringLiteral("Error"), MB_OKCANCEL | MB_ICONEXCLAMATION);
                    if (answer == IDCANCEL) {
                        aborted = true;
                        break;
                    }
                }
                sum.Add(value);
            }
            dataSet->Next();
            cancelled = !progress.Step();
        }
    }

    // A walk the user stopped has no sum to show.
    if (show && !cancelled)
        ShowResult(label, aborted ? QStringLiteral("<n.a.>") : sum.Format(picture), dataSet->RecordCount(),
                   emptyCount);
    return sum.Value();
}
