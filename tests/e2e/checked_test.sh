# The checked table end to end: a round played under Xvfb posts its score to a
# score server on loopback in checked mode and sends its recording; the panel
# says it was taken to be checked; the server lists the round once it has
# played it again; the game's own table then shows it; the web page lists it
# with a link whose download is the game's recording byte for byte.
. "$(dirname "$0")/lib.sh"
e2e_init
e2e_start_xvfb
RTSH=$(e2e_right_shift)
"$BUILD_DIR/server/bzykolot2-scores" --listen 127.0.0.1:0 --db "$E2E_SCRATCH/scores.db" --data "$RUN_DIR/data" \
    >"$ART/server.log" 2>&1 &
E2E_SERVER_PID=$!
e2e_until 10 grep -q "^listening on" "$ART/server.log" || fail "no score server: $(cat "$ART/server.log")"
URL=$(sed -n 's/^listening on \(127\.0\.0\.1:[0-9]*\),.*/http:\/\/\1/p' "$ART/server.log")
dir=$(e2e_run_dir game)
panel() {  # the score panel's text, lines joined by |
    kill -STOP "$E2E_GAME_PID"
    gdb -p "$E2E_GAME_PID" -batch -nx -ex 'printf "%s\n", panelText.text._M_dataplus._M_p' 2>/dev/null |
        sed -n '/^Pokonanych\|^Czas\|^Muchy/,$p' | grep -v '^\[Inferior' | paste -sd'|'
    kill -CONT "$E2E_GAME_PID"
}
is() { [ "$(e2e_game '(int)gameState' ${2:+"(int)$([ "$1" = 3 ] && echo roundEndState || echo scoresState)"})" = "$*" ]; }

e2e_menu "$dir" BZYKOLOT2_SERVER="$URL"
e2e_click $((W / 2 - 60)) $((H / 2 - 40))
e2e_until 10 is 1 || fail "no round"
e2e_sync_pointer  # the round's start put the pointer at the centre
timeout 10 xdotool keydown "$RTSH"  # stung to the end, fast
e2e_until 240 is 3 0 || fail "the round did not end"
timeout 10 xdotool keyup "$RTSH"
read -r kills ticks < <(e2e_game kills roundTicks)
e2e_combo Shift_L o
e2e_key l
e2e_key a
e2e_key Return
e2e_until 15 is 3 5 || fail "the round end did not show what became of the recording: $(panel)"
[ "$(panel)" = "Pokonanych much: 0|Przetrwano: 0s||Wyslano.|Nagranie wyslane: wynik trafi do tabeli po sprawdzeniu." ] ||
    fail "panel after sending: $(panel)"
e2e_until 30 eval '[ "$(curl -s -m 5 "$URL/bzykolot4.wtf")" = "Ola $kills $ticks" ]' ||
    fail "the round ($kills flies, $ticks frames) was not listed: $(curl -s -m 5 "$URL/bzykolot4.wtf"); $(tail -5 "$ART/server.log")"
e2e_until 30 is 2 -1 || fail "no score screen"
e2e_key Escape
e2e_click $((W / 2 + 4)) $((H / 2 - 40))  # the table again, the round checked by now
e2e_until 30 is 2 -1 || fail "the score screen did not settle"
[ "$(panel)" = "$(printf 'Czas:|01.\t Ola\t %d|' $((ticks / 62)))" ] || fail "the game's table: $(panel)"
file=$(ls "$dir"/replays/*.bzr)
page=$(curl -s -m 5 "$URL/")
link=$(grep -o 'href="/replays/[0-9a-z]*"' <<<"$page" | head -1 | sed 's/href="\(.*\)"/\1/')
[ -n "$link" ] && grep -q ">Ola<" <<<"$page" || fail "the web page does not list the round: $page"
curl -s -m 5 -o "$E2E_SCRATCH/down.bzr" "$URL$link" && cmp "$E2E_SCRATCH/down.bzr" "$file" ||
    fail "the recording downloaded from $link is not the game's $file"
e2e_key Escape
e2e_quit e2e_click $((W / 2 + 60)) $((H / 2 - 40))
echo "checked test passed"
