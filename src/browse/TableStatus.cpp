#include "TableStatus.h"

#include "browse/DbTableUnit.h"
#include "engine/FieldNames.h"
#include "engine/TDataSource.h"
#include "engine/TTable.h"

QString GroupedNumber(qint64 number) {
    const QString digits = QString::number(number < 0 ? -number : number);
    QString grouped;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += QLatin1Char(' ');
        grouped += digits[i];
    }
    return number < 0 ? QLatin1Char('-') + grouped : grouped;
}

TTableStatus TableStatusOf(const TDbTableForm* form) {
    TTableStatus status;
    const TTable* table = form ? form->tblData : nullptr;
    if (!table) return status;
    if (table->Active()) {
        const int count = table->KnownRecordCount();
        if (count == 0)
            status.Position = QStringLiteral("Няма записи");
        else if (count < 0)
            status.Position = QStringLiteral("Запис ") + GroupedNumber(table->RecNo());
        else
            status.Position =
                QStringLiteral("Запис %1 от %2").arg(GroupedNumber(table->RecNo()), GroupedNumber(count));
    }
    if (table->Filtered() && !table->Filter().isEmpty())
        status.Filter = QStringLiteral("Филтър: ") + table->Filter();
    const QStringList order = SplitFieldNames(table->IndexFieldNames(), QLatin1Char(';'));
    if (!order.isEmpty()) status.Order = QStringLiteral("Ред: ") + order.join(QStringLiteral(", "));
    if (const TDataSource* master = table->MasterSource()) {
        const auto* masterForm = qobject_cast<const TDbTableForm*>(master->parent());
        const QString masterName = masterForm ? masterForm->windowTitle() : QString();
        status.Link =
            QStringLiteral("Връзка: %1 (%2 = %3)")
                .arg(masterName,
                     SplitFieldNames(table->MasterFields(), QLatin1Char(';')).join(QStringLiteral(", ")),
                     form->LinkField);
    }
    return status;
}
