# The game under Xvfb: the start-up lines, the budget stored, the menu alone on
# black, F2, left Alt+F4; again with the stored budget, the sound recorded and
# the score server on loopback: the empty table, the menu's dirty frames equal
# to a full flip, a round (blasts, the ring, stings to the end), the post that
# fails and the retry, the score in "dl.txt" and both views, the quit button.
. "$(dirname "$0")/lib.sh"
e2e_init
# The score server on a free port of loopback, which the game (the second time) is told of by its environment.
"$BUILD_DIR/server/bzykolot2-scores" --listen 127.0.0.1:0 --db "$E2E_SCRATCH/probe.db" >"$E2E_SCRATCH/probe.log" 2>&1 &
probe=$!
e2e_until 10 grep -q "^listening on" "$E2E_SCRATCH/probe.log" || fail "no score server: $(cat "$E2E_SCRATCH/probe.log")"
port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\),.*/\1/p' "$E2E_SCRATCH/probe.log")
kill $probe && wait $probe
URL="http://127.0.0.1:$port"
e2e_start_xvfb
RTSH=$(e2e_right_shift)
DASHES=$(printf -- '-%.0s' {1..80})
INIT="OK  : init: Okno zrobione (${E2E_W}x${E2E_H}px)"
dir=$(e2e_run_dir game)
audio=$dir/audio.raw
# F2: a second window line, and the game goes on with debug lines after it.
after_f2() { awk -v init="$INIT" '$0 == init { n++ } n >= 2 && /^time: / { ok = 1 } END { exit !ok }' "$dir/log.txt"; }
loudest() {  # the loudest 16-bit sample of the disk audio between bytes $1 and $2
    od -An -v -t d2 -j "$1" -N $(($2 - $1)) "$audio" |
        awk '{ for (i = 1; i <= NF; i++) if ($i * $i > m * m) m = $i } END { print (m < 0 ? -m : m) + 0 }'
}
ring_diff() {  # pixels that differ between the plain and the ring screenshots in a box (x y w h)
    for i in plain ring; do convert "$ART/$i.png" -crop "$3x$4+$1+$2" +repage "$E2E_SCRATCH/$i.png"; done
    compare -metric AE "$E2E_SCRATCH/plain.png" "$E2E_SCRATCH/ring.png" null: 2>&1 | cut -d' ' -f1
}
start_server() {
    "$BUILD_DIR/server/bzykolot2-scores" --listen "127.0.0.1:$port" --db "$E2E_SCRATCH/scores.db" --data "$RUN_DIR/data" >>"$ART/server.log" 2>&1 &
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

e2e_start_game "$dir"
e2e_wait_log "$dir" "$DASHES"
# Only the pack reader's own lines may come between.
startup=$(grep -vE '^(INFO: Resfile|FAIL: Resfile|-{20}$)' "$dir/log.txt" | head -n 8 | paste -sd'|')
[[ "$startup" =~ ^\|INFO:\ Start\|INFO:\ Build:\ [A-Z][a-z]{2}\ [\ 1-3][0-9]\ [0-9]{4}\ [0-2][0-9]:[0-5][0-9]:[0-5][0-9]\|"$INIT"\|"OK  : Sprite.load: Grafiki wczytane"\|INFO:\ MaxUpdates:\ ([1-9][0-9]*)\|INFO:\ Wystartowano\ w\ [0-9]+ms\|$DASHES$ ]] ||
    fail "start-up lines: $startup"
budget=${BASH_REMATCH[1]}
sleep 1
e2e_shot start
# Black around the menu in the middle, and not black everywhere.
[ "$(convert "$ART/start.png" -fill black -draw 'rectangle 380,250 643,517' -format '%[fx:maxima]' info:)" = 0 ] || fail "not black around the menu"
[ "$(convert "$ART/start.png" -format '%[fx:maxima]' info:)" != 0 ] || fail "nothing drawn at all"
e2e_key F2
e2e_until 10 after_f2 || fail "no second window, or no debug line after it"
e2e_quit

start_server
e2e_menu "$dir" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$audio" SDL_DISKAUDIODELAY=40 BZYKOLOT2_SERVER="$URL"
grep -qx "INFO: MaxUpdates: $budget" "$dir/log.txt" || fail "the stored budget $budget was not used"
cd "$dir" || exit 1
echo "stary 1 2" >dl.txt
e2e_click $((W / 2 + 4)) $((H / 2 - 40))
e2e_until 10 is 2 -1 || fail "the empty table did not settle"
[ "$(cat dl.txt)" = " " ] && [ "$(panel)" = "Czas:" ] || fail "after the empty table: dl.txt '$(cat dl.txt)', panel $(panel)"
e2e_key Escape
# A trail over the menu, left to die out (20 frames), then Escape: a full flip of the same scene.
for i in 1 2 3 4 5 6; do e2e_moveto $((W / 2 + 100 + 10 * i)) $((H / 2 + 50)); done
sleep 1.5
e2e_shot menu_dirty
e2e_key Escape
sleep 0.5
e2e_shot menu_full
diff_px=$(compare -metric AE "$ART/menu_dirty.png" "$ART/menu_full.png" null: 2>&1 | cut -d' ' -f1)
[ "$diff_px" = 0 ] || fail "the menu's dirty frames differ from a full flip in $diff_px pixels"
e2e_click $((W / 2 - 60)) $((H / 2 - 40))
e2e_until 10 is 1 || fail "the start button did not start a round"
e2e_sync_pointer
cx=$((W / 2 + 30)) cy=$((H / 2 - 20))
e2e_moveto "$cx" "$cy"
# At once, while the nearest fly (spawned at frame 60 on an edge, 2 px a frame)
# is over 200 frames away: the sound is the blasts', not a dying fly's.
before=$(stat -c %s "$audio" 2>/dev/null || echo 0)
timeout 10 xdotool mousedown 1
sleep 1
read -r state kills < <(e2e_game '(int)gameState' 'kills')
after=$(stat -c %s "$audio" 2>/dev/null || echo 0)
timeout 10 xdotool mouseup 1
[ "$state" = 1 ] && [ "$kills" = 0 ] || fail "state $state, kills $kills before any fly could be near"
[ "$(loudest 0 "$before")" -lt 200 ] || fail "sound before any shot"
[ "$(loudest "$before" "$after")" -gt 1000 ] || fail "no explosion sound in the first second of holding"
sleep 0.5  # the last blast fades
e2e_shot plain
timeout 10 xdotool mousedown 3
sleep 0.3
e2e_shot ring
timeout 10 xdotool mouseup 3
sleep 0.15
timeout 10 xdotool mousedown 1
ring_px=$(ring_diff $((cx - 56)) $((cy - 56)) 112 144)
[ "${ring_px:-0}" -gt 2000 ] || fail "the ring changed only ${ring_px:-0} pixels of its box"
hud_px=$(ring_diff $((cx - 48)) $((cy + 68)) 104 20)
[ "${hud_px:-0}" -gt 50 ] || fail "no HUD line under the ring ($hud_px pixels)"
for _ in {1..15}; do  # until a blast kill shows: the stings pile up while the cursor stays
    sleep 1
    read -r kills health < <(e2e_game 'kills' 'health')
    [ "$health" -ge 1 ] || fail "the round was lost while blasting"
    blasted=$((kills - 2 * (6 - health)))
    [ "$blasted" -gt 0 ] && break
done
timeout 10 xdotool mouseup 1
[ "$blasted" -gt 0 ] || fail "explosions killed no fly (kills $kills, health $health)"
# The still cursor is stung to the round's end while right Shift runs the frames unthrottled.
timeout 10 xdotool keydown "$RTSH"
e2e_until 240 is 3 0 || fail "the round did not end"
timeout 10 xdotool keyup "$RTSH"
read -r kills ticks < <(e2e_game kills roundTicks)
kill "$E2E_SERVER_PID" && wait "$E2E_SERVER_PID"
e2e_combo Shift_L k
e2e_key o
e2e_key t
[ "$(panel | tail -1)" = "Wpisz nick: Kot" ] || fail "nick on the panel: $(panel)"
e2e_key Return
e2e_until 15 is 3 4 || fail "a post without a server did not fail"
[ "$(panel | tail -2 | paste -sd'|')" = "Nie udalo sie wyslac. Wyslac ponownie? (Enter/Escape)|serwer nie odpowiada" ] &&
    grep -qE "^FAIL: Polaczenie: POST $URL/bzykolot4.php: Couldn't connect to server \([0-9]+ ms\)$" log.txt ||
    fail "failure message: $(panel)"
start_server
e2e_key Return
# The score screen: the server's table, also in dl.txt, is Kot's round.
e2e_until 30 is 2 -1 || fail "the score screen did not settle"
table=$(curl -s -m 5 "$URL/bzykolot4.wtf")
[ "$table" = "Kot $kills $ticks" ] && [ "$(cat dl.txt)" = "$table" ] || fail "Kot $kills $ticks: server table '$table', dl.txt '$(cat dl.txt)'"
[ "$(panel)" = "$(printf 'Czas:\n01.\t Kot\t %d' $((ticks / 62)))" ] || fail "time view: $(panel)"
e2e_key space
e2e_until 5 is 2 -1 || fail "the view did not settle after the key"
[ "$(panel)" = "$(printf 'Muchy:\n01.\t Kot\t %d' "$kills")" ] || fail "flies view: $(panel)"
e2e_key Escape  # in the menu: in a round the quit button's click would fire instead
e2e_quit e2e_click $((W / 2 + 60)) $((H / 2 - 40))
echo "round test passed; screenshots in $ART"
