#!/bin/bash
# Makes the golden recordings of tests/data/replays. The weapons' round: the
# bot plans it with the rules alone (seed 31 fires every weapon from the ring),
# then the real game plays it under Xvfb, its input from xdotool frame by frame
# (drive.py, in gdb), and the game's own recording is the golden one. The long
# round: the bot plays it with the rules alone, on a 4K screen where the swarm
# grows to two hundred.
# Usage: tools/golden/make.sh BUILD_DIR OUT_DIR   (a Debug build, built, with its packs)
set -euo pipefail
build=$(cd "$1" && pwd) out=$(mkdir -p "$2" && cd "$2" && pwd) here=$(cd "$(dirname "$0")" && pwd)
replay=$build/tools/bzykolot2-replay tmp=$(mktemp -d) xvfb=
trap 'kill $xvfb 2>/dev/null; [ -n "${KEEP:-}" ] || rm -rf "$tmp"' EXIT

"$replay" bot --data "$build/run/data" --seed 2 --survive 15500 --hoard 180 --size 3840x2160 "$out/long-swarm.bzr"
"$replay" bot --data "$build/run/data" --seed 31 --survive 100000 "$tmp/plan.bzr"
"$replay" frames "$tmp/plan.bzr" >"$tmp/plan.txt"

Xvfb -displayfd 3 -screen 0 1024x768x24 -noreset -nolisten tcp 3>"$tmp/display" >/dev/null 2>&1 &
xvfb=$!
until [ -s "$tmp/display" ]; do sleep 0.1; done
export DISPLAY=":$(cat "$tmp/display")"
mkdir -p "$tmp/game/data"
ln -s "$build/run/data/"*.pkf "$tmp/game/data/"
(cd "$tmp/game" && PLAN="$tmp/plan.txt" SEED=31 SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=0 \
    gdb -batch -nx -x "$here/drive.py" --args "$build/run/bzykolot2" >"$tmp/gdb.txt" 2>&1) &
game=$!
until grep -q "OK  : Replay: Zapisano nagranie" "$tmp/game/log.txt" 2>/dev/null; do
    kill -0 $game 2>/dev/null || { tail "$tmp/gdb.txt" "$tmp/game/log.txt"; exit 1; }
    sleep 1
done
xdotool key Escape sleep 0.5 keydown Alt_L keydown F4 sleep 0.3 keyup F4 keyup Alt_L
wait $game
played=$(ls "$tmp"/game/replays/*.bzr)
"$replay" frames "$played" | cmp - "$tmp/plan.txt" || { echo "the game did not play the plan" >&2; exit 1; }
cp "$played" "$out/weapons-ring.bzr"
"$replay" check --data "$build/run/data" "$out"/*.bzr
