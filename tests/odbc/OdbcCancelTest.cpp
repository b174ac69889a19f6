#include "OdbcTestSupport.h"
#include "engine/Exception.h"
#include "support/TestRegistry.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <signal.h>

// Esc while the server works: a slow statement is cancelled on the server,
// and a server that no longer answers is given up, never waited for.
class OdbcCancelTest : public QObject {
    Q_OBJECT

private slots:
    void escapeReleasesTheProgram_data();
    void escapeReleasesTheProgram();
};

void OdbcCancelTest::escapeReleasesTheProgram_data() {
    QTest::addColumn<bool>("stopped"); // the backend stopped (SIGSTOP) before the statement
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("releaseMs"); // from the statement's start to the program usable

    QTest::newRow("slow statement") << false << "SELECT pg_sleep(10)" << 1300;
    QTest::newRow("stalled server") << true << "SELECT 1" << 4000;
}

void OdbcCancelTest::escapeReleasesTheProgram() {
    QFETCH(bool, stopped);
    QFETCH(QString, sql);
    QFETCH(int, releaseMs);
    const auto connection = OpenTestConnection();
    const auto pidCursor = connection->Query(QStringLiteral("SELECT pg_backend_pid()"));
    QVERIFY(pidCursor->Next());
    const pid_t backend = pid_t(pidCursor->Value(0).toLongLong());
    QVERIFY(backend > 0);

    QWidget window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTimer::singleShot(300, &window, [&window] { QTest::keyClick(&window, Qt::Key_Escape); });
    if (stopped) QCOMPARE(kill(backend, SIGSTOP), 0);
    QElapsedTimer clock;
    clock.start();
    bool cancelled = false, lost = false;
    try {
        connection->Query(sql)->Next();
    } catch (const EStatementCancelled&) {
        cancelled = true;
    } catch (const EDatabaseError& e) {
        lost = e.ConnectionLost();
    }
    const qint64 released = clock.elapsed();
    if (stopped) QCOMPARE(kill(backend, SIGCONT), 0);
    QVERIFY2(released < releaseMs, qPrintable(QString::number(released)));
    QCOMPARE(cancelled, !stopped);
    QCOMPARE(lost, stopped);

    // Usable again: the same connection, or a new one in place of the lost.
    const auto after = connection->Query(QStringLiteral("SELECT 41 + 1"));
    QVERIFY(after->Next());
    QCOMPARE(after->Value(0).toInt(), 42);
    // The given-up call ends once the backend runs again.
    QTest::qWait(stopped ? 500 : 0);
}

TAMSEL_TEST(OdbcCancelTest);

#include "OdbcCancelTest.moc"
