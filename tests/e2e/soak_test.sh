#!/bin/bash
# Soak: the sanitized game, SOAK_SECONDS (90) of seeded random legal input, the
# score server on a free port of loopback (named in the player's config), Alt+F4: exit 0, no sanitizer report, a well-formed
# log, resident size +24 MB at most after the first 30 s (ASan's quarantine
# capped at 8 MB). Replay: SOAK_SEED=N.
set -u
# A network of its own where it can be had.
if [ -z "${SOAK_NETNS:-}" ] && unshare -rn true 2>/dev/null; then
    exec env SOAK_NETNS=1 unshare -rn bash "$0" "$@"
fi
[ -n "${SOAK_NETNS:-}" ] && ip link set lo up
. "$(dirname "$0")/lib.sh"
export ASAN_OPTIONS="quarantine_size_mb=8:${ASAN_OPTIONS:-}"
e2e_init
seed=${SOAK_SEED:-$(od -An -N2 -tu2 /dev/urandom | tr -d ' ')}
RANDOM=$seed
"$BUILD_DIR/server/bzykolot2-scores" --listen 127.0.0.1:0 --db "$E2E_SCRATCH/scores.db" --data "$RUN_DIR/data" >"$E2E_SCRATCH/server.log" 2>&1 &
trap "kill $! 2>/dev/null; e2e_cleanup" EXIT
e2e_until 10 grep -q "^listening on" "$E2E_SCRATCH/server.log" || fail "no score server"
# The game finds the server's free port in the player's configuration file.
mkdir -p "$E2E_SCRATCH/config/bzykolot2"
sed -n 's/^listening on \(127\.0\.0\.1:[0-9]*\),.*/server = http:\/\/\1/p' "$E2E_SCRATCH/server.log" >"$E2E_SCRATCH/config/bzykolot2/bzykolot2.conf"
export XDG_CONFIG_HOME=$E2E_SCRATCH/config
e2e_start_xvfb
dir=$(e2e_run_dir soak)
e2e_start_game "$dir"
e2e_wait_log "$dir" "INFO: Wystartowano" 60
sleep 1  # the window is there for input
W=$E2E_W H=$E2E_H hw=$((E2E_W / 2)) hh=$((E2E_H / 2)) shift_r=$(e2e_right_shift)
targets=($((hw - 64)) "$hw" $((hw - 200)))
look() { read -r state mx my < <(e2e_game gameState mouseX mouseY); }  # the game waits meanwhile
hold() { sleep "0.$((12 + RANDOM % 60))"; }
start=$SECONDS base= peak=0
while [ $((SECONDS - start)) -lt "${SOAK_SECONDS:-90}" ]; do
    kill -0 "$E2E_GAME_PID" 2>/dev/null || fail "the game ended during the soak (seed $seed)"
    x=$((20 + RANDOM % (W - 40))) y=$((20 + RANDOM % (H - 40)))
    case $((RANDOM % 10)) in
    0 | 1 | 2) timeout 10 xdotool mousemove "$x" "$y" ;;
    3 | 4)  # Left; in the menu on start, on scores or beside them, never on quit.
        look
        eval "$(xdotool getmouselocation --shell)"
        tx=$((X + targets[RANDOM % 3] - mx)) ty=$((Y + hh - 48 - my))
        if [ "$state" = 0 ]; then  # moves inside the screen reach SDL's pointer whole
            [ $tx -ge 20 ] && [ $tx -lt $((W - 20)) ] && [ $ty -ge 20 ] && [ $ty -lt $((H - 20)) ] || continue
            timeout 10 xdotool mousemove "$tx" "$ty"; sleep 0.2
        fi
        timeout 10 xdotool mousedown 1; hold
        [ "$state" = 1 ] && timeout 10 xdotool mousemove "$x" "$y" && hold
        timeout 10 xdotool mouseup 1 ;;
    5) timeout 10 xdotool mousedown 3; hold; timeout 10 xdotool mousemove "$x" "$y"; hold; timeout 10 xdotool mouseup 3 ;;
    6 | 7) e2e_key "$(printf "\\x$(printf %x $((97 + RANDOM % 26)))")" ;;
    8) timeout 10 xdotool keydown "$shift_r"; sleep "$((RANDOM % 3)).$((RANDOM % 10))"; timeout 10 xdotool keyup "$shift_r" ;;
    9) keys=(Return BackSpace F2 Escape) && e2e_key "${keys[RANDOM % 4]}" ;;
    esac
    now=$(awk '/^VmRSS:/ { print $2 }' "/proc/$E2E_GAME_PID/status")
    [ $((SECONDS - start)) -ge 30 ] && base=${base:-$now} && peak=$((now > peak ? now : peak))
done
echo "soak: resident $((base / 1024)) MB after 30 s, at most $((peak / 1024)) MB after"
e2e_combo Alt_L F4
e2e_wait_exit 60
[ "$E2E_STATUS" = 0 ] || fail "exit status $E2E_STATUS (seed $seed)"
! grep -qE "Sanitizer|runtime error" "$dir/stderr.txt" || fail "sanitizer report (seed $seed)"
[ $((peak - base)) -le $((24 * 1024)) ] || fail "resident size grew $(((peak - base) / 1024)) MB (seed $seed)"
# Only the game's own kinds of line, no drawing failure, the last one Stop.
bad=$(grep -vnE '^$|^(INFO|OK  |FAIL): |^time: -?[0-9]+, parts: -?[0-9]+, fly: -?[0-9]+, updates: -?[0-9]+, weps: -?[0-9]+, delay: -?[0-9]+--?[0-9]+$|^-{80}$' "$dir/log.txt" | head -3)
[ -z "$bad" ] || fail "malformed log lines (seed $seed): $bad"
! grep -qE "Sprite\.(print|getAnim)|Null Anim" "$dir/log.txt" || fail "drawing failures in the log (seed $seed)"
[ "$(tail -n 1 "$dir/log.txt")" = "INFO: Stop" ] || fail "the log does not end with INFO: Stop (seed $seed)"
