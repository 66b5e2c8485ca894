# The weapon ring and the plain click under Xvfb, sound through SDL's disk
# driver. In a new round the left button held over the centre sounds blasts
# before any fly is near; the right button opens the ring (six icons, the HUD
# line under it); then the left button is held while the flies arrive, and the
# blasts kill flies beyond the stings (a sting counts two kills and costs one
# health; gdb reads the counters from the frozen game).
. "$(dirname "$0")/lib.sh"
e2e_init
command -v gdb >/dev/null && command -v python3 >/dev/null || fail "gdb and python3 are needed"
e2e_wait_packs
e2e_start_xvfb
dir=$(e2e_run_dir arsenal)
[ -f "$RUN_DIR/upds" ] && cp "$RUN_DIR/upds" "$dir/upds"
audio="$dir/audio.raw"
trap 'cp "$dir/log.txt" "$ART/log.txt" 2>/dev/null; e2e_cleanup' EXIT
loudest() {  # the loudest 16-bit sample of the disk audio between bytes $1 and $2
    python3 -c 'import array, sys
f = open(sys.argv[1], "rb"); f.seek(int(sys.argv[2])); d = f.read(int(sys.argv[3]) - int(sys.argv[2]))
print(max(map(abs, array.array("h", d[:len(d) // 2 * 2])), default=0))' "$audio" "$1" "$2"
}
ring_diff() {  # pixels that differ between the plain and the ring screenshots in a box (x y w h)
    for i in plain ring; do convert "$ART/$i.png" -crop "$3x$4+$1+$2" +repage "$E2E_SCRATCH/$i.png"; done
    compare -metric AE "$E2E_SCRATCH/plain.png" "$E2E_SCRATCH/ring.png" null: 2>&1 | cut -d' ' -f1
}
# The game is stopped for each screenshot, so that on a slow machine the flies
# do not sting the cursor away before the blasting.
frozen_shot() { kill -STOP "$E2E_GAME_PID"; e2e_screenshot "$ART/$1.png"; kill -CONT "$E2E_GAME_PID"; }

e2e_start_game "$dir" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$audio" SDL_DISKAUDIODELAY=40
e2e_wait_log "$dir" "INFO: Wystartowano" 120
sleep 1
e2e_sync_pointer
e2e_click $((W / 2 - 60)) $((H / 2 - 40))
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
sleep 0.5  # the last blast fades
frozen_shot plain
timeout 10 xdotool mousedown 3
sleep 0.3
frozen_shot ring
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
[ "$(loudest 0 "$before")" -lt 200 ] || fail "sound before any shot"
[ "$(loudest "$before" "$after")" -gt 1000 ] || fail "no explosion sound in the first second of holding"
e2e_combo Alt_L F4
e2e_wait_exit 30
[ "$E2E_STATUS" = 0 ] || fail "the game ended with $E2E_STATUS"
! grep -q "FAIL: Object.Object" "$dir/log.txt" || fail "a weapon was built without its sprite"
echo "arsenal test passed: $blasted flies blasted; screenshots in $ART"
