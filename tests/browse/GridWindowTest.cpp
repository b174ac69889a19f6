#include "BrowseFixture.h"
#include "common/WindowMessage.h"
#include "support/ScriptedMsgBox.h"
#include "support/TestRegistry.h"

#include <QLineEdit>
#include <QScrollBar>
#include <QWheelEvent>

// The grid as a window onto a large table: what opening, filtering and
// sorting read, how many rows the view holds, and where the keys, the
// wheel, the scroll bar and clicks land.
class GridWindowTest : public QObject {
    Q_OBJECT

    BrowseFixture F;
    static constexpr int Large = 100000;
    static constexpr int Middle = 2500;

    static int WholeRows(const TDBGrid* grid) {
        return grid->viewport()->height() / grid->verticalHeader()->defaultSectionSize();
    }

    // The current cell is on the data set's current record, on the screen.
    static void VerifyCurrentShown(TDbTableForm* form) {
        TDBGrid* grid = form->dbgData;
        const int recNo = form->tblData->RecNo();
        const QModelIndex current = grid->currentIndex();
        QVERIFY(current.isValid());
        QCOMPARE(grid->RecordOfRow(current.row()), recNo);
        QVERIFY2(current.row() < WholeRows(grid), qPrintable(QString::number(current.row())));
        QCOMPARE(BrowseFixture::Cell(form, current.row(), 0), QString::number(recNo));
    }

private slots:
    void initTestCase() {
        const QString rows =
            QStringLiteral("insert into %1 with recursive c(x) as (select 1 union all select x + 1 "
                           "from c where x < %2) select x, 'n' || (%2 - x) from c");
        QVERIFY(F.Create(QStringLiteral("gridwindow"),
                         {"create table N (ID integer, NAME varchar(20))", rows.arg("N").arg(Large),
                          "create table SMALL (ID integer, NAME varchar(20))", rows.arg("SMALL").arg(1000),
                          "create table MID (ID integer, NAME varchar(20))", rows.arg("MID").arg(Middle)}));
    }
    void cleanupTestCase() { F.Destroy(); }
    void cleanup() {
        F.Frame->closeAllSubWindows();
        QTest::qWait(1);
    }

    // Opening, filtering, clearing and sorting draw the first rows without
    // a count of the table.
    void noCountBeforeFirstRows_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("first");
        QTest::newRow("open") << ""
                              << "1";
        QTest::newRow("filter") << "filter"
                                << "6";
        QTest::newRow("filter cleared") << "clear"
                                        << "1";
        QTest::newRow("sort") << "sort" << QString::number(Large);
        QTest::newRow("refresh") << "refresh"
                                 << "1";
    }
    void noCountBeforeFirstRows() {
        QFETCH(QString, action);
        QFETCH(QString, first);
        ScriptedMsgBox boxes;
        auto* form = F.OpenForm(QStringLiteral("N"));
        if (action == "filter" || action == "clear") {
            form->edFilter->setEditText(QStringLiteral("ID>5"));
            F.Focus(form->edFilter->lineEdit());
            QTest::keyClick(form->edFilter->lineEdit(), Qt::Key_Return);
            QCOMPARE(form->tblData->Filter(), QStringLiteral("ID>5"));
        }
        if (action == "clear") SendWindowMessage(form, 2037);
        if (action == "sort") ClickTitle(form, QStringLiteral("NAME"), Qt::ControlModifier);
        if (action == "refresh") SendWindowMessage(form, 2024);
        QCOMPARE(boxes.Count(), 0);
        QTest::qWait(1); // a count learned on the way would be told by now
        QCOMPARE(F.Cell(form, 0, 0), first);
        QCOMPARE(form->tblData->KnownRecordCount(), -1);
        QVERIFY2(form->tblData->RowsRead() <= 2000, qPrintable(QString::number(form->tblData->RowsRead())));
        // The scroll bar reaches past what was read, not to the end.
        QScrollBar* bar = form->dbgData->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QVERIFY(bar->maximum() < Large - WholeRows(form->dbgData));
    }

    // The view holds the rows on the screen, whatever the table's size.
    void rowsBoundedByScreen_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("records");
        QTest::newRow("1,000 rows") << "SMALL" << 1000;
        QTest::newRow("100,000 rows") << "N" << Large;
    }
    void rowsBoundedByScreen() {
        QFETCH(QString, table);
        QFETCH(int, records);
        auto* form = F.OpenForm(table);
        TDBGrid* grid = form->dbgData;
        const int screen = WholeRows(grid) + 1;
        QVERIFY(screen > 2);
        QCOMPARE(grid->model()->rowCount(), screen);
        QCOMPARE(grid->verticalHeader()->count(), screen);
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(form->tblData->RecNo(), records);
        QVERIFY(grid->model()->rowCount() <= screen);
        QCOMPARE(grid->verticalHeader()->count(), grid->model()->rowCount());
        QCOMPARE(grid->verticalScrollBar()->maximum(), records - WholeRows(grid));
        // Higher, the window has more rows, still only the screen's.
        form->parentWidget()->resize(620, 600);
        QTRY_COMPARE(grid->model()->rowCount(), qMin(WholeRows(grid) + 1, records - grid->TopRecord() + 1));
        QVERIFY(WholeRows(grid) + 1 > screen);
    }

    // While the count is unknown the bar grows as the user goes down; once
    // a read has learned the count, the bar ends at the last record.
    void scrollRangeFollowsCount() {
        auto* form = F.OpenForm(QStringLiteral("N"));
        TDBGrid* grid = form->dbgData;
        QScrollBar* bar = grid->verticalScrollBar();
        const int opened = bar->maximum();
        bar->setValue(bar->maximum());
        QCOMPARE(grid->TopRecord(), opened + 1);
        QCOMPARE(F.Cell(form, 0, 0), QString::number(opened + 1));
        QVERIFY2(bar->maximum() > opened, qPrintable(QString::number(bar->maximum())));
        QCOMPARE(form->tblData->KnownRecordCount(), -1);
        // Dragged, the thumb keeps its range under the pointer until let go.
        const int before = bar->maximum();
        bar->setSliderDown(true);
        bar->setValue(before);
        QCOMPARE(grid->TopRecord(), before + 1);
        QCOMPARE(bar->maximum(), before);
        bar->setSliderDown(false);
        QVERIFY(bar->maximum() > before);
        bar->setValue(opened);
        QCOMPARE(grid->TopRecord(), opened + 1);
        // Someone asks for the count: the grid hears it afterwards.
        QCOMPARE(form->tblData->RecordCount(), Large);
        QTRY_COMPARE(bar->maximum(), Large - WholeRows(grid));
        QCOMPARE(grid->TopRecord(), opened + 1);
        // Dragged to the end, the last record ends the screen.
        bar->setValue(bar->maximum());
        QCOMPARE(grid->TopRecord(), Large - WholeRows(grid) + 1);
        QCOMPARE(F.Cell(form, WholeRows(grid) - 1, 0), QString::number(Large));
    }

    // Without a count, neither steps of the bar nor drags of its thumb to
    // the bottom show a row past the last record; a drag let go at the
    // bottom goes to the last record, as Ctrl+End does.
    void barStopsAtLastRecord_data() {
        QTest::addColumn<QString>("order");
        QTest::addColumn<bool>("drag");
        QTest::newRow("steps") << QString() << false;
        QTest::newRow("drags") << QString() << true;
        QTest::newRow("drags, ordered") << QStringLiteral("NAME") << true;
    }
    void barStopsAtLastRecord() {
        QFETCH(QString, order);
        QFETCH(bool, drag);
        auto* form = F.OpenForm(QStringLiteral("MID"));
        if (!order.isEmpty()) ClickTitle(form, order, Qt::ControlModifier);
        TDBGrid* grid = form->dbgData;
        QScrollBar* bar = grid->verticalScrollBar();
        QCOMPARE(form->tblData->KnownRecordCount(), -1);
        for (int i = 0; i < 6; ++i) {
            if (drag) bar->setSliderDown(true);
            bar->setValue(bar->maximum());
            const int rows = grid->model()->rowCount();
            QVERIFY(rows > 0);
            QVERIFY2(grid->TopRecord() + rows - 1 <= Middle, qPrintable(QString::number(grid->TopRecord())));
            for (int row = 0; row < rows; ++row)
                QVERIFY2(!F.Cell(form, row, 0).isEmpty(),
                         qPrintable(QString::number(grid->TopRecord() + row)));
            if (!drag) continue;
            bar->setSliderDown(false);
            QCOMPARE(form->tblData->RecNo(), Middle);
            QCOMPARE(grid->RowOfRecord(Middle), WholeRows(grid) - 1);
        }
        QCOMPARE(bar->maximum(), Middle - WholeRows(grid));
    }

    // A short table learns its count from its first read.
    void shortTableHasNoScrollRange() {
        F.Exec(QStringLiteral("create table FEW (ID integer)"));
        F.Exec(QStringLiteral("insert into FEW values (1), (2), (3)"));
        auto* form = new TDbTableForm(F.Frame.get());
        F.Choose(form, QStringLiteral("FEW"));
        QCOMPARE(form->dbgData->model()->rowCount(), 3);
        QCOMPARE(form->dbgData->verticalScrollBar()->maximum(), 0);
        QCOMPARE(form->tblData->KnownRecordCount(), 3);
        F.Exec(QStringLiteral("drop table FEW"));
    }

    void keys_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("pages"); // screens of rows added to expected
        QTest::addColumn<int>("expectedColumn");
        const int none = Qt::NoModifier;
        const int ctrl = Qt::ControlModifier;
        QTest::newRow("Down") << 1 << 0 << int(Qt::Key_Down) << none << 2 << 0 << 0;
        QTest::newRow("Up at the first") << 1 << 0 << int(Qt::Key_Up) << none << 1 << 0 << 0;
        QTest::newRow("Up far down") << 70000 << 1 << int(Qt::Key_Up) << none << 69999 << 0 << 1;
        QTest::newRow("PgDn") << 1 << 0 << int(Qt::Key_PageDown) << none << 1 << 1 << 0;
        QTest::newRow("PgUp") << 5000 << 0 << int(Qt::Key_PageUp) << none << 5000 << -1 << 0;
        QTest::newRow("PgUp near the first") << 3 << 0 << int(Qt::Key_PageUp) << none << 1 << 0 << 0;
        QTest::newRow("PgDn across the end")
            << Large - 3 << 0 << int(Qt::Key_PageDown) << none << Large << 0 << 0;
        QTest::newRow("Down at the last") << Large << 0 << int(Qt::Key_Down) << none << Large << 0 << 0;
        QTest::newRow("Ctrl+Home") << 5000 << 1 << int(Qt::Key_Home) << ctrl << 1 << 0 << 0;
        QTest::newRow("Ctrl+End, count unknown") << 1 << 0 << int(Qt::Key_End) << ctrl << Large << 0 << 1;
        QTest::newRow("End") << 40 << 0 << int(Qt::Key_End) << none << 40 << 0 << 1;
        QTest::newRow("Home") << 40 << 1 << int(Qt::Key_Home) << none << 40 << 0 << 0;
        QTest::newRow("Right") << 40 << 0 << int(Qt::Key_Right) << none << 40 << 0 << 1;
        QTest::newRow("Tab to the next record") << 40 << 1 << int(Qt::Key_Tab) << none << 41 << 0 << 0;
        QTest::newRow("Tab along the record") << 40 << 0 << int(Qt::Key_Tab) << none << 40 << 0 << 1;
        QTest::newRow("Backtab to the record before")
            << 40 << 0 << int(Qt::Key_Backtab) << none << 39 << 0 << 1;
        QTest::newRow("Tab from the last record round")
            << Large << 1 << int(Qt::Key_Tab) << none << 1 << 0 << 0;
    }
    void keys() {
        QFETCH(int, start);
        QFETCH(int, column);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, expected);
        QFETCH(int, pages);
        QFETCH(int, expectedColumn);
        auto* form = F.OpenForm(QStringLiteral("N"));
        TDBGrid* grid = form->dbgData;
        expected += pages * WholeRows(grid);
        form->tblData->SetRecNo(start);
        F.Select(form, grid->RowOfRecord(start), column);
        const int row = grid->currentIndex().row();
        F.Focus(grid);
        QTest::keyClick(grid, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(form->tblData->RecNo(), expected);
        QCOMPARE(grid->currentIndex().column(), expectedColumn);
        VerifyCurrentShown(form);
        QVERIFY(grid->hasFocus());
        // A page key keeps the record's place on the screen where it can.
        if (pages != 0) QCOMPARE(grid->currentIndex().row(), row);
        // Only the end itself tells the count.
        if (key != Qt::Key_End && key != Qt::Key_Tab) QCOMPARE(form->tblData->KnownRecordCount(), -1);
    }

    // The wheel and the scroll bar move the rows, not the current record;
    // the next key brings the current record back.
    void wheelAndBarScroll() {
        auto* form = F.OpenForm(QStringLiteral("N"));
        TDBGrid* grid = form->dbgData;
        F.Focus(grid);
        const QPoint inside = grid->viewport()->rect().center();
        QWheelEvent down(inside, grid->viewport()->mapToGlobal(inside), {}, {0, -120}, Qt::NoButton,
                         Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(grid->viewport(), &down);
        const int top = grid->TopRecord();
        QVERIFY2(top > 1, qPrintable(QString::number(top)));
        QCOMPARE(F.Cell(form, 0, 0), QString::number(top));
        QCOMPARE(form->tblData->RecNo(), 1);
        grid->verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(grid->TopRecord(), top + WholeRows(grid));
        QVERIFY(!grid->currentIndex().isValid());
        QCOMPARE(form->tblData->RecNo(), 1);
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(form->tblData->RecNo(), 2);
        VerifyCurrentShown(form);
    }

    // A click on a row makes its record current, wherever the rows stand.
    void clickMakesCurrent_data() {
        QTest::addColumn<int>("far");
        QTest::addColumn<int>("scrolled");
        QTest::addColumn<int>("row");
        QTest::newRow("first screen") << 1 << 0 << 3;
        QTest::newRow("scrolled") << 1 << 100 << 2;
        QTest::newRow("top row, far down") << 60000 << 0 << 0;
        QTest::newRow("far down") << 60000 << 0 << 5;
        QTest::newRow("far down, scrolled back") << 60000 << -30 << 1;
        QTest::newRow("row shown in part") << 1 << 0 << -1;
        QTest::newRow("row shown in part, far down") << 60000 << 0 << -1;
    }
    void clickMakesCurrent() {
        QFETCH(int, far);
        QFETCH(int, scrolled);
        QFETCH(int, row);
        auto* form = F.OpenForm(QStringLiteral("N"));
        TDBGrid* grid = form->dbgData;
        form->tblData->SetRecNo(far);
        QScrollBar* bar = grid->verticalScrollBar();
        bar->setValue(bar->value() + scrolled);
        const int top = grid->TopRecord();
        QCOMPARE(top, bar->value() + 1);
        const bool inPart = row < 0;
        if (inPart) row = WholeRows(grid);
        QCOMPARE(grid->model()->rowCount(), WholeRows(grid) + 1);
        QRect cell = grid->visualRect(grid->model()->index(row, 1));
        if (cell.top() >= grid->viewport()->height()) QSKIP("The rows fill the viewport exactly");
        cell.setBottom(qMin(cell.bottom(), grid->viewport()->height() - 1));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        QCOMPARE(form->tblData->RecNo(), top + row);
        // A record shown in part comes up into full view.
        if (inPart)
            QTRY_COMPARE(grid->TopRecord(), top + 1);
        else
            QCOMPARE(grid->TopRecord(), top);
        QCOMPARE(grid->SelectedField()->FieldName(), QStringLiteral("NAME"));
        VerifyCurrentShown(form);
    }

    // Moves made by code far into the table bring the grid along.
    void gridFollowsFarMoves() {
        auto* form = F.OpenForm(QStringLiteral("N"));
        TDBGrid* grid = form->dbgData;
        form->tblData->SetRecNo(80000);
        VerifyCurrentShown(form);
        const QString bookmark = form->tblData->Bookmark();
        form->tblData->First();
        VerifyCurrentShown(form);
        QCOMPARE(grid->TopRecord(), 1);
        form->tblData->SetBookmark(bookmark);
        QCOMPARE(form->tblData->RecNo(), 80000);
        VerifyCurrentShown(form);
        // A filter starts at the first record again.
        form->edFilter->setEditText(QStringLiteral("ID>70000"));
        SendWindowMessage(form, 2035);
        QCOMPARE(grid->TopRecord(), 1);
        QCOMPARE(form->tblData->RecNo(), 1);
        QCOMPARE(grid->currentIndex().row(), 0);
        QCOMPARE(F.Cell(form, 0, 0), QStringLiteral("70001"));
    }
};

TAMSEL_TEST(GridWindowTest);
#include "GridWindowTest.moc"
