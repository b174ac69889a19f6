#include "BrowseFixture.h"
#include "browse/QuerySorter.h"
#include "common/StatementWaiter.h"
#include "common/WindowMessage.h"
#include "engine/Exception.h"
#include "support/ScriptedMsgBox.h"
#include "support/TestRegistry.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <limits>

// A view whose every row costs the server a small scan: a sort, a count or a
// read from the end of it takes seconds, its first rows a moment.
class StatementWaitTest : public QObject {
    Q_OBJECT

    BrowseFixture F;

    // Esc, or a click on the visible cancel button of that text, after delay
    // ms, while what runs then runs; the time of the press.
    static void CancelAfter(int delay, QWidget* target, const QString& button, QElapsedTimer& pressed) {
        QTimer::singleShot(delay, target, [target, button, &pressed] {
            pressed.start();
            if (button.isEmpty()) {
                QTest::keyClick(target, Qt::Key_Escape);
                return;
            }
            for (QWidget* top : QApplication::topLevelWidgets())
                for (QPushButton* cancel : top->findChildren<QPushButton*>())
                    if (cancel->isVisible() && cancel->text() == button) {
                        QTest::mouseClick(cancel, Qt::LeftButton);
                        return;
                    }
        });
    }

private slots:
    void initTestCase() {
        QVERIFY(F.Create(
            QStringLiteral("wait"),
            {"create table T (ID integer primary key, K integer, NAME varchar(20))",
             "insert into T with recursive c(i) as (select 1 union all select i + 1 from c where i < 500000) "
             "select i, (i * 7919) % 500000, 'n' || i from c",
             "create table PAD (V integer)",
             "insert into PAD with recursive c(v) as (select 1 union all select v + 1 from c where v < 100) "
             "select v from c",
             "create view SLOW as select ID, K, NAME from T "
             "where (select count(*) from PAD where PAD.V <= T.ID % 100) >= 0"}));
    }
    void cleanupTestCase() { F.Destroy(); }
    void cleanup() {
        F.Frame->closeAllSubWindows();
        QTest::qWait(1);
    }

    // Esc during the sort, the count or the read behind Ctrl+End: the window
    // answers at once, as it was, with no box, and takes the next filter.
    void EscCancels_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("button"); // pressed in place of Esc
        QTest::newRow("sort") << "sort"
                              << "";
        QTest::newRow("count") << "count"
                               << "";
        QTest::newRow("last") << "last"
                              << "";
        QTest::newRow("sort, the busy panel's button") << "sort"
                                                       << "Прекъсни";
        // Ctrl+U on whole numbers asks the server for the sum in one
        // statement, which the busy panel cancels like any other.
        QTest::newRow("column sum, the busy panel's button") << "sum"
                                                             << "Прекъсни";
    }
    void EscCancels() {
        QFETCH(QString, action);
        QFETCH(QString, button);
        TDbTableForm* form = F.OpenForm(QStringLiteral("SLOW"));
        TDataSet* data = form->tblData;
        QVERIFY(data->Active());
        BrowseFixture::Select(form, 2, 1);
        const int recNo = data->RecNo();
        const QStringList rows = BrowseFixture::Column(form, 1);
        ScriptedMsgBox boxes;
        QSignalSpy cancelled(TStatementWaiter::Instance(), &TStatementWaiter::Cancelled);

        QElapsedTimer pressed;
        CancelAfter(400, form->dbgData, button, pressed);
        if (action == QLatin1String("sort")) {
            ClickTitle(form, QStringLiteral("K"), Qt::ControlModifier);
        } else if (action == QLatin1String("sum")) {
            SendWindowMessage(form, 2027); // Ctrl+U on the current column, K
        } else if (action == QLatin1String("count")) {
            QVERIFY_THROWS_EXCEPTION(EStatementCancelled, data->RecordCount());
        } else {
            form->dbgData->setFocus();
            QTest::keyClick(form->dbgData, Qt::Key_End, Qt::ControlModifier);
        }
        QVERIFY(pressed.isValid());
        QVERIFY2(pressed.elapsed() < 250, qPrintable(QString::number(pressed.elapsed())));
        QCOMPARE(boxes.Count(), 0);
        QCOMPARE(data->RecNo(), recNo);
        QCOMPARE(BrowseFixture::Column(form, 1), rows);
        QCOMPARE(form->tblData->IndexFieldNames(), QString());
        QCOMPARE(form->Sorter->SortList, QString());
        QCOMPARE(data->KnownRecordCount(), -1);
        // Ctrl+U's Cancel may also land between two records, where the walk
        // itself sees it: nothing was cancelled in a statement then.
        if (action != QLatin1String("sum")) QTRY_COMPARE(cancelled.count(), 1);

        form->edFilter->setEditText(QStringLiteral("ID < 5"));
        QTest::keyClick(form->edFilter, Qt::Key_Return);
        QCOMPARE(boxes.Count(), 0);
        QCOMPARE(data->RecordCount(), 4);
    }

    // A long statement leaves no gap over 100 ms in the event loop, shows
    // its busy panel once it has run a while, and takes no other input. A
    // loaded machine may hold the whole process back now and then: the gap
    // is measured up to three times, a window of its own each time.
    void PaintsWhileRunning() {
        qint64 narrowest = std::numeric_limits<qint64>::max();
        for (int attempt = 0; attempt < 3 && narrowest >= 100; ++attempt) {
            TDbTableForm* form = F.OpenForm(QStringLiteral("SLOW"));
            const QStringList rows = BrowseFixture::Column(form, 1);
            QElapsedTimer clock, started;
            qint64 last = 0, widest = 0;
            bool panelEarly = false, panelLate = false;
            QTimer heartbeat;
            heartbeat.setInterval(10);
            connect(&heartbeat, &QTimer::timeout, this, [&] {
                const qint64 now = clock.elapsed();
                widest = std::max(widest, now - last);
                last = now;
                const bool shown = TStatementWaiter::Instance()->Panel() != nullptr;
                if (started.elapsed() < 200) panelEarly = panelEarly || shown;
                if (started.elapsed() > 500) panelLate = panelLate || shown;
            });
            // A second sort asked meanwhile is held off; a statement that a
            // timer starts meanwhile is refused, without a box.
            ScriptedMsgBox boxes;
            QTimer::singleShot(300, this,
                               [form] { ClickTitle(form, QStringLiteral("NAME"), Qt::ControlModifier); });
            QTimer::singleShot(350, form, [form] { form->tblData->Refresh(); });
            QTest::ignoreMessage(QtWarningMsg, "The connection is busy with a running statement");
            clock.start();
            heartbeat.start();
            started.start();
            QCOMPARE(form->tblData->RecordCount(), 500000);
            heartbeat.stop();
            widest = std::max(widest, clock.elapsed() - last);
            narrowest = std::min(narrowest, widest);
            QVERIFY2(started.elapsed() > 500, "the statement was too quick to tell");
            QVERIFY(!panelEarly);
            QVERIFY(panelLate);
            QCOMPARE(form->tblData->IndexFieldNames(), QString());
            QCOMPARE(BrowseFixture::Column(form, 1), rows);
            QCOMPARE(boxes.Count(), 0);
            QTRY_VERIFY(!TStatementWaiter::Instance()->Panel());
            F.Frame->closeAllSubWindows();
        }
        QVERIFY2(narrowest < 100, qPrintable(QString::number(narrowest)));
    }
};

TAMSEL_TEST(StatementWaitTest);
#include "StatementWaitTest.moc"
