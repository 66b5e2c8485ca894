# Recordings are the same rules on every build and processor. Every golden
# recording checks in each build the suite makes: this sanitized one, a plain
# one (-O2), one for arm64 run under qemu-user and the clang fuzz build's; a
# round the bot plays comes out byte for byte the same recording in all four; a recording whose score
# was changed is a mismatch (1) and a damaged one unreadable (2), each with its
# reason; and the real game watches each golden round to its end, fast, without
# parting from it (its own checksums).
. "$(dirname "$0")/lib.sh"
e2e_init
: "${PLAIN_CHECKER:?no plain checker (scripts/test.sh builds one)}" "${ARM64_CHECKER:?no arm64 checker (scripts/test.sh builds one)}"
: "${CLANG_CHECKER:?no clang checker (scripts/test.sh builds one)}"
command -v qemu-aarch64 >/dev/null || fail "qemu-user is not installed"
goldens=("$SRC_DIR"/tests/data/replays/*.bzr)
[ ${#goldens[@]} -ge 2 ] || fail "no golden recordings"
arm64() { qemu-aarch64 -L /usr/aarch64-linux-gnu "$ARM64_CHECKER" "$@"; }
clang() { "$CLANG_CHECKER" "$@"; }
checkers=("$BUILD_DIR/tools/bzykolot2-replay" "$PLAIN_CHECKER" arm64 clang)
cd "$E2E_SCRATCH" || exit 1
for c in "${checkers[@]}"; do
    "$c" check --data "$RUN_DIR/data" "${goldens[@]}" >out 2>err || fail "$c: $(cat out err)"
    [ "$(grep -c ' result=match ' out)" = ${#goldens[@]} ] || fail "$c: $(cat out)"
    "$c" bot --data "$RUN_DIR/data" --seed 9 --survive 1500 "bot-${c##*/}.bzr" >/dev/null || fail "$c bot"
    cmp "bot-${c##*/}.bzr" "bot-bzykolot2-replay.bzr" || fail "the bot's round in $c differs"
done

cp "${goldens[0]}" changed.bzr
printf '\x01' | dd of=changed.bzr bs=1 seek=42 conv=notrunc status=none  # the recorded flies
head -c 100 "${goldens[0]}" >damaged.bzr
"$PLAIN_CHECKER" check --data "$RUN_DIR/data" changed.bzr >out 2>err
[ $? = 1 ] && grep -q 'result=mismatch' out && grep -qE '^changed.bzr: frame [0-9]+: score [0-9]+ flies' err ||
    fail "a changed score: $(cat out err)"
"$PLAIN_CHECKER" check --data "$RUN_DIR/data" damaged.bzr "${goldens[0]}" >out 2>err
[ $? = 2 ] && [ "$(cut -d' ' -f4 out | paste -sd' ')" = "result=unreadable result=match" ] &&
    grep -q '^damaged.bzr: truncated' err || fail "a damaged recording: $(cat out err)"

# watch FILE WxH: the game watches FILE on a screen of that size, right Shift held.
watch() {
    E2E_W=${2%x*} E2E_H=${2#*x}
    e2e_start_xvfb
    local dir
    dir=$(e2e_run_dir "watch-$2")
    E2E_GAME_DIR=$dir
    (cd "$dir" && exec env SDL_AUDIODRIVER=dummy "$RUN_DIR/bzykolot2" --watch "$1" >stdout.txt 2>stderr.txt) &
    E2E_GAME_PID=$!
    e2e_wait_log "$dir" "INFO: Replay: Odtwarzanie" 120
    timeout 10 xdotool keydown "$(e2e_right_shift)"
    e2e_wait_exit 300
    [ "$E2E_STATUS" = 0 ] && [ "$(tail -n 1 "$dir/log.txt")" = "INFO: Stop" ] || fail "watching $1 ended with $E2E_STATUS"
    ! grep -q "FAIL: Replay" "$dir/log.txt" || fail "watching $1, the game parted from the recording"
    kill "$E2E_XVFB_PID" && wait "$E2E_XVFB_PID"
    E2E_XVFB_PID=
}
for f in "${goldens[@]}"; do
    watch "$f" "$("$PLAIN_CHECKER" info "$f" | sed -n 's/.* size=\([0-9]*x[0-9]*\) .*/\1/p')"
done
echo "goldens test passed"
