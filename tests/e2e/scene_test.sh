#!/bin/bash
# The scene runner keeps working: a short run of "all" prints every phase, the
# peaks and the floor, fires every weapon into the flies, and with --shots
# writes one PNG every K frames; a wrong scene name is refused with status 2.
set -u
SCENE="$BUILD_DIR/tools/scene"
[ -x "$SCENE" ] || { echo "FAIL: no scene runner at $SCENE"; exit 1; }
for i in $(seq 1 120); do
    [ -s "$RUN_DIR/data/gfx.pkf" ] && break
    sleep 5
done
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*"; cat "$WORK/out.txt" "$WORK/err.txt" 2>/dev/null; exit 1; }

SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy "$SCENE" all --size 640x480 --frames 40 --seed 3 \
    --shots "$WORK/shots" --shot-every 10 --log "$WORK/log.txt" >"$WORK/out.txt" 2>"$WORK/err.txt" ||
    fail "scene all ended with $?"
for phase in clear world hud present frame; do
    grep -qE "^phase=$phase median_ms=[0-9]+\.[0-9]{3} p99_ms=[0-9]+\.[0-9]{3}$" "$WORK/out.txt" ||
        fail "no line for phase $phase"
done
[ "$(grep -c '^phase=' "$WORK/out.txt")" = 5 ] || fail "not five phase lines"
peak=$(grep -E '^peak flies=[0-9]+ particles=[0-9]+ weapons=[0-9]+ drops=[0-9]+$' "$WORK/out.txt") ||
    fail "no peak line"
weapons=$(echo "$peak" | sed 's/.*weapons=\([0-9]*\).*/\1/')
flies=$(echo "$peak" | sed 's/.*flies=\([0-9]*\).*/\1/')
# Six weapons and the click in the first frame, and the airstrike's and the
# armageddon's chains on top.
[ "$weapons" -ge 7 ] || fail "only $weapons weapons at the peak"
[ "$flies" -ge 300 ] || fail "only $flies flies at the peak"
tail -1 "$WORK/out.txt" | grep -qE '^floor_ms=[0-9]+\.[0-9]{3} ratio=[0-9]+\.[0-9]{2}$' || fail "no floor line last"
[ "$(ls "$WORK/shots" | tr '\n' ' ')" = "0000.png 0010.png 0020.png 0030.png " ] || fail "shots: $(ls "$WORK/shots")"
grep -q "OK  : Sprite.load" "$WORK/log.txt" || fail "the game's log did not go to --log"

"$SCENE" nosuchscene >/dev/null 2>&1
[ $? = 2 ] || fail "an unknown scene was not refused with 2"
echo "scene test passed"
