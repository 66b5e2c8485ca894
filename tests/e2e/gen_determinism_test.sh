#!/usr/bin/env bash
# Two runs of the art generator give byte-identical entries, and packing them
# gives exactly the packs the build put into the run directory.
set -euo pipefail
gen="$BUILD_DIR/tools/bzkgen"
pkf="$BUILD_DIR/tools/pkf"
work=$(mktemp -d "$BUILD_DIR/gen-determinism.XXXXXX")
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=detect_leaks=0
for run in a b; do
  "$gen" "$SRC_DIR/assets" "$work/$run" "$work/$run-sheet.png"
done
diff -r "$work/a/gfx" "$work/b/gfx"
diff -r "$work/a/sfx" "$work/b/sfx"
# The lists name the same entries in the same order (paths differ by run).
for pack in gfx sfx; do
  diff <(xargs -n1 basename < "$work/a/$pack.list") <(xargs -n1 basename < "$work/b/$pack.list")
done
cmp "$work/a-sheet.png" "$work/b-sheet.png"
for pack in gfx sfx; do
  mapfile -t files < "$work/a/$pack.list"
  [ "${#files[@]}" -gt 0 ]
  "$pkf" create "$work/$pack.pkf" "${files[@]}"
  cmp "$work/$pack.pkf" "$RUN_DIR/data/$pack.pkf"
done
echo "generator output is deterministic"
