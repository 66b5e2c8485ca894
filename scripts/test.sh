#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# the whole test suite (unit tests, end-to-end tests and short fuzz runs)
# through CTest. The fuzz targets need a clang build of their own (build-fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test
build=${BUILD_DIR:-build-test}
fuzz=${FUZZ_BUILD_DIR:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$fuzz" -DFUZZ=ON -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$fuzz" -j"$(nproc)" --target fuzz
# The /usr prefix lets the package test make its Debian packages from this build.
cmake -S . -B "$build" -DSANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DCMAKE_INSTALL_PREFIX=/usr \
    -DFUZZ_DIR="$(cd "$fuzz" && pwd)" >/dev/null
cmake --build "$build" -j"$(nproc)"
cd "$build"
ctest --output-on-failure -j2 --timeout 600
