#!/bin/bash
# Figures of the engine and of the table window on generated SQLite files
# (10,000,000 and 1,000,000 rows of 8 columns), beside the sqlite3
# command-line tool on the same files, and of the ODBC driver on a loopback
# PostgreSQL server beside psql.
# Usage: bench/run.sh [build folder] [data folder]
# Prints "NAME: VALUE UNIT" lines. The files are made once and kept.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
data=${2:-${TMPDIR:-/tmp}/tamsel-bench}
bench=$build/bench/bench_EngineBench
window=$build/bench/bench_window_bench
odbc=$build/bench/bench_odbc_bench
mkdir -p "$data"

# The benchmarks build only with TAMSEL_BENCH; it is turned on in any build
# folder given here, and stays on there.
if [ -f "$build/build.ninja" ]; then
  cmake "$build" -DTAMSEL_BENCH=ON >/dev/null
else
  cmake -S "$here/.." -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMSEL_BENCH=ON >/dev/null
fi
cmake --build "$build" --parallel 2 --target bench_EngineBench bench_window_bench bench_grid_bench bench_sqlite_bench \
  bench_export_bench bench_odbc_bench >/dev/null
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-${TMPDIR:-/tmp}/runtime-$(id -u)}
mkdir -p -m 700 "$XDG_RUNTIME_DIR"

make_file() { # rows file
  [ -f "$2" ] && return
  sqlite3 "$2.tmp" <<SQL
PRAGMA journal_mode = OFF;
PRAGMA synchronous = OFF;
CREATE TABLE t (id INTEGER, k INTEGER, x DOUBLE PRECISION, y DOUBLE PRECISION,
                name VARCHAR(30), city VARCHAR(20), day DATE, qty INTEGER);
WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < $1)
INSERT INTO t SELECT n, abs(random()) % 100, abs(random()) % 1000000 / 100.0, n / 7.0,
       'name ' || (abs(random()) % 100000), 'city ' || (n % 50),
       date('2000-01-01', '+' || (n % 9000) || ' days'), n % 1000 FROM c;
SQL
  mv "$2.tmp" "$2"
}

# Median of three runs of sqlite3's own statement timer, in ms.
sqlite_ms() { # file sql
  for _ in 1 2 3; do
    printf '.timer on\n%s;\n' "$2" | sqlite3 "$1" | sed -n 's/^Run Time: real \([0-9.]*\).*/\1/p' | tail -1
  done | sort -n | sed -n 2p | awk '{ printf "%.2f", $1 * 1000 }'
}
value() { sed -n "s/^$1: \(-\?[0-9.]*\).*/\1/p"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

big=$data/rows10m.db
small=$data/rows1m.db
make_file 1000000 "$small"
make_file 10000000 "$big"
# Warm the page cache so that both sides read from memory.
cat "$big" "$small" >/dev/null

open10=$("$bench" open "$big" t 9 | value open_first50_median)
open1=$("$bench" open "$small" t 9 | value open_first50_median)
echo "open_first50_10m: $open10 ms"
echo "open_first50_1m: $open1 ms"
echo "open_first50_10m_over_1m: $(ratio "$open10" "$open1") ratio"

walk=$("$bench" walk "$big" t)
echo "walk_all_fields_10m: $(echo "$walk" | value walk_time) ms"
echo "walk_peak_rss_10m: $(echo "$walk" | value walk_peak_rss) MB"
echo "walk_peak_private_10m: $(echo "$walk" | value walk_peak_private) MB"

sum=$("$bench" sum "$big" t x)
engine_sum=$(echo "$sum" | value sum_time)
cli_sum=$(sqlite_ms "$big" "select sum(x) from t")
echo "walk_float_field_10m: $engine_sum ms"
echo "sqlite3_sum_10m: $cli_sum ms"
echo "walk_float_field_over_sqlite3: $(ratio "$engine_sum" "$cli_sum") ratio"
# The walk reads the one column it sums; sqlite3 reading whole rows, for scale.
cli_rows=$(sqlite_ms "$big" "select sum(id + k + x + y + length(name) + length(city) + length(day) + qty) from t")
echo "sqlite3_sum_all_columns_10m: $cli_rows ms"
echo "walk_float_field_over_sqlite3_all_columns: $(ratio "$engine_sum" "$cli_rows") ratio"

filter=$("$bench" filter "$big" t "k=7" 5 | value filter_first50_median)
cli_filter=$(sqlite_ms "$big" "select * from t where k = 7 limit 50")
echo "filter_1pct_first50_10m: $filter ms"
echo "sqlite3_filter_limit50_10m: $cli_filter ms"
echo "filter_over_sqlite3: $(ratio "$filter" "$cli_filter") ratio"

order=$("$bench" order "$big" t "x" 3 | value order_first50_median)
cli_order=$(sqlite_ms "$big" "select * from t order by x limit 50")
echo "order_unindexed_first50_10m: $order ms"
echo "sqlite3_order_limit50_10m: $cli_order ms"
echo "order_over_sqlite3: $(ratio "$order" "$cli_order") ratio"

# The table window as the user drives it. Memory is measured in a process of
# its own each time; the median of three.
window_open10=$("$window" open "$big" 5 | value window_open_first_rows)
window_open1=$("$window" open "$small" 5 | value window_open_first_rows)
echo "window_open_first_rows_10m: $window_open10 ms"
echo "window_open_first_rows_1m: $window_open1 ms"
echo "window_open_10m_over_1m: $(ratio "$window_open10" "$window_open1")"
echo "window_filter_first_rows_10m: $("$window" filter "$big" 3 | value window_filter_first_rows) ms"
sorted=$("$window" sort "$big" 3)
echo "window_sort_first_rows_10m: $(echo "$sorted" | value window_sort_first_rows) ms"
echo "sqlite3_window_sort_statement_10m: $(echo "$sorted" | value sqlite3_window_sort_statement) ms"
echo "window_sort_over_server_10m: $(echo "$sorted" | value window_sort_over_server) ms"
echo "window_last_after_sort_10m: $(echo "$sorted" | value window_last_after_sort) ms"
waited=$("$window" wait "$big" 3)
echo "window_max_stall_sort_10m: $(echo "$waited" | value window_max_stall_sort) ms"
echo "window_cancel_sort_10m: $(echo "$waited" | value window_cancel_sort) ms"
heap=$(for _ in 1 2 3; do "$window" heap "$big" | value window_heap_growth; done | sort -n | sed -n 2p)
echo "window_heap_growth_10m: $heap MB"
exported=$("$window" export "$big" 3)
echo "window_export_plain_8col_10m: $(echo "$exported" | value window_export_plain) ms"
echo "sqlite3_tabs_header_10m: $(echo "$exported" | value sqlite3_tabs) ms"
echo "window_export_plain_8col_over_sqlite3: $(echo "$exported" | value window_export_plain_over_sqlite3)"
stats=$("$window" stats "$big" 3)
echo "window_stats_10m: $(echo "$stats" | value window_stats) ms"
echo "sqlite3_sum_count_10m: $(echo "$stats" | value sqlite3_sum_count) ms"
echo "window_stats_over_sqlite3: $(echo "$stats" | value window_stats_over_sqlite3)"

# The grid's page steps, the embedded driver's walk and unload, and the
# export and unload of a 4-column table (kept in the data folder), each
# printing its own lines.
"$build/bench/bench_grid_bench" "$big"
"$build/bench/bench_sqlite_bench" "$big"
TAMSEL_BENCH_DIR=$data "$build/bench/bench_export_bench"

# The ODBC driver's full walk of 1,000,000 rows against psql's COPY of them,
# each run on a server of its own; the median of three.
# psqlODBC on its own, fetching the same rows into bound arrays, for the floor;
# the window's export and Ctrl+U against it and against psql's sum. Then a
# cancel of a statement made slow on the server, and a read from a stopped
# server backend given up.
odbc_runs=$(for _ in 1 2 3; do
  "$odbc" | sed -n -e 's/^\(walk\|driver\|export\|stats\) \/ \(psql\|driver\|psql sum\): *\([0-9.]*\).*/\1 \2: \3/p' \
    -e 's/^\(odbc_cancel_slow_statement\|odbc_stalled_server_release\): *\([0-9.]*\).*/\1: \2/p'
done)
median_of() { echo "$odbc_runs" | sed -n "s/^$1: //p" | sort -n | sed -n 2p; }
echo "odbc_walk_over_psql_copy: $(median_of 'walk psql')"
echo "odbc_driver_walk_over_psql_copy: $(median_of 'driver psql')"
echo "odbc_walk_over_driver_walk: $(median_of 'walk driver')"
echo "odbc_export_over_driver_walk: $(median_of 'export driver')"
echo "odbc_stats_over_psql_sum: $(median_of 'stats psql sum')"
echo "odbc_cancel_slow_statement: $(median_of odbc_cancel_slow_statement) ms"
echo "odbc_stalled_server_release: $(median_of odbc_stalled_server_release) ms"
