#pragma once

#include <QString>

class TDataSet;

// Adds up one column over every record; shows sum, record count and the
// count of empty values when show is true. Returns the sum.
double ColumnStatistics(TDataSet* dataSet, const QString& fieldName, bool show);
