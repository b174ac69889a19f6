#include "OdbcTestSupport.h"
#include "engine/Exception.h"
#include "engine/TField.h"
#include "engine/TTable.h"
#include "support/TestRegistry.h"

#include <QTest>

// The server stops while a table is being read, and starts again.
class OdbcServerLossTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void readFailsReadablyAndReopenWorks();
    void tableWindowsDataSurvivesServerRestart();
};

void OdbcServerLossTest::cleanup() {
    // Whatever happened, the server runs again for the tests after this one.
    ServerScript(QStringLiteral("resume"));
}

void OdbcServerLossTest::readFailsReadablyAndReopenWorks() {
    const auto connection = OpenTestConnection();
    {
        TOdbcWriter writer;
        FillNumbered(writer, QStringLiteral("t_loss"), 5000);
    }
    TSelectSpec spec;
    spec.Table = connection->QuoteIdentifier(QStringLiteral("t_loss"));
    const auto cursor = connection->Select(spec, 0);
    QVERIFY(cursor->Next());

    QVERIFY(ServerScript(QStringLiteral("pause")));
    // Rows already fetched may still come; the first read that needs the
    // server fails with a message.
    int rows = 1;
    QString message;
    try {
        while (cursor->Next())
            ++rows;
    } catch (const EDatabaseError& e) {
        message = e.Message();
    }
    QVERIFY2(rows < 5000, "all rows came from a stopped server");
    QVERIFY2(message.contains(QLatin1String("SQLSTATE")), qPrintable(message));

    // Reopening while the server is down fails too, readably.
    QString down;
    try {
        connection->Select(spec, 0)->Next();
    } catch (const EDatabaseError& e) {
        down = e.Message();
    }
    QVERIFY2(down.contains(QLatin1String("SQLSTATE")), qPrintable(down));

    QVERIFY(ServerScript(QStringLiteral("resume")));
    QCOMPARE(connection->Count(spec), qint64(5000));
    QCOMPARE(ReadAll(*connection->Select(spec, 4990)).size(), 10);
}

// What a table window sees: the walk and the refresh fail with a message
// while the server is down, and the same table reopens once it is back.
void OdbcServerLossTest::tableWindowsDataSurvivesServerRestart() {
    {
        TOdbcWriter writer;
        FillNumbered(writer, QStringLiteral("t_loss"), 5000);
    }
    TDatabase db;
    db.SetDatabaseName(TestDsn());
    db.SetAliasName(TestDsn());
    db.SetLoginPrompt(false);
    db.Params() << QStringLiteral("USER NAME=tamsel") << QStringLiteral("PASSWORD=secret");
    TTable table;
    table.SetDatabaseName(db.DatabaseName());
    table.SetTableName(QStringLiteral("t_loss"));
    table.Open();
    QCOMPARE(table.RecordCount(), 5000);

    QVERIFY(ServerScript(QStringLiteral("pause")));
    QString walkError;
    try {
        for (table.First(); !table.Eof(); table.Next())
            (void)table.Fields(2)->AsString();
    } catch (const EDatabaseError& e) {
        walkError = e.Message();
    }
    QVERIFY2(walkError.contains(QLatin1String("SQLSTATE")), qPrintable(walkError));
    QString refreshError;
    try {
        table.Refresh();
    } catch (const EDatabaseError& e) {
        refreshError = e.Message();
    }
    QVERIFY2(refreshError.contains(QLatin1String("SQLSTATE")), qPrintable(refreshError));

    QVERIFY(ServerScript(QStringLiteral("resume")));
    table.Close();
    table.Open();
    QCOMPARE(table.RecordCount(), 5000);
    table.Last();
    QCOMPARE(table.Fields(0)->AsInteger(), qint64(5000));
}

TAMSEL_TEST(OdbcServerLossTest);

#include "OdbcServerLossTest.moc"
