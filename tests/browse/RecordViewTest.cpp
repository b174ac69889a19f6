#include "browse/RecordView.h"

#include "BrowseFixture.h"
#include "engine/TDataSource.h"
#include "support/ScriptedMsgBox.h"
#include "support/TestRegistry.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>

// The record view beside the table windows: the whole values of the current
// record, and how it follows the user.
class RecordViewTest : public QObject {
    Q_OBJECT

    BrowseFixture F;
    QString FLong;

    // F6 in the grid, as the user presses it.
    TRecordView* Toggle(TDbTableForm* form) {
        F.Focus(form->dbgData);
        QTest::keyClick(form->dbgData, Qt::Key_F6);
        return TRecordView::Of(form);
    }

private slots:
    void initTestCase() {
        // About 100 KB of text in lines, with a tab and Cyrillic.
        for (int i = 0; FLong.size() < 100000; ++i)
            FLong += QStringLiteral("Ред %1 от бележката,\tс дълъг текст за изгледа на записа\n").arg(i);
        QVERIFY(F.Create(QStringLiteral("record"),
                         {"create table DOC (ID integer, NOTE long varchar, MISSING varchar(10), "
                          "AMOUNT decimal(20,2), SOLD date, EMPTY varchar(10))",
                          "insert into DOC values (1, '" + FLong +
                              "', null, 12345678901234567, "
                              "'2024-03-15', ''), "
                              "(2, 'кратко', 'x', 0.1, '2024-03-16', 'e'), "
                              "(3, 'трето', 'y', -7, null, 'f')",
                          "create table PART (DOC_ID integer, NAME varchar(20))",
                          "insert into PART values (1, 'винт'), (2, 'гайка'), (3, 'шайба')"}));
    }
    void cleanupTestCase() { F.Destroy(); }
    void cleanup() {
        F.Frame->closeAllSubWindows();
        QTest::qWait(1);
        FilterHistory.clear();
    }

    void showsTheWholeRecord() {
        auto* form = F.OpenForm(QStringLiteral("DOC"));
        TRecordView* view = Toggle(form);
        QVERIFY(view && view->isVisible());
        QCOMPARE(view->lbSource->text(), QStringLiteral("TESTDB Table: DOC, запис 1"));
        QCOMPARE(F.RecordLines(view),
                 (QStringList{"ID = 1", "NOTE = " + FLong, "MISSING = NULL (marked)",
                              "AMOUNT = 12345678901234567.00", "SOLD = 15.03.2024", "EMPTY = "}));
        // The long text takes a screen line for each of its lines at least;
        // a short value one.
        const int line = view->lvRecord->fontMetrics().height();
        QVERIFY(view->lvRecord->rowHeight(1) >= int(FLong.count(QLatin1Char('\n'))) * line * 9 / 10);
        QVERIFY(view->lvRecord->rowHeight(0) < 2 * line);

        // Ctrl+C copies a value as the grid's Ctrl+C does.
        auto copied = [](QWidget* target) {
            QGuiApplication::clipboard()->setText(QStringLiteral("before"));
            ScopedModifiers ctrl{Qt::ControlModifier};
            QTest::keyClick(target, Qt::Key_C, Qt::ControlModifier);
            return QGuiApplication::clipboard()->text();
        };
        for (int column : {1, 2, 3}) {
            F.Select(form, 0, column);
            const QString fromGrid = copied(form->dbgData);
            view->lvRecord->selectRow(column);
            QCOMPARE(copied(view->lvRecord), fromGrid);
        }
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("12345678901234567"));

        // F6 hides it again, and a hidden view reads nothing.
        QCOMPARE(Toggle(form), view);
        QVERIFY(!view->isVisible());
        QTest::keyClick(form->dbgData, Qt::Key_Down);
        QCOMPARE(view->lbSource->text(), QStringLiteral("TESTDB Table: DOC, запис 1"));
    }

    // A value of megabytes shows its first half million characters and its
    // length; Ctrl+C still copies it whole.
    void cutsAValueOfMegabytes() {
        QString big;
        for (int i = 0; big.size() < 10000000; ++i)
            big += QStringLiteral("Ред %1 от бележката\n").arg(i);
        F.Exec("create table BIG (ID integer, NOTE long varchar)");
        F.Exec("insert into BIG values (1, '" + big + "')");
        auto* form = F.OpenForm(QStringLiteral("BIG"));
        TRecordView* view = TRecordView::Of(form);
        if (!view->isVisible()) Toggle(form);
        QVERIFY(view->isVisible());
        const QString shown = view->lvRecord->model()->index(1, 1).data().toString();
        QCOMPARE(shown.left(500000), big.left(500000));
        QCOMPARE(shown.mid(500000), QStringLiteral("\n… (показани са първите 500000 от %1 знака; "
                                                   "Ctrl+C копира цялата стойност)")
                                        .arg(big.size()));
        view->lvRecord->selectRow(1);
        QTest::keyClick(view->lvRecord, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text().size(), big.size());
    }

    void followsTheUser() {
        auto* docs = F.OpenForm(QStringLiteral("DOC"));
        TRecordView* view = TRecordView::Of(docs);
        if (!view || !view->isVisible()) view = Toggle(docs);
        QVERIFY(view->isVisible());
        view->lvRecord->selectRow(4);

        // A move in the grid, and the selected field stays selected.
        F.Focus(docs->dbgData);
        QTest::keyClick(docs->dbgData, Qt::Key_Down);
        QCOMPARE(view->lbSource->text(), QStringLiteral("TESTDB Table: DOC, запис 2"));
        QCOMPARE(F.RecordLines(view).at(1), QStringLiteral("NOTE = кратко"));
        QCOMPARE(F.RecordLines(view).at(3), QStringLiteral("AMOUNT = 0.10"));
        QCOMPARE(view->lvRecord->currentIndex().row(), 4);

        // A filter.
        docs->edFilter->setEditText(QStringLiteral("ID=3"));
        docs->ApplyFilter();
        QCOMPARE(view->lbSource->text(), QStringLiteral("TESTDB Table: DOC, запис 1"));
        QCOMPARE(F.RecordLines(view).mid(3, 2), (QStringList{"AMOUNT = -7.00", "SOLD = NULL (marked)"}));

        // Another window, linked as detail of the first; back and forth.
        auto* parts = F.OpenForm(QStringLiteral("PART"));
        F.Frame->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(parts->parentWidget()));
        QCOMPARE(view->lbSource->text(), QStringLiteral("TESTDB Table: PART, запис 1"));
        QCOMPARE(F.RecordLines(view), (QStringList{"DOC_ID = 1", "NAME = винт"}));
        docs->ClearFilter();
        docs->ApplyFilter();
        QVERIFY(parts->LinkToMaster(docs->dbgData, 0));
        QCOMPARE(F.RecordLines(view), (QStringList{"DOC_ID = 1", "NAME = винт"}));
        // The master moves: the detail's refresh reaches the view.
        docs->tblData->Next();
        QCOMPARE(F.RecordLines(view), (QStringList{"DOC_ID = 2", "NAME = гайка"}));
        F.Frame->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(docs->parentWidget()));
        QCOMPARE(view->lbSource->text(), QStringLiteral("TESTDB Table: DOC, запис 2"));

        // The window closes: nothing is shown until another is active.
        qobject_cast<QMdiSubWindow*>(parts->parentWidget())->close();
        qobject_cast<QMdiSubWindow*>(docs->parentWidget())->close();
        QTest::qWait(1);
        QCOMPARE(view->lvRecord->model()->rowCount(), 0);
        QCOMPARE(view->lbSource->text(), QStringLiteral("Няма отворена таблица"));
    }
};

TAMSEL_TEST(RecordViewTest);
#include "RecordViewTest.moc"
