# Start-up, frame loop and shutdown of the real game under Xvfb: the log line
# by line, the stored budget, the screen after start, the debug line, F2, left
# Alt+F4, a run with the audio written to a file, and a start without graphics.
source "$(dirname "$0")/lib.sh"

e2e_init
e2e_wait_packs
e2e_start_xvfb

DASHES=$(printf -- '-%.0s' {1..80})
DEBUG='^time: -?[0-9]+, parts: [0-9]+, fly: [0-9]+, updates: -?[0-9]+, weps: [0-9]+, delay: -?[0-9]+--?[0-9]+$'
INIT='^OK  : init: Okno zrobione \(1024x768px\)$'

# ---- First start: fresh directory, no "upds" ----------------------------------
dir=$(e2e_run_dir first)
e2e_start_game "$dir"
e2e_wait_log "$dir" "$DASHES"

# The start-up lines in order; only the pack reader's own lines may come between.
mapfile -t lines < <(grep -vE '^(INFO: Resfile|FAIL: Resfile|-{20}$)' "$dir/log.txt" | head -n 8)
[ "${lines[0]}" = "" ] || fail "the log does not start with an empty line: '${lines[0]}'"
[ "${lines[1]}" = "INFO: Start" ] || fail "line 2: '${lines[1]}'"
[[ "${lines[2]}" =~ ^INFO:\ Build:\ (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)\ [\ 1-3][0-9]\ [0-9]{4}\ [0-2][0-9]:[0-5][0-9]:[0-5][0-9]$ ]] ||
    fail "build stamp: '${lines[2]}'"
[ "${lines[3]}" = "OK  : init: Okno zrobione (${E2E_W}x${E2E_H}px)" ] || fail "init line: '${lines[3]}'"
[ "${lines[4]}" = "OK  : Sprite.load: Grafiki wczytane" ] || fail "sprite line: '${lines[4]}'"
[[ "${lines[5]}" =~ ^INFO:\ MaxUpdates:\ ([0-9]+)$ ]] || fail "budget line: '${lines[5]}'"
budget=${BASH_REMATCH[1]}
[[ "${lines[6]}" =~ ^INFO:\ Wystartowano\ w\ [0-9]+ms$ ]] || fail "started line: '${lines[6]}'"
[ "${lines[7]}" = "$DASHES" ] || fail "no line of 80 dashes after start-up: '${lines[7]}'"
! grep '^FAIL: Sprite' "$dir/log.txt" || fail "a sprite of the real pack failed to load"

# The budget was measured and stored as 4 bytes, little-endian.
[ "$(stat -c %s "$dir/upds")" = 4 ] || fail "upds is not 4 bytes"
[ "$(od -An -t d4 --endian=little "$dir/upds" | tr -d ' ')" = "$budget" ] || fail "upds does not hold $budget"
[ "$budget" -gt 0 ] || fail "budget $budget"

# The screen after start: black except the menu and the cursor in the middle.
sleep 1
shot=$E2E_SCRATCH/start.png
e2e_screenshot "$shot"
[ "$(identify -format '%wx%h' "$shot")" = "${E2E_W}x${E2E_H}" ] || fail "screenshot size"
for area in 1024x250+0+0 1024x250+0+518 380x768+0+0 380x768+644+0; do
    max=$(convert "$shot" -crop "$area" -format '%[fx:maxima]' info:)
    [ "$max" = 0 ] || fail "the screen is not black in $area (maximum $max)"
done
[ "$(convert "$shot" -format '%[fx:maxima]' info:)" != 0 ] || fail "nothing drawn at all"

# The debug line, about once a second.
before=$(e2e_count "$dir" "$DEBUG")
sleep 4
seen=$(($(e2e_count "$dir" "$DEBUG") - before))
[ "$seen" -ge 3 ] && [ "$seen" -le 6 ] || fail "$seen debug lines in 4 seconds"
[ "$(grep -E '^time: ' "$dir/log.txt" | grep -cvE "$DEBUG")" = 0 ] || fail "malformed debug lines"

# F2 makes the window again and the game goes on.
e2e_key F2
for i in {1..60}; do
    [ "$(e2e_count "$dir" "$INIT")" -ge 2 ] && break
    sleep 0.1
done
[ "$(e2e_count "$dir" "$INIT")" -ge 2 ] || fail "no second init line after F2"
sleep 0.5
mark=$(e2e_count "$dir" "$DEBUG")
sleep 2.5
[ "$(e2e_count "$dir" "$DEBUG")" -gt "$mark" ] || fail "the game stopped after F2"

# Left Alt + F4 ends the game normally.
e2e_combo Alt_L F4
e2e_wait_exit 30
[ "$E2E_STATUS" = 0 ] || fail "exit status $E2E_STATUS after Alt+F4 (stderr: $(tail -5 "$dir/stderr.txt"))"
[ "$(tail -n 1 "$dir/log.txt")" = "INFO: Stop" ] || fail "last line: '$(tail -n 1 "$dir/log.txt")'"

# ---- Second start: the stored budget is reused; audio written to a file -------
cp "$dir/upds" "$E2E_SCRATCH/upds.first"
e2e_start_game "$dir" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$dir/audio.raw"
e2e_wait_log "$dir" "$DASHES"
grep -qx "INFO: MaxUpdates: $budget" "$dir/log.txt" || fail "the stored budget $budget was not used"
cmp -s "$dir/upds" "$E2E_SCRATCH/upds.first" || fail "upds was rewritten although it was valid"
sleep 2
e2e_combo Alt_L F4
e2e_wait_exit 30
[ "$E2E_STATUS" = 0 ] || fail "exit status $E2E_STATUS with disk audio"
# SDL's disk driver writes whole device buffers: 1024 frames of 16-bit stereo.
size=$(stat -c %s "$dir/audio.raw" 2>/dev/null || echo 0)
[ "$size" -ge $((4 * 4096)) ] && [ $((size % 4096)) = 0 ] || fail "audio file of $size bytes"
if command -v sox >/dev/null; then
    sox -t raw -r 22050 -e signed -b 16 -c 2 -L "$dir/audio.raw" -n stat 2>"$E2E_SCRATCH/sox.txt" &&
        grep -q '^Length (seconds):' "$E2E_SCRATCH/sox.txt" || fail "sox cannot read the audio stream"
fi

# ---- No graphics pack: exit 101 -------------------------------------------------
dir=$(e2e_run_dir nogfx nogfx)
e2e_start_game "$dir"
e2e_wait_exit 30
[ "$E2E_STATUS" = 101 ] || fail "exit status $E2E_STATUS without data/gfx.pkf"
[ "$(tail -n 1 "$dir/log.txt")" = "FAIL: Nie udalo sie wczytac grafik kursora/muchy" ] ||
    fail "last line without the pack: '$(tail -n 1 "$dir/log.txt")'"
grep -qx "FAIL: Sprite.load: Nie udalo sie wczytac grafik" "$dir/log.txt" || fail "no sprite-load failure line"

echo "startup test passed"
