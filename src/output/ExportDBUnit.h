#pragma once

// The table unload dialog: ticked tables of the connected database are
// written into a folder, one file per table, a header line by the program
// and the rows by the server's own unload statement.

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QToolButton;
class QWidget;
class TDatabase;
class TQuery;

class TExportDbForm : public QDialog {
    Q_OBJECT
public:
    explicit TExportDbForm(QWidget* owner = nullptr);
    ~TExportDbForm() override;

    QWidget* ButtonsPanel;
    QPushButton* btnSelectAll;
    QPushButton* btnDeselectAll;
    QPushButton* btnClose;
    QListWidget* cblTables;
    QGroupBox* GroupBox1;
    QLabel* Label1;
    QLineEdit* dirEdit;
    QToolButton* dirEditButton; // opens the folder picker for dirEdit
    QPushButton* btnExport;
    QPlainTextEdit* LogMemo;
    TQuery* qrTables;

    void AddLog(const QString& text);
    // One table into folder (which ends in "/"): the header line, then the rows.
    void UnloadTable(const QString& folder, const QString& tableName);

public slots:
    void btnSelectAllClick();
    void btnDeselectAllClick();
    void btnExportClick();
    void dirEditButtonClick();

private:
    void CheckAll(bool checked);
    void RunExport(const QString& folder, int tickedCount);
};

// Runs the dialog modally on the connection; does nothing when it has no
// database name. A failing table list reaches the caller and no dialog shows.
void ShowUnloadDialog(TDatabase* connection);
// Empties the log, proposes the current folder and lists the connection's
// base tables.
void PrepareUnloadDialog(TExportDbForm* dialog, TDatabase* connection);
void LoadTableList(TExportDbForm* dialog);
