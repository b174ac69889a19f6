// The embedded driver's hot paths beside the sqlite3 command-line tool on the
// same file: a walk that reads one float field of every row against
// "select sum(x) from t", and UNLOAD against "sqlite3 -tabs" writing the rows.
//
//   sqlite_bench [file [rows]]   (default: a 10,000,000-row file in the temp folder)

#include "engine/Exception.h"
#include "engine/sqlite/SqliteDriver.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <sqlite3.h>

namespace {

void Make(const QString& file, qint64 rows) {
    std::printf("making %s with %lld rows...\n", qPrintable(file), static_cast<long long>(rows));
    std::fflush(stdout);
    sqlite3* db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    const QByteArray sql =
        QStringLiteral(
            "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;"
            "CREATE TABLE t (id INTEGER, k INTEGER, x DOUBLE, y FLOAT, s VARCHAR(20), n TEXT, d DATE, m "
            "DECIMAL(10,2));"
            "WITH RECURSIVE r(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM r WHERE i < %1) "
            "INSERT INTO t SELECT i, i % 1000, i / 7.0, (i % 977) * 0.25, 'код ' || (i % 5000), "
            "'name ' || i, date('2020-01-01', '+' || (i % 1500) || ' days'), (i % 100000) / 100.0 FROM r;")
            .arg(rows)
            .toUtf8();
    char* error = nullptr;
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, &error) != SQLITE_OK) qFatal("%s", error);
    sqlite3_close(db);
}

// Median of three runs, in milliseconds.
double Median(const std::function<void()>& run) {
    std::vector<double> times;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[1];
}

void Sqlite3(const QStringList& args, const QString& output = {}) {
    QProcess process;
    if (!output.isEmpty())
        process.setStandardOutputFile(output);
    else
        process.setStandardOutputFile(QProcess::nullDevice());
    process.start(QStringLiteral("sqlite3"), args);
    if (!process.waitForFinished(-1) || process.exitCode() != 0) qFatal("sqlite3 failed");
}

void Figure(const char* name, double value, const char* unit) {
    std::printf("%s: %.2f %s\n", name, value, unit);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qint64 rows = args.size() > 2 ? args[2].toLongLong() : 10'000'000;
    const QString file = args.size() > 1
                             ? args[1]
                             : QDir::temp().filePath(QStringLiteral("tamsel-sqlite-bench-%1.db").arg(rows));
    if (!QFile::exists(file)) Make(file, rows);
    try {
        const auto c = OpenSqliteConnection(file);
        double sum = 0;
        const double walk = Median([&] {
            TSelectSpec spec;
            spec.Table = c->QuoteIdentifier(QStringLiteral("t"));
            const auto cursor = c->Select(spec, 0);
            sum = 0;
            double value = 0;
            while (cursor->Next())
                sum += cursor->FloatValue(2, value) ? value : cursor->Value(2).toDouble();
        });
        const double walkValue = Median([&] {
            TSelectSpec spec;
            spec.Table = c->QuoteIdentifier(QStringLiteral("t"));
            const auto cursor = c->Select(spec, 0);
            sum = 0;
            while (cursor->Next())
                sum += cursor->Value(2).toDouble();
        });
        const double cliSum = Median([&] { Sqlite3({file, QStringLiteral("select sum(x) from t")}); });
        Figure("sqlite_walk_float_ms", walk, "ms");
        Figure("sqlite_walk_value_ms", walkValue, "ms");
        Figure("sqlite3_sum_ms", cliSum, "ms");
        Figure("sqlite_walk_float_vs_sqlite3_sum", walk / cliSum, "ratio");

        const QString out = QDir::temp().filePath(QStringLiteral("tamsel-sqlite-bench-unload.txt"));
        c->Execute(QStringLiteral("set option allow_write_client_file='On'"));
        const double unload = Median([&] {
            c->Execute(
                QStringLiteral("unload from table t into client file '%1' delimited by '\\x09' quotes off")
                    .arg(out));
        });
        const qint64 unloadBytes = QFileInfo(out).size();
        const double cliTabs = Median([&] {
            Sqlite3({QStringLiteral("-tabs"), file, QStringLiteral("select * from t")}, out);
        });
        Figure("sqlite_unload_ms", unload, "ms");
        Figure("sqlite3_tabs_ms", cliTabs, "ms");
        Figure("sqlite_unload_vs_sqlite3_tabs", unload / cliTabs, "ratio");
        Figure("sqlite_unload_mb", double(unloadBytes) / 1e6, "MB");
        QFile::remove(out);
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.Message()));
        return 1;
    }
    return 0;
}
