#include "BrowseFixture.h"
#include "common/WindowMessage.h"
#include "engine/TField.h"
#include "support/ScriptedMsgBox.h"
#include "support/TestRegistry.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QSignalSpy>

class GridKeysTest : public QObject {
    Q_OBJECT

    BrowseFixture F;

private slots:
    void initTestCase() {
        QVERIFY(
            F.Create(QStringLiteral("keys"), {"create table T (ID integer, PRICE float, NAME varchar(20))",
                                              "insert into T values (1, 1.5, 'O''Brien'), (2, null, null), "
                                              "(3, 0.1234567, 'x')"}));
    }
    void cleanupTestCase() { F.Destroy(); }
    void cleanup() {
        F.Frame->closeAllSubWindows();
        QTest::qWait(1);
    }

    void copy_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("copied");
        QTest::newRow("float shown 1.50") << 0 << 1 << int(Qt::ControlModifier) << "1.50"
                                          << "1.5";
        QTest::newRow("all digits") << 2 << 1 << int(Qt::ControlModifier) << "0.123457"
                                    << "0.1234567";
        QTest::newRow("Ctrl+Shift+C") << 0 << 2 << int(Qt::ControlModifier | Qt::ShiftModifier) << "O'Brien"
                                      << "O'Brien";
        QTest::newRow("null") << 1 << 1 << int(Qt::ControlModifier) << ""
                              << "";
    }
    void copy() {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, modifiers);
        QFETCH(QString, shown);
        QFETCH(QString, copied);
        auto* form = F.OpenForm(QStringLiteral("T"));
        F.Select(form, row, column);
        QCOMPARE(F.Cell(form, row, column), shown);
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        ScopedModifiers keys{Qt::KeyboardModifiers(modifiers)};
        QTest::keyClick(form->dbgData, Qt::Key_C, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(QGuiApplication::clipboard()->text(), copied);
    }

    void ctrlUShowsStatistics() {
        auto* form = F.OpenForm(QStringLiteral("T"));
        F.Select(form, 2, 1);
        ScriptedMsgBox boxes;
        QTest::keyClick(form->dbgData, Qt::Key_U, Qt::ControlModifier);
        QCOMPARE(boxes.Count(), 1);
        QCOMPARE(boxes.Last().Text, QStringLiteral("Сума колона \"PRICE\":   1.623457\r\rБрой редове   3\r"
                                                   "Брой null стойности   1\r"));
        // The grid stays on its row.
        QCOMPARE(form->dbgData->currentIndex().row(), 2);
        QCOMPARE(form->tblData->RecNo(), 3);
    }

    void ctrlEnterIsConsumed() {
        auto* form = F.OpenForm(QStringLiteral("T"));
        F.Select(form, 0, 0);
        QSignalSpy activated(form->dbgData, &QAbstractItemView::activated);
        QTest::keyClick(form->dbgData, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(activated.count(), 0);
        QVERIFY(!form->dbgData->DragPending());
        QTest::keyClick(form->dbgData, Qt::Key_Return);
        QCOMPARE(activated.count(), 1);
    }

    void nothingWithoutTable() {
        auto* form = new TDbTableForm(F.Frame.get());
        QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
        ScriptedMsgBox boxes;
        ScopedModifiers ctrl(Qt::ControlModifier);
        QTest::keyClick(form->dbgData, Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(form->dbgData, Qt::Key_U, Qt::ControlModifier);
        SendWindowMessage(form, 2027);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
        QCOMPARE(boxes.Count(), 0);
    }
};

TAMSEL_TEST(GridKeysTest);
#include "GridKeysTest.moc"
