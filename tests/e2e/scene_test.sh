#!/bin/bash
# The scene runner: a short "all" prints phases, peaks, world time per fly and the floor last, fires every weapon
# and writes PNGs; --verify finds every scene drawn as the plain way draws it; --startup; a bad scene gets 2.
set -u
SCENE="$BUILD_DIR/tools/scene"
[ -x "$SCENE" ] || { echo "FAIL: no scene runner at $SCENE"; exit 1; }
for i in {1..120}; do [ -s "$RUN_DIR/data/gfx.pkf" ] && break; sleep 5; done
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*"; cat "$WORK/out.txt" "$WORK/err.txt" 2>/dev/null; exit 1; }
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
"$SCENE" all --size 640x480 --frames 40 --seed 3 --shots "$WORK/shots" --shot-every 10 --log "$WORK/log.txt" \
    >"$WORK/out.txt" 2>"$WORK/err.txt" || fail "scene all ended with $?"
phases=$(sed -nE 's/^phase=([a-z]+) median_ms=[0-9]+\.[0-9]{3} p99_ms=[0-9]+\.[0-9]{3}$/\1/p' "$WORK/out.txt" | paste -sd' ')
[ "$phases" = "clear world hud present frame" ] && [ "$(grep -c '^phase=' "$WORK/out.txt")" = 5 ] || fail "phases: $phases"
read -r flies weapons < <(sed -nE 's/^peak flies=([0-9]+) particles=[0-9]+ weapons=([0-9]+) drops=[0-9]+$/\1 \2/p' "$WORK/out.txt")
# Six weapons and the click in the first frame, the airstrike's and armageddon's chains on top.
[ "${weapons:-0}" -ge 7 ] && [ "${flies:-0}" -ge 300 ] || fail "peak: ${flies:-no} flies, ${weapons:-no} weapons"
world=$(sed -nE 's/^phase=world median_ms=([0-9.]+) .*/\1/p' "$WORK/out.txt")
# The runner divides the unrounded median, so the last digit may differ from this one's.
perfly=$(tail -2 "$WORK/out.txt" | head -1 | sed -nE 's/^world_us_per_fly=([0-9]+\.[0-9]{2})$/\1/p')
awk -v p="${perfly:-x}" -v w="$world" -v f="$flies" 'BEGIN { d = p - w * 1000 / f; exit !(p ~ /^[0-9.]+$/ && d * d <= 0.0001) }' &&
    tail -1 "$WORK/out.txt" | grep -qE '^floor_ms=[0-9]+\.[0-9]{3} flip_ms=[0-9]+\.[0-9]{3} ratio=[0-9]+\.[0-9]{2}$' ||
    fail "no world time per fly ($world ms, $flies flies) before the floor line, or no floor line last"
[ "$(ls "$WORK/shots" | tr '\n' ' ')" = "0000.png 0010.png 0020.png 0030.png " ] || fail "shots: $(ls "$WORK/shots")"
grep -q "OK  : Sprite.load" "$WORK/log.txt" || fail "the game's log did not go to --log"
for size in "640x480 --budget 150" "800x600 --budget 100000"; do  # busy frames whole flips, or all rectangles
    for scene in swarm swarm2000 flame bomb airstrike concrete armageddon bzykolot all idle; do
        [ "$("$SCENE" $scene --size $size --frames 30 --verify 2>"$WORK/err.txt")" = "verify: 30 frames identical" ] || fail "$scene $size"
    done
done
"$SCENE" --startup --size 640x480 2>"$WORK/err.txt" | grep -qxE 'startup_ms=[0-9.]+ bare_ms=[0-9.]+ ratio=[0-9.]+' || fail "startup"
"$SCENE" nosuchscene >/dev/null 2>&1
[ $? = 2 ] || fail "an unknown scene was not refused with 2"
echo "scene test passed"
