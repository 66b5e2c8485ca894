#!/usr/bin/env bash
# A throw-away PostgreSQL cluster for the score server's tests: in a temporary
# folder, on the first free loopback port of 18150-18199, trusting local
# connections. Its URL is written to STATE/url. Usage: pgcluster.sh start|stop STATE
set -euo pipefail
cmd=$1 state=$2
mkdir -p "$state"
as_pg() { if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }  # initdb refuses root
stop() {
    [ -f "$state/data" ] || return 0
    local data
    data=$(cat "$state/data")
    [ ! -d "$data/db" ] || as_pg "$bin/pg_ctl" -D "$data/db" -m immediate -w stop >/dev/null 2>&1 || true
    rm -rf "$data" "$state/data" "$state/url"
}
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
[ -x "$bin/initdb" ] || { echo "no PostgreSQL server found (Debian package postgresql)"; exit 1; }
case $cmd in
stop) stop ;;
start)
    stop
    data=$(mktemp -d /tmp/bzk-pg-XXXXXX)
    echo "$data" >"$state/data"
    [ "$(id -u)" -ne 0 ] || chown postgres: "$data"
    as_pg "$bin/initdb" -D "$data/db" -A trust -U postgres --no-locale -E UTF8 >"$data/initdb.log" 2>&1 ||
        { cat "$data/initdb.log"; exit 1; }
    for port in $(seq 18150 18199); do
        if as_pg "$bin/pg_ctl" -D "$data/db" -l "$data/server.log" -w -t 30 \
            -o "-c listen_addresses=127.0.0.1 -p $port -c unix_socket_directories=$data" start >/dev/null; then
            echo "postgresql://postgres@127.0.0.1:$port/postgres" >"$state/url"
            echo "PostgreSQL on port $port in $data"
            exit 0
        fi
    done
    cat "$data/server.log"
    exit 1
    ;;
*) echo "usage: $0 start|stop STATE"; exit 2 ;;
esac
