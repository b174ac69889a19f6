#!/usr/bin/env bash
# Starts Tamsel on the demo shop: makes the demo database and its data
# sources under BUILD/demo when missing (again when the generator or the
# number of sales changed), and starts the program there, so that it finds
# the data script RestData.sql in its working folder.
#   run-demo.sh BUILD [tamsel arguments...]
# TAMSEL_DEMO_SALES sets the number of sales (default: the generator's).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "$1" && pwd)
shift
demo="$build/demo"
generator="$demo/tamsel-demo"
database="$demo/tamsel-demo.db"
stamp="$demo/tamsel-demo.args"

args=()
if [ -n "${TAMSEL_DEMO_SALES:-}" ]; then args+=(--sales "$TAMSEL_DEMO_SALES"); fi

if [ ! -f "$database" ] || [ "$generator" -nt "$database" ] ||
   [ "$(cat "$stamp" 2>/dev/null)" != "${args[*]:-}" ]; then
  echo "Making the demo database in $demo"
  "$generator" "${args[@]}" "$demo"
  printf '%s' "${args[*]:-}" > "$stamp"
else
  # The data sources name the database by its absolute path.
  "$generator" --data-sources "$demo"
fi
cp "$root/demo/RestData.sql" "$demo/RestData.sql"

export ODBCINI="$demo/odbc.ini"
export ODBCSYSINI="$demo/odbcsys"
cd "$demo"
exec "$build/tamsel" "$@"
