#!/usr/bin/env bash
# Installs what is needed, builds runwarden-check and checks the bundled sample run.
#   ./run.sh [runwarden-check options]
#   ./run.sh --gui    builds Runwarden.exe and opens it under Wine, served the sample's records
set -euo pipefail
cd "$(dirname "$0")"
if [ "${1:-}" = "--gui" ]; then
  tools/install-deps.sh --windows --gui
  echo "Runwarden.exe opens under Wine; press \"Check Demo\" and choose examples/sample.dem"
  exec tools/run-gui.sh examples/RecData.dat examples/demos_tcl.txt build/gui
fi
tools/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$(nproc)" --target runwarden-check
cd examples
../build/release/src/cli/runwarden-check --records RecData.dat --runs demos_tcl.txt sample.dem "$@"
