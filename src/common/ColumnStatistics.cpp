#include "ColumnStatistics.h"

#include "WalkProgress.h"
#include "ZorvMathUnit.h"
#include "ZorvUtilUnit.h"
#include "engine/TDataSet.h"
#include "engine/TField.h"

#include <QScopeGuard>
#include <cmath>

namespace {

enum class TSumKind { Text, Numeric, Floating };

const QString IntegerPicture = QStringLiteral("### ### ##0");

QString SumPicture(const TField* field, TSumKind kind) {
    if (kind == TSumKind::Text) return IntegerPicture;
    if (!field->DisplayFormat().isEmpty()) return field->DisplayFormat();
    return kind == TSumKind::Floating ? IntegerPicture + QStringLiteral(".00##") : IntegerPicture;
}

// The running sum of a column: exact (a 128-bit mantissa at the largest
// scale seen) while every value is a whole or fixed-point number and the sum
// fits, a double from the first REAL or overflow on.
class TColumnSum {
public:
    void Add(const TExactNumber& number) {
        if (FExact && AddExact(number)) return;
        ToFloat();
        FFloat += double(number.Mantissa) / std::pow(10.0, number.Scale);
    }
    void Add(double value) {
        ToFloat();
        FFloat += value;
    }
    double Value() const { return FExact ? TDecimal::FromScaled(FSum, FScale).ToDouble() : FFloat; }
    QString Format(const QString& picture) const {
        return FExact ? FormatNumber(picture, TDecimal::FromScaled(FSum, FScale))
                      : FormatNumber(picture, FFloat);
    }

private:
    static constexpr int MaxScale = 30;
    // 10^38 and a little: the most a sum may hold before it is no longer exact.
    static constexpr TInt128 Limit = TInt128(1000000000000000000LL) * TInt128(1000000000000000000LL) * 100;

    static bool Scale(TInt128& value, int by) {
        for (; by > 0; --by) {
            if (value > Limit / 10 || value < -Limit / 10) return false;
            value *= 10;
        }
        return true;
    }
    bool AddExact(const TExactNumber& number) {
        TInt128 mantissa = number.Mantissa;
        int scale = number.Scale;
        if (scale < 0) {
            if (!Scale(mantissa, -scale)) return false;
            scale = 0;
        }
        if (scale > MaxScale) return false;
        if (scale > FScale) {
            if (!Scale(FSum, scale - FScale)) return false;
            FScale = scale;
        } else if (!Scale(mantissa, FScale - scale)) {
            return false;
        }
        const TInt128 sum = FSum + mantissa;
        if (sum > Limit || sum < -Limit) return false;
        FSum = sum;
        return true;
    }
    void ToFloat() {
        if (!FExact) return;
        FFloat = Value();
        FExact = false;
    }

    bool FExact = true;
    TInt128 FSum = 0;
    int FScale = 0;
    double FFloat = 0;
};

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

    TColumnSum sum;
    int emptyCount = 0;
    bool aborted = false, cancelled = false;
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
    if (show && !cancelled) {
        const QString sumText = aborted ? QStringLiteral("<n.a.>") : sum.Format(picture);
        QString text = QStringLiteral("Сума колона \"") + label + QStringLiteral("\":   ") + sumText +
                       QLatin1Char('\r') + QLatin1Char('\r') + QStringLiteral("Брой редове   ") +
                       QString::number(dataSet->RecordCount()) + QLatin1Char('\r');
        if (emptyCount > 0)
            text +=
                QStringLiteral("Брой null стойности   ") + QString::number(emptyCount) + QLatin1Char('\r');
        ShowMsg(text, QStringLiteral("Съобщение"), MB_ICONINFORMATION);
    }
    return sum.Value();
}
