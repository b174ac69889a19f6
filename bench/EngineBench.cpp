// Figures of the engine on an SQLite file: bench_EngineBench <figure> <file> [arguments]
//   open <file> <table> <runs>            median ms to open a table and read its first 50 records
//   walk <file> <table>                   ms to walk every record, reading every field; peak memory
//   sum <file> <table> <float field>      ms to walk every record, reading one float field
//   filter <file> <table> <filter> <runs> median ms to open filtered and read the first 50 records
//   order <file> <table> <field> <runs>   median ms to open ordered by a field and read 50 records
// Prints "NAME: VALUE UNIT" lines.

#include "BenchSupport.h"
#include "engine/Exception.h"
#include "engine/Session.h"
#include "engine/TDatabase.h"
#include "engine/TField.h"
#include "engine/TTable.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Opens the table, reads the first 50 records' texts, closes it.
double OpenFirst50(const QString& file, const QString& table, const QString& filter, const QString& order) {
    QElapsedTimer timer;
    timer.start();
    TTable t;
    t.SetDatabaseName(file);
    t.SetTableName(table);
    t.SetIndexFieldNames(order);
    if (!filter.isEmpty()) {
        t.SetFilter(filter);
        t.SetFiltered(true);
    }
    t.Open();
    qsizetype chars = 0;
    for (int i = 0; i < 50 && !t.Eof(); ++i, t.Next())
        for (int f = 0; f < t.FieldCount(); ++f)
            chars += t.Fields(f)->DisplayText().size();
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    if (chars == 0) std::fprintf(stderr, "no rows read\n");
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: %s open|walk|sum|filter|order <file> <table> [argument] [runs]\n",
                     argv[0]);
        return 2;
    }
    const QString figure = args[1], file = args[2], table = args[3];
    try {
        Session().Open();
        // The connection stays open between runs, as it does in the program.
        TDatabase db;
        db.SetDatabaseName(file);
        db.SetConnected(true);
        if (figure == QLatin1String("open") || figure == QLatin1String("filter") ||
            figure == QLatin1String("order")) {
            const bool plain = figure == QLatin1String("open");
            const QString argument = plain ? QString() : args.value(4);
            const int runs = args.value(plain ? 4 : 5, QStringLiteral("7")).toInt();
            std::vector<double> times;
            for (int i = 0; i < runs; ++i)
                times.push_back(OpenFirst50(file, table,
                                            figure == QLatin1String("filter") ? argument : QString(),
                                            figure == QLatin1String("order") ? argument : QString()));
            std::printf("%s: %.2f ms\n", qPrintable(figure + QLatin1String("_first50_median")),
                        Median(times));
        } else if (figure == QLatin1String("walk") || figure == QLatin1String("sum")) {
            TTable t;
            t.SetDatabaseName(file);
            t.SetTableName(table);
            QElapsedTimer timer;
            timer.start();
            t.Open();
            t.DisableControls();
            qint64 records = 0;
            long privatePeak = StatusKb("RssAnon:");
            double sum = 0;
            if (figure == QLatin1String("sum")) {
                TField* field = t.FieldByName(args.value(4));
                const TDataSet::TWalkFields walk(&t, {field});
                for (t.First(); !t.Eof(); t.Next()) {
                    sum += field->AsFloat();
                    ++records;
                }
            } else {
                for (t.First(); !t.Eof(); t.Next()) {
                    for (int f = 0; f < t.FieldCount(); ++f)
                        sum += double(t.Fields(f)->AsString().size());
                    if (++records % 100000 == 0) privatePeak = std::max(privatePeak, StatusKb("RssAnon:"));
                }
            }
            t.EnableControls();
            const double ms = double(timer.nsecsElapsed()) / 1e6;
            std::printf("%s_records: %lld records\n", qPrintable(figure), static_cast<long long>(records));
            std::printf("%s_time: %.1f ms\n", qPrintable(figure), ms);
            std::printf("%s_check: %.6g value\n", qPrintable(figure), sum);
            std::printf("%s_peak_rss: %.1f MB\n", qPrintable(figure), double(StatusKb("VmHWM:")) / 1024.0);
            std::printf("%s_peak_private: %.1f MB\n", qPrintable(figure), double(privatePeak) / 1024.0);
        } else {
            std::fprintf(stderr, "unknown figure %s\n", argv[1]);
            return 2;
        }
        Session().Close();
    } catch (const Exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
    return 0;
}
