#!/bin/sh
# Starts or stops the loopback PostgreSQL server of the ODBC tests.
#   pg_server.sh start STATE_DIR FIXTURE_SQL
#   pg_server.sh stop STATE_DIR
# start: a fresh cluster in a temporary folder on a free port, the test
# database "tamsel" with the logins the tests use, the fixture objects, and
# STATE_DIR/odbcinst.ini + STATE_DIR/odbc.ini registering psqlODBC and the
# data sources. The server runs as the postgres user when started by root.
# stop: stops the server recorded in STATE_DIR and removes its folder.
set -eu

PGBIN=${PGBIN:-/usr/lib/postgresql/15/bin}
PSQLODBC=${PSQLODBC:-/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so}
action=$1
state=$2

as_server_user() {
    if [ "$(id -u)" = 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

stop_server() {
    [ -f "$state/datadir" ] || return 0
    data=$(cat "$state/datadir")
    if [ -f "$data/pgdata/postmaster.pid" ]; then
        as_server_user "$PGBIN/pg_ctl" -D "$data/pgdata" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$data"
    rm -f "$state/datadir"
}

free_port() {
    python3 - <<'PY' 2>/dev/null && return 0
import socket
s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()
PY
    # Without python: a port from the dynamic range that nothing listens on.
    p=$(( 20000 + $$ % 20000 ))
    while ss -ltn 2>/dev/null | grep -q ":$p "; do p=$((p + 1)); done
    echo "$p"
}

case "$action" in
start)
    mkdir -p "$state"
    stop_server
    data=$(mktemp -d /tmp/tamsel-pg.XXXXXX)
    echo "$data" >"$state/datadir"
    chmod 755 "$data"
    if [ "$(id -u)" = 0 ]; then chown postgres:postgres "$data"; fi
    as_server_user "$PGBIN/initdb" -D "$data/pgdata" -U postgres -A trust -E UTF8 --locale=C.UTF-8 >"$state/initdb.log" 2>&1
    # Password logins over TCP so that a wrong password is refused.
    cat >"$data/pgdata/pg_hba.conf" <<HBA
local all all trust
host all postgres 127.0.0.1/32 trust
host all all 127.0.0.1/32 scram-sha-256
HBA
    port=$(free_port)
    echo "$port" >"$state/port"
    as_server_user "$PGBIN/pg_ctl" -D "$data/pgdata" -l "$data/server.log" -w -t 60 \
        -o "-p $port -c listen_addresses=127.0.0.1 -k $data -c fsync=off -c full_page_writes=off" start >/dev/null
    psql="$PGBIN/psql -X -q -v ON_ERROR_STOP=1 -h $data -p $port -U postgres"
    # The second login's password holds the characters that a
    # connection string must quote.
    as_server_user $psql -d postgres -c "CREATE ROLE tamsel LOGIN PASSWORD 'secret'" \
        -c "CREATE ROLE \"odd user\" LOGIN PASSWORD 'p;w}d{=x ' IN ROLE tamsel" \
        -c "CREATE DATABASE tamsel OWNER tamsel ENCODING 'UTF8' TEMPLATE template0"
    if [ $# -ge 3 ]; then
        as_server_user $psql -d tamsel -c "SET ROLE tamsel" -f - <"$3"
    fi
    cat >"$state/odbcinst.ini" <<INI
[PostgreSQL Unicode]
Description=PostgreSQL ODBC driver (Unicode version)
Driver=$PSQLODBC

[SQL Anywhere 11]
Description=psqlODBC under the name the alias chooser lists
Driver=$PSQLODBC
INI
    # The cursor mode and block size are left to the program, as a user's
    # data source leaves them. BoolsAsChar=0: logical columns are logical,
    # not texts.
    server="Servername=127.0.0.1
Port=$port
BoolsAsChar=0"
    # TamselPgApp is the program's own data source: the alias chooser lists
    # the driver name "SQL Anywhere 11" only.
    cat >"$state/odbc.ini" <<INI
[TamselPg]
Driver=PostgreSQL Unicode
Database=tamsel
UID=tamsel
$server

[TamselPgApp]
Driver=SQL Anywhere 11
Database=tamsel
UID=tamsel
$server

[TamselPgConformance]
Driver=PostgreSQL Unicode
Database=conformance
$server
INI
    ;;
stop)
    stop_server
    ;;
pause)
    # Stops the running server and keeps its data (server-loss tests).
    data=$(cat "$state/datadir")
    as_server_user "$PGBIN/pg_ctl" -D "$data/pgdata" -m fast -w stop >/dev/null
    ;;
resume)
    data=$(cat "$state/datadir")
    port=$(cat "$state/port")
    if as_server_user "$PGBIN/pg_ctl" -D "$data/pgdata" status >/dev/null 2>&1; then exit 0; fi
    as_server_user "$PGBIN/pg_ctl" -D "$data/pgdata" -l "$data/server.log" -w -t 60 \
        -o "-p $port -c listen_addresses=127.0.0.1 -k $data -c fsync=off -c full_page_writes=off" start >/dev/null
    ;;
*)
    echo "usage: $0 start|stop|pause|resume STATE_DIR [FIXTURE_SQL]" >&2
    exit 2
    ;;
esac
