#!/bin/bash
# The road of one score, end to end: the real game under Xvfb plays a round
# to its end (cursor still, right Shift held), a nick is typed with xdotool
# and sent to the bundled score server on loopback; the score comes back in
# "dl.txt" and on the score screen, whose two views are photographed. Then the
# failure road: with the server stopped the post fails and waits for Enter;
# with the server back, Enter sends it.
#
# The game reads its counters through gdb: the round's kills and frames are
# in no log line, and the score must reach the server unchanged.
set -u

ART="$BUILD_DIR/e2e-artifacts/score"
WORK=$(mktemp -d)
rm -rf "$ART"
mkdir -p "$ART"
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    cp "$WORK"/run/log.txt "$ART/log.txt" 2>/dev/null
    cp "$WORK"/server.log "$ART/server.log" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

export ASAN_OPTIONS="exitcode=99:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="exitcode=98:halt_on_error=1:${UBSAN_OPTIONS:-}"
export SDL_AUDIODRIVER=dummy

fail() {
    echo "FAILED: $*"
    exit 1
}

# waitfor SECONDS COMMAND...: polls until COMMAND succeeds; false on time-out.
waitfor() {
    local end=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -ge "$end" ] && return 1
        sleep 0.1
    done
}

# ---- The game and the address it was built for -----------------------------------
GAME="$RUN_DIR/bzykolot2"
server_url=$(sed -n 's/^SCORE_SERVER:STRING=//p' "$BUILD_DIR/CMakeCache.txt")
if [[ ! "$server_url" =~ ^http://127\.0\.0\.1:([0-9]+)$ ]]; then
    # Built for another host: the test never talks to it. A copy of the game
    # built for a loopback port is made next to the build.
    port=28642
    nested="$BUILD_DIR/e2e-score-build"
    sanitize=$(sed -n 's/^SANITIZE:BOOL=//p' "$BUILD_DIR/CMakeCache.txt")
    cmake -S "$SRC_DIR" -B "$nested" -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=OFF \
        -DSANITIZE="${sanitize:-OFF}" -DSCORE_SERVER="http://127.0.0.1:$port" >/dev/null ||
        fail "configuring the loopback copy of the game"
    cmake --build "$nested" -j2 --target bzykolot2 >/dev/null || fail "building the loopback copy"
    GAME="$nested/run/bzykolot2"
else
    port=${BASH_REMATCH[1]}
fi
SERVER="$BUILD_DIR/server/bzykolot2-scores"
URL="http://127.0.0.1:$port"
[ -x "$GAME" ] || fail "no game at $GAME"
[ -x "$SERVER" ] || fail "no score server at $SERVER"
[ -s "$RUN_DIR/data/gfx.pkf" ] || fail "no graphics pack in $RUN_DIR/data"
if curl -s -o /dev/null -m 1 "$URL/bzykolot4.wtf"; then
    fail "something already answers on $URL; stop it (or build with another SCORE_SERVER)"
fi

mkdir -p "$WORK/run"
ln -s "$RUN_DIR/data" "$WORK/run/data"
[ -f "$RUN_DIR/upds" ] && cp "$RUN_DIR/upds" "$WORK/run/upds"

start_server() {
    "$SERVER" --listen "127.0.0.1:$port" --db "$WORK/scores.db" >>"$WORK/server.log" 2>&1 &
    server_pid=$!
    pids+=("$server_pid")
    waitfor 10 curl -s -o /dev/null -m 1 "$URL/bzykolot4.wtf" || fail "the score server did not start"
}
stop_server() {
    kill "$server_pid"
    wait "$server_pid"
}

# ---- X server ------------------------------------------------------------------------
exec 3>"$WORK/display"
Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
pids+=($!)
exec 3>&-
waitfor 10 test -s "$WORK/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -1 "$WORK/display")"
# Right Shift alone: xdotool's Shift_R presses both Shifts.
RTSH=$(xkbcomp -xkb "$DISPLAY" - 2>/dev/null | sed -n 's/^ *<RTSH> *= *\([0-9]*\);.*/\1/p' | head -1)
[ -n "$RTSH" ] || RTSH=62

hold() {  # hold KEY...: press, keep ~0.12 s, release; then a pause
    xdotool keydown "$@"
    sleep 0.15
    xdotool keyup "$@"
    sleep 0.1
}
shifted() {  # shifted KEY: KEY with left Shift, the Shift down first
    xdotool keydown Shift_L
    sleep 0.1
    hold "$1"
    xdotool keyup Shift_L
    sleep 0.1
}
click() {  # click X Y in the game's coordinates
    xdotool mousemove $(($1 - offx)) $(($2 - offy))
    sleep 0.2
    xdotool mousedown 1
    sleep 0.15
    xdotool mouseup 1
    sleep 0.2
}
# After the game warps its pointer to the centre (start-up, each new round)
# SDL's pointer is X's plus an offset: aim X's pointer by it.
sync_pointer() {
    local X Y SCREEN WINDOW
    eval "$(xdotool getmouselocation --shell)"
    offx=$((W / 2 - X))
    offy=$((H / 2 - Y))
}
shot() { import -window root -display "$DISPLAY" "$ART/$1.png" || fail "screenshot $1"; }

# game EXPR...: prints each expression's value from the running game (gdb).
game() {
    local args=()
    for e in "$@"; do args+=(-ex "printf \"%d\\n\", $e"); done
    gdb -p "$game_pid" -batch -nx "${args[@]}" 2>/dev/null | grep -E '^-?[0-9]+$'
}
panel() {
    gdb -p "$game_pid" -batch -nx -ex 'printf "%s\n", panelText.text._M_dataplus._M_p' 2>/dev/null |
        sed -n '/^Pokonanych\|^Czas\|^Muchy/,$p' | grep -v '^\[Inferior'
}
state_is() { [ "$(game '(int)gameState' | tr '\n' ' ')" = "$1 " ]; }
sub_is() { [ "$(game '(int)gameState' '(int)subState' | tr '\n' ' ')" = "$1 $2 " ]; }

# Plays a round from the menu to its end and leaves the game on the nick entry.
play_round() {
    click $((W / 2 - 60)) $((H / 2 - 40))
    waitfor 10 state_is 1 || fail "the start button did not start a round"
    sync_pointer
    xdotool keydown "$RTSH"
    waitfor 240 sub_is 3 0 || fail "the round did not end"
    xdotool keyup "$RTSH"
    sleep 0.3
}

# ---- Start ----------------------------------------------------------------------------
start_server
cd "$WORK/run" || exit 1
"$GAME" &
game_pid=$!
pids+=("$game_pid")
waitfor 60 grep -qs "^INFO: Wystartowano" log.txt || fail "the game did not start: $(cat log.txt)"
sleep 1
read -r W H < <(sed -n 's/^OK  : init: Okno zrobione (\([0-9]*\)x\([0-9]*\)px)/\1 \2/p' log.txt | tail -1)
sync_pointer

# ---- A round, a nick, the score sent and shown ------------------------------------------------
play_round
read -r kills ticks < <(game kills roundTicks | tr '\n' ' ')
[ -n "$ticks" ] && [ "$ticks" -gt 0 ] || fail "no frames counted: kills=$kills ticks=$ticks"
shot roundend
shifted k
hold o
hold t
[ "$(panel | tail -1)" = "Wpisz nick: Kot" ] || fail "nick on the panel: $(panel)"
hold Return
waitfor 30 grep -q "^OK  : Hiscore.load: Wczytano wyniki" log.txt || fail "the table was not loaded: $(tail -5 log.txt)"
waitfor 10 sub_is 2 -1 || fail "the score screen did not settle"
table=$(curl -s -m 5 "$URL/bzykolot4.wtf")
[ "$table" = "Kot $kills $ticks" ] || fail "server table '$table', expected 'Kot $kills $ticks'"
[ "$(cat dl.txt)" = "$table" ] || fail "dl.txt '$(cat dl.txt)' differs from the server's '$table'"
grep -q " POST /bzykolot4.php 200$" "$WORK/server.log" || fail "no accepted post in the server log"
grep -q " GET /bzykolot4.wtf 200$" "$WORK/server.log" || fail "the table was not fetched with a GET"
[ "$(panel | head -1)" = "Czas:" ] || fail "time view expected: $(panel)"
[ "$(panel | sed -n 2p)" = "$(printf '01.\t Kot\t %d' $((ticks / 62)))" ] || fail "time view: $(panel)"
shot scores_time
hold space
waitfor 5 sub_is 2 -1 || fail "the view did not settle after the key"
[ "$(panel | head -1)" = "Muchy:" ] || fail "flies view expected: $(panel)"
[ "$(panel | sed -n 2p)" = "$(printf '01.\t Kot\t %d' "$kills")" ] || fail "flies view: $(panel)"
shot scores_flies
cmp -s "$ART/scores_time.png" "$ART/scores_flies.png" && fail "the two views look the same"

# ---- Failure road: no server, then the server back and Enter --------------------------------------
stop_server
hold Escape
waitfor 5 state_is 0 || fail "Escape did not return to the menu"
play_round
read -r kills2 ticks2 < <(game kills roundTicks | tr '\n' ' ')
[ "$(panel | tail -1)" = "Wpisz nick: Kot" ] || fail "the nick was not kept for the next round: $(panel)"
hold Return
waitfor 15 sub_is 3 4 || fail "a post without a server did not fail"
[ "$(panel | tail -1)" = "Nie udalo sie wyslac. Wyslac ponownie? (Enter/Escape)" ] ||
    fail "failure message: $(panel)"
shot post_failed
start_server
hold Return
waitfor 30 sub_is 2 -1 || fail "the retried post did not reach the score screen"
table=$(curl -s -m 5 "$URL/bzykolot4.wtf")
case " $table " in
*" Kot $kills2 $ticks2 "*) ;;
*) fail "the retried score Kot $kills2 $ticks2 is not in '$table'" ;;
esac
[ "$(cat dl.txt)" = "$table" ] || fail "dl.txt differs from the server's table after the retry"

# ---- Quit ------------------------------------------------------------------------------------------
xdotool keydown Alt_L
sleep 0.1
hold F4
xdotool keyup Alt_L
status=0
waitfor 20 bash -c "! kill -0 $game_pid 2>/dev/null" || fail "the game did not quit on Alt+F4"
wait "$game_pid" || status=$?
[ "$status" -eq 0 ] || fail "the game ended with status $status"
stop_server
echo "server log:"
cat "$WORK/server.log"
echo "screenshots: $ART/roundend.png $ART/scores_time.png $ART/scores_flies.png $ART/post_failed.png"
echo "PASSED"
