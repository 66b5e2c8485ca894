#!/usr/bin/env bash
# Two runs of the art generator draw the same contact sheet, and packing each
# run's entries gives exactly the packs the build put into the run directory.
set -euo pipefail
work=$(mktemp -d "$BUILD_DIR/gen-determinism.XXXXXX")
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=detect_leaks=0
for run in a b; do
  "$BUILD_DIR/tools/bzkgen" "$SRC_DIR/assets" "$work/$run" "$work/$run-sheet.png"
  for pack in gfx sfx; do
    mapfile -t files < "$work/$run/$pack.list"
    "$BUILD_DIR/tools/pkf" create "$work/$run-$pack.pkf" "${files[@]}"
    cmp "$work/$run-$pack.pkf" "$RUN_DIR/data/$pack.pkf"
  done
done
cmp "$work/a-sheet.png" "$work/b-sheet.png"
echo "generator output is deterministic"
