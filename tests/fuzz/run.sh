#!/bin/bash
# Usage: run.sh FUZZ_DIR TARGET. FUZZ_SECONDS (20) of fuzzing, niced, from the seeds and the
# corpus earlier runs grew. Fails on any finding, whose input is left in FUZZ_DIR/findings.
set -euo pipefail
mkdir -p "$1/corpus/$2" "$1/findings"
exec nice -n 10 "$1/tests/fuzz/fuzz_$2" -max_total_time="${FUZZ_SECONDS:-20}" -timeout=10 -close_fd_mask=3 \
    -print_final_stats=1 -artifact_prefix="$1/findings/$2-" "$1/corpus/$2" "$1/seeds/$2"
