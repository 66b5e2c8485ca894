# A player's settings: an English locale (one the machine lacks) shows the
# score screen in English, the menu's buttons too, and a table download the
# server refuses says why there and in the log (URL and status); LANGUAGE
# asking for Polish keeps it Polish; with a sound driver that cannot open the
# game says why in its log and plays a silent round to the end, exit 0.
. "$(dirname "$0")/lib.sh"
e2e_init
e2e_start_xvfb
RTSH=$(e2e_right_shift)
"$BUILD_DIR/server/bzykolot2-scores" --listen 127.0.0.1:0 --db "$E2E_SCRATCH/scores.db" >"$E2E_SCRATCH/server.log" 2>&1 &
E2E_SERVER_PID=$!
e2e_until 10 grep -q "^listening on" "$E2E_SCRATCH/server.log" || fail "no score server"
# A path the server has nothing at: every transfer is refused with 404.
URL=$(sed -n 's/^listening on \(127\.0\.0\.1:[0-9]*\),.*/http:\/\/\1\/nothing/p' "$E2E_SCRATCH/server.log")
dir=$(e2e_run_dir game)
panel() {  # the score panel's text, from the frozen game
    kill -STOP "$E2E_GAME_PID"
    gdb -p "$E2E_GAME_PID" -batch -nx -ex 'printf "%s\n", panelText.text._M_dataplus._M_p' 2>/dev/null |
        sed -n '/^Could\|^Nie\|^Flies\|^Pokonanych/,$p' | grep -v '^\[Inferior' | paste -sd'|'
    kill -CONT "$E2E_GAME_PID"
}
scores() {  # the score screen from the menu, shot as NAME
    e2e_click $((W / 2 + 4)) $((H / 2 - 40))
    e2e_until 10 eval '[ "$(e2e_game "(int)scoresState")" = 3 ]' || fail "no failed download on the score screen"
    e2e_shot "$1"
}

e2e_menu "$dir" LC_ALL= LANG=en_GB.UTF-8 SDL_AUDIODRIVER=nosuchdriver BZYKOLOT2_SERVER="$URL"
e2e_shot menu-en
scores scores-en
[ "$(panel)" = "Could not fetch the scores.|refused: 404" ] || fail "English score screen: $(panel)"
grep -qE "^FAIL: Polaczenie: GET $URL/bzykolot4.wtf: 404 \([0-9]+ ms\)$" "$dir/log.txt" || fail "no log line for the refused download"
grep -q "^FAIL: init: Nie udalo sie zainicjowac dzwieku (.*), gra bez dzwieku$" "$dir/log.txt" || fail "no word on the missing sound"
e2e_key Escape
e2e_click $((W / 2 - 60)) $((H / 2 - 40))  # a round, stung to its end while right Shift runs it
timeout 10 xdotool keydown "$RTSH"
e2e_until 240 eval '[ "$(e2e_game "(int)gameState")" = 3 ]' || fail "the silent round did not end"
timeout 10 xdotool keyup "$RTSH"
e2e_key Escape
e2e_quit

e2e_menu "$dir" LC_ALL= LANG=en_GB.UTF-8 LANGUAGE=pl:en SDL_AUDIODRIVER=dummy BZYKOLOT2_SERVER="$URL"
scores scores-pl
[ "$(panel)" = "Nie udalo sie pobrac wynikow.|odmowa: 404" ] || fail "LANGUAGE=pl: $(panel)"
e2e_quit
echo "settings test passed; screenshots in $ART"
