#!/usr/bin/env bash
# Installs what the tests need, builds the native programs (with AddressSanitizer
# and UndefinedBehaviorSanitizer) and the Windows programs, and runs every test:
# native, under Wine, and the Windows GUI under Xvfb.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh --windows --gui --fuzz

jobs=$(nproc)
build=build/test
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DRW_SANITIZE=ON -DRW_WINDOWS=ON >/dev/null
cmake --build "$build" -j "$jobs"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$build"
ctest --output-on-failure -j "$jobs" --timeout 900 </dev/null
