# A round played under Xvfb is recorded in replays/; the checker plays the
# recording to the round's score; watched with --watch it shows, at the same
# frames, the same pictures (screenshots by gdb at four frames of each) and
# ends by itself with 0; one made on a smaller screen plays in a window of
# that size; a recording that is not one gets 2 and its reason.
. "$(dirname "$0")/lib.sh"
e2e_init
e2e_start_xvfb
RTSH=$(e2e_right_shift)
dir=$(e2e_run_dir game)
CHECK="$BUILD_DIR/tools/bzykolot2-replay"
export SHOTS="40 100 160 300" ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0"  # no leak check under a debugger
# shot_game PREFIX ARGS...: the game in $dir under gdb, shooting the frames SHOTS names.
shot_game() {
    local prefix=$1
    shift
    E2E_GAME_DIR=$dir
    rm -f "$dir/log.txt"
    (cd "$dir" && exec env SDL_AUDIODRIVER=dummy SHOT_PREFIX="$ART/$prefix" gdb -batch -nx -x "$SRC_DIR/tests/e2e/shots.py" \
        --args "$RUN_DIR/bzykolot2" "$@" >"$dir/gdb-$prefix.txt" 2>&1) &
    E2E_GAME_PID=$!
}
exit_code() { cat "$ART/$1.exit" 2>/dev/null; }
same() { [ "$(compare -metric AE "$ART/play-$1.png" "$ART/watch-$1.png" null: 2>&1 | cut -d' ' -f1)" = 0 ]; }

shot_game play
e2e_wait_log "$dir" "INFO: Wystartowano" 120
sleep 1
e2e_sync_pointer
e2e_click $((W / 2 - 60)) $((H / 2 - 40))
# Blasts, a trail, the ring opened and shut, before frame 300 (about five seconds).
e2e_moveto $((W / 2 + 60)) $((H / 2 - 30))
timeout 10 xdotool mousedown 1; sleep 1; timeout 10 xdotool mouseup 1
for i in 1 2 3 4; do e2e_moveto $((W / 2 + 60 - 25 * i)) $((H / 2 - 30 + 20 * i)); done
timeout 10 xdotool mousedown 3; sleep 0.5; timeout 10 xdotool mouseup 3
e2e_until 30 test -f "$ART/play-300.png" || fail "no screenshot at frame 300 of the round"
timeout 10 xdotool keydown "$RTSH"
e2e_wait_log "$dir" "OK  : Replay: Zapisano nagranie replays/" 240
timeout 10 xdotool keyup "$RTSH"
file=$(sed -n 's/^OK  : Replay: Zapisano nagranie //p' "$dir/log.txt" | tail -1)
[[ "$file" =~ ^replays/[0-9]{8}-[0-9]{6}-f([0-9]+)-t([0-9]+)\.bzr$ ]] || fail "recording named '$file'"
flies=${BASH_REMATCH[1]} ticks=${BASH_REMATCH[2]}
e2e_key Escape
e2e_combo Alt_L F4
e2e_wait_exit 30
[ "$(exit_code play)" = 0 ] || fail "the game ended with $(exit_code play)"

out=$("$CHECK" check --data "$RUN_DIR/data" "$dir/$file" 2>&1)
[ "$out" = "$(echo "$out" | head -1)" ] && [[ "$out" =~ ^frames=$((ticks + 2))\ flies=$flies\ time=$ticks\ result=match\ speed=[0-9]+$ ]] ||
    fail "the checker on $file (flies $flies, time $ticks): $out"

shot_game watch --watch "$dir/$file"
e2e_wait_log "$dir" "INFO: Replay: Odtwarzanie" 120
e2e_until 60 test -f "$ART/watch-300.png" || fail "no screenshot at frame 300 of the watched round"
timeout 10 xdotool keydown "$RTSH"
e2e_wait_exit 240
timeout 10 xdotool keyup "$RTSH"
[ "$(exit_code watch)" = 0 ] && grep -q "INFO: Stop" "$dir/log.txt" || fail "watching ended with $(exit_code watch)"
! grep -q "FAIL: Replay" "$dir/log.txt" || fail "the watched round went apart from its recording"
for n in $SHOTS; do same "$n" || fail "frame $n of the watched round differs from the played one (see $ART)"; done

# A round recorded on a smaller screen plays in a window of its size.
"$CHECK" bot --data "$RUN_DIR/data" --size 800x600 --survive 200 "$E2E_SCRATCH/small.bzr" >/dev/null
(cd "$dir" && SDL_AUDIODRIVER=dummy "$RUN_DIR/bzykolot2" --watch "$E2E_SCRATCH/small.bzr") || fail "watching a small round: $?"
grep -q "OK  : init: Okno zrobione (800x600px)" "$dir/log.txt" || fail "no 800 x 600 window for an 800 x 600 round"
printf 'BZK2REC\nnot really' >"$E2E_SCRATCH/bad.bzr"
"$RUN_DIR/bzykolot2" --watch "$E2E_SCRATCH/bad.bzr" 2>"$E2E_SCRATCH/err.txt"
[ $? = 2 ] && grep -q "bad.bzr: truncated" "$E2E_SCRATCH/err.txt" || fail "a bad recording: $(cat "$E2E_SCRATCH/err.txt")"
echo "replay test passed; screenshots in $ART"
