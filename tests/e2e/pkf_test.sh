#!/bin/bash
# The pack tool as a program: round trips byte for byte, a pack laid out by
# hand, and refusals (damaged packs, names that would leave the folder, a
# planted link): one line on stderr and status 1, never a crash.
set -u
PKF="$BUILD_DIR/tools/pkf"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK" || exit 1
export ASAN_OPTIONS="exitcode=99:${ASAN_OPTIONS:-}" UBSAN_OPTIONS="exitcode=98:halt_on_error=1:${UBSAN_OPTIONS:-}"
failures=0
check() { local what=$1; shift; "$@" || { echo "FAILED: $what"; failures=$((failures + 1)); }; }
run() { timeout 20 "$PKF" "$@" >out 2>err; rc=$?; out=$(tr -d '\0' <out); err=$(cat err); }  # sets rc, out, err
refused() { [ "$rc" -eq 1 ] && [ "$(wc -l <err)" -eq 1 ] && [ ! -s out ]; }
byte() { printf "$(printf '\\x%02x' $(($1 & 255)))"; }
u32() { byte "$1"; byte $(($1 >> 8)); byte $(($1 >> 16)); byte $(($1 >> 24)); }
record() { u32 "$1"; u32 "$2"; u32 "${#3}"; printf '%s' "$3"; }  # record OFFSET SIZE NAME

mkdir -p src/sub
printf 'hello\nworld\n' >src/hello.txt
head -c 70000 /dev/urandom >src/sub/noise.bin
: >src/empty.dat
printf 'tab\there' >"src/with space.txt"
run create packed.pkf src/hello.txt src/sub/noise.bin src/empty.dat "src/with space.txt"
check "create" [ "$rc" -eq 0 ]
run list packed.pkf
check "list: size<TAB>name in table order" [ "$rc" -eq 0 -a "$out" = "$(printf '12\thello.txt\n70000\tnoise.bin\n0\tempty.dat\n8\twith space.txt')" -a -z "$err" ]
run extract packed.pkf outdir
check "extract" [ "$rc" -eq 0 -a -z "$out" -a "$(ls outdir | wc -l)" -eq 4 ]
for f in hello.txt sub/noise.bin empty.dat "with space.txt"; do check "$f byte for byte" cmp -s "src/$f" "outdir/$(basename "$f")"; done
run create empty.pkf
run extract empty.pkf emptydir
check "N = 0 extracts nothing and succeeds" [ "$rc" -eq 0 -a -z "$(ls emptydir)" ]
# Table ends at 64, dataBase 70, blocks in reverse order with gaps, "a.txt" twice: the later wins.
{ printf 'PAKF\x01'; u32 70; u32 3; record 19 5 a.txt; record 11 7 b.bin; record 3 6 a.txt
  printf '......XXXsecondYYbravo!!Zalpha'; } >layout.pkf
run list layout.pkf
check "list of a hand-made layout" [ "$rc" -eq 0 -a "$out" = "$(printf '5\ta.txt\n7\tb.bin\n6\ta.txt')" ]
run extract layout.pkf layoutdir
check "extract of a hand-made layout" [ "$rc" -eq 0 -a "$(cat layoutdir/a.txt)" = second -a "$(cat layoutdir/b.bin)" = 'bravo!!' ]

mkdir adir linkdir jail
printf 'PAK' >short.pkf
{ printf 'PAKF\x02'; u32 13; u32 0; } >v2.pkf
{ printf 'PAKF\x01'; u32 13; u32 4294967295; } >hugecount.pkf
{ printf 'PAKF\x01'; u32 30; u32 1; record 0 5 a; printf 'abcd'; } >partly.pkf
{ printf 'PAKF\x01'; u32 26; u32 1; record 4000000000 1 a; printf 'x'; } >outside.pkf
for args in "list missing.pkf" "list adir" "list short.pkf" "extract v2.pkf d1" "list hugecount.pkf" \
    "extract partly.pkf d2" "list outside.pkf" "create bad.pkf src/"; do
    run $args
    check "refused: pkf $args" refused
done
check "nothing extracted from a corrupt pack" [ ! -e d2/a ]
run bogus
check "unknown command is a usage error" [ "$rc" -eq 2 ]
for name in ../evil a/b .. "" . /abs; do
    { printf 'PAKF\x01'; u32 $((39 + ${#name})); u32 2; record 0 2 ok; record 0 2 "$name"; printf 'hi'; } >names.pkf
    run extract names.pkf jail
    check "refuses entry name '$name' and writes nothing" eval 'refused && [ -z "$(ls -A jail)" -a ! -e evil ]'
done
{ printf 'PAKF\x01'; u32 34; u32 1; record 0 2 $'two\nlines'; printf 'hi'; } >nl.pkf
run list nl.pkf
check "a line break in a name is listed escaped" [ "$rc" -eq 0 -a "$out" = "$(printf '2\ttwo\\x0alines')" ]
ln -s ../victim.txt linkdir/hello.txt
echo untouched >victim.txt
run extract packed.pkf linkdir
check "extract does not follow a planted link" [ "$rc" -eq 1 -a "$(cat victim.txt)" = untouched ]
size=$(stat -c %s layout.pkf)
for ((len = 0; len < size; len++)); do
    head -c "$len" layout.pkf >cut.pkf
    run list cut.pkf
    check "truncation to $len bytes refused (rc $rc)" refused
done
[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "pkf: all checks passed"
