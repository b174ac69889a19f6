// The plain text export and the table unload of a large table, each against
// `sqlite3 -tabs` writing the same rows to a file. Every run is a child
// process of its own, so that its peak memory is its own.
//
// Usage: export_bench [rows]   (default 10000000; the database is kept in
// the folder named by TAMSEL_BENCH_DIR, else the temporary folder, and reused
// while it has the same number of rows)

#include "BenchSupport.h"
#include "common/Application.h"
#include "common/ExportTxt.h"
#include "common/ZorvUtilUnit.h"
#include "common/ZorvWorkQuery.h"
#include "engine/TDatabase.h"
#include "engine/TTable.h"
#include "output/ExportDBUnit.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <cstdio>
#include <sqlite3.h>

namespace {

bool Exec(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) == SQLITE_OK) return true;
    std::fprintf(stderr, "%s\n", error);
    sqlite3_free(error);
    return false;
}

qint64 CountRows(const QString& file) {
    sqlite3* db = nullptr;
    qint64 rows = -1;
    if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "select count(*) from BIG", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            rows = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return rows;
}

bool MakeDatabase(const QString& file, qint64 rows) {
    if (CountRows(file) == rows) return true;
    QFile::remove(file);
    sqlite3* db = nullptr;
    bool ok =
        sqlite3_open(file.toUtf8().constData(), &db) == SQLITE_OK &&
        Exec(db, "pragma journal_mode=off; pragma synchronous=off;") &&
        Exec(db, "create table BIG (ID integer primary key, NAME varchar(30), AMOUNT float, CODE integer)");
    const QByteArray insert =
        QStringLiteral("insert into BIG with recursive c(x) as (select 1 union all select x + 1 "
                       "from c where x < %1) select x, 'name ' || x, x * 0.25, x % 1000 from c")
            .arg(rows)
            .toUtf8();
    ok = ok && Exec(db, insert.constData());
    sqlite3_close(db);
    return ok;
}

qint64 LineCount(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    qint64 lines = 0;
    while (!file.atEnd()) {
        const QByteArray block = file.read(1 << 20);
        lines += block.count('\n');
    }
    return lines;
}

// Child: the table window's plain layout, written to the named file.
int RunExport(const QString& database, const QString& file) {
    TTable table;
    table.SetDatabaseName(database);
    table.SetTableName(QStringLiteral("BIG"));
    table.Open();
    ExportTxtOpts.WithHeader = false;
    ExportTxtOpts.WithTitles = true;
    ExportTxtOpts.FixedWidths = false;
    ExportTxtOpts.CodePage = 0;
    QString status;
    ExportToTextFile(&table, nullptr, nullptr, QStringLiteral("BIG"), file, status);
    if (!status.isEmpty()) std::fprintf(stderr, "%s\n", qPrintable(status));
    return status.isEmpty() ? 0 : 1;
}

// Child: the unload dialog's run for the one table, on the embedded server.
int RunUnload(const QString& database, const QString& folder) {
    const QString ini = folder + QStringLiteral("/odbc.ini");
    QFile file(ini);
    if (!file.open(QIODevice::WriteOnly)) return 1;
    file.write("[BENCH]\nDriver = SQL Anywhere 11\nEmbeddedDatabase = " + database.toUtf8() + "\n");
    file.close();
    qputenv("ODBCINI", ini.toUtf8());
    qputenv("ODBCSYSINI", folder.toUtf8());
    TDatabase db;
    db.SetDatabaseName(QStringLiteral("BENCH"));
    db.SetAliasName(QStringLiteral("BENCH"));
    db.SetLoginPrompt(false);
    db.Params() << QStringLiteral("USER NAME=dba") << QStringLiteral("PASSWORD=sql");
    db.SetConnected(true);
    PrepareConnection(&db);
    TExportDbForm form;
    PrepareUnloadDialog(&form, &db);
    for (int i = 0; i < form.cblTables->count(); ++i)
        if (form.cblTables->item(i)->text() == QLatin1String("BIG"))
            form.cblTables->item(i)->setCheckState(Qt::Checked);
    form.dirEdit->setText(folder);
    form.btnExportClick();
    const QString log = form.LogMemo->toPlainText();
    if (!log.endsWith(QStringLiteral("ЕКСПОРТА ПРИКЛЮЧИ УСПЕШНО!"))) {
        std::fprintf(stderr, "%s\n", qPrintable(log));
        return 1;
    }
    return 0;
}

void Print(const char* name, double value, const char* unit) {
    std::printf("%s: %.3f %s\n", name, value, unit);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == QLatin1String("--export") || mode == QLatin1String("--unload")) {
        if (argc < 4) return 2;
        TApplication app(argc, argv);
        // Boxes would wait for a user; print them instead.
        SetMsgPresenter([](const QString& text, const QString& caption, int) {
            std::fprintf(stderr, "[%s] %s\n", qPrintable(caption), qPrintable(text));
            return IDOK;
        });
        const QString database = QString::fromLocal8Bit(argv[2]);
        const QString target = QString::fromLocal8Bit(argv[3]);
        try {
            return mode == QLatin1String("--export") ? RunExport(database, target)
                                                     : RunUnload(database, target);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "%s\n", error.what());
            return 1;
        }
    }

    const qint64 rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 10000000;
    const QString base =
        qEnvironmentVariable("TAMSEL_BENCH_DIR", QDir::tempPath()) + QStringLiteral("/tamsel-export-bench");
    QDir().mkpath(base + QStringLiteral("/unload"));
    const QString database = base + QStringLiteral("/bench.db");
    if (rows <= 0 || !MakeDatabase(database, rows)) {
        std::fprintf(stderr, "cannot make the bench database\n");
        return 1;
    }
    const QString self = QString::fromLocal8Bit(argv[0]);
    const QString baselineFile = base + QStringLiteral("/sqlite3.txt");
    const QString exportFile = base + QStringLiteral("/export.txt");
    const QString unloadFile = base + QStringLiteral("/unload/BIGTable.txt");

    const TRun baseline = Spawn({QStringLiteral("sqlite3"), QStringLiteral("-tabs"),
                                 QStringLiteral("-noheader"), database, QStringLiteral("select * from BIG")},
                                baselineFile);
    const TRun exported = Spawn({self, QStringLiteral("--export"), database, exportFile});
    const TRun unloaded =
        Spawn({self, QStringLiteral("--unload"), database, base + QStringLiteral("/unload")});
    if (!baseline.Ok) {
        std::fprintf(stderr, "sqlite3 failed\n");
        return 1;
    }
    Print("rows", double(rows), "rows");
    Print("sqlite3_tabs_time", baseline.Seconds, "s");
    Print("sqlite3_tabs_peak_memory", baseline.PeakMb, "MB");
    Print("sqlite3_tabs_lines", double(LineCount(baselineFile)), "lines");
    if (exported.Ok) {
        Print("export_time", exported.Seconds, "s");
        Print("export_ratio", exported.Seconds / baseline.Seconds, "x");
        Print("export_peak_memory", exported.PeakMb, "MB");
        Print("export_lines", double(LineCount(exportFile)), "lines");
    }
    if (unloaded.Ok) {
        Print("unload_time", unloaded.Seconds, "s");
        Print("unload_ratio", unloaded.Seconds / baseline.Seconds, "x");
        Print("unload_peak_memory", unloaded.PeakMb, "MB");
        Print("unload_lines", double(LineCount(unloadFile)), "lines");
    }
    QFile::remove(baselineFile);
    QFile::remove(exportFile);
    QFile::remove(unloadFile);
    if (!exported.Ok || !unloaded.Ok)
        std::fprintf(stderr, "a run failed (export %d, unload %d)\n", exported.Ok, unloaded.Ok);
    return exported.Ok && unloaded.Ok ? 0 : 1;
}
