#pragma once

// A desktop database in a temporary folder, registered as the current
// connection, and an MDI frame for table windows.

#include "browse/DBGrid.h"
#include "browse/DbTableUnit.h"
#include "browse/RecordView.h"
#include "common/ZorvWorkQuery.h"
#include "engine/Session.h"
#include "engine/TDatabase.h"
#include "engine/TField.h"
#include "engine/TQuery.h"
#include "engine/TTable.h"
#include "support/ScriptedMsgBox.h"
#include "support/TestSqlite.h"
#include "support/TestTemp.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// A click on the title of the named column with the given modifiers held.
inline void ClickTitle(TDbTableForm* form, const QString& field, Qt::KeyboardModifiers modifiers) {
    TDBGrid* grid = form->dbgData;
    int column = -1;
    for (int i = 0; i < grid->ColumnCount(); ++i)
        if (grid->ColumnField(i)->FieldName() == field) column = i;
    QVERIFY2(column >= 0, qPrintable(field));
    QHeaderView* titles = grid->horizontalHeader();
    const QPoint centre(titles->sectionViewportPosition(column) + titles->sectionSize(column) / 2,
                        titles->height() / 2);
    ScopedModifiers keys{modifiers};
    QTest::mouseClick(titles->viewport(), Qt::LeftButton, modifiers, centre);
}

class BrowseFixture {
public:
    // Creates the database file, runs the statements and connects to it as
    // database name "TESTDB".
    bool Create(const QString& tag, const QStringList& statements) {
        FTemp = std::make_unique<QTemporaryDir>(TestTemp() + QStringLiteral("/%1-XXXXXX").arg(tag));
        if (!FTemp->isValid()) return false;
        Path = FTemp->path() + QStringLiteral("/test.db");
        // Write-ahead logging: the test changes the file while the windows
        // read it.
        ExecSqlite(Path, {QStringLiteral("PRAGMA journal_mode = WAL")});
        for (const QString& statement : statements)
            Exec(statement);
        Database = std::make_unique<TDatabase>();
        Database->SetDatabaseName(QStringLiteral("TESTDB"));
        Database->SetAliasName(Path);
        Database->SetLoginPrompt(false);
        Database->SetConnected(true);
        PrepareConnection(Database.get());
        CurrentDatabase = Database.get();
        Frame = std::make_unique<QMdiArea>();
        Frame->resize(1000, 700);
        Frame->show();
        return QTest::qWaitForWindowExposed(Frame.get());
    }

    void Destroy() {
        Frame.reset();
        CurrentDatabase = nullptr;
        Database.reset();
    }

    // Changes the file with SQLite alone: the windows' connection only reads.
    void Exec(const QString& statement) const { ExecSqlite(Path, {statement}); }

    // A table window with the table chosen and opened by Enter.
    TDbTableForm* OpenForm(const QString& table) {
        auto* form = new TDbTableForm(Frame.get());
        Choose(form, table);
        return form;
    }

    // Gives widget the keyboard focus in the active frame, as a click would.
    void Focus(QWidget* widget, Qt::FocusReason reason = Qt::MouseFocusReason) const {
        QApplication::setActiveWindow(Frame.get());
        widget->setFocus(reason);
    }

    static void Choose(TDbTableForm* form, const QString& table) {
        form->cbTableName->setCurrentIndex(form->cbTableName->findText(table));
        form->cbTableName->setFocus();
        QTest::keyClick(form->cbTableName, Qt::Key_Return);
    }

    // Moves the grid's current cell.
    static void Select(TDbTableForm* form, int row, int column) {
        form->dbgData->setCurrentIndex(form->dbgData->model()->index(row, column));
    }

    static QString Cell(TDbTableForm* form, int row, int column) {
        return form->dbgData->model()->index(row, column).data().toString();
    }

    static QStringList Column(TDbTableForm* form, int column) {
        QStringList values;
        for (int row = 0; row < form->dbgData->model()->rowCount(); ++row)
            values << Cell(form, row, column);
        return values;
    }

    // The record view's lines: "title = value", with " (marked)" after a
    // value marked as NULL.
    static QStringList RecordLines(const TRecordView* view) {
        QStringList lines;
        const QAbstractItemModel* model = view->lvRecord->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            const QModelIndex value = model->index(row, 1);
            const bool marked = value.data(Qt::FontRole).value<QFont>().italic();
            lines << model->index(row, 0).data().toString() + QStringLiteral(" = ") +
                         value.data().toString() + (marked ? QStringLiteral(" (marked)") : QString());
        }
        return lines;
    }

    static QStringList Entries(const QComboBox* box) {
        QStringList entries;
        for (int i = 0; i < box->count(); ++i)
            entries << box->itemText(i);
        return entries;
    }

    QString Path;
    std::unique_ptr<TDatabase> Database;
    std::unique_ptr<QMdiArea> Frame;

private:
    std::unique_ptr<QTemporaryDir> FTemp;
};
