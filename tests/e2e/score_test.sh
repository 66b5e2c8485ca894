#!/bin/bash
# The road of one score: the real game under Xvfb plays a round to its end
# (cursor still, right Shift held), a nick is typed and sent to the bundled
# score server on loopback; the score comes back in "dl.txt" and on the score
# screen, whose two views are photographed. Before it, the fresh server's
# empty table must replace an old "dl.txt". Then the failure road: with the
# server stopped the post fails and waits for Enter; with it back, Enter sends.
# The round's kills and frames are in no log line: gdb reads them.
set -u
. "$(dirname "$0")/lib.sh"

e2e_init
e2e_wait_packs

# A build for another score host never talks to it: a copy of the game built
# for a loopback port is made next to the build.
GAME_DIR=$RUN_DIR
server_url=$(sed -n 's/^SCORE_SERVER:STRING=//p' "$BUILD_DIR/CMakeCache.txt")
if [[ "$server_url" =~ ^http://127\.0\.0\.1:([0-9]+)$ ]]; then
    port=${BASH_REMATCH[1]}
else
    port=28642
    nested="$BUILD_DIR/e2e-score-build"
    sanitize=$(sed -n 's/^SANITIZE:BOOL=//p' "$BUILD_DIR/CMakeCache.txt")
    cmake -S "$SRC_DIR" -B "$nested" -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=OFF \
        -DSCORE_SERVER="http://127.0.0.1:$port" -DSANITIZE="${sanitize:-OFF}" >/dev/null &&
        cmake --build "$nested" -j2 --target bzykolot2 >/dev/null || fail "building the loopback copy of the game"
    GAME_DIR="$nested/run"
fi
URL="http://127.0.0.1:$port"
! curl -s -o /dev/null -m 1 "$URL/bzykolot4.wtf" || fail "something already answers on $URL"

dir=$(e2e_run_dir score)
[ -f "$RUN_DIR/upds" ] && cp "$RUN_DIR/upds" "$dir/upds"
server_pid=
trap 'kill $server_pid 2>/dev/null; cp "$dir/log.txt" "$E2E_SCRATCH/server.log" "$ART/" 2>/dev/null; e2e_cleanup' EXIT
start_server() {
    "$BUILD_DIR/server/bzykolot2-scores" --listen "127.0.0.1:$port" --db "$E2E_SCRATCH/scores.db" \
        >>"$E2E_SCRATCH/server.log" 2>&1 &
    server_pid=$!
    for _ in $(seq 50); do curl -s -o /dev/null -m 1 "$URL/bzykolot4.wtf" && return; sleep 0.2; done
    fail "the score server did not start"
}
stop_server() { kill "$server_pid" && wait "$server_pid"; }

e2e_start_xvfb
RTSH=$(e2e_right_shift)
waitfor() {  # waitfor SECONDS COMMAND...
    local end=$((SECONDS + $1))
    shift
    until "$@"; do [ "$SECONDS" -ge "$end" ] && return 1; sleep 0.1; done
}
panel() {
    gdb -p "$E2E_GAME_PID" -batch -nx -ex 'printf "%s\n", panelText.text._M_dataplus._M_p' 2>/dev/null |
        sed -n '/^Pokonanych\|^Czas\|^Muchy/,$p' | grep -v '^\[Inferior'
}
state_is() { [ "$(e2e_game '(int)gameState')" = "$1" ]; }
# sub_is STATE SUB: the game is in STATE and that screen's sub-state is SUB.
sub_is() {
    local sub=scoresState
    [ "$1" = 3 ] && sub=roundEndState
    [ "$(e2e_game '(int)gameState' "(int)$sub")" = "$1 $2" ]
}
# From the menu to the end of a round, leaving the game on the nick entry.
play_round() {
    e2e_click $((W / 2 - 60)) $((H / 2 - 40))
    waitfor 10 state_is 1 || fail "the start button did not start a round"
    e2e_sync_pointer
    xdotool keydown "$RTSH"
    waitfor 240 sub_is 3 0 || fail "the round did not end"
    xdotool keyup "$RTSH"
    sleep 0.3
}

start_server
RUN_DIR=$GAME_DIR e2e_start_game "$dir"
e2e_wait_log "$dir" "INFO: Wystartowano" 60
sleep 1
e2e_sync_pointer
cd "$dir" || exit 1

# ---- A fresh server: its empty table replaces the table of an earlier run ---
echo "stary 1 2" >dl.txt
e2e_click $((W / 2 + 4)) $((H / 2 - 40))
e2e_wait_log "$dir" "FAIL: Hiscore.load: Zly plik (0)" 30
waitfor 10 sub_is 2 -1 || fail "the empty table did not settle"
[ "$(cat dl.txt)" = " " ] || fail "dl.txt holds '$(cat dl.txt)' after the empty table"
[ "$(panel)" = "Czas:" ] || fail "the empty table shows: $(panel)"
e2e_shot scores_empty
e2e_key Escape
waitfor 5 state_is 0 || fail "Escape did not return to the menu from the empty table"

# ---- A round, a nick, the score sent and shown ------------------------------
play_round
read -r kills ticks < <(e2e_game kills roundTicks)
[ "${ticks:-0}" -gt 0 ] || fail "no frames counted: kills=$kills ticks=$ticks"
e2e_shot roundend
e2e_combo Shift_L k
e2e_key o
e2e_key t
[ "$(panel | tail -1)" = "Wpisz nick: Kot" ] || fail "nick on the panel: $(panel)"
e2e_key Return
e2e_wait_log "$dir" "OK  : Hiscore.load: Wczytano wyniki" 30
waitfor 10 sub_is 2 -1 || fail "the score screen did not settle"
table=$(curl -s -m 5 "$URL/bzykolot4.wtf")
[ "$table" = "Kot $kills $ticks" ] || fail "server table '$table', expected 'Kot $kills $ticks'"
[ "$(cat dl.txt)" = "$table" ] || fail "dl.txt '$(cat dl.txt)' differs from the server's '$table'"
grep -q " GET /bzykolot4.wtf 200$" "$E2E_SCRATCH/server.log" || fail "the table was not fetched with a GET"
[ "$(panel)" = "$(printf 'Czas:\n01.\t Kot\t %d' $((ticks / 62)))" ] || fail "time view: $(panel)"
e2e_shot scores_time
e2e_key space
waitfor 5 sub_is 2 -1 || fail "the view did not settle after the key"
[ "$(panel)" = "$(printf 'Muchy:\n01.\t Kot\t %d' "$kills")" ] || fail "flies view: $(panel)"
e2e_shot scores_flies
! cmp -s "$ART/scores_time.png" "$ART/scores_flies.png" || fail "the two views look the same"

# ---- Failure road: no server, then the server back and Enter ----------------
stop_server
e2e_key Escape
waitfor 5 state_is 0 || fail "Escape did not return to the menu"
play_round
read -r kills ticks < <(e2e_game kills roundTicks)
[ "$(panel | tail -1)" = "Wpisz nick: Kot" ] || fail "the nick was not kept for the next round: $(panel)"
e2e_key Return
waitfor 15 sub_is 3 4 || fail "a post without a server did not fail"
[ "$(panel | tail -1)" = "Nie udalo sie wyslac. Wyslac ponownie? (Enter/Escape)" ] || fail "failure message: $(panel)"
e2e_shot post_failed
start_server
e2e_key Return
waitfor 30 sub_is 2 -1 || fail "the retried post did not reach the score screen"
table=$(curl -s -m 5 "$URL/bzykolot4.wtf")
[[ " $table " == *" Kot $kills $ticks "* ]] || fail "the retried score Kot $kills $ticks is not in '$table'"
[ "$(cat dl.txt)" = "$table" ] || fail "dl.txt differs from the server's table after the retry"

e2e_combo Alt_L F4
e2e_wait_exit 20
[ "$E2E_STATUS" -eq 0 ] || fail "the game ended with status $E2E_STATUS"
stop_server
echo "server log:"
cat "$E2E_SCRATCH/server.log"
echo "screenshots: $ART/roundend.png $ART/scores_time.png $ART/scores_flies.png $ART/post_failed.png"
