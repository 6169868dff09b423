#!/usr/bin/env bash
# Installs what is needed, builds runwarden-check and checks the bundled sample run.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$(nproc)" --target runwarden-check
cd examples
../build/release/src/cli/runwarden-check --records RecData.dat --runs demos_tcl.txt sample.dem "$@"
