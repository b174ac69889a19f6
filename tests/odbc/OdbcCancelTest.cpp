#include "OdbcTestSupport.h"
#include "engine/Exception.h"
#include "support/TestRegistry.h"

#include <QElapsedTimer>
#include <QFile>
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

namespace {

// The test server's postmaster, from the data folder its script records.
pid_t Postmaster() {
    QFile datadir(qEnvironmentVariable("TAMSEL_PG_STATE") + QStringLiteral("/datadir"));
    if (!datadir.open(QIODevice::ReadOnly)) return 0;
    QFile pidFile(QString::fromLocal8Bit(datadir.readAll()).trimmed() +
                  QStringLiteral("/pgdata/postmaster.pid"));
    if (!pidFile.open(QIODevice::ReadOnly)) return 0;
    return pid_t(pidFile.readLine().trimmed().toLongLong());
}

} // namespace

void OdbcCancelTest::escapeReleasesTheProgram_data() {
    QTest::addColumn<QString>("stopped"); // what gets SIGSTOP before the action: "", "backend", "server"
    QTest::addColumn<QString>("sql");     // the statement; empty: a connect; "walk:": its rows read on
    QTest::addColumn<int>("releaseMs");   // from the action's start to the program usable
    QTest::addColumn<bool>("lost");       // given up as a lost connection, else cancelled

    QTest::newRow("slow statement") << ""
                                    << "SELECT pg_sleep(10)" << 1300 << false;
    QTest::newRow("stalled server") << "backend"
                                    << "SELECT 1" << 4000 << true;
    // Stopped while the walk's next block is fetched ahead of it.
    QTest::newRow("stalled walk") << "backend"
                                  << "walk:SELECT g FROM generate_series(1, 200000) g" << 4000 << true;
    // A connect cannot be cancelled on the server: it is given up at once.
    QTest::newRow("stalled connect") << "server"
                                     << "" << 1300 << false;
}

void OdbcCancelTest::escapeReleasesTheProgram() {
    QFETCH(QString, stopped);
    QFETCH(QString, sql);
    QFETCH(int, releaseMs);
    QFETCH(bool, lost);
    auto connection = OpenTestConnection();
    const auto pidCursor = connection->Query(QStringLiteral("SELECT pg_backend_pid()"));
    QVERIFY(pidCursor->Next());
    const pid_t target =
        stopped == QLatin1String("server") ? Postmaster() : pid_t(pidCursor->Value(0).toLongLong());
    QVERIFY(target > 0);

    QWidget window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTimer::singleShot(300, &window, [&window] { QTest::keyClick(&window, Qt::Key_Escape); });
    const bool walk = sql.startsWith(QLatin1String("walk:"));
    std::unique_ptr<TCursor> walking;
    if (walk) {
        walking = connection->Query(sql.mid(5));
        for (int i = 0; i < 3000; ++i)
            QVERIFY(walking->Next());
    }
    if (!stopped.isEmpty()) QCOMPARE(kill(target, SIGSTOP), 0);
    QElapsedTimer clock;
    clock.start();
    bool wasCancelled = false, wasLost = false;
    try {
        if (sql.isEmpty())
            connection = OpenTestConnection();
        else if (walk)
            while (walking->Next()) {
            }
        else
            connection->Query(sql)->Next();
    } catch (const EStatementCancelled&) {
        wasCancelled = true;
    } catch (const EDatabaseError& e) {
        wasLost = e.ConnectionLost();
    }
    const qint64 released = clock.elapsed();
    if (!stopped.isEmpty()) QCOMPARE(kill(target, SIGCONT), 0);
    QVERIFY2(released < releaseMs, qPrintable(QString::number(released)));
    QCOMPARE(wasCancelled, !lost);
    QCOMPARE(wasLost, lost);

    // Usable again: the same connection, or a new one in place of the lost.
    const auto after = connection->Query(QStringLiteral("SELECT 41 + 1"));
    QVERIFY(after->Next());
    QCOMPARE(after->Value(0).toInt(), 42);
    // A given-up call ends once the server runs again.
    QTest::qWait(stopped.isEmpty() ? 0 : 500);
}

TAMSEL_TEST(OdbcCancelTest);

#include "OdbcCancelTest.moc"
