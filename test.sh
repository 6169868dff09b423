#!/usr/bin/env bash
# Installs what the tests need and runs every test:
#  1. native build with AddressSanitizer + UndefinedBehaviorSanitizer, and the
#     Windows cross build whose tests (the GUI's too) run under Wine and Xvfb;
#  2. the threaded command-line tests under ThreadSanitizer;
#  3. every fuzz target for RW_FUZZ_SECONDS (default 30) seconds.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh --windows --gui --fuzz

jobs=$(nproc)
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1
status=0

echo "== native (ASan/UBSan) and Windows (Wine) tests"
cmake -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DRW_SANITIZE=ON -DRW_WINDOWS=ON >/dev/null
cmake --build build/test -j "$jobs"
(cd build/test && ctest --output-on-failure -j "$jobs" --timeout 900 </dev/null) || status=1

echo "== threaded tests under ThreadSanitizer"
cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=Debug -DRW_TSAN=ON >/dev/null
cmake --build build/tsan -j "$jobs" --target runwarden_tests runwarden-check runwarden-recdata runwarden-publish
(cd build/tsan && ctest --output-on-failure -j "$jobs" -R 'DemoReader|RealDemos|DemoWalk|WorkerHandOver|unit\.Batch|cli\.program' </dev/null) || status=1

echo "== fuzzing, ${RW_FUZZ_SECONDS:-30} s per target"
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=Debug -DRW_FUZZ=ON \
  -DRW_FUZZ_SECONDS="${RW_FUZZ_SECONDS:-30}" >/dev/null
cmake --build build/fuzz -j "$jobs"
(cd build/fuzz && ctest --output-on-failure -j "$jobs" -L fuzz </dev/null) || status=1

exit $status
