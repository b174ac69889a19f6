#include "BrowseFixture.h"
#include "common/ExportTxt.h"
#include "common/KeyboardState.h"
#include "common/PlatformDialogs.h"
#include "common/WindowMessage.h"
#include "engine/TField.h"
#include "support/ScriptedMsgBox.h"
#include "support/TestFiles.h"
#include "support/TestRegistry.h"

#include <QClipboard>
#include <QGuiApplication>

// Fixed-point values through the table window: what the grid shows, what
// Ctrl+C copies, what Alt+F3 writes and keeps, what a link matches, what
// Ctrl+U adds up and what the export writes.
class ExactNumbersTest : public QObject {
    Q_OBJECT

    BrowseFixture F;

    enum { Id, Huge, Suma, Tiny, Cash };

private slots:
    void initTestCase() {
        QVERIFY(F.Create(
            QStringLiteral("exact"),
            {"create table T (ID integer, HUGE decimal(20,0), SUMA decimal(10,2), TINY decimal(10,6), "
             "CASH money)",
             "insert into T values (1, 12345678901234567, 14.2, 0.000005, 7.1), "
             "(2, 12345678901234568, -0.01, null, 0.01), (3, 9007199254740993, 99999999.99, 1, null), "
             "(4, 9007199254740992, null, -0.000001, -7.1)",
             "create table D (K decimal(20,0), N integer)",
             "insert into D values (9007199254740993, 1), (9007199254740992, 2), "
             "(9007199254740993, 3)"}));
    }
    void cleanupTestCase() { F.Destroy(); }
    void cleanup() {
        F.Frame->closeAllSubWindows();
        QTest::qWait(1);
        FilterHistory.clear();
    }

    void cellsShowAndCopyEveryDigit_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("copied");
        QTest::addColumn<QString>("condition");
        QTest::newRow("key past 2^53") << 0 << int(Huge) << "12345678901234567"
                                       << "12345678901234567"
                                       << "HUGE=12345678901234567";
        QTest::newRow("2^53 + 1") << 2 << int(Huge) << "9007199254740993"
                                  << "9007199254740993"
                                  << "HUGE=9007199254740993";
        QTest::newRow("cents shown as declared") << 0 << int(Suma) << "14.20"
                                                 << "14.2"
                                                 << "SUMA=14.2";
        QTest::newRow("negative cent") << 1 << int(Suma) << "-0.01"
                                       << "-0.01"
                                       << "SUMA=-0.01";
        QTest::newRow("largest DECIMAL(10,2)") << 2 << int(Suma) << "99999999.99"
                                               << "99999999.99"
                                               << "SUMA=99999999.99";
        QTest::newRow("millionths without exponent") << 0 << int(Tiny) << "0.000005"
                                                     << "0.000005"
                                                     << "TINY=0.000005";
        QTest::newRow("money in the float format") << 0 << int(Cash) << "7.10"
                                                   << "7.1"
                                                   << "CASH=7.1";
        QTest::newRow("null decimal") << 3 << int(Suma) << ""
                                      << ""
                                      << "SUMA=";
    }
    void cellsShowAndCopyEveryDigit() {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QString, condition);
        auto* form = F.OpenForm(QStringLiteral("T"));
        F.Select(form, row, column);
        QTEST(F.Cell(form, row, column), "shown");
        {
            QGuiApplication::clipboard()->setText(QStringLiteral("before"));
            ScopedModifiers ctrl(Qt::ControlModifier);
            QTest::keyClick(form->dbgData, Qt::Key_C, Qt::ControlModifier);
            QTEST(QGuiApplication::clipboard()->text(), "copied");
        }
        // Alt+F3 writes the exact value, and applied it keeps exactly that row.
        SendWindowMessage(form, 2036);
        QCOMPARE(form->edFilter->currentText(), condition);
        ScriptedMsgBox boxes;
        form->ApplyFilter();
        QCOMPARE(boxes.Count(), 0);
        QCOMPARE(form->tblData->RecordCount(), 1);
        QCOMPARE(form->tblData->FieldByName(QStringLiteral("ID"))->AsInteger(), row + 1);
    }

    void linkMatchesTheExactKey() {
        auto* master = F.OpenForm(QStringLiteral("T"));
        auto* detail = F.OpenForm(QStringLiteral("D"));
        detail->tblData->SetIndexFieldNames(QStringLiteral("K;N"));
        detail->tblData->SetMasterSource(master->dsData);
        detail->tblData->SetMasterFields(QStringLiteral("HUGE"));
        const QList<QStringList> expected = {{}, {}, {"1", "3"}, {"2"}};
        for (int row = 0; row < expected.size(); ++row) {
            F.Select(master, row, Huge);
            QCOMPARE(F.Column(detail, 1), expected[row]);
        }
    }

    void ctrlUAddsUpExactly_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("box");
        QTest::newRow("keys past 2^53")
            << int(Huge) << "Сума колона \"HUGE\":   42705756311 951 120\r\rБрой редове   4\r";
        QTest::newRow("cents in the declared picture")
            << int(Suma)
            << "Сума колона \"SUMA\":   100000014.18\r\rБрой редове   4\rБрой null стойности   1\r";
        QTest::newRow("millionths")
            << int(Tiny) << "Сума колона \"TINY\":   1.000004\r\rБрой редове   4\rБрой null стойности   1\r";
        QTest::newRow("money to the cent")
            << int(Cash) << "Сума колона \"CASH\":   0.01\r\rБрой редове   4\rБрой null стойности   1\r";
    }
    void ctrlUAddsUpExactly() {
        QFETCH(int, column);
        auto* form = F.OpenForm(QStringLiteral("T"));
        F.Select(form, 1, column);
        ScriptedMsgBox boxes;
        QTest::keyClick(form->dbgData, Qt::Key_U, Qt::ControlModifier);
        QCOMPARE(boxes.Count(), 1);
        QTEST(boxes.Last().Text, "box");
    }

    void exportWritesWhatTheGridShows() {
        auto* form = F.OpenForm(QStringLiteral("T"));
        const TExportTxtOpts before = ExportTxtOpts;
        const QString path = F.Path + QStringLiteral(".exact.txt");
        const auto previous =
            SetSaveFileResponder([&](const QString&, const QString&, const QString&,
                                     const QString&) -> std::optional<QString> { return path; });
        SendWindowMessage(form, 1028);
        SetSaveFileResponder(previous);
        ExportTxtOpts = before;
        QCOMPARE(ReadFile(path), QByteArray("ID\tHUGE\tSUMA\tTINY\tCASH\r\n"
                                            "1\t12345678901234567\t14.20\t0.000005\t7.10\r\n"
                                            "2\t12345678901234568\t-0.01\t\t0.01\r\n"
                                            "3\t9007199254740993\t99999999.99\t1.000000\t\r\n"
                                            "4\t9007199254740992\t\t-0.000001\t-7.10\r\n"));
    }
};

TAMSEL_TEST(ExactNumbersTest);
#include "ExactNumbersTest.moc"
