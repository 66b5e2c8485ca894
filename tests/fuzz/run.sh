#!/bin/bash
# One fuzz target of a clang FUZZ build: first the kept findings (each must now
# pass), then FUZZ_SECONDS (20) of fuzzing from the seeds and the corpus grown
# by earlier runs. Fails on any finding; its input is left in FUZZ_DIR/findings.
# Usage: run.sh FUZZ_DIR TARGET
set -euo pipefail
dir=$1 t=$2 here=$(cd "$(dirname "$0")" && pwd)
bin=$dir/tests/fuzz/fuzz_$t
[ -x "$bin" ] || { echo "no $bin: build the target fuzz there" >&2; exit 1; }
mkdir -p "$dir/corpus/$t" "$dir/findings"
if compgen -G "$here/regress/$t/*" >/dev/null; then "$bin" -close_fd_mask=3 "$here/regress/$t"/*; fi
exec nice -n 10 "$bin" -max_total_time="${FUZZ_SECONDS:-20}" -timeout=10 -close_fd_mask=3 -print_final_stats=1 \
    -artifact_prefix="$dir/findings/$t-" "$dir/corpus/$t" "$dir/seeds/$t"
