#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# the whole test suite (unit tests, end-to-end tests and short fuzz runs)
# through CTest. The fuzz targets need a clang build of their own (build-fuzz);
# the checker is built twice more, plain (build-plain) and for arm64
# (build-arm64, run under qemu-user), so recordings are held to the same
# results on every build and processor.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test
build=${BUILD_DIR:-build-test}
fuzz=${FUZZ_BUILD_DIR:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$fuzz" -DFUZZ=ON -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# Its checker too: the recordings' rules compiled by clang.
cmake --build "$fuzz" -j"$(nproc)" --target fuzz bzykolot2-replay
cmake -S . -B build-plain -DCHECKER_ONLY=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-plain -j"$(nproc)"
cmake -S . -B build-arm64 -DCHECKER_ONLY=ON -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=scripts/aarch64.cmake >/dev/null
cmake --build build-arm64 -j"$(nproc)"
# The /usr prefix lets the package test make its Debian packages from this build.
cmake -S . -B "$build" -DSANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DCMAKE_INSTALL_PREFIX=/usr \
    -DFUZZ_DIR="$(cd "$fuzz" && pwd)" -DPLAIN_CHECKER="$PWD/build-plain/bzykolot2-replay" \
    -DARM64_CHECKER="$PWD/build-arm64/bzykolot2-replay" -DCLANG_CHECKER="$(cd "$fuzz" && pwd)/tools/bzykolot2-replay" >/dev/null
cmake --build "$build" -j"$(nproc)"
cd "$build"
ctest --output-on-failure -j2 --timeout 600
