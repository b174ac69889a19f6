// The user's path through the table window on a generated table t of 8
// columns (id, k, x, y, name, city, day, qty; bench/run.sh makes the files),
// driven as a person drives it: keys, clicks and the context menu, offscreen.
// Every window figure runs from the user's action until the grid's viewport
// has finished painting the rows the action brings, with whatever the window
// counts, sorts or reads on the way. The sqlite3 figures time the child
// process with the same steady clock.
//
//   bench_window_bench open <file> [runs]     choose t, Enter, first rows painted
//   bench_window_bench filter <file> [runs]   "k=7" (1%) typed in the filter box, Enter
//   bench_window_bench sort <file> [runs]     Ctrl+click on the title of x (unindexed),
//                                             then Ctrl+End
//   bench_window_bench wait <file> [runs]     the largest gap of the event loop during that sort,
//                                             and Esc 300 ms into it until the window is usable
//   bench_window_bench heap <file>            private memory growth with t open and paged through
//   bench_window_bench export <file> [runs]   the grid's plain export against sqlite3 -tabs
//   bench_window_bench stats <file> [runs]    Ctrl+U on qty against sqlite3's sum and count
//
// Prints "NAME: VALUE UNIT" lines; a time is the median of the runs (default 3).

#include "BenchSupport.h"
#include "browse/DBGrid.h"
#include "browse/DbTableUnit.h"
#include "common/Application.h"
#include "common/KeyboardState.h"
#include "common/PlatformDialogs.h"
#include "common/ZorvUtilUnit.h"
#include "common/ZorvWorkQuery.h"
#include "engine/Session.h"
#include "engine/TDatabase.h"
#include "engine/TField.h"
#include "engine/TTable.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <stdexcept>

namespace {

using Clock = std::chrono::steady_clock;

const QString TableName = QStringLiteral("t");

[[noreturn]] void Fail(const QString& what) {
    throw std::runtime_error(what.toStdString());
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void Print(const char* name, double value, const char* unit) {
    std::printf("%s: %.2f %s\n", name, value, unit);
}

// The paint the user waits for: of this viewport, once the state it shows
// is the one the action brings.
struct TPaintWatch {
    QWidget* Target = nullptr;
    std::function<bool()> Ready;
    // The window paints while a statement runs: only a paint after the
    // action has returned shows what it brings.
    bool Armed = false;
    bool Done = false;
    Clock::time_point At;
};
TPaintWatch* Watch = nullptr;

// Notes the end of the watched paint; everything else as the program does.
class TBenchApplication : public TApplication {
public:
    using TApplication::TApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        const bool result = TApplication::notify(receiver, event);
        if (Watch && Watch->Armed && !Watch->Done && event->type() == QEvent::Paint &&
            receiver == Watch->Target && Watch->Ready()) {
            Watch->At = Clock::now();
            Watch->Done = true;
        }
        return result;
    }
};

// Runs the action, then the event loop until the grid has painted what
// ready() describes; milliseconds from the start of the action.
double UntilPainted(TDBGrid* grid, const std::function<void()>& action, std::function<bool()> ready) {
    TPaintWatch watch;
    watch.Target = grid->viewport();
    watch.Ready = std::move(ready);
    Watch = &watch;
    const Clock::time_point start = Clock::now();
    action();
    const Clock::time_point returned = Clock::now();
    watch.Armed = true;
    watch.Target->update();
    QTimer wake; // the loop looks at the clock now and then
    wake.start(50);
    while (!watch.Done) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (Clock::now() - returned > std::chrono::minutes(5)) {
            Watch = nullptr;
            Fail(QStringLiteral("the grid did not paint the rows"));
        }
    }
    Watch = nullptr;
    return Ms(watch.At - start);
}

// A time in ms per run; the median of runs.
double MedianOf(int runs, const std::function<double()>& run) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(run());
    return Median(times);
}

// Lets the window finish what it does after the paint (a count it learns
// later, posted updates) before the next step is timed.
void Settle() {
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

// The table is open with rows and the grid has rows to show.
bool Showing(TDbTableForm* form) {
    return form->tblData->Active() && form->tblData->SeenRecordCount() > 0 &&
           form->dbgData->model()->rowCount() > 0;
}

class TWindowBench {
public:
    explicit TWindowBench(const QString& file) : FFile(file) {
        FDatabase.SetDatabaseName(QStringLiteral("BENCH"));
        FDatabase.SetAliasName(file);
        FDatabase.SetConnected(true);
        PrepareConnection(&FDatabase);
        FFrame.resize(1200, 800);
        FFrame.show();
        QCoreApplication::processEvents();
        // A box would wait for a user: every one is an error here, but the
        // statistics box, which ends its figure.
        SetMsgPresenter([this](const QString& text, const QString& caption, int) {
            if (FBoxShown) {
                *FBoxShown = Clock::now();
                FBoxText = text;
                return IDOK;
            }
            std::fprintf(stderr, "[%s] %s\n", qPrintable(caption), qPrintable(text));
            FBoxError = true;
            return IDOK;
        });
    }

    ~TWindowBench() { SetMsgPresenter({}); }

    // A new window with the table chooser filled, as F5 leaves it.
    TDbTableForm* NewWindow() {
        auto* form = new TDbTableForm(&FFrame);
        form->parentWidget()->resize(1100, 700);
        QCoreApplication::processEvents();
        return form;
    }

    void CloseWindow(TDbTableForm* form) {
        form->parentWidget()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }

    // The table chosen in the list, Enter.
    double Open(TDbTableForm* form) {
        QComboBox* chooser = form->cbTableName;
        chooser->setFocus();
        const int index = chooser->findText(TableName);
        if (index < 0) Fail(QStringLiteral("no table t in ") + FFile);
        chooser->setCurrentIndex(index);
        TTable* table = form->tblData;
        const double ms = UntilPainted(
            form->dbgData, [chooser] { QTest::keyClick(chooser, Qt::Key_Return); },
            [form, table] { return table->TableName() == TableName && Showing(form); });
        CheckNoBox();
        Settle();
        return ms;
    }

    // The filter typed into the box; only the Enter that applies it is timed.
    double Filter(TDbTableForm* form, const QString& text) {
        QLineEdit* box = form->edFilter->lineEdit();
        form->edFilter->setFocus();
        QTest::keyClicks(box, text);
        TTable* table = form->tblData;
        const double ms = UntilPainted(
            form->dbgData, [box] { QTest::keyClick(box, Qt::Key_Return); },
            [form, table, text] { return table->Filtered() && table->Filter() == text && Showing(form); });
        CheckNoBox();
        Settle();
        return ms;
    }

    // Ctrl+click on the title of the named field's column.
    double SortBy(TDbTableForm* form, const QString& field) {
        TDBGrid* grid = form->dbgData;
        const int column = ColumnOf(grid, field);
        static_cast<QAbstractItemView*>(grid)->scrollTo(grid->model()->index(0, column));
        QHeaderView* header = grid->horizontalHeader();
        const QPoint title(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                           header->height() / 2);
        TTable* table = form->tblData;
        const TKeyboardStateProvider saved =
            SetKeyboardStateProvider([] { return Qt::KeyboardModifiers(Qt::ControlModifier); });
        const double ms = UntilPainted(
            grid,
            [header, title] {
                QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::ControlModifier, title);
            },
            [form, table, field] { return table->IndexFieldNames() == field && Showing(form); });
        SetKeyboardStateProvider(saved);
        CheckNoBox();
        Settle();
        return ms;
    }

    // The sort's Ctrl+click with a 10 ms heartbeat running: the largest gap
    // between its beats, in ms.
    double Stall(TDbTableForm* form, const QString& field) {
        Clock::time_point last = Clock::now();
        double widest = 0;
        QTimer heartbeat;
        heartbeat.setInterval(10);
        QObject::connect(&heartbeat, &QTimer::timeout, [&] {
            const Clock::time_point now = Clock::now();
            widest = std::max(widest, Ms(now - last));
            last = now;
        });
        heartbeat.start();
        SortBy(form, field);
        widest = std::max(widest, Ms(Clock::now() - last));
        return widest;
    }

    // Esc 300 ms into the sort's Ctrl+click: ms from the Esc until the
    // click has returned with the sort cancelled.
    double CancelSort(TDbTableForm* form, const QString& field) {
        TDBGrid* grid = form->dbgData;
        const int column = ColumnOf(grid, field);
        QHeaderView* header = grid->horizontalHeader();
        const QPoint title(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                           header->height() / 2);
        std::optional<Clock::time_point> pressed;
        QTimer::singleShot(300, grid, [grid, &pressed] {
            pressed = Clock::now();
            QTest::keyClick(grid, Qt::Key_Escape);
        });
        const TKeyboardStateProvider saved =
            SetKeyboardStateProvider([] { return Qt::KeyboardModifiers(Qt::ControlModifier); });
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::ControlModifier, title);
        const Clock::time_point returned = Clock::now();
        SetKeyboardStateProvider(saved);
        CheckNoBox();
        if (!pressed || form->tblData->IndexFieldNames() == field)
            Fail(QStringLiteral("the sort ended before the Esc"));
        Settle();
        return Ms(returned - *pressed);
    }

    // Ctrl+End in the grid, until the last record is current and painted.
    double Last(TDbTableForm* form) {
        TDBGrid* grid = form->dbgData;
        TTable* table = form->tblData;
        const double ms = UntilPainted(
            grid, [grid] { QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier); },
            [form, table] { return Showing(form) && table->RecNo() == table->KnownRecordCount(); });
        CheckNoBox();
        Settle();
        return ms;
    }

    // Page steps, jumps of the scroll bar across the table, the end and back
    // to the start, each painted.
    void PageThrough(TDbTableForm* form, int pages) {
        TDBGrid* grid = form->dbgData;
        grid->setFocus();
        for (int i = 0; i < pages; ++i) {
            QTest::keyClick(grid, Qt::Key_PageDown);
            QCoreApplication::processEvents();
        }
        QScrollBar* bar = grid->verticalScrollBar();
        for (int i = 1; i <= 10; ++i) {
            bar->setValue(int(qint64(bar->maximum()) * i / 10));
            QCoreApplication::processEvents();
        }
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        QCoreApplication::processEvents();
        for (int i = 0; i < 50; ++i) {
            QTest::keyClick(grid, Qt::Key_PageUp);
            QCoreApplication::processEvents();
        }
        QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
        Settle();
        CheckNoBox();
    }

    // The grid's context menu, "Експорт като таблица...", the file given to
    // the save dialog; ms from the choice of the command to the end of the
    // export.
    double ExportPlain(TDbTableForm* form, const QString& path) {
        QFile::remove(path);
        const TSaveFileResponder saved = SetSaveFileResponder(
            [path](const QString&, const QString&, const QString&, const QString&) { return path; });
        Clock::time_point start;
        bool chosen = false;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            for (QAction* action : menu->actions())
                if (action->text() == QStringLiteral("Експорт като таблица...")) {
                    menu->setActiveAction(action);
                    chosen = true;
                    start = Clock::now();
                    QTest::keyClick(menu, Qt::Key_Return);
                    return;
                }
            menu->close();
        });
        QWidget* viewport = form->dbgData->viewport();
        const QPoint at(viewport->width() / 2, viewport->height() / 2);
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &menuEvent);
        const Clock::time_point end = Clock::now();
        SetSaveFileResponder(saved);
        if (!chosen) Fail(QStringLiteral("no export command in the grid's menu"));
        CheckNoBox();
        if (!QFileInfo::exists(path)) Fail(QStringLiteral("the export wrote no file"));
        return Ms(end - start);
    }

    // Ctrl+U on the named field's column, until the statistics box would
    // show; its text in BoxText().
    double Statistics(TDbTableForm* form, const QString& field) {
        TDBGrid* grid = form->dbgData;
        grid->setFocus();
        for (int i = 0; i < grid->ColumnCount() && grid->SelectedField()->FieldName() != field; ++i)
            QTest::keyClick(grid, Qt::Key_Right);
        if (grid->SelectedField()->FieldName() != field) Fail(QStringLiteral("no column ") + field);
        std::optional<Clock::time_point> shown;
        FBoxShown = &shown;
        const Clock::time_point start = Clock::now();
        QTest::keyClick(grid, Qt::Key_U, Qt::ControlModifier);
        FBoxShown = nullptr;
        if (!shown) Fail(QStringLiteral("Ctrl+U showed no box"));
        CheckNoBox();
        return Ms(*shown - start);
    }
    const QString& BoxText() const { return FBoxText; }

private:
    static int ColumnOf(TDBGrid* grid, const QString& field) {
        for (int i = 0; i < grid->ColumnCount(); ++i)
            if (grid->ColumnField(i)->FieldName() == field) return i;
        Fail(QStringLiteral("no column ") + field);
    }

    void CheckNoBox() {
        if (FBoxError) Fail(QStringLiteral("the window reported an error"));
    }

    QString FFile;
    TDatabase FDatabase;
    QMdiArea FFrame;
    std::optional<Clock::time_point>* FBoxShown = nullptr;
    QString FBoxText;
    bool FBoxError = false;
};

qint64 LineCount(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    qint64 lines = 0;
    while (!file.atEnd())
        lines += file.read(1 << 20).count('\n');
    return lines;
}

// sqlite3 on the file, its output in out; ms by the steady clock.
double Sqlite3(const QStringList& args, const QString& out) {
    const TRun run = Spawn(QStringList{QStringLiteral("sqlite3")} + args, out);
    if (!run.Ok) Fail(QStringLiteral("sqlite3 failed: ") + args.join(QLatin1Char(' ')));
    return run.Seconds * 1000;
}

int Run(const QString& figure, const QString& file, int runs) {
    TWindowBench bench(file);
    if (figure == QLatin1String("open")) {
        Print("window_open_first_rows",
              MedianOf(runs,
                       [&] {
                           TDbTableForm* form = bench.NewWindow();
                           const double ms = bench.Open(form);
                           bench.CloseWindow(form);
                           return ms;
                       }),
              "ms");
    } else if (figure == QLatin1String("filter")) {
        Print("window_filter_first_rows",
              MedianOf(runs,
                       [&] {
                           TDbTableForm* form = bench.NewWindow();
                           bench.Open(form);
                           const double ms = bench.Filter(form, QStringLiteral("k=7"));
                           bench.CloseWindow(form);
                           return ms;
                       }),
              "ms");
    } else if (figure == QLatin1String("sort")) {
        // The server's own work: the statement of the window's first block
        // after the sort, in sqlite3.
        const QString statement =
            QStringLiteral("SELECT *, rowid FROM %1 ORDER BY x, rowid LIMIT 200 OFFSET 0").arg(TableName);
        std::vector<double> sorts, lasts, server;
        for (int i = 0; i < runs; ++i) {
            TDbTableForm* form = bench.NewWindow();
            bench.Open(form);
            sorts.push_back(bench.SortBy(form, QStringLiteral("x")));
            lasts.push_back(bench.Last(form));
            bench.CloseWindow(form);
            server.push_back(Sqlite3({file, statement}, QProcess::nullDevice()));
        }
        Print("window_sort_first_rows", Median(sorts), "ms");
        Print("sqlite3_window_sort_statement", Median(server), "ms");
        Print("window_sort_over_server", Median(sorts) - Median(server), "ms");
        Print("window_last_after_sort", Median(lasts), "ms");
    } else if (figure == QLatin1String("wait")) {
        std::vector<double> stalls, cancels;
        for (int i = 0; i < runs; ++i) {
            TDbTableForm* form = bench.NewWindow();
            bench.Open(form);
            stalls.push_back(bench.Stall(form, QStringLiteral("x")));
            bench.CloseWindow(form);
            form = bench.NewWindow();
            bench.Open(form);
            cancels.push_back(bench.CancelSort(form, QStringLiteral("x")));
            bench.CloseWindow(form);
        }
        Print("window_max_stall_sort", Median(stalls), "ms");
        Print("window_cancel_sort", Median(cancels), "ms");
    } else if (figure == QLatin1String("heap")) {
        Settle();
        const long before = StatusKb("RssAnon:");
        TDbTableForm* form = bench.NewWindow();
        bench.Open(form);
        bench.PageThrough(form, 500);
        Print("window_heap_growth", double(StatusKb("RssAnon:") - before) / 1024.0, "MB");
        bench.CloseWindow(form);
    } else if (figure == QLatin1String("export")) {
        QTemporaryDir folder;
        const QString ours = folder.filePath(QStringLiteral("window.txt"));
        const QString theirs = folder.filePath(QStringLiteral("sqlite3.txt"));
        TDbTableForm* form = bench.NewWindow();
        bench.Open(form);
        std::vector<double> window, cli;
        for (int i = 0; i < runs; ++i) {
            window.push_back(bench.ExportPlain(form, ours));
            cli.push_back(Sqlite3({QStringLiteral("-tabs"), QStringLiteral("-header"), file,
                                   QStringLiteral("select * from ") + TableName},
                                  theirs));
            if (i == 0 && LineCount(ours) != LineCount(theirs))
                Fail(QStringLiteral("the export wrote %1 lines, sqlite3 %2")
                         .arg(LineCount(ours))
                         .arg(LineCount(theirs)));
            QFile::remove(ours);
            QFile::remove(theirs);
        }
        bench.CloseWindow(form);
        Print("window_export_plain", Median(window), "ms");
        Print("sqlite3_tabs", Median(cli), "ms");
        Print("window_export_plain_over_sqlite3", Median(window) / Median(cli), "ratio");
    } else if (figure == QLatin1String("stats")) {
        QTemporaryDir folder;
        const QString out = folder.filePath(QStringLiteral("sum.txt"));
        TDbTableForm* form = bench.NewWindow();
        bench.Open(form);
        std::vector<double> window, cli;
        for (int i = 0; i < runs; ++i) {
            window.push_back(bench.Statistics(form, QStringLiteral("qty")));
            cli.push_back(
                Sqlite3({file, QStringLiteral("select sum(qty), count(qty) from ") + TableName}, out));
        }
        // The box's sum and count against sqlite3's, blanks of the grouping
        // taken out.
        QFile result(out);
        result.open(QIODevice::ReadOnly);
        const QStringList expected = QString::fromUtf8(result.readAll()).trimmed().split(QLatin1Char('|'));
        const QString box = QString(bench.BoxText()).remove(QLatin1Char(' '));
        if (expected.size() != 2 || !box.contains(QLatin1Char(':') + expected[0] + QLatin1Char('\r')) ||
            !box.contains(QStringLiteral("Бройредове") + expected[1]))
            Fail(QStringLiteral("the box says %1, sqlite3 %2")
                     .arg(bench.BoxText(), expected.join(QLatin1Char('|'))));
        bench.CloseWindow(form);
        Print("window_stats", Median(window), "ms");
        Print("sqlite3_sum_count", Median(cli), "ms");
        Print("window_stats_over_sqlite3", Median(window) / Median(cli), "ratio");
    } else {
        std::fprintf(stderr, "unknown figure %s\n", qPrintable(figure));
        return 2;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform cannot raise the context menu or grab the
    // keyboard for it, and says so at every export; the rest goes on.
    static const QtMessageHandler qtHandler = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (qtHandler && !text.startsWith(QLatin1String("This plugin does not support")))
            qtHandler(type, context, text);
    });
    TBenchApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: %s open|filter|sort|wait|heap|export|stats <file> [runs]\n", argv[0]);
        return 2;
    }
    if (!QFile::exists(args[2])) {
        std::fprintf(stderr, "no file %s (bench/run.sh makes it)\n", qPrintable(args[2]));
        return 2;
    }
    int status = 0;
    try {
        status = Run(args[1], args[2], std::max(1, args.value(3, QStringLiteral("3")).toInt()));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "failed: %s\n", error.what());
        status = 1;
    }
    Session().Close();
    std::fflush(stdout);
    return status;
}
