#!/bin/bash
# The plain click and the weapon ring end to end: the real game under Xvfb,
# sound through SDL's disk audio driver. In a new round the right button opens
# the ring (six icons and the HUD line under it) before any fly has come; then
# the left button is held over the centre while the flies arrive. Holding it
# fires an explosion every 62 frames: the explosions' sound starts before any
# fly is near (so it is no sting or buzz), and the flies they kill are counted
# beyond the stings (each sting counts two kills and costs one health; the game's
# counters are read with gdb). The ring is photographed again with the kills in
# its HUD line, and left Alt + F4 ends the game with 0.
# Screenshots go to $BUILD_DIR/e2e-artifacts/arsenal.
set -u
. "$(dirname "$0")/lib.sh"

ART="$BUILD_DIR/e2e-artifacts/arsenal"
rm -rf "$ART"
mkdir -p "$ART"
export ASAN_OPTIONS="exitcode=99:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="exitcode=98:halt_on_error=1:${UBSAN_OPTIONS:-}"

e2e_init
command -v gdb >/dev/null || fail "gdb is not installed"
command -v python3 >/dev/null || fail "python3 is not installed"
e2e_wait_packs
e2e_start_xvfb
dir=$(e2e_run_dir arsenal)
[ -f "$RUN_DIR/upds" ] && cp "$RUN_DIR/upds" "$dir/upds"
audio="$dir/audio.raw"
save_log() { cp "$dir/log.txt" "$ART/log.txt" 2>/dev/null; }
trap 'save_log; e2e_cleanup' EXIT

shot() { e2e_screenshot "$ART/$1.png"; }
sync_pointer() {
    local X Y SCREEN WINDOW
    eval "$(xdotool getmouselocation --shell)"
    offx=$((W / 2 - X))
    offy=$((H / 2 - Y))
}
moveto() { timeout 10 xdotool mousemove $(($1 - offx)) $(($2 - offy)); sleep 0.15; }
click() {
    moveto "$1" "$2"
    timeout 10 xdotool mousedown 1
    sleep 0.15
    timeout 10 xdotool mouseup 1
    sleep 0.2
}
# game EXPR...: each expression's value in the running game.
game() {
    local args=() e
    for e in "$@"; do args+=(-ex "printf \"%d\\n\", $e"); done
    gdb -p "$E2E_GAME_PID" -batch -nx "${args[@]}" 2>/dev/null | grep -E '^-?[0-9]+$'
}
# Loudest 16-bit sample of the disk audio from byte $1 on.
loudest_from() {
    python3 - "$audio" "$1" <<'EOF'
import array, sys
with open(sys.argv[1], 'rb') as f:
    f.seek(int(sys.argv[2]))
    data = f.read()
samples = array.array('h', data[:len(data) // 2 * 2])
print(max((abs(s) for s in samples), default=0))
EOF
}
audio_size() { stat -c %s "$audio" 2>/dev/null || echo 0; }
# Pixels that differ between two screenshots inside a box (x y w h).
box_diff() {
    local crop="$5x$6+$3+$4"
    convert "$1" -crop "$crop" +repage "$E2E_SCRATCH/a.png"
    convert "$2" -crop "$crop" +repage "$E2E_SCRATCH/b.png"
    compare -metric AE "$E2E_SCRATCH/a.png" "$E2E_SCRATCH/b.png" null: 2>&1 | cut -d' ' -f1
}

# ---- Start-up, then a round ------------------------------------------------------------------
e2e_start_game "$dir" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$audio" SDL_DISKAUDIODELAY=40
e2e_wait_log "$dir" "INFO: Wystartowano" 120
sleep 1
read -r W H < <(sed -n 's/^OK  : init: Okno zrobione (\([0-9]*\)x\([0-9]*\)px)/\1 \2/p' "$dir/log.txt" | tail -1)
[ -n "${W:-}" ] || fail "no window size in the log"
sync_pointer
click $((W / 2 - 60)) $((H / 2 - 40))
sync_pointer
[ "$(game '(int)gameState')" = 1 ] || fail "the start button did not start a round"
cx=$((W / 2 + 30))
cy=$((H / 2 - 20))
moveto "$cx" "$cy"
sleep 0.3

# ---- The ring, before any fly has come ----------------------------------------------------------
shot plain
timeout 10 xdotool mousedown 3
sleep 0.3
shot ring
[ "$(game '(int)ringOpen' '(int)ringX' '(int)ringY' | tr '\n' ' ')" = "1 $cx $cy " ] ||
    fail "the right button did not open the ring at the cursor ($(game '(int)ringOpen' '(int)ringX' '(int)ringY' | tr '\n' ' '))"
timeout 10 xdotool mouseup 3
sleep 0.3
# The ring's box: six 30 x 30 icons round the cursor and the HUD line below.
ring_px=$(box_diff "$ART/plain.png" "$ART/ring.png" $((cx - 56)) $((cy - 56)) 112 144)
[ "${ring_px:-0}" -gt 2000 ] || fail "the ring changed only ${ring_px:-0} pixels of its box"
hud_px=$(box_diff "$ART/plain.png" "$ART/ring.png" $((cx - 48)) $((cy + 68)) 104 20)
[ "${hud_px:-0}" -gt 50 ] || fail "no HUD line under the ring ($hud_px pixels)"
[ "$(game '(int)ringOpen')" = 0 ] || fail "the ring stayed open after the right button went up"

# ---- Hold the left button while the flies arrive -------------------------------------------------
before=$(audio_size)
[ "$(loudest_from 0)" -lt 200 ] || fail "sound before any shot"
timeout 10 xdotool mousedown 1
sleep 1.5
# Flies enter from the edges after 60 frames and are still far off: this is the blasts' sound.
first_blasts=$(loudest_from "$before")
[ "$first_blasts" -gt 1000 ] || fail "no explosion sound in the first second of holding (peak $first_blasts)"
[ "$(game 'kills')" = 0 ] || fail "kills before any fly could be near"
sleep 10
shot blasting
timeout 10 xdotool mouseup 1
sleep 0.3
read -r kills health < <(game 'kills' 'health' | tr '\n' ' ')
echo "after holding: kills $kills, health $health"
[ "$health" -ge 1 ] || fail "the round was lost while blasting"
blasted=$((kills - 2 * (6 - health)))
[ "$blasted" -gt 0 ] || fail "explosions killed no fly (kills $kills, health $health)"
grep -q "^time: .*weps: [1-9]" "$dir/log.txt" || fail "no explosion in the debug lines"
# The click every 62 frames: the debug lines see the plain click's delay counting down.
grep -qE "^time: .*delay: [1-9][0-9]?-" "$dir/log.txt" || fail "no click delay in the debug lines"

# ---- The ring again, the kills in its HUD line ------------------------------------------------------
timeout 10 xdotool mousedown 3
sleep 0.3
shot ring_kills
timeout 10 xdotool mouseup 3
sleep 0.2

# ---- Quit --------------------------------------------------------------------------------------------------
e2e_combo Alt_L F4
e2e_wait_exit 30
[ "$E2E_STATUS" = 0 ] || fail "the game ended with $E2E_STATUS"
grep -q "FAIL: Object.Object" "$dir/log.txt" && fail "a weapon was built without its sprite"
echo "arsenal test passed: $blasted flies blasted; screenshots in $ART"
