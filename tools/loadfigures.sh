#!/usr/bin/env bash
# The score server's load figures: scoreload against a fresh server on
# loopback, on SQLite and on a throw-away PostgreSQL cluster, with 1, 8 and 64
# clients, table reads and posts. Prints a Markdown table and the machine's
# load average before each store.
# Usage: tools/loadfigures.sh [BUILD_DIR] [SECONDS]   (defaults: build, 5)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-5}
server=$build/server/bzykolot2-scores
load=$build/tools/scoreload
work=$(mktemp -d /tmp/bzk-load-XXXXXX)
pid=
cleanup() {
    [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
    bash tests/server/pgcluster.sh stop "$work/pg" >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

# run STORE DB: one row per client count and request kind.
run() {
    "$server" --listen 127.0.0.1:0 --db "$2" --post-rate 0 --max-per-address 0 >"$work/server.log" 2>&1 &
    pid=$!
    local port=""
    for _ in $(seq 100); do
        port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\),.*/\1/p' "$work/server.log")
        [ -n "$port" ] && break
        sleep 0.1
    done
    [ -n "$port" ] || { cat "$work/server.log"; exit 1; }
    echo "<!-- $1: $(uptime | sed 's/.*load average/load average/') -->"
    for kind in get post; do
        for clients in 1 8 64; do
            line=$("$load" "http://127.0.0.1:$port" --clients "$clients" --seconds "$seconds" "--$kind" | tail -1)
            echo "| $1 | $kind | $clients | $(echo "$line" | sed 's/[a-z0-9_]*=//g; s/ / | /g') |"
        done
    done
    kill "$pid"
    wait "$pid" || true
    pid=
}

echo "| store | request | clients | requests | ok | errors | requests/s | p50 ms | p99 ms |"
echo "|---|---|---|---|---|---|---|---|---|"
run SQLite "$work/scores.db"
bash tests/server/pgcluster.sh start "$work/pg" >/dev/null
run PostgreSQL "$(cat "$work/pg/url")"
