#!/usr/bin/env bash
# A throwaway PostgreSQL for the tests, reached through unixODBC and psqlODBC.
#   pg.sh start DIR   - initdb in DIR, start on a free loopback port, create role, schema, tables,
#                       and write DIR/odbc/{odbcinst,odbc}.ini (point ODBCSYSINI at DIR/odbc)
#   pg.sh stop DIR    - stop the server and remove DIR
#   pg.sh restart|freeze|thaw|down|up DIR - for tests of a server that goes away
set -euo pipefail
cmd=$1
dir=$2

as_postgres() {
    if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}
pgbin() {
    local b
    for b in /usr/lib/postgresql/*/bin; do :; done
    echo "$b"
}
BIN=$(pgbin)

start() {
    rm -rf "$dir"
    mkdir -p "$dir"
    chmod 755 "$dir"
    [ "$(id -u)" -eq 0 ] && chown postgres: "$dir"
    as_postgres "$BIN/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1
    cat >>"$dir/data/postgresql.conf" <<CONF
listen_addresses = '127.0.0.1'
port = 0
unix_socket_directories = '$dir'
logging_collector = on
log_directory = '$dir/log'
log_filename = 'postgresql.log'
log_file_mode = 0644
log_statement = 'all'
log_line_prefix = '%u '
fsync = off
CONF
    echo "host all all 127.0.0.1/32 md5" >"$dir/data/pg_hba.conf"
    echo "local all postgres trust" >>"$dir/data/pg_hba.conf"
    # A port that is free now may be taken before the server binds it (another test run, the
    # demo): then the next free one is tried.
    local port="" candidate started=0
    for candidate in $(seq 54321 54620); do
        (exec 3<>/dev/tcp/127.0.0.1/$candidate) 2>/dev/null && continue
        port=$candidate
        sed -i "s/^port = .*/port = $port/" "$dir/data/postgresql.conf"
        if as_postgres "$BIN/pg_ctl" -D "$dir/data" -w -l "$dir/server.log" start >/dev/null; then
            started=1
            break
        fi
    done
    [ $started -eq 1 ] || { echo "pg.sh: no free port for PostgreSQL" >&2; exit 1; }
    echo "$port" >"$dir/port"
    as_postgres psql -h "$dir" -p "$port" -U postgres -q -v ON_ERROR_STOP=1 postgres <<'SQL'
CREATE ROLE zelrpt LOGIN PASSWORD 'qapfin';
CREATE DATABASE zel OWNER zelrpt ENCODING 'UTF8';
\c zel
SET ROLE zelrpt;
CREATE SCHEMA pub;
CREATE TABLE pub.zelparameter (zelparameterid integer, zelparametertype text,
                               zelparametervalue varchar(1000), zelparametername text);
CREATE TABLE pub."zelDisconnect" ("disconnectUser" integer);
CREATE VIEW pub.zeldisconnect AS SELECT * FROM pub."zelDisconnect";
SQL
    mkdir -p "$dir/odbc"
    cat >"$dir/odbc/odbcinst.ini" <<INI
[PostgreSQL Unicode]
Description = psqlODBC
Driver = psqlodbcw.so
INI
    cat >"$dir/odbc/odbc.ini" <<INI
[zelUpd]
Driver = PostgreSQL Unicode
Servername = 127.0.0.1
Port = $port
Database = zel
INI
}

case "$cmd" in
    start) start ;;
    stop)
        if [ -f "$dir/data/postmaster.pid" ]; then
            # A test that failed half-way may have left the server frozen.
            main=$(head -1 "$dir/data/postmaster.pid")
            pgrep -P "$main" | xargs -r kill -CONT 2>/dev/null || true
            kill -CONT "$main" 2>/dev/null || true
            as_postgres "$BIN/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
            kill -KILL "$main" 2>/dev/null || true
        fi
        rm -rf "$dir"
        ;;
    restart) as_postgres "$BIN/pg_ctl" -D "$dir/data" -m fast -w -l "$dir/server.log" restart >/dev/null ;;
    down) as_postgres "$BIN/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null ;;
    up) as_postgres "$BIN/pg_ctl" -D "$dir/data" -w -l "$dir/server.log" start >/dev/null ;;
    # Stops every server process in its tracks, as a hung machine would.
    freeze)
        main=$(head -1 "$dir/data/postmaster.pid")
        pgrep -P "$main" | xargs -r kill -STOP
        kill -STOP "$main"
        ;;
    thaw) pgrep -P "$(head -1 "$dir/data/postmaster.pid")" | xargs -r kill -CONT; kill -CONT "$(head -1 "$dir/data/postmaster.pid")" ;;
    *) echo "usage: pg.sh start|stop|restart|down|up|freeze|thaw DIR" >&2; exit 2 ;;
esac
