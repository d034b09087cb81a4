#!/usr/bin/env bash
# Builds everything and runs every test: once in the ordinary build, once
# under AddressSanitizer and UndefinedBehaviorSanitizer. Both builds treat
# warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs="$(nproc)"

# Every source file in the project's format (scripts/format.sh mends it).
scripts/format.sh --check

# The tested code is the shipped code (-O2, NDEBUG), without the debug
# information nobody reads here; the tests' own code is not optimised, which
# halves its compiling.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONAVEL_WERROR=ON \
  -DSONAVEL_DEBUG_INFO=none -DSONAVEL_TEST_OPTIMIZE=-O0 >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

# The sanitizer build skips the benchmarks and the screenshot tools, which no
# test runs; line tables are all its stack traces need. Death tests and
# forked writers run as in the ordinary build, and warnings stop it as they
# stop the ordinary build.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSONAVEL_SANITIZE=ON \
  -DSONAVEL_WERROR=ON -DSONAVEL_BENCH=OFF -DSONAVEL_SHOTS=OFF -DSONAVEL_DEBUG_INFO=lines >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions="$PWD/scripts/lsan.supp" \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"
