#!/bin/bash
# Seed corpora for the fuzz targets, made from real data: entries of the
# build's packs, a table and signed posts of the real score server.
# Usage: seeds.sh BUILD_DIR OUT_DIR   (BUILD_DIR: a built plain or sanitized build)
set -euo pipefail
build=$1 out=$2 src=$(cd "$(dirname "$0")/../.." && pwd)
data=$build/run/data pkf=$build/tools/pkf
for i in $(seq 120); do [ -s "$data/gfx.pkf" ] && [ -s "$data/sfx.pkf" ] && break; sleep 5; done
tmp=$(mktemp -d)
server_pid=
trap 'kill $server_pid 2>/dev/null; rm -rf "$tmp"' EXIT
rm -rf "$out"
mkdir -p "$out"/{pack,parser,table,anim,post,listen} "$tmp/gfx" "$tmp/sfx"
"$pkf" extract "$data/gfx.pkf" "$tmp/gfx" >/dev/null
"$pkf" extract "$data/sfx.pkf" "$tmp/sfx" >/dev/null

# Packs: the three smallest sprites with their companions, the two smallest sounds.
small=$(cd "$tmp/gfx" && ls -S *.bmp | tail -3)
for b in $small; do
    "$pkf" create "$out/pack/${b%.bmp}.pkf" $(ls "$tmp/gfx/${b%bmp}"{bmp,smt,txt} 2>/dev/null) >/dev/null
done
"$pkf" create "$out/pack/sounds.pkf" $(ls -Sr "$tmp"/sfx/* | head -2) >/dev/null
cp "$tmp"/gfx/*.txt "$out/anim/"

# A real table: the score server fed signed posts by the load tool.
"$build/server/bzykolot2-scores" --listen 127.0.0.1:0 --db "$tmp/scores.db" >"$tmp/server.log" 2>&1 &
server_pid=$!
for i in $(seq 100); do url=$(sed -n 's/.*listening on \([0-9.]*:[0-9]*\).*/http:\/\/\1/p' "$tmp/server.log"); [ -n "$url" ] && break; sleep 0.1; done
[ -n "$url" ] || { echo "the score server did not start" >&2; exit 1; }
"$build/tools/scoreload" "$url" --clients 1 --seconds 1 --post --ok-log "$tmp/ok.txt" >/dev/null
curl -s -o "$out/table/table.txt" "$url/bzykolot4.wtf"
[ -s "$out/table/table.txt" ] || { echo "no table from the score server" >&2; exit 1; }

# Posts as the game signs them: MD5 of flies, nick, frames and the salt.
salt=$(sed -n 's/^const char\* const scoreSalt = "\(.*\)";/\1/p' "$src/base/signature.cpp")
head -5 "$tmp/ok.txt" | while read -r nick flies ticks; do
    md5=$(printf '%s%s%s%s' "$flies" "$nick" "$ticks" "$salt" | md5sum | cut -c1-32)
    printf 'wysyl=1&wersja=1&nick=%s&muchy=%s&czas=%s&md5=%s' "$nick" "$flies" "$ticks" "$md5" >"$out/post/$nick"
done
nick=$(head -1 "$tmp/ok.txt" | cut -d' ' -f1)

# The server's options as its manual gives them, one per line.
printf -- '--listen\n127.0.0.1:8642' >"$out/listen/v4"
printf -- '--listen\n[::1]:0\n--db\nscores.db\n--threads\n4' >"$out/listen/v6"
printf -- '--behind-proxy\n--post-rate\n10\n--max-per-address\n0' >"$out/listen/proxy"

# The parser: each text, its separators, then a few operations (see fuzz.cpp).
ops='\0\1\0\2\1\0\3\0'"$nick"'\0\4\1x \0\5\2\0\6\0y\0\7\0 \0'
for f in "$out"/anim/*.txt; do printf "%s\0 \t$ops" "$(cat "$f")" >"$out/parser/$(basename "$f")"; done
printf "%s\0 $ops" "$(cat "$out/table/table.txt")" >"$out/parser/table"
printf "%s\0&=$ops" "$(cat "$out/post/$nick")" >"$out/parser/post"
echo "seeds in $out: $(find "$out" -type f | wc -l) files"
