# A round to its end under Xvfb: start, a trail, then a still cursor stung six
# times while right Shift runs the frames unthrottled; Escape to the menu, whose
# dirty-rectangle frames must equal a full flip; the quit button ends with 0.
. "$(dirname "$0")/lib.sh"
e2e_init
e2e_wait_packs
e2e_start_xvfb
dir=$(e2e_run_dir round)
[ -f "$RUN_DIR/upds" ] && cp "$RUN_DIR/upds" "$dir/upds"
trap 'cp "$dir/log.txt" "$ART/log.txt" 2>/dev/null; e2e_cleanup' EXIT
RTSH=$(e2e_right_shift)
fly_counts() { sed -n 's/^time: .*, fly: \([0-9]*\), .*/\1/p' "$dir/log.txt"; }

e2e_start_game "$dir"
e2e_wait_log "$dir" "INFO: Wystartowano" 120
sleep 1
e2e_sync_pointer
e2e_click $((W / 2 - 60)) $((H / 2 - 40))
e2e_sync_pointer
sleep 3
for _ in {1..12}; do timeout 5 xdotool mousemove_relative -- 9 5; sleep 0.03; done
e2e_shot round
e2e_moveto $((W / 2)) $((H / 2))
sleep 5  # at the normal pace flies reach the cursor, bump and bleed
e2e_shot round_late
grep -q "^time: .*fly: [1-9]" "$dir/log.txt" || fail "no flies during the first seconds of the round"
# Over when the last two once-a-second lines count no fly (in play one spawns every 60 frames at least).
timeout 10 xdotool keydown "$RTSH"
end=$((SECONDS + 300))
until [ "$(fly_counts | tail -2 | tr '\n' ' ')" = "0 0 " ]; do
    [ "$SECONDS" -lt "$end" ] && kill -0 "$E2E_GAME_PID" 2>/dev/null || fail "the round did not end: $(fly_counts | tail -5)"
    sleep 0.2
done
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
[ "$E2E_STATUS" = 0 ] && [ "$(tail -n 1 "$dir/log.txt")" = "INFO: Stop" ] || fail "the game ended with $E2E_STATUS"
! grep -q "FAIL: Object.Object" "$dir/log.txt" || fail "an object was built without its sprite"
echo "round test passed; screenshots in $ART"
