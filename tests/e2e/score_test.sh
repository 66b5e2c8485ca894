# The road of one score under Xvfb: the fresh server's empty table replaces an
# old "dl.txt"; a round played to its end (cursor still, right Shift held), a
# nick typed and sent to the bundled server on loopback; the score comes back
# in "dl.txt" and on the score screen, in both views. Then the failure road:
# with the server stopped the post fails and waits for Enter; with it back,
# Enter sends. The round's kills and frames are in no log line: gdb reads them.
. "$(dirname "$0")/lib.sh"
e2e_init
# A build for another score host never talks to it: a copy of the game built
# for a loopback port is made next to the build.
GAME_DIR=$RUN_DIR port=28642
if [[ "$(sed -n 's/^SCORE_SERVER:STRING=//p' "$BUILD_DIR/CMakeCache.txt")" =~ ^http://127\.0\.0\.1:([0-9]+)$ ]]; then
    port=${BASH_REMATCH[1]}
else
    GAME_DIR="$BUILD_DIR/e2e-score-build/run"
    cmake -S "$SRC_DIR" -B "$BUILD_DIR/e2e-score-build" -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=OFF -DSCORE_SERVER="http://127.0.0.1:$port" \
        -DSANITIZE="$(sed -n 's/^SANITIZE:BOOL=//p' "$BUILD_DIR/CMakeCache.txt")" >/dev/null &&
        cmake --build "$BUILD_DIR/e2e-score-build" -j2 --target bzykolot2 >/dev/null || fail "building the loopback copy of the game"
fi
URL="http://127.0.0.1:$port"
! curl -s -o /dev/null -m 1 "$URL/bzykolot4.wtf" || fail "something already answers on $URL"
dir=$(e2e_run_dir score)
start_server() {
    "$BUILD_DIR/server/bzykolot2-scores" --listen "127.0.0.1:$port" --db "$E2E_SCRATCH/scores.db" >>"$ART/server.log" 2>&1 &
    E2E_SERVER_PID=$!
    e2e_until 10 curl -s -o /dev/null -m 1 "$URL/bzykolot4.wtf" || fail "the score server did not start"
}
panel() {  # the score panel's text, from the frozen game
    kill -STOP "$E2E_GAME_PID"
    gdb -p "$E2E_GAME_PID" -batch -nx -ex 'printf "%s\n", panelText.text._M_dataplus._M_p' 2>/dev/null |
        sed -n '/^Pokonanych\|^Czas\|^Muchy/,$p' | grep -v '^\[Inferior'
    kill -CONT "$E2E_GAME_PID"
}
# is STATE [SUB]: the game is in STATE and that screen's sub-state is SUB.
is() { [ "$(e2e_game '(int)gameState' ${2:+"(int)$([ "$1" = 3 ] && echo roundEndState || echo scoresState)"})" = "$*" ]; }
play_round() {  # from the menu to the nick entry at the end of a round
    e2e_click $((W / 2 - 60)) $((H / 2 - 40))
    e2e_until 10 is 1 || fail "the start button did not start a round"
    e2e_sync_pointer
    timeout 10 xdotool keydown "$RTSH"
    e2e_until 240 is 3 0 || fail "the round did not end"
    timeout 10 xdotool keyup "$RTSH"
    sleep 0.3
    read -r kills ticks < <(e2e_game kills roundTicks)
}
sent() {  # the score screen after a post: the server's table, also in dl.txt, holds Kot's round
    e2e_until 30 is 2 -1 || fail "the score screen did not settle"
    table=$(curl -s -m 5 "$URL/bzykolot4.wtf")
    [[ " $table " == *" Kot $kills $ticks "* ]] && [ "$(cat dl.txt)" = "$table" ] ||
        fail "Kot $kills $ticks: server table '$table', dl.txt '$(cat dl.txt)'"
}

start_server
e2e_start_xvfb
RTSH=$(e2e_right_shift)
RUN_DIR=$GAME_DIR e2e_start_game "$dir"
e2e_wait_log "$dir" "INFO: Wystartowano" 60
sleep 1
e2e_sync_pointer
cd "$dir" || exit 1
echo "stary 1 2" >dl.txt
e2e_click $((W / 2 + 4)) $((H / 2 - 40))
e2e_until 10 is 2 -1 || fail "the empty table did not settle"
[ "$(cat dl.txt)" = " " ] && [ "$(panel)" = "Czas:" ] || fail "after the empty table: dl.txt '$(cat dl.txt)', panel $(panel)"
e2e_key Escape
e2e_until 5 is 0 || fail "Escape did not return to the menu from the empty table"

play_round
e2e_combo Shift_L k
e2e_key o
e2e_key t
[ "$(panel | tail -1)" = "Wpisz nick: Kot" ] || fail "nick on the panel: $(panel)"
e2e_key Return
sent
[ "$table" = "Kot $kills $ticks" ] || fail "table '$table'"
[ "$(panel)" = "$(printf 'Czas:\n01.\t Kot\t %d' $((ticks / 62)))" ] || fail "time view: $(panel)"
e2e_key space
e2e_until 5 is 2 -1 || fail "the view did not settle after the key"
[ "$(panel)" = "$(printf 'Muchy:\n01.\t Kot\t %d' "$kills")" ] || fail "flies view: $(panel)"

kill "$E2E_SERVER_PID" && wait "$E2E_SERVER_PID"
e2e_key Escape
e2e_until 5 is 0 || fail "Escape did not return to the menu"
play_round
[ "$(panel | tail -1)" = "Wpisz nick: Kot" ] || fail "the nick was not kept for the next round: $(panel)"
e2e_key Return
e2e_until 15 is 3 4 || fail "a post without a server did not fail"
[ "$(panel | tail -1)" = "Nie udalo sie wyslac. Wyslac ponownie? (Enter/Escape)" ] || fail "failure message: $(panel)"
start_server
e2e_key Return
sent
e2e_quit
echo "score test passed; screenshots in $ART"
