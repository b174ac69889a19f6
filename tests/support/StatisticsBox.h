#pragma once

#include "common/ColumnStatistics.h"
#include "engine/TDataSet.h"
#include "engine/TDataSource.h"
#include "support/ScriptedMsgBox.h"

#include <QSignalSpy>

// The text of Ctrl+U's box for a column labelled label.
inline QString StatisticsText(const QString& label, const QString& sum, int count, int empty = 0) {
    QString text = QStringLiteral("Сума колона \"") + label + QStringLiteral("\":   ") + sum +
                   QStringLiteral("\r\rБрой редове   ") + QString::number(count) + QLatin1Char('\r');
    if (empty > 0)
        text += QStringLiteral("Брой null стойности   ") + QString::number(empty) + QLatin1Char('\r');
    return text;
}

// The box of Ctrl+U on a field; server: whether the sum came from the server
// rather than from a walk of the rows (a walk tells the grid once it is over).
inline QString StatisticsBox(TDataSet* dataSet, const QString& field, bool& server) {
    ScriptedMsgBox boxes;
    TDataSource grid;
    grid.SetDataSet(dataSet);
    const QSignalSpy walked(&grid, &TDataSource::DataSetChanged);
    ColumnStatistics(dataSet, field, true);
    server = walked.isEmpty();
    return boxes.Count() == 1 ? boxes.Last().Text : QString();
}
