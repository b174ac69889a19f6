#include "SortMarks.h"

#include "engine/FieldNames.h"

QString SortMarkedTitle(const QString& title, const QString& fieldName, const QString& indexFieldNames) {
    const QStringList order = SplitFieldNames(indexFieldNames, QLatin1Char(';'));
    // The table finds fields without regard to case, so does its order.
    qsizetype place = -1;
    for (qsizetype i = 0; i < order.size() && place < 0; ++i)
        if (order[i].compare(fieldName, Qt::CaseInsensitive) == 0) place = i;
    if (place < 0) return title;
    // The mark goes first, where a narrow column still shows it.
    const QString arrow = QStringLiteral("\u25B2");
    return (order.size() > 1 ? arrow + QString::number(place + 1) : arrow) + QLatin1Char(' ') + title;
}

QString SortTitleToolTip() {
    return QStringLiteral("Ctrl+щракване: подреждане по тази колона\n"
                          "Ctrl+Alt+щракване: добавяне към подреждането");
}
