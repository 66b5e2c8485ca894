#!/bin/bash
# The pack tool as a program: round trips byte for byte, packs laid out by
# hand (gaps, reversed data, duplicate names), refusals, and damaged packs
# that must end with one line on stderr and a failure status, never a crash.
set -u

PKF="$BUILD_DIR/tools/pkf"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK" || exit 1

# A sanitizer report must not pass for the tool's own failure status (1).
export ASAN_OPTIONS="exitcode=99:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="exitcode=98:halt_on_error=1:${UBSAN_OPTIONS:-}"

failures=0
check() {  # check DESCRIPTION CONDITION...
    local what=$1
    shift
    if ! "$@"; then
        echo "FAILED: $what"
        failures=$((failures + 1))
    fi
}

# run ARGS...: runs pkf with a time limit; sets rc, out, err.
run() {
    timeout 20 "$PKF" "$@" >"$WORK/out" 2>"$WORK/err"
    rc=$?
    out=$(tr -d '\0' <"$WORK/out")
    err=$(cat "$WORK/err")
}

# A refusal: status 1, exactly one line on stderr, nothing on stdout.
refused() {
    [ "$rc" -eq 1 ] && [ "$(wc -l <"$WORK/err")" -eq 1 ] && [ ! -s "$WORK/out" ]
}

u32() {
    local v=$1
    printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((v & 255)) $((v >> 8 & 255)) $((v >> 16 & 255)) $((v >> 24 & 255)))"
}
# record OFFSET SIZE NAME
record() { u32 "$1"; u32 "$2"; u32 "${#3}"; printf '%s' "$3"; }

# ---- round trip ------------------------------------------------------------
mkdir -p src/sub
printf 'hello\nworld\n' >src/hello.txt
head -c 70000 /dev/urandom >src/sub/noise.bin
: >src/empty.dat
printf 'tab\there' >"src/with space.txt"
run create packed.pkf src/hello.txt src/sub/noise.bin src/empty.dat "src/with space.txt"
check "create succeeds" [ "$rc" -eq 0 ]
run list packed.pkf
expected=$(printf '12\thello.txt\n70000\tnoise.bin\n0\tempty.dat\n8\twith space.txt')
check "list prints size<TAB>name in table order and nothing else" [ "$rc" -eq 0 -a "$out" = "$expected" -a -z "$err" ]
run extract packed.pkf outdir
check "extract succeeds" [ "$rc" -eq 0 -a -z "$out" ]
for f in hello.txt sub/noise.bin empty.dat "with space.txt"; do
    check "extracted $f byte for byte" cmp -s "src/$f" "outdir/$(basename "$f")"
done
check "extract writes only the entries" [ "$(ls outdir | wc -l)" -eq 4 ]

# ---- empty pack --------------------------------------------------------------
run create empty.pkf
check "create with no files" [ "$rc" -eq 0 ]
run list empty.pkf
check "empty pack lists nothing and succeeds" [ "$rc" -eq 0 -a -z "$out" -a -z "$err" ]
run extract empty.pkf emptydir
check "empty pack extracts nothing and succeeds" [ "$rc" -eq 0 -a -z "$(ls emptydir)" ]

# ---- a layout no writer of ours makes --------------------------------------
# Table ends at 64; dataBase 70; data blocks in reverse order with gaps; the
# name "a.txt" twice (the later record wins when extracting by name).
{
    printf 'PAKF\x01'; u32 70; u32 3
    record 19 5 a.txt; record 11 7 b.bin; record 3 6 a.txt
    printf '......'            # 64..69: between the table and dataBase
    printf 'XXXsecondYYbravo!!Zalpha'
} >layout.pkf
run list layout.pkf
check "list of a hand-made layout" [ "$rc" -eq 0 -a "$out" = "$(printf '5\ta.txt\n7\tb.bin\n6\ta.txt')" ]
run extract layout.pkf layoutdir
check "extract of a hand-made layout" [ "$rc" -eq 0 -a "$(cat layoutdir/a.txt)" = second -a "$(cat layoutdir/b.bin)" = 'bravo!!' ]

# ---- refusals ----------------------------------------------------------------
run list missing.pkf
check "missing pack" refused
mkdir adir
run list adir
check "a directory is not a pack" refused
printf 'PAK' >short.pkf
run list short.pkf
check "too short" refused
{ printf 'PAKF\x02'; u32 13; u32 0; } >v2.pkf
run list v2.pkf
check "version 2 rejected" refused
{ printf 'pakf\x01'; u32 13; u32 0; } >magic.pkf
run extract magic.pkf magicdir
check "wrong magic rejected" refused
{ printf 'PAKF\x01'; u32 13; u32 4294967295; } >hugecount.pkf
run list hugecount.pkf
check "absurd entry count is corrupt" refused
{ printf 'PAKF\x01'; u32 30; u32 1; record 0 5 a; printf 'abcd'; } >partly.pkf
run list partly.pkf
check "entry partly outside the file (list)" refused
run extract partly.pkf partlydir
check "entry partly outside the file (extract)" refused
check "nothing extracted from a corrupt pack" [ ! -e partlydir/a ]
{ printf 'PAKF\x01'; u32 26; u32 1; record 4000000000 1 a; printf 'x'; } >outside.pkf
run list outside.pkf
check "entry wholly outside the file" refused
run create bad.pkf src/
check "create refuses a directory" refused
run bogus
check "unknown command is a usage error" [ "$rc" -eq 2 ]

# Names that would leave DIR or are not names: refused, nothing written.
mkdir -p jail/inside
for name in ../evil a/b .. "" . /abs; do
    { printf 'PAKF\x01'; u32 $((13 + 14 + 12 + ${#name})); u32 2; record 0 2 ok; record 0 2 "$name"; printf 'hi'; } >names.pkf
    run extract names.pkf jail/inside
    check "refuses entry name '$name'" refused
    check "nothing written for '$name'" [ -z "$(ls -A jail/inside)" -a ! -e jail/evil -a ! -e evil ]
    run list names.pkf
    check "list still shows '$name'" [ "$rc" -eq 0 -a "$(printf '%s\n' "$out" | wc -l)" -eq 2 ]
done
# A symbolic link planted in DIR does not redirect a write.
mkdir linkdir
ln -s ../victim.txt linkdir/hello.txt
echo untouched >victim.txt
run extract packed.pkf linkdir
check "extract does not follow a planted link" [ "$rc" -eq 1 -a "$(cat victim.txt)" = untouched ]

# ---- every truncation ------------------------------------------------------
run create small.pkf src/hello.txt "src/with space.txt" src/empty.dat
size=$(stat -c %s small.pkf)
# The empty entry sits at the very end, so only the whole file is valid.
for ((len = 0; len < size; len++)); do
    head -c "$len" small.pkf >cut.pkf
    run list cut.pkf
    check "truncation to $len bytes refused (rc $rc)" refused
done
run list small.pkf
check "the untruncated pack lists" [ "$rc" -eq 0 ]

# ---- seeded random corruptions ---------------------------------------------
RANDOM=4242
for ((round = 0; round < 300; round++)); do
    cp small.pkf fuzz.pkf
    for ((h = 0; h < 1 + RANDOM % 3; h++)); do
        pos=$((RANDOM % 64))
        printf "$(printf '\\x%02x' $((RANDOM % 256)))" |
            dd of=fuzz.pkf bs=1 seek=$pos conv=notrunc status=none
    done
    run list fuzz.pkf
    if [ "$rc" -eq 0 ]; then
        check "corruption $round: a listing that succeeds is clean" [ -z "$err" ]
        rm -rf fuzzdir
        run extract fuzz.pkf fuzzdir
        check "corruption $round: extract ends in 0 or a one-line refusal (rc $rc)" \
            [ "$rc" -eq 0 -o \( "$rc" -eq 1 -a "$(wc -l <"$WORK/err")" -eq 1 \) ]
    else
        check "corruption $round: one-line refusal (rc $rc)" refused
    fi
done

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "pkf: all checks passed"
