#!/bin/bash
# Seed corpora for the fuzz targets from the build's packs and its score server's table and posts.
# Usage: seeds.sh BUILD_DIR OUT_DIR   (BUILD_DIR: a plain or sanitized build, built)
set -euo pipefail
build=$1 out=$2 src=$(cd "$(dirname "$0")/../.." && pwd) tmp=$(mktemp -d) server_pid=
trap 'kill $server_pid 2>/dev/null; rm -rf "$tmp"' EXIT
rm -rf "$out"
mkdir -p "$out"/{pack,parser,table,anim,post,listen,replay} "$tmp/gfx"
"$build/tools/pkf" extract "$build/run/data/gfx.pkf" "$tmp/gfx" >/dev/null

# Packs: the three smallest sprites with their companions.
for b in $(cd "$tmp/gfx" && ls -S *.bmp | tail -3); do
    "$build/tools/pkf" create "$out/pack/${b%.bmp}.pkf" $(ls "$tmp/gfx/${b%bmp}"{bmp,smt,txt} 2>/dev/null) >/dev/null
done
cp "$tmp"/gfx/*.txt "$out/anim/"
for b in $(cd "$tmp/gfx" && ls -S *.bmp | tail -3); do  # with their own bitmaps, for the decoder
    if [ -f "$tmp/gfx/${b%bmp}txt" ]; then { cat "$tmp/gfx/${b%bmp}txt"; printf '\0'; cat "$tmp/gfx/$b"; } >"$out/anim/$b"; fi
done

# A real table: the score server fed signed posts by the load tool.
"$build/server/bzykolot2-scores" --listen 127.0.0.1:0 --db "$tmp/scores.db" >"$tmp/server.log" 2>&1 &
server_pid=$!
for i in $(seq 100); do url=$(sed -n 's/.*listening on \([0-9.]*:[0-9]*\).*/http:\/\/\1/p' "$tmp/server.log"); [ -n "$url" ] && break; sleep 0.1; done
"$build/tools/scoreload" "$url" --clients 1 --seconds 1 --post --ok-log "$tmp/ok.txt" >/dev/null
curl -sf -o "$out/table/table.txt" "$url/bzykolot4.wtf"

# Posts as the game signs them: MD5 of flies, nick, frames and the salt.
salt=$(sed -n 's/^const char\* const scoreSalt = "\(.*\)";/\1/p' "$src/base/signature.cpp")
head -5 "$tmp/ok.txt" | while read -r nick flies ticks; do
    md5=$(printf '%s%s%s%s' "$flies" "$nick" "$ticks" "$salt" | md5sum | cut -c1-32)
    printf 'wysyl=1&wersja=1&nick=%s&muchy=%s&czas=%s&md5=%s' "$nick" "$flies" "$ticks" "$md5" >"$out/post/$nick"
done

# The server's options as its manual gives them, one per line.
printf -- '--listen\n127.0.0.1:8642' >"$out/listen/v4"
printf -- '--listen\n[::1]:0\n--db\nscores.db\n--threads\n4\n--behind-proxy' >"$out/listen/v6"
# Recordings: the golden ones, and a short round of the bot.
cp "$src"/tests/data/replays/*.bzr "$out/replay/" 2>/dev/null || true
"$build/tools/bzykolot2-replay" bot --data "$build/run/data" --survive 300 "$out/replay/bot.bzr" >/dev/null
# The parser: the same texts (operations follow a zero byte, see fuzz.cpp).
cp "$out"/{anim,table,post}/* "$out/parser/"
