# Helpers for end-to-end tests of the real game under Xvfb, driven by xdotool, for
# *_test.sh scripts given BUILD_DIR, SRC_DIR and RUN_DIR (bzykolot2 and data/) by
# CTest. fail MESSAGE prints the message and the game's log and ends the test.
set -u
# The game speaks Polish under the C locale, whatever the machine's is (the tests read its texts).
export LC_ALL=C
unset LANGUAGE

# Leaks inside X11 and SDL are not the game's; a sanitizer report must not pass for a clean exit.
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/lsan.supp}
export ASAN_OPTIONS="exitcode=99:${ASAN_OPTIONS:-}" UBSAN_OPTIONS="exitcode=98:halt_on_error=1:${UBSAN_OPTIONS:-}"
E2E_W=1024 E2E_H=768
E2E_XVFB_PID= E2E_GAME_PID= E2E_GAME_DIR= E2E_STATUS= E2E_SCRATCH= E2E_SERVER_PID= DISPLAY_NUM=

fail() {
    echo "FAIL: $*" >&2
    [ -n "$E2E_GAME_DIR" ] && [ -f "$E2E_GAME_DIR/log.txt" ] && tail -n 40 "$E2E_GAME_DIR/log.txt" >&2
    exit 1
}

# Stops only what this test started, by process id; the last game's log is kept with the screenshots.
e2e_cleanup() {
    if [ -n "$E2E_GAME_PID" ] && kill -CONT "$E2E_GAME_PID" 2>/dev/null && kill "$E2E_GAME_PID" 2>/dev/null; then
        sleep 0.5
        kill -9 "$E2E_GAME_PID" 2>/dev/null
    fi
    [ -n "$E2E_SERVER_PID" ] && kill "$E2E_SERVER_PID" 2>/dev/null
    if [ -n "$E2E_XVFB_PID" ] && kill "$E2E_XVFB_PID" 2>/dev/null; then wait "$E2E_XVFB_PID" 2>/dev/null; fi
    [ -n "$E2E_GAME_DIR" ] && cp "$E2E_GAME_DIR/log.txt" "$ART/" 2>/dev/null
    if [ -n "$E2E_SCRATCH" ] && [ -z "${E2E_KEEP:-}" ]; then rm -rf "$E2E_SCRATCH"; fi
}

# Checks the tools and the build, makes E2E_SCRATCH and ART (screenshots and logs to look at).
e2e_init() {
    : "${BUILD_DIR:?BUILD_DIR not set}" "${RUN_DIR:?RUN_DIR not set}"
    local tool
    for tool in Xvfb xdotool import convert compare gdb; do command -v "$tool" >/dev/null || fail "$tool is not installed"; done
    [ -x "$RUN_DIR/bzykolot2" ] && [ -s "$RUN_DIR/data/gfx.pkf" ] && [ -s "$RUN_DIR/data/sfx.pkf" ] ||
        fail "no game or packs in $RUN_DIR (build the 'bzykolot2' and 'packs' targets)"
    ART="$BUILD_DIR/e2e-artifacts/$(basename "$0" _test.sh)"
    rm -rf "$ART"
    mkdir -p "$ART" "$BUILD_DIR/e2e"
    E2E_SCRATCH=$(mktemp -d "$BUILD_DIR/e2e/$(basename "$0" .sh).XXXXXX")
    trap e2e_cleanup EXIT
    trap 'exit 130' INT TERM
}

# Xvfb picks a free display itself and writes its number once it takes clients.
e2e_start_xvfb() {
    Xvfb -displayfd 3 -screen 0 "${E2E_W}x${E2E_H}x24" -noreset -nolisten tcp 3>"$E2E_SCRATCH/display" \
        >"$E2E_SCRATCH/xvfb.log" 2>&1 &
    E2E_XVFB_PID=$!
    e2e_until 10 e2e_display || fail "could not start Xvfb: $(cat "$E2E_SCRATCH/xvfb.log")"
}
e2e_display() { DISPLAY_NUM=$(cat "$E2E_SCRATCH/display") && [ -n "$DISPLAY_NUM" ] && export DISPLAY=":$DISPLAY_NUM" && xdotool getmouselocation >/dev/null 2>&1; }

# e2e_run_dir NAME [nogfx]: a folder to run the game in, its data/ linked to the build's packs.
e2e_run_dir() {
    local dir="$E2E_SCRATCH/$1"
    mkdir -p "$dir/data"
    [ "${2:-}" = nogfx ] || ln -s "$RUN_DIR/data/gfx.pkf" "$dir/data/gfx.pkf"
    ln -s "$RUN_DIR/data/sfx.pkf" "$dir/data/sfx.pkf"
    echo "$dir"
}

# e2e_start_game DIR [VAR=VALUE...]: the game in DIR (dummy audio unless set).
e2e_start_game() {
    local dir=$1
    shift
    E2E_GAME_DIR=$dir E2E_STATUS=
    rm -f "$dir/log.txt"  # waits must not find the previous run's lines
    (cd "$dir" && exec env SDL_AUDIODRIVER=dummy "$@" "$RUN_DIR/bzykolot2" >"$dir/stdout.txt" 2>"$dir/stderr.txt") &
    E2E_GAME_PID=$!
}

# e2e_until SECONDS COMMAND...: true once COMMAND succeeds, false after SECONDS.
e2e_until() {
    local end=$((SECONDS + $1))
    shift
    until "$@"; do [ "$SECONDS" -lt "$end" ] || return 1; sleep 0.1; done
}

# e2e_wait_log DIR TEXT [SECONDS]: until DIR/log.txt holds TEXT.
e2e_wait_log() { e2e_until "${3:-60}" e2e_logged "$1" "$2" || fail "no '$2' in $1/log.txt after ${3:-60}s"; }
e2e_logged() {  # liveness first: a game found dead before a missing line will never log it
    local alive=1
    [ -z "$E2E_GAME_PID" ] || kill -0 "$E2E_GAME_PID" 2>/dev/null || alive=
    grep -qF -- "$2" "$1/log.txt" 2>/dev/null && return
    [ -n "$alive" ] || fail "the game ended before logging '$2'"
    return 1
}

# Keys are held long enough for a frame to see them down.
e2e_key() { timeout 10 xdotool keydown "$1"; sleep 0.12; timeout 10 xdotool keyup "$1"; sleep 0.08; }
e2e_combo() {
    timeout 10 xdotool keydown "$1"; sleep 0.08; timeout 10 xdotool keydown "$2"; sleep 0.15
    timeout 10 xdotool keyup "$2"; sleep 0.05; timeout 10 xdotool keyup "$1"
}

# e2e_wait_exit [SECONDS]: until the game ends; sets E2E_STATUS.
e2e_wait_exit() {
    e2e_until "${1:-30}" eval '! kill -0 "$E2E_GAME_PID" 2>/dev/null' || fail "the game did not end within ${1:-30}s"
    wait "$E2E_GAME_PID"
    E2E_STATUS=$? E2E_GAME_PID=
}

# e2e_quit [COMMAND...]: COMMAND (left Alt+F4) ends the game: 0, "INFO: Stop" last, no sprite failed.
e2e_quit() {
    [ $# -gt 0 ] || set -- e2e_combo Alt_L F4
    "$@"
    e2e_wait_exit 30
    [ "$E2E_STATUS" = 0 ] && [ "$(tail -n 1 "$E2E_GAME_DIR/log.txt")" = "INFO: Stop" ] || fail "status $E2E_STATUS after $*"
    ! grep -E "^FAIL: (Object|Sprite)" "$E2E_GAME_DIR/log.txt" || fail "a sprite failed to load"
}

# e2e_shot NAME: a screenshot into ART, the game stopped so nothing moves while it is taken.
e2e_shot() {
    [ -n "$E2E_GAME_PID" ] && kill -STOP "$E2E_GAME_PID"
    timeout 20 import -window root -display "$DISPLAY" "$ART/$1.png" || fail "screenshot failed"
    [ -n "$E2E_GAME_PID" ] && kill -CONT "$E2E_GAME_PID"
}

# Key code of right Shift alone (xdotool's Shift_R presses both Shifts), 62 unless the keymap says.
e2e_right_shift() { xkbcomp -xkb "$DISPLAY" - 2>/dev/null | sed -n 's/^ *<RTSH> *= *\([0-9]*\);.*/\1/p' | grep -m1 . || echo 62; }

# Once the game has warped its pointer to the centre, SDL's pointer is X's plus
# an offset. Sets W and H (the full-screen window's size) and offx, offy.
e2e_sync_pointer() {
    local X Y SCREEN WINDOW
    eval "$(xdotool getmouselocation --shell)"
    W=$E2E_W H=$E2E_H offx=$((E2E_W / 2 - X)) offy=$((E2E_H / 2 - Y))
}
e2e_moveto() { timeout 10 xdotool mousemove $(($1 - offx)) $(($2 - offy)); sleep 0.15; }
e2e_click() {
    e2e_moveto "$1" "$2"
    timeout 10 xdotool mousedown 1; sleep 0.15; timeout 10 xdotool mouseup 1; sleep 0.2
}

# e2e_menu DIR [VAR=VALUE...]: the game started in DIR, its menu up, the pointer synchronised.
e2e_menu() {
    e2e_start_game "$@"
    e2e_wait_log "$1" "INFO: Wystartowano" 120
    sleep 1
    e2e_sync_pointer
}

# e2e_game EXPR...: the values of C expressions in the running game, on one line.
# The game is stopped from before gdb starts until it has detached, so a
# reading costs the game no frames however slowly gdb loads.
e2e_game() {
    local args=() e
    for e in "$@"; do args+=(-ex "printf \"%d\\n\", $e"); done
    kill -STOP "$E2E_GAME_PID"
    gdb -p "$E2E_GAME_PID" -batch -nx "${args[@]}" 2>/dev/null | grep -E '^-?[0-9]+$' | paste -sd' '
    kill -CONT "$E2E_GAME_PID"
}
