#include "BrowseFixture.h"
#include "browse/QuerySorter.h"
#include "common/WindowMessage.h"
#include "engine/TDataSource.h"
#include "engine/TField.h"
#include "support/DragLink.h"
#include "support/ScriptedMsgBox.h"
#include "support/TestRegistry.h"

#include <QHeaderView>
#include <QMimeData>
#include <QScopeGuard>
#include <QTimer>
#include <QToolButton>

namespace {

QMdiSubWindow* SubWindow(TDbTableForm* form) {
    return qobject_cast<QMdiSubWindow*>(form->parentWidget());
}

} // namespace

class SortLinkTest : public QObject {
    Q_OBJECT

    BrowseFixture F;

private slots:
    void initTestCase() {
        QVERIFY(F.Create(
            QStringLiteral("sortlink"),
            {"create table ITEMS (L integer, A integer, B integer, ID integer, PARENTID integer)",
             "insert into ITEMS values (2, 1, 9, 3, 1), (1, 2, 8, 1, 2), (2, 2, 7, 2, 1), "
             "(1, 1, 7, 4, 2)",
             "create table ORDERS (ORDER_NO integer, CUST_ID integer)",
             "insert into ORDERS values (100, 2), (101, 1), (102, 2)",
             "create table CUST (ID integer, NAME varchar(10))",
             "insert into CUST values (1, 'One'), (2, 'Two'), (3, 'Three')",
             "create table ODD (\"a,b\" integer, \"c;d\" integer, \"[x]\" integer, \"my col\" varchar(10))",
             "insert into ODD values (2, 1, 5, 'Two'), (1, 2, 6, 'One'), (2, 0, 4, 'Two'), (3, 3, 3, "
             "'Three')"}));
    }
    void cleanupTestCase() { F.Destroy(); }
    void cleanup() {
        F.Frame->closeAllSubWindows();
        QTest::qWait(1);
    }

    // Each click is "A" (Ctrl), "+A" (Ctrl+Alt) or "!A" (no Ctrl).
    void titleClicks_data() {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QString>("order");
        QTest::addColumn<QString>("firstColumn"); // values of column A top to bottom
        QTest::newRow("Ctrl replaces") << QStringList{"A", "B"} << "B"
                                       << "";
        QTest::newRow("Ctrl+Alt adds") << QStringList{"A", "+B"} << "A;B"
                                       << "1,1,2,2";
        QTest::newRow("Ctrl+Alt moves to the end") << QStringList{"A", "+B", "+A"} << "B;A"
                                                   << "1,2,2,1";
        QTest::newRow("Ctrl+Alt on first click") << QStringList{"+A"} << "A"
                                                 << "";
        QTest::newRow("without Ctrl nothing") << QStringList{"!A"} << ""
                                              << "1,2,2,1";
        QTest::newRow("name inside another, moved") << QStringList{"PARENTID", "+ID", "+ID"} << "PARENTID;ID"
                                                    << "2,1,2,1";
        QTest::newRow("name inside another, reordered")
            << QStringList{"ID", "+PARENTID", "+ID"} << "PARENTID;ID"
            << "2,1,2,1";
    }
    void titleClicks() {
        QFETCH(QStringList, clicks);
        QFETCH(QString, order);
        QFETCH(QString, firstColumn);
        auto* form = F.OpenForm(QStringLiteral("ITEMS"));
        for (const QString& click : clicks) {
            if (click.startsWith('!'))
                ClickTitle(form, click.mid(1), Qt::NoModifier);
            else if (click.startsWith('+'))
                ClickTitle(form, click.mid(1), Qt::ControlModifier | Qt::AltModifier);
            else
                ClickTitle(form, click, Qt::ControlModifier);
        }
        QCOMPARE(form->tblData->IndexFieldNames(), order);
        QCOMPARE(form->Sorter->SortList, QString(order).replace(';', ','));
        QVERIFY(form->tblData->Active());
        if (!firstColumn.isEmpty()) QCOMPARE(F.Column(form, 1).join(','), firstColumn);
        // The reopened table is sized again.
        for (int i = 0; i < form->dbgData->ColumnCount(); ++i)
            QVERIFY(form->dbgData->columnWidth(i) <= 240);
    }

    // Commas and semicolons are the lists' separators; such names travel
    // in brackets and sort like any other.
    void titleClicksOnOddNames_data() {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QString>("order");
        QTest::addColumn<QString>("sortList");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("values"); // of that column, top to bottom
        QTest::newRow("comma") << QStringList{"a,b"} << "[a,b]"
                               << "[a,b]" << 0 << "1,2,2,3";
        QTest::newRow("semicolon") << QStringList{"c;d"} << "[c;d]"
                                   << "[c;d]" << 1 << "0,1,2,3";
        QTest::newRow("both, added") << QStringList{"a,b", "+c;d"} << "[a,b];[c;d]"
                                     << "[a,b],[c;d]" << 1 << "2,0,1,3";
        QTest::newRow("moved to the end") << QStringList{"a,b", "+c;d", "+a,b"} << "[c;d];[a,b]"
                                          << "[c;d],[a,b]" << 1 << "0,1,2,3";
        QTest::newRow("brackets in the name") << QStringList{"[x]", "+my col"} << "[[x]]];my col"
                                              << "[[x]]],my col" << 2 << "3,4,5,6";
    }
    void titleClicksOnOddNames() {
        QFETCH(QStringList, clicks);
        QFETCH(QString, order);
        QFETCH(QString, sortList);
        QFETCH(int, column);
        QFETCH(QString, values);
        auto* form = F.OpenForm(QStringLiteral("ODD"));
        ScriptedMsgBox boxes;
        for (const QString& click : clicks) {
            if (click.startsWith('+'))
                ClickTitle(form, click.mid(1), Qt::ControlModifier | Qt::AltModifier);
            else
                ClickTitle(form, click, Qt::ControlModifier);
        }
        QVERIFY2(boxes.Count() == 0, qPrintable(boxes.Count() ? boxes.Last().Text : QString()));
        QVERIFY(form->tblData->Active());
        QCOMPARE(form->tblData->IndexFieldNames(), order);
        QCOMPARE(form->Sorter->SortList, sortList);
        QCOMPARE(F.Column(form, column).join(','), values);
    }

    void linkByOddName() {
        auto* master = F.OpenForm(QStringLiteral("ODD"));
        auto* detail = F.OpenForm(QStringLiteral("ODD"));
        F.Select(master, 1, 1);                            // c;d = 2
        QVERIFY(detail->LinkToMaster(master->dbgData, 0)); // a,b = c;d
        QCOMPARE(detail->LinkField, QStringLiteral("a,b"));
        QCOMPARE(F.Column(detail, 3), (QStringList{"Two", "Two"}));
        ClickTitle(detail, QStringLiteral("c;d"), Qt::ControlModifier);
        QCOMPARE(detail->tblData->IndexFieldNames(), QStringLiteral("[a,b];[c;d]"));
        QCOMPARE(F.Column(detail, 1), (QStringList{"0", "1"}));
    }

    // The master goes over to a table without the master field: the link
    // breaks and the detail shows its own rows, in their own order.
    void masterWithoutTheFieldBreaksTheLink() {
        auto* orders = F.OpenForm(QStringLiteral("ORDERS"));
        auto* cust = F.OpenForm(QStringLiteral("CUST"));
        F.Select(orders, 0, 1); // CUST_ID 2
        QVERIFY(cust->LinkToMaster(orders->dbgData, 0));
        QCOMPARE(F.Column(cust, 1), QStringList{"Two"});
        ScriptedMsgBox boxes;
        F.Choose(orders, QStringLiteral("ITEMS"));
        QCOMPARE(boxes.Count(), 0);
        QVERIFY(cust->tblData->Active());
        QCOMPARE(cust->LinkField, QString());
        QVERIFY(!cust->tblData->MasterSource());
        QCOMPARE(cust->tblData->MasterFields(), QString());
        QCOMPARE(cust->tblData->IndexFieldNames(), QString());
        QCOMPARE(F.Column(cust, 1), (QStringList{"One", "Two", "Three"}));
        // Moving in the former master changes nothing any more.
        F.Select(orders, 2, 0);
        QCOMPARE(F.Column(cust, 1), (QStringList{"One", "Two", "Three"}));
        {
            ScopedModifiers keys(Qt::ShiftModifier | Qt::AltModifier);
            QTest::mouseClick(cust->btFilterByField, Qt::LeftButton);
        }
        QCOMPARE(boxes.Count(), 0);
        QCOMPARE(F.Column(cust, 1), (QStringList{"One", "Two", "Three"}));
    }

    // A detail whose link could not be read any more was closed by it; once
    // the link is broken (Shift+Alt+click) it shows its rows again.
    void detailClosedByItsLinkReopens() {
        F.Exec(QStringLiteral("create table GONE (K integer, V varchar(5))"));
        F.Exec(QStringLiteral("insert into GONE values (1, 'a'), (2, 'b')"));
        const auto drop = qScopeGuard([this] { F.Exec(QStringLiteral("drop table GONE")); });
        auto* master = F.OpenForm(QStringLiteral("CUST"));
        auto* detail = F.OpenForm(QStringLiteral("GONE"));
        F.Select(master, 0, 0);
        QVERIFY(detail->LinkToMaster(master->dbgData, 0));
        QCOMPARE(F.Column(detail, 1), QStringList{"a"});
        F.Exec(QStringLiteral("alter table GONE drop column K"));
        F.Select(master, 1, 0);
        QVERIFY(!detail->tblData->Active());
        ScriptedMsgBox boxes;
        {
            ScopedModifiers keys(Qt::ShiftModifier | Qt::AltModifier);
            QTest::mouseClick(detail->btFilterByField, Qt::LeftButton);
        }
        QVERIFY2(boxes.Count() == 0, qPrintable(boxes.Count() ? boxes.Last().Text : QString()));
        QVERIFY(detail->tblData->Active());
        QCOMPARE(detail->LinkField, QString());
        QCOMPARE(F.Column(detail, 0), (QStringList{"a", "b"}));
    }

    void linkFieldStaysFirst() {
        auto* master = F.OpenForm(QStringLiteral("CUST"));
        auto* detail = F.OpenForm(QStringLiteral("ITEMS"));
        F.Select(master, 0, 0);
        QVERIFY(detail->LinkToMaster(master->dbgData, 0)); // ITEMS.L = CUST.ID
        ClickTitle(detail, QStringLiteral("A"), Qt::ControlModifier);
        QCOMPARE(detail->tblData->IndexFieldNames(), QStringLiteral("L;A"));
        ClickTitle(detail, QStringLiteral("L"), Qt::ControlModifier);
        QCOMPARE(detail->tblData->IndexFieldNames(), QStringLiteral("L"));
        ClickTitle(detail, QStringLiteral("B"), Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(detail->tblData->IndexFieldNames(), QStringLiteral("L;B"));
        QCOMPARE(F.Column(detail, 2), (QStringList{"7", "8"}));
    }

    void dropLinksAndFollowsMaster() {
        auto* orders = F.OpenForm(QStringLiteral("ORDERS"));
        auto* cust = F.OpenForm(QStringLiteral("CUST"));
        F.Select(orders, 0, 1); // CUST_ID 2
        cust->edFilter->setEditText(QStringLiteral("ID>0"));
        cust->ApplyFilter();
        QVERIFY(cust->LinkToMaster(orders->dbgData, 0));
        QCOMPARE(cust->LinkField, QStringLiteral("ID"));
        QCOMPARE(cust->tblData->MasterFields(), QStringLiteral("CUST_ID"));
        QCOMPARE(cust->tblData->IndexFieldNames(), QStringLiteral("ID"));
        QCOMPARE(cust->tblData->MasterSource(), orders->dsData);
        QCOMPARE(F.Column(cust, 1), QStringList{"Two"});
        // The filter stays with the link.
        QCOMPARE(cust->tblData->Filter(), QStringLiteral("ID>0"));
        F.Select(orders, 1, 1);
        QCOMPARE(F.Column(cust, 1), QStringList{"One"});
        // Message 2038 brings all rows back, unsorted, filter kept.
        SendWindowMessage(cust, 2038);
        QCOMPARE(cust->LinkField, QString());
        QVERIFY(!cust->tblData->MasterSource());
        QCOMPARE(cust->tblData->IndexFieldNames(), QString());
        QCOMPARE(F.Column(cust, 1), (QStringList{"One", "Two", "Three"}));
        QCOMPARE(cust->tblData->Filter(), QStringLiteral("ID>0"));
    }

    void relinkFromThirdWindow() {
        auto* a = F.OpenForm(QStringLiteral("ORDERS"));
        auto* b = F.OpenForm(QStringLiteral("CUST"));
        auto* c = F.OpenForm(QStringLiteral("ITEMS"));
        F.Select(a, 0, 1);
        QVERIFY(b->LinkToMaster(a->dbgData, 0));
        {
            ScopedModifiers ctrl(Qt::ControlModifier | Qt::AltModifier);
            b->dbgDataTitleClick(1);
        }
        QCOMPARE(b->tblData->IndexFieldNames(), QStringLiteral("ID;NAME"));
        F.Select(c, 0, 3); // ITEMS.ID 3
        QVERIFY(b->LinkToMaster(c->dbgData, 0));
        QCOMPARE(b->tblData->MasterSource(), c->dsData);
        QCOMPARE(b->tblData->MasterFields(), QStringLiteral("ID"));
        QCOMPARE(b->tblData->IndexFieldNames(), QStringLiteral("ID"));
        QCOMPARE(b->Sorter->SortList, QString());
        QCOMPARE(F.Column(b, 1), QStringList{"Three"});
    }

    void refusedDrops() {
        auto* a = F.OpenForm(QStringLiteral("ORDERS"));
        auto* b = F.OpenForm(QStringLiteral("CUST"));
        auto* idle = new TDbTableForm(F.Frame.get());
        F.Select(a, 0, 1);
        QVERIFY(b->LinkToMaster(a->dbgData, 0));
        // Onto its own grid.
        QVERIFY(!b->dbgData->AcceptsDragFrom(b->dbgData));
        // From a window without an open table.
        QVERIFY(!b->dbgData->AcceptsDragFrom(idle->dbgData));
        QVERIFY(!b->LinkToMaster(idle->dbgData, 0));
        // Onto a window without an open table: no column under the point.
        QVERIFY(!idle->LinkToMaster(a->dbgData, idle->dbgData->ColumnAt(QPoint(5, 5))));
        // A cycle: A is B's master, so B may not become A's master.
        F.Select(b, 0, 0);
        QVERIFY(!a->dbgData->AcceptsDragFrom(b->dbgData));
        QVERIFY(!a->LinkToMaster(b->dbgData, 1));
        QCOMPARE(a->LinkField, QString());
        // Outside the data columns the link stays as it was.
        const QPoint right(b->dbgData->viewport()->width() - 2, 5);
        QCOMPARE(b->dbgData->ColumnAt(right), -1);
        QVERIFY(!b->LinkToMaster(a->dbgData, b->dbgData->ColumnAt(right)));
        QCOMPARE(b->LinkField, QStringLiteral("ID"));
        QCOMPARE(b->tblData->MasterSource(), a->dsData);
    }

    void masterClosedFirst() {
        auto* a = F.OpenForm(QStringLiteral("ORDERS"));
        auto* b = F.OpenForm(QStringLiteral("CUST"));
        F.Select(a, 0, 1);
        QVERIFY(b->LinkToMaster(a->dbgData, 0));
        QPointer<TDbTableForm> guard(a);
        SubWindow(a)->close();
        QTRY_VERIFY(guard.isNull());
        // Still usable: moving, statistics, breaking the link.
        ScriptedMsgBox boxes;
        SendWindowMessage(b, 2027);
        QCOMPARE(boxes.Count(), 1);
        SendWindowMessage(b, 2038);
        QCOMPARE(F.Column(b, 1), (QStringList{"One", "Two", "Three"}));
    }

    void doubleClickStartsDragOnlyWithAlt_data() {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("pending");
        QTest::newRow("plain") << int(Qt::NoModifier) << false;
        QTest::newRow("Alt") << int(Qt::AltModifier) << true;
        QTest::newRow("Ctrl") << int(Qt::ControlModifier) << false;
    }
    void doubleClickStartsDragOnlyWithAlt() {
        QFETCH(int, modifiers);
        QFETCH(bool, pending);
        auto* a = F.OpenForm(QStringLiteral("ORDERS"));
        TDBGrid* grid = a->dbgData;
        const QPoint cell = grid->visualRect(grid->model()->index(1, 1)).center();
        ScopedModifiers keys{Qt::KeyboardModifiers(modifiers)};
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::KeyboardModifiers(modifiers), cell);
        QCOMPARE(grid->DragPending(), pending);
        // Moving less than 8 pixels starts nothing yet.
        QMouseEvent move(QEvent::MouseMove, QPointF(cell + QPoint(7, 0)),
                         grid->viewport()->mapToGlobal(QPointF(cell + QPoint(7, 0))), Qt::LeftButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(grid->viewport(), &move);
        QCOMPARE(grid->DragPending(), pending);
        QTest::mouseRelease(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell);
        QVERIFY(!grid->DragPending());
    }

    // The key event of Ctrl+Enter with Alt held carries both modifiers, as
    // the keyboard state does.
    void ctrlEnterStartsDragWithAlt() {
        auto* a = F.OpenForm(QStringLiteral("ORDERS"));
        F.Select(a, 0, 0);
        {
            ScopedModifiers ctrl(Qt::ControlModifier);
            QTest::keyClick(a->dbgData, Qt::Key_Return, Qt::ControlModifier);
            QVERIFY(!a->dbgData->DragPending());
        }
        {
            ScopedModifiers ctrlShiftAlt(Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
            QTest::keyClick(a->dbgData, Qt::Key_Return,
                            Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
            QVERIFY(!a->dbgData->DragPending());
        }
        ScopedModifiers ctrlAlt(Qt::ControlModifier | Qt::AltModifier);
        QTest::keyClick(a->dbgData, Qt::Key_Return, Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(a->dbgData->DragPending());
    }

    // The whole gesture: Alt+double-click on ORDERS' CUST_ID, a move of 9
    // pixels starts the drag, and the drag's data dropped on CUST's ID
    // column links them.
    void dragOntoAnotherGrid() {
        auto* orders = F.OpenForm(QStringLiteral("ORDERS"));
        auto* cust = F.OpenForm(QStringLiteral("CUST"));
        TDBGrid* source = orders->dbgData;
        TDBGrid* target = cust->dbgData;
        const QPoint from = source->visualRect(source->model()->index(2, 1)).center(); // CUST_ID 2
        const QMimeData* data = StartLinkDrag(source, from);
        QVERIFY(data);

        QVERIFY(!LinkDragEnters(source->viewport(), from, data));
        const QPoint onto = target->visualRect(target->model()->index(0, 0)).center(); // column ID
        QVERIFY(LinkDragEnters(target->viewport(), onto, data));
        QVERIFY(DropLink(target->viewport(), onto, data));
        QCOMPARE(cust->LinkField, QStringLiteral("ID"));
        QCOMPARE(cust->tblData->MasterFields(), QStringLiteral("CUST_ID"));
        QCOMPARE(F.Column(cust, 1), QStringList{"Two"});
        // A drop on a column title links by that column as well.
        QHeaderView* titles = target->horizontalHeader();
        const QPoint title(titles->sectionViewportPosition(0) + titles->sectionSize(0) / 2,
                           titles->height() / 2);
        SendWindowMessage(cust, 2038);
        QVERIFY(LinkDragEnters(titles->viewport(), title, data));
        QVERIFY(DropLink(titles->viewport(), title, data));
        QCOMPARE(cust->LinkField, QStringLiteral("ID"));
        QCOMPARE(F.Column(cust, 1), QStringList{"Two"});
        // Its own title refuses it.
        QVERIFY(!LinkDragEnters(source->horizontalHeader()->viewport(), title, data));
        // Data from elsewhere is no grid.
        QMimeData foreign;
        foreign.setData(data->formats().first(), "1:2");
        QVERIFY(!LinkDragEnters(target->viewport(), onto, &foreign));
    }
};

TAMSEL_TEST(SortLinkTest);
#include "SortLinkTest.moc"
