#include "BrowseFixture.h"
#include "browse/QuerySorter.h"
#include "common/ExportTxt.h"
#include "common/PlatformDialogs.h"
#include "common/WindowMessage.h"
#include "engine/TDataSource.h"
#include "engine/TField.h"
#include "support/ScriptedMsgBox.h"
#include "support/TestRegistry.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>

class TableWindowTest : public QObject {
    Q_OBJECT

    BrowseFixture F;

private slots:
    void cleanup() {
        F.Frame->closeAllSubWindows();
        QTest::qWait(1);
    }
    void initTestCase() {
        QVERIFY(
            F.Create(QStringLiteral("window"),
                     {"create table ORDERS (ID integer, NAME varchar(100), QTY integer, PRICE float, "
                      "COST money, AMOUNT decimal(10,2))",
                      "insert into ORDERS values (1, 'Alpha', 5, 1.5, 2.25, 3.10), (2, 'Beta', 7, 2, 1, 1), "
                      "(3, 'Gamma', 5, 0.125, 0, 0), (4, 'Delta', 9, 10, 10, 10)",
                      "create table customer (ID integer, NAME varchar(20))",
                      "insert into customer values (1, 'One'), (2, 'Two')", "create table BIG (ID integer)",
                      "insert into BIG with recursive c(x) as (select 1 union all select x + 1 from c "
                      "where x < 500) select x from c"}));
    }
    void cleanupTestCase() { F.Destroy(); }

    void creation() {
        auto* form = new TDbTableForm(F.Frame.get());
        QCOMPARE(form->windowTitle(), QStringLiteral("Database Table"));
        QCOMPARE(form->Database(), F.Database.get());
        QCOMPARE(form->DataSet, static_cast<TDataSet*>(form->tblData));
        QVERIFY(!form->TableOpened);
        QVERIFY(form->isVisible());
        QCOMPARE(F.Frame->subWindowList().size(), 1);
        QCOMPARE(form->parentWidget()->size(), QSize(620, 360));
        QCOMPARE(form->font().pixelSize(), 11);
        // Sorted without regard to case.
        const QStringList names = F.Entries(form->cbTableName);
        QCOMPARE(names.indexOf("BIG") < names.indexOf("customer"), true);
        QCOMPARE(names.indexOf("customer") < names.indexOf("ORDERS"), true);
        QCOMPARE(form->btFilterByField->toolTip(), QStringLiteral("Filter by the selected field (<Alt+F3>)"));
        QCOMPARE(form->btFilterByField->size(), QSize(22, 22));
        QCOMPARE(form->Panel1->height(), 27);
        // edFilter stretches, the button keeps its distance from the right edge.
        const int filterRight = form->Panel1->width() - form->edFilter->geometry().right();
        const int buttonRight = form->Panel1->width() - form->btFilterByField->geometry().right();
        form->parentWidget()->resize(800, 360);
        QCOMPARE(form->Panel1->width() - form->edFilter->geometry().right(), filterRight);
        QCOMPARE(form->Panel1->width() - form->btFilterByField->geometry().right(), buttonRight);
        // Closing frees the window.
        QPointer<TDbTableForm> guard(form);
        form->parentWidget()->close();
        QTRY_VERIFY(guard.isNull());
    }

    void openByEnter() {
        ScriptedMsgBox boxes;
        auto* form = F.OpenForm(QStringLiteral("customer"));
        QCOMPARE(boxes.Count(), 0);
        QCOMPARE(form->windowTitle(), QStringLiteral("TESTDB Table: customer"));
        QVERIFY(form->TableOpened);
        QVERIFY(form->tblData->Active());
        QCOMPARE(F.Column(form, 1), (QStringList{"One", "Two"}));
        QTRY_VERIFY(form->dbgData->hasFocus());
        // Choosing another entry clears the opened flag; leaving the chooser opens it.
        F.Focus(form->cbTableName);
        form->cbTableName->setCurrentIndex(form->cbTableName->findText("ORDERS"));
        QVERIFY(!form->TableOpened);
        F.Focus(form->edFilter, Qt::TabFocusReason);
        QVERIFY(form->TableOpened);
        QCOMPARE(form->windowTitle(), QStringLiteral("TESTDB Table: ORDERS"));
        QCOMPARE(form->dbgData->model()->rowCount(), 4);
    }

    void typingOpensDropDown() {
        auto* form = new TDbTableForm(F.Frame.get());
        F.Focus(form->cbTableName);
        QTest::keyClick(form->cbTableName, Qt::Key_O);
        QTRY_VERIFY(form->cbTableName->view()->isVisible());
        QTest::keyClick(form->cbTableName->view(), Qt::Key_Return);
        QTRY_VERIFY(!form->cbTableName->view()->isVisible());
        QCOMPARE(form->tblData->TableName(), QStringLiteral("ORDERS"));
        QVERIFY(form->TableOpened);
    }

    // Leaving the chooser before any table was chosen has nothing to open
    // or refresh: no message, and the window stays ready for a choice.
    void emptyNameDoesNothing() {
        auto* form = new TDbTableForm(F.Frame.get());
        form->cbTableName->setCurrentIndex(-1);
        F.Focus(form->cbTableName);
        QVERIFY(form->cbTableName->hasFocus());
        ScriptedMsgBox boxes;
        F.Focus(form->edFilter, Qt::TabFocusReason);
        SendWindowMessage(form, 2024);
        QCOMPARE(boxes.Count(), 0);
        QVERIFY(!form->TableOpened);
        QVERIFY(!form->tblData->Active());
        // F5 again: a second window while the first chooser is still empty.
        auto* second = new TDbTableForm(F.Frame.get());
        F.Focus(second->cbTableName);
        QCOMPARE(boxes.Count(), 0);
        F.Choose(form, QStringLiteral("customer"));
        QVERIFY(form->TableOpened);
        QCOMPARE(form->dbgData->model()->rowCount(), 2);
    }

    // The chooser's session restart (F7 onto the same database) closes the
    // table under the window; Enter on the same name opens it again, with
    // its filter and order.
    void sameNameOpensTableClosedUnderTheWindow() {
        auto* form = F.OpenForm(QStringLiteral("ORDERS"));
        form->edFilter->setEditText(QStringLiteral("QTY=5"));
        form->ApplyFilter();
        {
            ScopedModifiers ctrl(Qt::ControlModifier);
            form->dbgDataTitleClick(1);
        }
        Session().Close();
        Session().Open();
        QVERIFY(!form->tblData->Active());
        ScriptedMsgBox boxes;
        F.Choose(form, QStringLiteral("ORDERS"));
        QVERIFY2(boxes.Count() == 0, qPrintable(boxes.Count() ? boxes.Last().Text : QString()));
        QVERIFY(form->TableOpened);
        QVERIFY(form->tblData->Active());
        QCOMPARE(F.Column(form, 1), (QStringList{"Alpha", "Gamma"}));
        QCOMPARE(form->tblData->IndexFieldNames(), QStringLiteral("NAME"));
    }

    // A listed table that fails to open (a view over a dropped table) tells
    // its error once: leaving the chooser again repeats nothing; Enter asks
    // again, and another table opens as usual.
    void failedOpenToldOnce() {
        F.Exec(QStringLiteral("create table GONE (ID integer)"));
        F.Exec(QStringLiteral("create view LOST as select * from GONE"));
        F.Exec(QStringLiteral("drop table GONE"));
        const auto drop = qScopeGuard([this] { F.Exec(QStringLiteral("drop view LOST")); });
        ScriptedMsgBox boxes;
        auto* form = F.OpenForm(QStringLiteral("LOST"));
        QCOMPARE(boxes.Count(), 1);
        QCOMPARE(boxes.Last().Caption, QStringLiteral("BDE Exception"));
        QVERIFY(!form->TableOpened);
        for (int i = 0; i < 3; ++i) {
            F.Focus(form->cbTableName);
            F.Focus(form->edFilter, Qt::TabFocusReason);
        }
        QCOMPARE(boxes.Count(), 1);
        F.Choose(form, QStringLiteral("LOST"));
        QCOMPARE(boxes.Count(), 2);
        F.Focus(form->cbTableName);
        form->cbTableName->setCurrentIndex(form->cbTableName->findText(QStringLiteral("customer")));
        F.Focus(form->edFilter, Qt::TabFocusReason);
        QCOMPARE(boxes.Count(), 2);
        QVERIFY(form->TableOpened);
        QCOMPARE(F.Column(form, 1), (QStringList{"One", "Two"}));
    }

    void refreshKeepsFilterOrderAndLink() {
        auto* master = F.OpenForm(QStringLiteral("customer"));
        auto* form = F.OpenForm(QStringLiteral("ORDERS"));
        F.Select(master, 0, 0);
        QVERIFY(form->LinkToMaster(master->dbgData, 0)); // ORDERS.ID = customer.ID
        form->edFilter->setEditText(QStringLiteral("QTY>0"));
        form->ApplyFilter();
        {
            ScopedModifiers ctrlAlt(Qt::ControlModifier | Qt::AltModifier);
            form->dbgDataTitleClick(1);
        }
        QCOMPARE(form->tblData->IndexFieldNames(), QStringLiteral("ID;NAME"));
        F.Exec(QStringLiteral("insert into ORDERS values (1, 'Aardvark', 1, 0, 0, 0)"));
        F.Choose(form, QStringLiteral("ORDERS"));
        QVERIFY(form->TableOpened);
        QCOMPARE(form->tblData->Filter(), QStringLiteral("QTY>0"));
        QCOMPARE(form->edFilter->currentText(), QStringLiteral("QTY>0"));
        QCOMPARE(form->tblData->IndexFieldNames(), QStringLiteral("ID;NAME"));
        QCOMPARE(form->LinkField, QStringLiteral("ID"));
        QCOMPARE(F.Column(form, 1), (QStringList{"Aardvark", "Alpha"}));
        // A change of table resets filter, link and order.
        F.Choose(form, QStringLiteral("BIG"));
        QCOMPARE(form->tblData->Filter(), QString());
        QCOMPARE(form->edFilter->currentText(), QString());
        QCOMPARE(form->LinkField, QString());
        QCOMPARE(form->tblData->IndexFieldNames(), QString());
        QVERIFY(!form->tblData->MasterSource());
        QCOMPARE(form->Sorter->SortList, QString());
        QCOMPARE(form->tblData->RecordCount(), 500);
        F.Exec(QStringLiteral("delete from ORDERS where NAME = 'Aardvark'"));
    }

    void columnWidths_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("capped");
        QTest::addColumn<int>("displayWidth");
        QTest::newRow("wider") << 300 << 240 << 30;
        QTest::newRow("at the cap") << 240 << 240 << 30;
        QTest::newRow("narrower") << 100 << 100 << 13;
        QTest::newRow("one pixel") << 1 << 1 << 1;
    }
    void columnWidths() {
        QFETCH(int, width);
        QFETCH(int, capped);
        QFETCH(int, displayWidth);
        auto* form = F.OpenForm(QStringLiteral("ORDERS"));
        form->dbgData->setColumnWidth(1, width);
        // Message 2024 refreshes the open table and sizes the columns again.
        SendWindowMessage(form, 2024);
        QCOMPARE(form->dbgData->columnWidth(1), capped);
        QCOMPARE(form->dbgData->ColumnField(1)->DisplayWidth(), displayWidth);
    }

    void openingCapsWideColumns() {
        auto* form = F.OpenForm(QStringLiteral("ORDERS"));
        // NAME is 100 characters wide by default.
        QCOMPARE(form->dbgData->columnWidth(1), 240);
        QCOMPARE(form->dbgData->ColumnField(1)->DisplayWidth(), 30);
        for (int i = 0; i < form->dbgData->ColumnCount(); ++i)
            QVERIFY(form->dbgData->columnWidth(i) <= 240);
    }

    void floatFormats_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("shown");
        QTest::newRow("integer") << 2 << ""
                                 << "5";
        QTest::newRow("float") << 3 << "0.00####"
                               << "1.50";
        QTest::newRow("currency") << 4 << "0.00####"
                                  << "2.25";
        QTest::newRow("decimal") << 5 << "0.00"
                                 << "3.10";
        QTest::newRow("text") << 1 << ""
                              << "Alpha";
    }
    void floatFormats() {
        QFETCH(int, column);
        QFETCH(QString, format);
        QFETCH(QString, shown);
        auto* form = F.OpenForm(QStringLiteral("ORDERS"));
        QCOMPARE(form->dbgData->ColumnField(column)->DisplayFormat(), format);
        QCOMPARE(F.Cell(form, 0, column), shown);
    }

    void stripesFollowScreenPosition() {
        auto* form = F.OpenForm(QStringLiteral("BIG"));
        TDBGrid* grid = form->dbgData;
        // The colour of a record's cell.
        auto colourAt = [grid](int recNo) {
            const QRect cell = grid->visualRect(grid->model()->index(grid->RowOfRecord(recNo), 0));
            const QImage image = grid->viewport()->grab().toImage();
            return QColor(image.pixel(cell.left() + 3, cell.center().y())).rgb();
        };
        const QRgb pale = QColor(255, 255, 239).rgb();
        const QRgb aqua = QColor(0, 255, 255).rgb();
        const QRect first = grid->visualRect(grid->model()->index(0, 0));
        const int q = (grid->viewport()->y() + first.top()) / first.height();
        QCOMPARE(colourAt(1), q % 2 ? pale : aqua);
        QCOMPARE(colourAt(2), q % 2 ? aqua : pale);
        QCOMPARE(colourAt(3), colourAt(1));
        // After scrolling one row the same record sits one stripe further.
        const QRgb third = colourAt(3);
        grid->verticalScrollBar()->setValue(1);
        QCOMPARE(grid->TopRecord(), 2);
        QCOMPARE(colourAt(3), third == pale ? aqua : pale);
        // The current cell is painted with its stripe too.
        F.Select(form, grid->RowOfRecord(5), 0);
        QCOMPARE(colourAt(5), colourAt(3));
    }

    void gridFollowsRecord() {
        auto* form = F.OpenForm(QStringLiteral("BIG"));
        form->dbgData->setFocus();
        QTest::keyClick(form->dbgData, Qt::Key_Down);
        QTest::keyClick(form->dbgData, Qt::Key_Down);
        QCOMPARE(form->tblData->RecNo(), 3);
        form->tblData->SetRecNo(250);
        QCOMPARE(form->dbgData->RecordOfRow(form->dbgData->currentIndex().row()), 250);
        QTest::keyClick(form->dbgData, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(form->tblData->RecNo(), 500);
        QCOMPARE(form->dbgData->RecordOfRow(form->dbgData->currentIndex().row()), 500);
    }

    void readOnly() {
        auto* form = F.OpenForm(QStringLiteral("customer"));
        form->dbgData->setFocus();
        F.Select(form, 1, 1);
        QTest::keyClicks(form->dbgData, QStringLiteral("xyz"));
        QTest::keyClick(form->dbgData, Qt::Key_Insert);
        QTest::keyClick(form->dbgData, Qt::Key_Delete, Qt::ControlModifier);
        QTest::keyClick(form->dbgData, Qt::Key_F2);
        QTest::keyClick(form->dbgData, Qt::Key_Down);
        QTest::keyClick(form->dbgData, Qt::Key_Down);
        QCOMPARE(form->tblData->RecNo(), 2);
        QCOMPARE(form->dbgData->model()->rowCount(), 2);
        TTable check;
        check.SetDatabaseName(F.Path);
        check.SetTableName(QStringLiteral("customer"));
        check.Open();
        QCOMPARE(check.RecordCount(), 2);
        check.Last();
        QCOMPARE(check.FieldByName("NAME")->AsString(), QStringLiteral("Two"));
        QVERIFY(!(form->dbgData->model()->flags(form->dbgData->currentIndex()) & Qt::ItemIsEditable));
    }

    void messages() {
        auto* form = F.OpenForm(QStringLiteral("customer"));
        SendWindowMessage(form, 2034);
        QTRY_VERIFY(form->edFilter->lineEdit()->hasFocus());
        // 2024 opens what the chooser shows.
        form->cbTableName->setCurrentIndex(form->cbTableName->findText("ORDERS"));
        SendWindowMessage(form, 2024);
        QCOMPARE(form->windowTitle(), QStringLiteral("TESTDB Table: ORDERS"));
        // 2035 applies, 2037 clears and applies.
        form->edFilter->setEditText(QStringLiteral("QTY=5"));
        SendWindowMessage(form, 2035);
        QCOMPARE(form->dbgData->model()->rowCount(), 2);
        SendWindowMessage(form, 2037);
        QCOMPARE(form->edFilter->currentText(), QString());
        QCOMPARE(form->dbgData->model()->rowCount(), 4);
        QVERIFY(!form->tblData->Filtered());
        // 2036 appends the selected cell's condition.
        F.Select(form, 1, 2);
        SendWindowMessage(form, 2036);
        QCOMPARE(form->edFilter->currentText(), QStringLiteral("QTY=7"));
        // 2038 on an unlinked window that is not open only clears link and order.
        auto* idle = new TDbTableForm(F.Frame.get());
        idle->LinkField = QStringLiteral("X");
        idle->Sorter->AddField(QStringLiteral("X"), false);
        SendWindowMessage(idle, 2038);
        QCOMPARE(idle->LinkField, QString());
        QCOMPARE(idle->Sorter->SortList, QString());
        QVERIFY(!idle->tblData->Active());
        // Statistics without a table do nothing.
        ScriptedMsgBox boxes;
        SendWindowMessage(idle, 2027);
        QCOMPARE(boxes.Count(), 0);
    }

    void exportMessages_data() {
        QTest::addColumn<int>("msg");
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("1028 plain") << 1028 << QByteArray("ID\tNAME\r\n1\tOne\r\n2\tTwo\r\n");
        QTest::newRow("1027 framed") << 1027 << QByteArray();
    }
    void exportMessages() {
        QFETCH(int, msg);
        QFETCH(QByteArray, content);
        auto* form = F.OpenForm(QStringLiteral("customer"));
        form->edFilter->setEditText(QStringLiteral("ID>0"));
        form->ApplyFilter();
        const TExportTxtOpts before = ExportTxtOpts;
        ExportTxtOpts.Separator.clear();
        ExportTxtOpts.FixedWidths = true;
        ExportTxtOpts.CodePage = 2;
        ExportTxtOpts.Quote.clear();
        const TExportTxtOpts odd = ExportTxtOpts;
        const QString path = F.Path + QStringLiteral(".%1.txt").arg(msg);
        QString askedTitle;
        const auto previous =
            SetSaveFileResponder([&](const QString&, const QString&, const QString& proposed,
                                     const QString&) -> std::optional<QString> {
                askedTitle = proposed;
                return path;
            });
        if (msg == 1027) ExportTxtOpts = before;
        SendWindowMessage(form, msg);
        SetSaveFileResponder(previous);
        QCOMPARE(askedTitle, QStringLiteral("TESTDB_Table_customer"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray written = file.readAll();
        if (msg == 1028) {
            QCOMPARE(written, content);
            // Whatever the export did, the settings are as they were.
            QCOMPARE(ExportTxtOpts.Separator, odd.Separator);
            QCOMPARE(ExportTxtOpts.WithHeader, odd.WithHeader);
            QCOMPARE(ExportTxtOpts.FixedWidths, odd.FixedWidths);
            QCOMPARE(ExportTxtOpts.CodePage, odd.CodePage);
        } else {
            // The framed layout names the window and the filter.
            QVERIFY(written.contains("TESTDB Table: customer"));
            QVERIFY(written.contains("ID>0"));
        }
        ExportTxtOpts = before;
    }

    void contextMenu() {
        auto* form = F.OpenForm(QStringLiteral("customer"));
        F.Select(form, 0, 0);
        QStringList texts;
        ScriptedMsgBox boxes;
        QTimer::singleShot(0, [&texts] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            for (QAction* action : menu->actions()) {
                texts << action->text();
                if (!action->shortcut().isEmpty()) texts << action->shortcut().toString();
            }
            menu->actions().at(2)->trigger();
            menu->close();
        });
        emit form->dbgData->customContextMenuRequested(QPoint(5, 5));
        QCOMPARE(texts,
                 (QStringList{"Експорт в текстов файл...", "Експорт като таблица...", "Сума на колоната",
                              "Ctrl+U", "", "Изглед на записа", "F6", "Копирай редовете със заглавията"}));
        QCOMPARE(boxes.Count(), 1);
        QCOMPARE(boxes.Last().Caption, QStringLiteral("Съобщение"));
        QVERIFY(boxes.Last().Text.startsWith(QStringLiteral("Сума колона \"ID\":   3")));
    }
};

TAMSEL_TEST(TableWindowTest);
#include "TableWindowTest.moc"
