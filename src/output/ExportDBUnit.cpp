#include "ExportDBUnit.h"

#include "common/Application.h"
#include "common/PlatformDialogs.h"
#include "common/ZorvWorkQuery.h"
#include "engine/Exception.h"
#include "engine/FileWrite.h"
#include "engine/TDatabase.h"
#include "engine/TField.h"
#include "engine/TQuery.h"
#include "engine/Win1251.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <memory>

namespace {

QPushButton* GlyphButton(const QString& caption, QStyle::StandardPixmap glyph, int width, int height,
                         QWidget* owner) {
    auto* button = new QPushButton(owner->style()->standardIcon(glyph), caption, owner);
    button->setFixedSize(width, height);
    button->setAutoDefault(false);
    return button;
}

// The lines of a text as a string list takes them: CR LF, CR or LF end a
// line, and a break at the very end starts no further line.
QStringList TextLines(const QString& text) {
    if (text.isEmpty()) return {};
    QString unified = text;
    unified.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    unified.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = unified.split(QLatin1Char('\n'));
    if (unified.endsWith(QLatin1Char('\n'))) lines.removeLast();
    return lines;
}

// Replaces the file with the lines, each followed by CR LF, in Windows-1251.
void WriteHeaderFile(const QString& path, const QString& text) {
    QByteArray bytes;
    for (const QString& line : TextLines(text))
        bytes += ToWin1251(line) + "\r\n";
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw Exception(QStringLiteral("Cannot create file \"") + path + QStringLiteral("\". ") +
                        file.errorString());
    if (!WriteAll(file, bytes) || !file.flush())
        throw Exception(QStringLiteral("Cannot write file \"") + path + QStringLiteral("\". ") +
                        file.errorString());
}

// The table's file in the folder: its name and "Table.txt". A "/" in the
// name is written "%2F", so that no name leads the file out of the folder
// (and ".." can no longer stand alone as a part of the path).
QString UnloadFileName(const QString& tableName) {
    return QString(tableName).replace(QLatin1Char('/'), QLatin1String("%2F")) + QStringLiteral("Table.txt");
}

} // namespace

TExportDbForm::TExportDbForm(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("ExportDbForm"));
    setWindowTitle(QStringLiteral("Експорт към базата данни"));
    resize(797, 439);

    ButtonsPanel = new QWidget(this);
    ButtonsPanel->setFixedHeight(40);
    btnSelectAll =
        GlyphButton(QStringLiteral("Селектирай всички"), QStyle::SP_DialogApplyButton, 145, 25, ButtonsPanel);
    btnDeselectAll = GlyphButton(QStringLiteral("Деселектирай всички"), QStyle::SP_DialogResetButton, 145, 25,
                                 ButtonsPanel);
    btnClose = new QPushButton(QStringLiteral("Затвори"), ButtonsPanel);
    btnClose->setFixedSize(99, 25);
    btnClose->setAutoDefault(false);
    auto* buttonsLayout = new QHBoxLayout(ButtonsPanel);
    buttonsLayout->setContentsMargins(8, 0, 8, 0);
    buttonsLayout->addWidget(btnSelectAll);
    buttonsLayout->addWidget(btnDeselectAll);
    buttonsLayout->addStretch();
    buttonsLayout->addWidget(btnClose);

    cblTables = new QListWidget(this);
    cblTables->setFixedWidth(321);

    GroupBox1 = new QGroupBox(QStringLiteral("  Експорт  "), this);
    GroupBox1->setFixedHeight(81);
    Label1 = new QLabel(QStringLiteral("Изберете папка за експорт :"), GroupBox1);
    dirEdit = new QLineEdit(GroupBox1);
    dirEditButton = new QToolButton(GroupBox1);
    dirEditButton->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    btnExport = GlyphButton(QStringLiteral("Експортирай Избраните таблици"), QStyle::SP_DialogSaveButton, 249,
                            33, GroupBox1);
    auto* folderRow = new QHBoxLayout;
    folderRow->setSpacing(2);
    folderRow->addWidget(dirEdit, 1);
    folderRow->addWidget(dirEditButton);
    folderRow->addSpacing(8);
    folderRow->addWidget(btnExport);
    auto* groupLayout = new QVBoxLayout(GroupBox1);
    groupLayout->setContentsMargins(8, 4, 8, 4);
    groupLayout->setSpacing(2);
    groupLayout->addWidget(Label1);
    groupLayout->addLayout(folderRow);

    LogMemo = new QPlainTextEdit(this);
    LogMemo->setReadOnly(true);
    QPalette logPalette = LogMemo->palette();
    logPalette.setColor(QPalette::Base, logPalette.color(QPalette::Button));
    LogMemo->setPalette(logPalette);

    auto* right = new QVBoxLayout;
    right->addWidget(GroupBox1);
    right->addWidget(LogMemo, 1);
    auto* body = new QHBoxLayout;
    body->addWidget(cblTables);
    body->addLayout(right, 1);
    auto* formLayout = new QVBoxLayout(this);
    formLayout->setContentsMargins(0, 0, 0, 0);
    formLayout->setSpacing(0);
    formLayout->addLayout(body, 1);
    formLayout->addWidget(ButtonsPanel);

    qrTables = new TQuery(this);
    qrTables->setObjectName(QStringLiteral("qrTables"));
    qrTables->SetSQL({QStringLiteral("select table_name from sys.systable"),
                      QStringLiteral("where creator=1 and table_type='BASE'"),
                      QStringLiteral("order by table_name ")});

    connect(btnSelectAll, &QPushButton::clicked, this, Guarded(this, &TExportDbForm::btnSelectAllClick));
    connect(btnDeselectAll, &QPushButton::clicked, this, Guarded(this, &TExportDbForm::btnDeselectAllClick));
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnExport, &QPushButton::clicked, this, Guarded(this, &TExportDbForm::btnExportClick));
    connect(dirEditButton, &QToolButton::clicked, this, Guarded(this, &TExportDbForm::dirEditButtonClick));
}

TExportDbForm::~TExportDbForm() = default;

void TExportDbForm::AddLog(const QString& text) {
    LogMemo->appendPlainText(text);
    // Each statement blocks until the server is done: paint the line now,
    // keeping the user's input for later.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TExportDbForm::CheckAll(bool checked) {
    for (int i = 0; i < cblTables->count(); ++i)
        cblTables->item(i)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void TExportDbForm::btnSelectAllClick() {
    CheckAll(true);
}

void TExportDbForm::btnDeselectAllClick() {
    CheckAll(false);
}

void TExportDbForm::dirEditButtonClick() {
    if (const std::optional<QString> folder = PromptFolder(dirEdit->text())) dirEdit->setText(*folder);
}

void TExportDbForm::btnExportClick() {
    int ticked = 0;
    for (int i = 0; i < cblTables->count(); ++i)
        if (cblTables->item(i)->checkState() == Qt::Checked) ++ticked;
    const QString caption = QApplication::applicationDisplayName();
    if (ticked == 0) {
        PlainMessageBox(QStringLiteral("Изберете таблици за експорт!"), caption);
        return;
    }
    // An empty box names no folder at all.
    QString folder = dirEdit->text();
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        PlainMessageBox(QStringLiteral("Избраната папка не съществува!"), caption);
        return;
    }
    btnExport->setEnabled(false);
    const auto enable = qScopeGuard([this] { btnExport->setEnabled(true); });
    RunExport(folder, ticked);
}

void TExportDbForm::RunExport(const QString& folder, int tickedCount) {
    try {
        RunSql(QStringLiteral("set option allow_write_client_file='On'"));
        int number = 0;
        for (int i = 0; i < cblTables->count(); ++i) {
            const QListWidgetItem* item = cblTables->item(i);
            if (item->checkState() != Qt::Checked) continue;
            ++number;
            AddLog(QStringLiteral("Експортира таблица %1 от %2").arg(number).arg(tickedCount));
            UnloadTable(folder, item->text());
        }
        AddLog(QStringLiteral("ЕКСПОРТА ПРИКЛЮЧИ УСПЕШНО!"));
    } catch (const Exception& error) {
        AddLog(QStringLiteral("ВЪЗНИКНА ГРЕШКА ПРИ ЕКСПОРТ : ") + error.Message());
    } catch (const std::exception& error) {
        AddLog(QStringLiteral("ВЪЗНИКНА ГРЕШКА ПРИ ЕКСПОРТ : ") + QString::fromLocal8Bit(error.what()));
    }
}

void TExportDbForm::UnloadTable(const QString& folder, const QString& tableName) {
    const QString file = folder + UnloadFileName(tableName);
    AddLog(tableName + QStringLiteral(" ===> ") + file + QStringLiteral("  ..."));
    // The name reaches the server as a name: a blank, a quote, a ";" or a
    // reserved word in it can neither break nor change the statement.
    const QString table = SqlIdentifier(tableName);
    const QVariant header = RunSql(
        QStringLiteral(
            "select replace(list(name order by column_number asc),',','\\x09')  from sa_describe_query(") +
        SqlLiteral(QStringLiteral("SELECT * FROM ") + table) + QStringLiteral(")"));
    try {
        WriteHeaderFile(file, header.isValid() && !header.isNull() ? header.toString() : QString());
        // The path is the user's: a quote or a backslash in a folder name must
        // reach the server as itself, not end the literal or start an escape.
        RunSql(QStringLiteral("unload from table ") + table + QStringLiteral(" into client file ") +
               SqlLiteral(file) + QStringLiteral(" delimited by '\\x09'") + QStringLiteral(" quotes off") +
               QStringLiteral(" append on"));
    } catch (const Exception& error) {
        // A file cut short (a full disk, a lost server) must not pass for a
        // whole table: it goes, or the message says that it is incomplete.
        if (!QFileInfo(file).isFile() || QFile::remove(file)) throw;
        throw Exception(error.Message() + QStringLiteral(" The file \"") + file +
                        QStringLiteral("\" is incomplete."));
    }
}

void PrepareUnloadDialog(TExportDbForm* dialog, TDatabase* connection) {
    dialog->LogMemo->clear();
    dialog->dirEdit->setText(QDir::currentPath());
    dialog->qrTables->Close();
    dialog->qrTables->SetDatabaseName(connection->DatabaseName());
    LoadTableList(dialog);
}

void LoadTableList(TExportDbForm* dialog) {
    TQuery* query = dialog->qrTables;
    query->Close();
    const auto close = qScopeGuard([query] { query->Close(); });
    query->Open();
    dialog->cblTables->clear();
    for (query->First(); !query->Eof(); query->Next()) {
        auto* item = new QListWidgetItem(query->Fields(0)->AsString(), dialog->cblTables);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
}

void ShowUnloadDialog(TDatabase* connection) {
    if (!connection || connection->DatabaseName().isEmpty()) return;
    // Parented to the main window, the dialog opens centred on it.
    auto dialog = std::make_unique<TExportDbForm>(QApplication::activeWindow());
    PrepareUnloadDialog(dialog.get(), connection);
    dialog->exec();
}
