# Start-up and shutdown of the real game under Xvfb: the log line by line, the
# stored budget, the screen after start, the debug line, F2, left Alt+F4, a run
# with the audio written to a file, and a start without graphics.
source "$(dirname "$0")/lib.sh"
e2e_init
e2e_wait_packs
e2e_start_xvfb
DASHES=$(printf -- '-%.0s' {1..80})
DEBUG='^time: -?[0-9]+, parts: [0-9]+, fly: [0-9]+, updates: -?[0-9]+, weps: [0-9]+, delay: -?[0-9]+--?[0-9]+$'
INIT="OK  : init: Okno zrobione (${E2E_W}x${E2E_H}px)"

dir=$(e2e_run_dir first)  # no "upds" yet
e2e_start_game "$dir"
e2e_wait_log "$dir" "$DASHES"
# The start-up lines in order; only the pack reader's own lines may come between.
startup=$(grep -vE '^(INFO: Resfile|FAIL: Resfile|-{20}$)' "$dir/log.txt" | head -n 8 | paste -sd'|')
[[ "$startup" =~ ^\|INFO:\ Start\|INFO:\ Build:\ [A-Z][a-z]{2}\ [\ 1-3][0-9]\ [0-9]{4}\ [0-2][0-9]:[0-5][0-9]:[0-5][0-9]\|"$INIT"\|"OK  : Sprite.load: Grafiki wczytane"\|INFO:\ MaxUpdates:\ ([1-9][0-9]*)\|INFO:\ Wystartowano\ w\ [0-9]+ms\|$DASHES$ ]] ||
    fail "start-up lines: $startup"
budget=${BASH_REMATCH[1]}
! grep '^FAIL: Sprite' "$dir/log.txt" || fail "a sprite of the real pack failed to load"
[ "$(od -An -t d4 --endian=little "$dir/upds" | tr -d ' ')" = "$budget" ] && [ "$(stat -c %s "$dir/upds")" = 4 ] ||
    fail "upds does not hold $budget in 4 bytes"

# Black but for the menu and the cursor in the middle.
sleep 1
e2e_shot start
for area in 1024x250+0+0 1024x250+0+518 380x768+0+0 380x768+644+0; do
    [ "$(convert "$ART/start.png" -crop "$area" -format '%[fx:maxima]' info:)" = 0 ] || fail "not black in $area"
done
[ "$(convert "$ART/start.png" -format '%[fx:maxima]' info:)" != 0 ] || fail "nothing drawn at all"

# The debug line, once a second; F2 makes the window again and the game goes on.
e2e_wait_log "$dir" "time: "
e2e_key F2
for _ in {1..60}; do [ "$(grep -cxF "$INIT" "$dir/log.txt")" -ge 2 ] && break; sleep 0.1; done
[ "$(grep -cxF "$INIT" "$dir/log.txt")" -ge 2 ] || fail "no second init line after F2"
mark=$(e2e_count "$dir" "$DEBUG")
sleep 3
[ "$(e2e_count "$dir" "$DEBUG")" -gt "$mark" ] || fail "the game stopped after F2"
[ "$(grep -E '^time: ' "$dir/log.txt" | grep -cvE "$DEBUG")" = 0 ] || fail "malformed debug lines"
e2e_combo Alt_L F4
e2e_wait_exit 30
[ "$E2E_STATUS" = 0 ] && [ "$(tail -n 1 "$dir/log.txt")" = "INFO: Stop" ] || fail "status $E2E_STATUS after Alt+F4"

# Again: the stored budget is used and kept; the mixed sound goes to a file in
# whole device buffers (1024 frames of 16-bit stereo).
cp "$dir/upds" "$E2E_SCRATCH/upds.first"
e2e_start_game "$dir" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$dir/audio.raw"
e2e_wait_log "$dir" "$DASHES"
grep -qx "INFO: MaxUpdates: $budget" "$dir/log.txt" && cmp -s "$dir/upds" "$E2E_SCRATCH/upds.first" ||
    fail "the stored budget $budget was not used as it was"
sleep 2
e2e_combo Alt_L F4
e2e_wait_exit 30
[ "$E2E_STATUS" = 0 ] || fail "exit status $E2E_STATUS with disk audio"
size=$(stat -c %s "$dir/audio.raw" 2>/dev/null || echo 0)
[ "$size" -ge $((4 * 4096)) ] && [ $((size % 4096)) = 0 ] || fail "audio file of $size bytes"

dir=$(e2e_run_dir nogfx nogfx)
e2e_start_game "$dir"
e2e_wait_exit 30
[ "$E2E_STATUS" = 101 ] && grep -qx "FAIL: Sprite.load: Nie udalo sie wczytac grafik" "$dir/log.txt" &&
    [ "$(tail -n 1 "$dir/log.txt")" = "FAIL: Nie udalo sie wczytac grafik kursora/muchy" ] ||
    fail "without data/gfx.pkf: status $E2E_STATUS, last line '$(tail -n 1 "$dir/log.txt")'"
echo "startup test passed"
