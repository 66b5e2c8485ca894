#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# the whole test suite (unit tests and end-to-end tests) through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test
build=${BUILD_DIR:-build-test}
# The /usr prefix lets the package test make its Debian packages from this build.
cmake -S . -B "$build" -DSANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$build" -j"$(nproc)"
cd "$build"
ctest --output-on-failure -j2 --timeout 600
