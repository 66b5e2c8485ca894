# The weapon ring and the plain click under Xvfb, sound through SDL's disk
# driver. In a new round the left button held over the centre sounds blasts
# before any fly is near; the right button opens the ring (six icons, the HUD
# line under it); then the left button is held while the flies arrive, and the
# blasts kill flies beyond the stings (a sting counts two kills and costs one
# health; gdb reads the counters from the frozen game).
. "$(dirname "$0")/lib.sh"
e2e_init
e2e_start_xvfb
dir=$(e2e_run_dir arsenal)
audio="$dir/audio.raw"
loudest() {  # the loudest 16-bit sample of the disk audio between bytes $1 and $2
    od -An -v -t d2 -j "$1" -N $(($2 - $1)) "$audio" |
        awk '{ for (i = 1; i <= NF; i++) if ($i * $i > m * m) m = $i } END { print (m < 0 ? -m : m) + 0 }'
}
ring_diff() {  # pixels that differ between the plain and the ring screenshots in a box (x y w h)
    for i in plain ring; do convert "$ART/$i.png" -crop "$3x$4+$1+$2" +repage "$E2E_SCRATCH/$i.png"; done
    compare -metric AE "$E2E_SCRATCH/plain.png" "$E2E_SCRATCH/ring.png" null: 2>&1 | cut -d' ' -f1
}

e2e_round "$dir" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$audio" SDL_DISKAUDIODELAY=40
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
[ "$(loudest 0 "$before")" -lt 200 ] || fail "sound before any shot"
[ "$(loudest "$before" "$after")" -gt 1000 ] || fail "no explosion sound in the first second of holding"
sleep 0.5  # the last blast fades
e2e_shot plain
timeout 10 xdotool mousedown 3
sleep 0.3
e2e_shot ring
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
e2e_quit
echo "arsenal test passed: $blasted flies blasted; screenshots in $ART"
