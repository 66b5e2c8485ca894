# The game from start to quit under Xvfb. First in a fresh folder: the start-up
# lines in order, the measured budget stored, a black screen but for the menu,
# F2 making the window again, left Alt+F4. Then with the stored budget and the
# sound written to a file: a round to its end (a trail, then a still cursor
# stung six times while right Shift runs the frames unthrottled), Escape to the
# menu, whose dirty-rectangle frames must equal a full flip, and the quit
# button. Last, a start without graphics.
. "$(dirname "$0")/lib.sh"
e2e_init
e2e_start_xvfb
DASHES=$(printf -- '-%.0s' {1..80})
INIT="OK  : init: Okno zrobione (${E2E_W}x${E2E_H}px)"
dir=$(e2e_run_dir game)
fly_counts() { sed -n 's/^time: .*, fly: \([0-9]*\), .*/\1/p' "$dir/log.txt"; }
# F2: a second window line, and the game goes on with debug lines after it.
after_f2() { awk -v init="$INIT" '$0 == init { n++ } n >= 2 && /^time: / { ok = 1 } END { exit !ok }' "$dir/log.txt"; }
# Over when the last two once-a-second lines count no fly (in play one spawns every 60 frames at least).
round_over() { kill -0 "$E2E_GAME_PID" 2>/dev/null && [ "$(fly_counts | tail -2 | tr '\n' ' ')" = "0 0 " ]; }

e2e_start_game "$dir"
e2e_wait_log "$dir" "$DASHES"
# Only the pack reader's own lines may come between.
startup=$(grep -vE '^(INFO: Resfile|FAIL: Resfile|-{20}$)' "$dir/log.txt" | head -n 8 | paste -sd'|')
[[ "$startup" =~ ^\|INFO:\ Start\|INFO:\ Build:\ [A-Z][a-z]{2}\ [\ 1-3][0-9]\ [0-9]{4}\ [0-2][0-9]:[0-5][0-9]:[0-5][0-9]\|"$INIT"\|"OK  : Sprite.load: Grafiki wczytane"\|INFO:\ MaxUpdates:\ ([1-9][0-9]*)\|INFO:\ Wystartowano\ w\ [0-9]+ms\|$DASHES$ ]] ||
    fail "start-up lines: $startup"
budget=${BASH_REMATCH[1]}
[ -s "$dir/upds" ] || fail "no upds stored"
cp "$dir/upds" "$E2E_SCRATCH/upds.first"
sleep 1
e2e_shot start
for area in 1024x250+0+0 1024x250+0+518 380x768+0+0 380x768+644+0; do
    [ "$(convert "$ART/start.png" -crop "$area" -format '%[fx:maxima]' info:)" = 0 ] || fail "not black in $area"
done
[ "$(convert "$ART/start.png" -format '%[fx:maxima]' info:)" != 0 ] || fail "nothing drawn at all"
e2e_key F2
e2e_until 10 after_f2 || fail "no second window, or no debug line after it"
e2e_quit

e2e_round "$dir" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$dir/audio.raw"
grep -qx "INFO: MaxUpdates: $budget" "$dir/log.txt" && cmp -s "$dir/upds" "$E2E_SCRATCH/upds.first" ||
    fail "the stored budget $budget was not used as it was"
sleep 3
for _ in {1..12}; do timeout 5 xdotool mousemove_relative -- 9 5; sleep 0.03; done
e2e_shot round
e2e_moveto $((W / 2)) $((H / 2))
sleep 5  # at the normal pace flies reach the cursor, bump and bleed
e2e_shot round_late
grep -q "^time: .*fly: [1-9]" "$dir/log.txt" || fail "no flies during the first seconds of the round"
RTSH=$(e2e_right_shift)
timeout 10 xdotool keydown "$RTSH"
e2e_until 300 round_over || fail "the round did not end: $(fly_counts | tail -5)"
timeout 10 xdotool keyup "$RTSH"
e2e_key Escape
sleep 0.5
# A trail over the menu, left to die out (20 frames), then Escape: a full flip of the same scene.
for i in 1 2 3 4 5 6; do e2e_moveto $((W / 2 + 100 + 10 * i)) $((H / 2 + 50)); done
sleep 1.5
e2e_shot menu_dirty
e2e_key Escape
sleep 0.5
e2e_shot menu_full
diff_px=$(compare -metric AE "$ART/menu_dirty.png" "$ART/menu_full.png" null: 2>&1 | cut -d' ' -f1)
[ "$diff_px" = 0 ] || fail "the menu's dirty frames differ from a full flip in $diff_px pixels"
# In a round a click would fire instead: quitting also shows that Escape reached the menu.
e2e_click $((W / 2 + 60)) $((H / 2 - 40))
e2e_wait_exit 30
[ "$E2E_STATUS" = 0 ] && [ "$(tail -n 1 "$dir/log.txt")" = "INFO: Stop" ] || fail "the quit button ended the game with $E2E_STATUS"
# The mixed sound is written in whole device buffers (1024 frames of 16-bit stereo).
size=$(stat -c %s "$dir/audio.raw" 2>/dev/null || echo 0)
[ "$size" -ge $((4 * 4096)) ] && [ $((size % 4096)) = 0 ] || fail "audio file of $size bytes"

dir=$(e2e_run_dir nogfx nogfx)
e2e_start_game "$dir"
e2e_wait_exit 30
[ "$E2E_STATUS" = 101 ] && grep -qx "FAIL: Sprite.load: Nie udalo sie wczytac grafik" "$dir/log.txt" &&
    [ "$(tail -n 1 "$dir/log.txt")" = "FAIL: Nie udalo sie wczytac grafik kursora/muchy" ] ||
    fail "without data/gfx.pkf: status $E2E_STATUS, last line '$(tail -n 1 "$dir/log.txt")'"
echo "round test passed; screenshots in $ART"
