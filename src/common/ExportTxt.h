#pragma once

// Writing a grid or a data set to a text file.

#include <QString>
#include <QStringList>

class TDataSet;
class TField;

struct TExportTxtOpts {
    QString Separator = QStringLiteral("\t");
    bool WithHeader = true;
    bool WithTitles = true;
    bool FixedWidths = false;
    quint8 CodePage = 0;
    QString DefaultFileName;
    const QStringList* Footer = nullptr; // not owned; absent when null
    QString Quote;
};

extern TExportTxtOpts ExportTxtOpts;

// What the export reads of a data grid: its data set and its columns in
// grid order (a hidden column has no field; widths in pixels).
class TExportGrid {
public:
    virtual ~TExportGrid() = default;
    virtual TDataSet* ExportDataSet() const = 0;
    virtual int ExportColumnCount() const = 0;
    virtual TField* ExportColumnField(int column) const = 0; // null for a hidden column
    virtual int ExportColumnWidth(int column) const = 0;
};

// Appends a cell's text with each tab, line feed, carriage return and
// backslash written as a backslash and "-", "_", "." or "\\", so that no
// cell can break a line or a tab-separated column.
void AppendEscaped(QString& out, const QString& text);

// Status: empty when done, "smNotExportedToFile" when nothing was written,
// or the error text shown to the user. An empty fileName asks with the save
// dialog.
void ExportToTextFile(const TExportGrid* grid, const QStringList* headerLines,
                      const QStringList* trailerLines, const QString& title, const QString& fileName,
                      QString& status);
void ExportToTextFile(TDataSet* dataSet, const QStringList* headerLines, const QStringList* trailerLines,
                      const QString& title, const QString& fileName, QString& status);
