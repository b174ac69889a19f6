// The table window over a large table: page steps through the grid, the jump
// to the last record, and the column statistics (Ctrl+U) beside sqlite3
// adding up the same column.
// Usage: bench_grid_bench [file with table t, default the 10M-row file of
// bench/run.sh] [pages to step, default 2000]
// Prints "NAME: VALUE UNIT" lines.

#include "BenchSupport.h"
#include "browse/DBGrid.h"
#include "browse/DbTableUnit.h"
#include "common/ColumnStatistics.h"
#include "common/ZorvUtilUnit.h"
#include "common/ZorvWorkQuery.h"
#include "engine/TDatabase.h"
#include "engine/TTable.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QMdiArea>
#include <QProcess>
#include <cstdio>

namespace {

long RssMb(const char* field) {
    return StatusKb(field) / 1024;
}

void Print(const char* name, double value, const char* unit) {
    std::printf("%s: %.3f %s\n", name, value, unit);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const QString file =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/tamsel-bench/rows10m.db");
    const int pages = argc > 2 ? atoi(argv[2]) : 2000;
    if (!QFile::exists(file)) {
        std::fprintf(stderr, "no file %s (bench/run.sh makes it)\n", qPrintable(file));
        return 2;
    }
    ++QuietLevel;

    TDatabase database;
    database.SetDatabaseName(QStringLiteral("BENCH"));
    database.SetAliasName(file);
    database.SetConnected(true);
    PrepareConnection(&database);
    QMdiArea frame;
    frame.resize(1200, 800);
    frame.show();
    QCoreApplication::processEvents();
    const long rssBefore = RssMb("RssAnon:");

    QElapsedTimer timer;
    timer.start();
    auto* form = new TDbTableForm(&frame);
    form->parentWidget()->resize(1100, 700);
    form->cbTableName->setCurrentIndex(form->cbTableName->findText(QStringLiteral("t")));
    form->Execute();
    QCoreApplication::processEvents();
    Print("grid_open", timer.elapsed(), "ms");
    std::printf("grid_rows: %d\n", form->dbgData->model()->rowCount());

    TDBGrid* grid = form->dbgData;
    grid->setFocus();
    timer.restart();
    for (int i = 0; i < pages; ++i) {
        QKeyEvent down(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
        QApplication::sendEvent(grid, &down);
        grid->viewport()->repaint();
    }
    const double pageMs = double(timer.nsecsElapsed()) / 1e6 / pages;
    Print("grid_page_step", pageMs, "ms/page");
    std::printf("grid_record_after_pages: %d\n", form->tblData->RecNo());

    timer.restart();
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
    QApplication::sendEvent(grid, &end);
    grid->viewport()->repaint();
    Print("grid_jump_last", timer.elapsed(), "ms");
    std::printf("grid_record_at_end: %d\n", form->tblData->RecNo());
    timer.restart();
    for (int i = 0; i < 50; ++i) {
        QKeyEvent up(QEvent::KeyPress, Qt::Key_PageUp, Qt::NoModifier);
        QApplication::sendEvent(grid, &up);
        grid->viewport()->repaint();
    }
    Print("grid_page_step_at_end", double(timer.nsecsElapsed()) / 1e6 / 50, "ms/page");
    // Heap only: the engine maps the database file, whose pages count as
    // resident file memory.
    Print("grid_heap_growth", RssMb("RssAnon:") - rssBefore, "MB");
    Print("grid_rss_total", RssMb("VmRSS:"), "MB");

    timer.restart();
    const double sum = ColumnStatistics(form->tblData, QStringLiteral("qty"), false);
    const double statsMs = timer.elapsed();
    Print("stats_walk", statsMs, "ms");
    Print("stats_sum", sum, "");
    Print("stats_peak_rss", RssMb("VmHWM:"), "MB");

    QProcess sqlite;
    timer.restart();
    sqlite.start(QStringLiteral("sqlite3"), {file, QStringLiteral("select sum(qty), count(*) from t")});
    sqlite.waitForFinished(-1);
    const double sqliteMs = timer.elapsed();
    std::printf("sqlite3_result: %s", sqlite.readAllStandardOutput().constData());
    Print("sqlite3_sum_count", sqliteMs, "ms");
    Print("stats_ratio", statsMs / sqliteMs, "x");
    std::fflush(stdout);
    return 0;
}
