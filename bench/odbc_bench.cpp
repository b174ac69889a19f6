// The ODBC driver over psqlODBC to a loopback PostgreSQL server of its own,
// on a 1,000,000-row table, through the engine's TTable:
//   - connect, then open and read the first 50 records (natural order and
//     sorted on a column without an index);
//   - a full walk reading every field of every record, against psql copying
//     the same rows to /dev/null and against psqlODBC alone;
//   - the table window's export of every record to a text file, against
//     psqlODBC alone;
//   - Ctrl+U on a whole-number column, against psql's sum and count;
//   - the process's peak memory;
//   - a cancel asked 300 ms into a statement that the server makes slow
//     (a view over pg_sleep), until the program is free again; and a read
//     whose server backend has stopped (SIGSTOP), cancelled 300 ms into it,
//     from its start until the connection is given up.
//
//   odbc_bench [rows]   (default 1000000; needs the tests' server script)

#include "common/ColumnStatistics.h"
#include "common/ExportTxt.h"
#include "engine/Exception.h"
#include "engine/Session.h"
#include "engine/StatementWait.h"
#include "engine/TDatabase.h"
#include "engine/TField.h"
#include "engine/TQuery.h"
#include "engine/TTable.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <signal.h>
#include <sql.h>
#include <sqlext.h>
#include <stdexcept>
#include <sys/resource.h>
#include <vector>

namespace {

QString StateDir;

[[noreturn]] void Fail(const QString& what) {
    throw std::runtime_error(what.toStdString());
}

// The tests' server script and fixture, in the source tree.
QString TestsDir() {
    return QStringLiteral(TAMSEL_SOURCE_DIR "/tests/odbc/");
}

void ServerScript(const QStringList& args) {
    QProcess script;
    script.setProcessChannelMode(QProcess::ForwardedChannels);
    script.start(QStringLiteral("sh"), QStringList{TestsDir() + QStringLiteral("pg_server.sh")} + args);
    if (!script.waitForFinished(300000) || script.exitCode() != 0)
        Fail(QStringLiteral("the server script failed: ") + args.join(QLatin1Char(' ')));
}

// psql against the bench server as the test login, each command on its own.
double Psql(const QStringList& commands) {
    QFile portFile(StateDir + QStringLiteral("/port"));
    portFile.open(QIODevice::ReadOnly);
    const QString port = QString::fromLatin1(portFile.readAll()).trimmed();
    QProcess psql;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("secret"));
    psql.setProcessEnvironment(env);
    psql.setStandardOutputFile(QProcess::nullDevice());
    psql.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    QStringList args{QStringLiteral("-X"),        QStringLiteral("-q"),     QStringLiteral("-h"),
                     QStringLiteral("127.0.0.1"), QStringLiteral("-p"),     port,
                     QStringLiteral("-U"),        QStringLiteral("tamsel"), QStringLiteral("-d"),
                     QStringLiteral("tamsel")};
    for (const QString& command : commands)
        args << QStringLiteral("-c") << command;
    psql.start(QStringLiteral("psql"), args);
    if (!psql.waitForFinished(-1) || psql.exitCode() != 0)
        Fail(QStringLiteral("psql failed: ") + commands.join(QLatin1Char(' ')));
    return double(timer.nsecsElapsed()) / 1e6;
}

double PeakMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// Opens the table (ordered when order is set) and reads every field of the
// first n records; milliseconds.
double FirstRecords(TDatabase& db, const QString& order, int n) {
    QElapsedTimer timer;
    timer.start();
    TTable table;
    table.SetDatabaseName(db.DatabaseName());
    table.SetTableName(QStringLiteral("big"));
    table.SetIndexFieldNames(order);
    table.Open();
    int read = 0;
    for (table.First(); !table.Eof() && read < n; table.Next(), ++read)
        for (int f = 0; f < table.FieldCount(); ++f)
            (void)table.Fields(f)->AsString();
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    if (read != n) Fail(QStringLiteral("read %1 records, not %2").arg(read).arg(n));
    return ms;
}

// Opens the table and reads every field of every record as text;
// milliseconds. Out of line, so that a profiler can take the walk alone
// (valgrind --tool=callgrind --toggle-collect='*FullWalk*').
[[gnu::noinline]] double FullWalk(TTable& table, qint64& walked, qint64& chars) {
    QElapsedTimer timer;
    timer.start();
    table.Open();
    table.DisableControls();
    for (table.First(); !table.Eof(); table.Next(), ++walked)
        for (int f = 0; f < table.FieldCount(); ++f)
            chars += table.Fields(f)->AsString().size();
    table.EnableControls();
    return double(timer.nsecsElapsed()) / 1e6;
}

// The driver alone: the same rows through psqlODBC with the connection
// attributes the program gives it, fetched into bound arrays of 1,000 rows
// of the columns' own C types, nothing converted further; milliseconds.
double RawDriverWalk(qint64 rows) {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT st = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    QByteArray connect = "DSN=TamselPg;UID=tamsel;PWD=secret;UseDeclareFetch=1;Fetch=4000";
    const bool connected =
        SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(connect.data()), SQL_NTS,
                                       nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT));
    if (!connected) Fail(QStringLiteral("the raw driver walk could not connect"));
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
    constexpr SQLULEN Block = 1000;
    SQLULEN fetched = 0;
    SQLSetStmtAttr(st, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(Block), 0);
    SQLSetStmtAttr(st, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
    std::vector<SQLINTEGER> ids(Block);
    std::vector<SQLWCHAR> names(Block * 41), notes(Block * 101);
    std::vector<SQLCHAR> amounts(Block * 32);
    std::vector<SQL_DATE_STRUCT> dates(Block);
    std::vector<SQLLEN> lengths(Block * 5);
    QElapsedTimer timer;
    timer.start();
    QByteArray sql = "SELECT * FROM big";
    if (!SQL_SUCCEEDED(SQLExecDirect(st, reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS)))
        Fail(QStringLiteral("the raw driver walk's select failed"));
    SQLBindCol(st, 1, SQL_C_SLONG, ids.data(), 0, &lengths[0]);
    SQLBindCol(st, 2, SQL_C_WCHAR, names.data(), 41 * sizeof(SQLWCHAR), &lengths[Block]);
    SQLBindCol(st, 3, SQL_C_CHAR, amounts.data(), 32, &lengths[2 * Block]);
    SQLBindCol(st, 4, SQL_C_TYPE_DATE, dates.data(), sizeof(SQL_DATE_STRUCT), &lengths[3 * Block]);
    SQLBindCol(st, 5, SQL_C_WCHAR, notes.data(), 101 * sizeof(SQLWCHAR), &lengths[4 * Block]);
    qint64 walked = 0;
    while (SQL_SUCCEEDED(SQLFetchScroll(st, SQL_FETCH_NEXT, 0)))
        walked += qint64(fetched);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    SQLFreeHandle(SQL_HANDLE_STMT, st);
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    if (walked != rows)
        Fail(QStringLiteral("the raw driver walk read %1 rows, not %2").arg(walked).arg(rows));
    return ms;
}

} // namespace

// Stands for the user: asks to cancel once the statement has run 300 ms.
class TCancelAfter : public TStatementWait {
public:
    TCancelAfter() {
        FStarted.start();
        SetStatementWait(this);
    }
    ~TCancelAfter() override { SetStatementWait(nullptr); }
    bool Poll() override {
        if (FAsked.isValid() || FStarted.elapsed() < 300) return false;
        FAsked.start();
        return true;
    }
    // ms since the start and since the cancel.
    double SinceStart() const { return double(FStarted.nsecsElapsed()) / 1e6; }
    double SinceCancel() const { return FAsked.isValid() ? double(FAsked.nsecsElapsed()) / 1e6 : -1; }

private:
    QElapsedTimer FStarted, FAsked;
};

enum class TEnd { Done, Cancelled, Lost, Failed };

// Opens the table (and goes to its last record), with the cancel that the
// caller has set up; how that ended.
TEnd OpenTable(TDatabase& db, const QString& tableName, bool last) {
    TTable table;
    table.SetDatabaseName(db.DatabaseName());
    table.SetTableName(tableName);
    try {
        table.Open();
        if (last) table.Last();
    } catch (const EStatementCancelled&) {
        return TEnd::Cancelled;
    } catch (const EDatabaseError& e) {
        return e.ConnectionLost() ? TEnd::Lost : TEnd::Failed;
    }
    return TEnd::Done;
}

// The slow statement: ms from the cancel until the program is free.
double CancelSlowStatement(TDatabase& db) {
    TCancelAfter user;
    if (OpenTable(db, QStringLiteral("slow"), false) != TEnd::Cancelled)
        Fail(QStringLiteral("the slow statement was not cancelled"));
    return user.SinceCancel();
}

// The stopped backend: ms from the read's start until the connection is
// given up (the cancel asked 300 ms into it).
double StalledServerRelease(TDatabase& db) {
    TQuery backend;
    backend.SetDatabaseName(db.DatabaseName());
    backend.SQL() << QStringLiteral("SELECT pg_backend_pid()");
    backend.Open();
    const pid_t pid = pid_t(backend.Fields(0)->AsInteger());
    backend.Close();
    if (kill(pid, SIGSTOP) != 0) Fail(QStringLiteral("cannot stop the backend"));
    double ms = -1;
    {
        TCancelAfter user;
        const bool lost = OpenTable(db, QStringLiteral("big"), true) == TEnd::Lost;
        ms = user.SinceStart();
        kill(pid, SIGCONT);
        if (!lost) Fail(QStringLiteral("the stopped server was not given up"));
    }
    return ms;
}

int main(int argc, char** argv) {
    // The export and Ctrl+U show their progress in a window.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qint64 rows = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;

    QTemporaryDir state;
    StateDir = state.path();
    int status = 0;
    try {
        std::printf("starting the server...\n");
        std::fflush(stdout);
        ServerScript({QStringLiteral("start"), StateDir, TestsDir() + QStringLiteral("pg_fixture.sql")});
        qputenv("ODBCSYSINI", QFile::encodeName(StateDir));
        qputenv("ODBCINI", QFile::encodeName(StateDir + QStringLiteral("/odbc.ini")));

        std::printf("making a %lld-row table...\n", static_cast<long long>(rows));
        std::fflush(stdout);
        Psql({QStringLiteral(
                  "CREATE TABLE big (id INTEGER, name VARCHAR(40), amount NUMERIC(12,2), made DATE, "
                  "note VARCHAR(100))"),
              QStringLiteral("INSERT INTO big SELECT g, 'Клиент ' || (g % 5000), (g % 100000) / 100.0, "
                             "DATE '2020-01-01' + (g % 1500), 'бележка ' || g FROM generate_series(1, %1) g")
                  .arg(rows),
              QStringLiteral("VACUUM ANALYZE big")});

        TDatabase db;
        db.SetDatabaseName(QStringLiteral("TamselPg"));
        db.SetAliasName(QStringLiteral("TamselPg"));
        db.SetLoginPrompt(false);
        db.Params() << QStringLiteral("USER NAME=tamsel") << QStringLiteral("PASSWORD=secret");
        QElapsedTimer timer;
        timer.start();
        db.SetConnected(true);
        const double connectMs = double(timer.nsecsElapsed()) / 1e6;

        const double first = FirstRecords(db, QString(), 50);
        const double firstAgain = FirstRecords(db, QString(), 50);
        const double firstSorted = FirstRecords(db, QStringLiteral("note"), 50);

        TTable table;
        table.SetDatabaseName(db.DatabaseName());
        table.SetTableName(QStringLiteral("big"));
        qint64 walked = 0, chars = 0;
        const double walkMs = FullWalk(table, walked, chars);
        if (walked != rows) Fail(QStringLiteral("walked %1 records, not %2").arg(walked).arg(rows));
        table.Close();

        // The window's export (its default layout) and Ctrl+U.
        const QString exportFile = StateDir + QStringLiteral("/export.txt");
        table.Open();
        timer.restart();
        QString status;
        ExportToTextFile(&table, nullptr, nullptr, QStringLiteral("big"), exportFile, status);
        const double exportMs = double(timer.nsecsElapsed()) / 1e6;
        if (!status.isEmpty()) Fail(QStringLiteral("the export failed: ") + status);
        QFile::remove(exportFile);
        timer.restart();
        const double sum = ColumnStatistics(&table, QStringLiteral("id"), false);
        const double statsMs = double(timer.nsecsElapsed()) / 1e6;
        if (sum != double(rows) * double(rows + 1) / 2) Fail(QStringLiteral("Ctrl+U summed %1").arg(sum));
        table.Close();

        const double psqlMs = Psql({QStringLiteral("COPY (SELECT * FROM big) TO STDOUT")});
        const double psqlSumMs = Psql({QStringLiteral("SELECT sum(id), count(id) FROM big")});
        const double rawMs = RawDriverWalk(rows);
        Psql({QStringLiteral("CREATE VIEW slow AS SELECT pg_sleep(30)::text AS s")});
        const double cancelMs = CancelSlowStatement(db);
        const double stalledMs = StalledServerRelease(db);

        std::printf("connect:                          %8.1f ms\n", connectMs);
        std::printf("open + first 50 records:          %8.1f ms (again %.1f ms; target < 100 ms)\n", first,
                    firstAgain);
        std::printf("open sorted on note + first 50:   %8.1f ms\n", firstSorted);
        std::printf("full walk, every field as text:   %8.1f ms (%lld records, %lld characters)\n", walkMs,
                    static_cast<long long>(walked), static_cast<long long>(chars));
        std::printf("psql COPY of the rows to /dev/null:%8.1f ms\n", psqlMs);
        std::printf("walk / psql:                      %8.2f\n", walkMs / psqlMs);
        std::printf("psqlODBC alone, bound arrays:     %8.1f ms\n", rawMs);
        std::printf("driver / psql:                    %8.2f\n", rawMs / psqlMs);
        std::printf("walk / driver:                    %8.2f\n", walkMs / rawMs);
        std::printf("export of every record:           %8.1f ms\n", exportMs);
        std::printf("export / driver:                  %8.2f\n", exportMs / rawMs);
        std::printf("Ctrl+U on id:                     %8.1f ms\n", statsMs);
        std::printf("psql sum and count of id:         %8.1f ms\n", psqlSumMs);
        std::printf("stats / psql sum:                 %8.2f\n", statsMs / psqlSumMs);
        std::printf("peak memory:                      %8.1f MB (target < 200 MB)\n", PeakMb());
        std::printf("odbc_cancel_slow_statement: %.1f ms (target < 1000 ms)\n", cancelMs);
        std::printf("odbc_stalled_server_release: %.1f ms (target < 4000 ms)\n", stalledMs);
    } catch (const Exception& e) {
        std::fprintf(stderr, "failed: %s\n", qPrintable(e.Message()));
        status = 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "failed: %s\n", e.what());
        status = 1;
    }
    Session().Close();
    try {
        ServerScript({QStringLiteral("stop"), StateDir});
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        status = 1;
    }
    return status;
}
