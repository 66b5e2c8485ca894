#!/usr/bin/env bash
# The score server's checking figures, on loopback, with an SQLite file in
# /tmp: rounds played again per minute per verify thread (the long golden
# round alone, then rounds like it on two threads), table reads while both
# cores play rounds against reads of the idle server in the same run, the time
# from upload to listed of a round of three minutes, forged posts listed, and
# queued rounds lost when the server is killed while it checks.
# Usage: tools/checkfigures.sh [BUILD_DIR] [SECONDS]   (defaults: build, 10;
# a plain build: cmake -DCMAKE_BUILD_TYPE=Release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-10}
server=$build/server/bzykolot2-scores load=$build/tools/scoreload bot=$build/tools/bzykolot2-replay
data=$build/run/data
work=$(mktemp -d /tmp/bzk-check-XXXXXX)
pid=
cleanup() {
    [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# start DB OPTIONS...: a server on a free port; sets pid, port and log.
start() {
    log=$work/server.$RANDOM.log
    "$server" --listen 127.0.0.1:0 --db "$1" --data "$data" --post-rate 0 --max-per-address 0 \
        --queue-per-address 1000 "${@:2}" >"$log" 2>&1 &
    pid=$!
    port=""
    for _ in $(seq 100); do
        port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\),.*/\1/p' "$log")
        [ -n "$port" ] && return
        sleep 0.1
    done
    cat "$log"
    exit 1
}
stop() { kill "$pid"; wait "$pid" || true; pid=; }
url() { echo "http://127.0.0.1:$port$1"; }
# post FILE: the recording's score, signed as the game signs it.
post() {
    read -r nick flies time < <("$bot" info "$1" | sed 's/^nick=\([^ ]*\) flies=\([0-9]*\) time=\([0-9]*\).*/\1 \2 \3/')
    local sig
    sig=$(printf '%s%s%sniebieskiparasolnadrzewa' "$flies" "$nick" "$time" | md5sum | cut -c1-32)
    curl -s -o /dev/null -d "wysyl=1&wersja=1&nick=$nick&muchy=$flies&czas=$time&md5=$sig" "$(url /bzykolot4.php)"
}
send() { curl -s --data-binary @"$1" -H 'Content-Type: application/octet-stream' "$(url /replays)"; }
listed() { grep -c ': matched, listed' "$log" || true; }
until_listed() { while [ "$(listed)" -lt "$1" ]; do sleep 0.01; done; }
now() { date +%s.%N; }
minutes() { "$bot" info "$1" | sed 's/.* frames=\([0-9]*\) .*/\1/' | awk '{ printf "%.3f", $1 * 0.016 / 60 }'; }

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
# Rounds like the long golden one (4 min on a 3840x2160 screen, a swarm of two
# hundred flies), each another seed; a round of three minutes at 1920x1080.
cp tests/data/replays/long-swarm.bzr "$work/long0.bzr"
for s in $(seq 3 54); do
    "$bot" bot --data "$data" --seed "$s" --survive 15500 --hoard 180 --size 3840x2160 "$work/long$s.bzr" >/dev/null
done
"$bot" bot --data "$data" --seed 40 --survive 12000 --hoard 120 --size 1920x1080 "$work/three.bzr" >/dev/null
first=$(for s in $(seq 3 14); do echo "$work/long$s.bzr"; done) more=$(for s in $(seq 15 54); do echo "$work/long$s.bzr"; done)

# 1. The long golden round on one verify thread: its check, from the log's own timing.
start "$work/a.db" --verify-threads 1
post "$work/long0.bzr"
send "$work/long0.bzr" >/dev/null
until_listed 1
took=$(sed -n 's/.*: matched, listed in \([0-9.]*\) s$/\1/p' "$log")
play=$(minutes "$work/long0.bzr")
echo "golden long round: $play min of play checked in $took s: $(awk -v p="$play" -v t="$took" 'BEGIN { printf "%.0f", p / (t / 60) }') min of play a minute"
stop

# 2. Twelve such rounds on two threads, from the first upload to the last listed.
start "$work/b.db" --verify-threads 2
for f in $first; do post "$f"; done
total=$(for f in $first; do minutes "$f"; echo; done | awk '{ s += $1 } END { printf "%.3f", s }')
t0=$(now)
for f in $first; do send "$f" >/dev/null; done
until_listed 12
t1=$(now)
echo "12 long rounds, 2 threads: $total min of play in $(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.1f", b - a }') s:" \
     "$(awk -v p="$total" -v a="$t0" -v b="$t1" 'BEGIN { printf "%.0f", p / ((b - a) / 60) / 2 }') min of play a minute per thread"

# Then table reads of the same server idle, and while both threads play 40
# more: 4 clients, 500 reads a second each (flat out, the readers would take
# both cores and the checks, at the lowest priority, none).
for f in $more; do post "$f"; done
idle=$("$load" "$(url '')" --clients 4 --rate 500 --seconds "$seconds" --get | tail -1)
for f in $more; do send "$f" >/dev/null; done
until [ "$(grep -c ': checking' "$log")" -ge 14 ]; do sleep 0.01; done
before=$(listed)
busy=$("$load" "$(url '')" --clients 4 --rate 500 --seconds "$seconds" --get | tail -1)
echo "table reads, idle:           $idle"
echo "table reads, while checking: $busy ($(($(listed) - before)) rounds checked meanwhile)"
stop

# 3. A round of three minutes on an idle server: upload to listed in the table.
start "$work/c.db"
post "$work/three.bzr"
read -r nick flies time < <("$bot" info "$work/three.bzr" | sed 's/^nick=\([^ ]*\) flies=\([0-9]*\) time=\([0-9]*\).*/\1 \2 \3/')
t0=$(now)
send "$work/three.bzr" >/dev/null
until curl -s "$(url /bzykolot4.wtf)" | grep -q "$nick $flies $time"; do sleep 0.005; done
t1=$(now)
echo "a round of $(minutes "$work/three.bzr") min, alone: listed $(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }') s after its upload began"
stop

# 4. Signed posts without recordings in checked mode: none listed.
start "$work/d.db"
forged=$("$load" "$(url '')" --clients 8 --seconds 5 --post | tail -1)
echo "forged posts: $forged; listed: $(curl -s "$(url /bzykolot4.wtf)" | wc -w | awk '{ print $1 / 3 }')"
stop

# 5. Twelve rounds queued, the server killed (SIGKILL) five times just after it
# began a check and started again each time: every round is listed in the end.
start "$work/e.db" --verify-threads 1
for f in $first; do post "$f"; send "$f" >/dev/null; done
for _ in 1 2 3 4 5; do
    until grep -q ': checking' "$log"; do sleep 0.02; done
    sleep 0.1
    kill -9 "$pid"
    wait "$pid" 2>/dev/null || true
    start "$work/e.db" --verify-threads 1
done
matched() { for f in $first; do send "$f"; done | grep -c '^matched$' || true; }
for _ in $(seq 600); do [ "$(matched)" = 12 ] && break; sleep 0.1; done
echo "after 5 kills mid-check: $(matched) of 12 queued rounds matched and listed"
stop
