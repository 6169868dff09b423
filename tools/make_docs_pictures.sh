#!/usr/bin/env bash
# Makes the README's pictures in docs/: the run graph of the bundled sample
# (runwarden-check --graph, rendered by headless Chromium) and the window with
# the sample's result (the GUI test's screenshot).
#
#   tools/make_docs_pictures.sh NATIVE_BUILD_DIR [WINDOWS_BUILD_DIR]
#
# NATIVE_BUILD_DIR holds src/cli/runwarden-check. The window's picture is taken
# from WINDOWS_BUILD_DIR/tests/gui/screenshots/gui_good_result.ppm, which
# `ctest -R win.gui` in that build leaves; it is skipped when missing.
set -euo pipefail
if [ $# -lt 1 ]; then
  sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
check=$(realpath "$1")/src/cli/runwarden-check
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

(cd "$root/examples" && "$check" --records RecData.dat --graph "$tmp/run.svg" sample.dem >/dev/null)
chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=1200,400 \
  --user-data-dir="$tmp/profile" --screenshot="$tmp/run.png" "file://$tmp/run.svg" >/dev/null 2>&1
# Small files: few colours, no metadata.
convert "$tmp/run.png" -strip +dither -colors 64 -define png:compression-level=9 "$root/docs/run-graph.png"
echo "wrote docs/run-graph.png"

shot=$(realpath -m "${2:-$root/build/test/windows}")/tests/gui/screenshots/gui_good_result.ppm
if [ -f "$shot" ]; then
  convert "$shot" -strip +dither -colors 128 -define png:compression-level=9 "$root/docs/window.png"
  echo "wrote docs/window.png"
else
  echo "no window screenshot at $shot; run ctest -R win.gui in that build first" >&2
fi
