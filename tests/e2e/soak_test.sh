#!/bin/bash
# Soak: the sanitized game under Xvfb takes SOAK_SECONDS (90) of seeded random
# legal input - pointer moves, both buttons held and released, letters, Enter,
# Backspace, F2, Escape, right Shift - with the score server on loopback, then
# Alt+F4. It must exit 0 without a sanitizer report, with a well-formed log and
# a flat resident size: after the first 30 s it may grow by at most
# SOAK_GROWTH_MB (24; ASan's quarantine is capped at 8 MB so it cannot pass
# for growth). Replay a run with the seed it prints: SOAK_SEED=N.
set -u
# A network of its own where it can be had: the server's port is then free
# whatever else runs (the game posts to the fixed port it was built for).
if [ -z "${SOAK_NETNS:-}" ] && unshare -rn true 2>/dev/null; then
    exec env SOAK_NETNS=1 unshare -rn bash "$0" "$@"
fi
[ -n "${SOAK_NETNS:-}" ] && ip link set lo up
. "$(dirname "$0")/lib.sh"
export ASAN_OPTIONS="quarantine_size_mb=8:${ASAN_OPTIONS:-}"
e2e_init
e2e_wait_packs

seed=${SOAK_SEED:-$(od -An -N2 -tu2 /dev/urandom | tr -d ' ')}
echo "soak seed $seed (replay: SOAK_SEED=$seed)"
RANDOM=$seed
url=$(sed -n 's/^SCORE_SERVER:STRING=//p' "$BUILD_DIR/CMakeCache.txt")
[[ "$url" =~ ^http://127\.0\.0\.1:[0-9]+$ ]] || fail "the game is built for $url, not a loopback server"
"$BUILD_DIR/server/bzykolot2-scores" --listen "${url#http://}" --db "$E2E_SCRATCH/scores.db" >"$E2E_SCRATCH/server.log" 2>&1 &
server_pid=$!
trap 'kill $server_pid 2>/dev/null; e2e_cleanup' EXIT
for _ in $(seq 50); do curl -s -o /dev/null -m 1 "$url/bzykolot4.wtf" && break; sleep 0.2; done

e2e_start_xvfb
dir=$(e2e_run_dir soak)
e2e_start_game "$dir"
e2e_wait_log "$dir" "INFO: Wystartowano" 60
sleep 1
e2e_sync_pointer
hw=$((W / 2)) hh=$((H / 2)) shift_r=$(e2e_right_shift)
rss() { awk '/^VmRSS:/ { print $2 }' "/proc/$E2E_GAME_PID/status"; }
# The game's state and pointer, read by gdb (the game waits meanwhile).
look() { read -r state mx my < <(e2e_game gameState mouseX mouseY); }
hold() { sleep "0.$((12 + RANDOM % 60))"; }
keys=(Return BackSpace F2 Escape)
start=$SECONDS base= peak=0 actions=0
while [ $((SECONDS - start)) -lt "${SOAK_SECONDS:-90}" ]; do
    kill -0 "$E2E_GAME_PID" 2>/dev/null || fail "the game ended during the soak (seed $seed)"
    x=$((20 + RANDOM % (W - 40))) y=$((20 + RANDOM % (H - 40)))
    case $((RANDOM % 10)) in
    0 | 1 | 2) timeout 10 xdotool mousemove "$x" "$y" ;;
    3 | 4)  # Left: in the menu mostly on start or scores, never released on quit.
        look
        if [ "$state" = 0 ]; then
            eval "$(xdotool getmouselocation --shell)"
            targets=($((hw - 64)) "$hw" $((hw - 200)))
            timeout 10 xdotool mousemove $((X + targets[RANDOM % 3] - mx)) $((Y + hh - 48 - my))
            sleep 0.2
            look
        fi
        if [ "$state" != 0 ] || [ "$mx" -le $((hw + 40)) ] || [ "$mx" -gt $((hw + 90)) ] ||
            [ "$my" -lt $((hh - 100)) ] || [ "$my" -ge $((hh + 5)) ]; then
            timeout 10 xdotool mousedown 1; hold
            [ "$state" = 1 ] && timeout 10 xdotool mousemove "$x" "$y" && hold
            timeout 10 xdotool mouseup 1
        fi ;;
    5) timeout 10 xdotool mousedown 3; hold; timeout 10 xdotool mousemove "$x" "$y"; hold; timeout 10 xdotool mouseup 3 ;;
    6 | 7) e2e_key "$(printf "\\x$(printf %x $((97 + RANDOM % 26)))")" ;;
    8) timeout 10 xdotool keydown "$shift_r"; sleep "$((RANDOM % 3)).$((RANDOM % 10))"; timeout 10 xdotool keyup "$shift_r" ;;
    9) e2e_key "${keys[RANDOM % 4]}" ;;
    esac
    actions=$((actions + 1))
    now=$(rss)
    if [ $((SECONDS - start)) -ge 30 ]; then
        base=${base:-$now}
        [ "$now" -gt "$peak" ] && peak=$now
    fi
done
echo "soak: $actions actions; resident $((base / 1024)) MB after 30 s, peak $((peak / 1024)) MB after"
e2e_combo Alt_L F4
e2e_wait_exit 60
[ "$E2E_STATUS" = 0 ] || fail "exit status $E2E_STATUS (seed $seed)"
! grep -qE "Sanitizer|runtime error" "$dir/stderr.txt" || fail "sanitizer report (seed $seed): $(head -5 "$dir/stderr.txt")"
[ $((peak - base)) -le $((${SOAK_GROWTH_MB:-24} * 1024)) ] || fail "resident size grew $(((peak - base) / 1024)) MB (seed $seed)"
# The log: only the game's own line kinds, no drawing failure, ending in Stop.
bad=$(grep -vnE '^$|^(INFO|OK  |FAIL): |^time: -?[0-9]+, parts: -?[0-9]+, fly: -?[0-9]+, updates: -?[0-9]+, weps: -?[0-9]+, delay: -?[0-9]+--?[0-9]+$|^-{80}$' "$dir/log.txt" | head -3)
[ -z "$bad" ] || fail "malformed log lines (seed $seed): $bad"
! grep -E "Sprite\.(print|getAnim)|Null Anim" "$dir/log.txt" | head -3 | grep . || fail "drawing failures in the log (seed $seed)"
[ "$(tail -n 1 "$dir/log.txt")" = "INFO: Stop" ] || fail "the log does not end with INFO: Stop (seed $seed)"
cp "$dir/log.txt" "$ART/"
echo "soak passed (seed $seed)"
