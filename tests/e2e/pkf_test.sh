# The art generator and the pack tool as programs. A second drawing gives the
# build's contact sheet, and its entries packed again give the build's packs
# byte for byte; a pack lists and extracts as made, and so does one laid out by
# hand. Refusals (damaged packs, names that would leave the folder, a planted
# link) are one line on stderr and status 1, never a crash.
. "$(dirname "$0")/lib.sh"
e2e_init
cd "$E2E_SCRATCH" || exit 1
run() { timeout 20 "$BUILD_DIR/tools/pkf" "$@" >out 2>err; rc=$?; out=$(tr -d '\0' <out); }  # sets rc and out
refused() { [ "$rc" = 1 ] && [ "$(wc -l <err)" = 1 ] && [ ! -s out ] || fail "pkf $*: status $rc, stderr '$(cat err)'"; }
byte() { printf "$(printf '\\x%02x' $(($1 & 255)))"; }
u32() { byte "$1"; byte $(($1 >> 8)); byte $(($1 >> 16)); byte $(($1 >> 24)); }
record() { u32 "$1"; u32 "$2"; u32 "${#3}"; printf '%s' "$3"; }  # record OFFSET SIZE NAME

# Library caches inside fontconfig and cairo are not ours to free.
ASAN_OPTIONS=$ASAN_OPTIONS:detect_leaks=0 "$BUILD_DIR/tools/bzkgen" "$SRC_DIR/assets" gen sheet.png >gen.log 2>&1 ||
    fail "bzkgen: $(tail -3 gen.log)"
cmp -s sheet.png "$BUILD_DIR/contact-sheet.png" || fail "a second drawing of the contact sheet differs"
for pack in gfx sfx; do
    mapfile -t files <"gen/$pack.list"
    run create $pack.pkf "${files[@]}"
    [ "$rc" = 0 ] && cmp -s $pack.pkf "$RUN_DIR/data/$pack.pkf" || fail "the $pack entries packed again differ from the build's pack"
done
run list sfx.pkf
[ "$rc" = 0 ] && [ "$out" = "$(for f in "${files[@]}"; do printf '%s\t%s\n' "$(stat -c %s "$f")" "${f##*/}"; done)" ] ||
    fail "list of sfx.pkf: $out"
run extract sfx.pkf sfx
[ "$rc" = 0 ] && [ -z "$out" ] && [ "$(ls sfx | wc -l)" = "${#files[@]}" ] || fail "extract of sfx.pkf: status $rc"
for f in "${files[@]}"; do cmp -s "$f" "sfx/${f##*/}" || fail "${f##*/} extracted differs"; done
# Table ends at 64, data from 70, blocks in reverse order with gaps, "a.txt" twice: the later wins.
{ printf 'PAKF\x01'; u32 70; u32 3; record 19 5 a.txt; record 11 7 b.bin; record 3 6 a.txt
  printf '......XXXsecondYYbravo!!Zalpha'; } >layout.pkf
run list layout.pkf
[ "$rc" = 0 ] && [ "$out" = "$(printf '5\ta.txt\n7\tb.bin\n6\ta.txt')" ] || fail "list of a hand-made layout: $out"
run extract layout.pkf layoutdir
[ "$rc" = 0 ] && [ "$(cat layoutdir/a.txt)" = second ] && [ "$(cat layoutdir/b.bin)" = 'bravo!!' ] || fail "extract of a hand-made layout"

mkdir adir jail linkdir
printf 'PAK' >short.pkf
head -c 40 layout.pkf >cut.pkf
{ printf 'PAKF\x01'; u32 30; u32 1; record 0 5 a; printf 'abcd'; } >partly.pkf
{ printf 'PAKF\x01'; u32 26; u32 1; record 4000000000 1 a; printf 'x'; } >outside.pkf
for args in "list missing.pkf" "list adir" "list short.pkf" "list cut.pkf" "extract partly.pkf d2" "list outside.pkf" \
    "create bad.pkf adir"; do
    run $args
    refused $args
done
[ ! -e d2/a ] || fail "an entry of a corrupt pack was extracted"
run bogus
[ "$rc" = 2 ] || fail "an unknown command ended with $rc, not the usage error 2"
for name in ../evil a/b .. "" . /abs; do
    { printf 'PAKF\x01'; u32 $((39 + ${#name})); u32 2; record 0 2 ok; record 0 2 "$name"; printf 'hi'; } >names.pkf
    run extract names.pkf jail
    refused "extract of an entry named '$name'"
    [ -z "$(ls -A jail)" ] && [ ! -e evil ] || fail "an entry was written beside '$name'"
done
ln -s ../victim.txt linkdir/a.txt
echo untouched >victim.txt
run extract layout.pkf linkdir
[ "$rc" = 1 ] && [ "$(cat victim.txt)" = untouched ] || fail "extract followed a planted link"
echo "pkf test passed"
