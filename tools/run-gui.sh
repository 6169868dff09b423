#!/usr/bin/env bash
# Builds Runwarden.exe and opens it under Wine against a local stand-in of its
# update and records-list servers that serves the given records files.
#
#   tools/run-gui.sh RECDATA DEMOS_TCL [BUILD_DIR]
#
# RECDATA and DEMOS_TCL (e.g. examples/RecData.dat and examples/demos_tcl.txt)
# are served as /intern/Runwarden/RecData.dat and /demos_tcl.txt by the HTTP
# test server on 127.0.0.1 (port RW_GUI_PORT, default 28080); the program is
# built with both server addresses pointing there. The GUI tests' session
# (tests/gui/gui_session.py) runs it: without DISPLAY on a virtual X server,
# with a screenshot of it saved in BUILD_DIR. The script ends when the
# program's window is closed.
set -euo pipefail
if [ $# -lt 2 ]; then
  sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
recdata=$(realpath "$1")
runs=$(realpath "$2")
build=$(realpath -m "${3:-$root/build/gui}")
port=${RW_GUI_PORT:-28080}
[ -f "$recdata" ] || { echo "no such file: $recdata" >&2; exit 2; }
[ -f "$runs" ] || { echo "no such file: $runs" >&2; exit 2; }

port_free() { python3 - "$1" <<'EOF'
import socket, sys
s = socket.socket()
try:
    s.bind(("127.0.0.1", int(sys.argv[1])))
except OSError:
    sys.exit(1)
EOF
}
while ! port_free "$port"; do port=$((port + 1)); done
server_url="http://127.0.0.1:$port"

echo "Building Runwarden.exe for $server_url in $build ..."
cmake -S "$root" -B "$build/windows" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DRW_UPDATE_SERVER="$server_url" -DRW_LIST_SERVER="$server_url" >/dev/null
cmake --build "$build/windows" -j "$(nproc)" --target Runwarden >/dev/null
exe="$build/windows/src/app/Runwarden.exe"

# The servers' layout: the program's own version (15) is the newest.
site="$build/site"
rm -rf "$site"
mkdir -p "$site/intern/Runwarden/x64"
cp "$recdata" "$site/intern/Runwarden/RecData.dat"
cp "$runs" "$site/demos_tcl.txt"
printf '\017\000\000\000\000\000\000\000' >"$site/intern/Runwarden/x64/UpdateData.dat"
printf 'Runwarden 15\r\n' >"$site/intern/Runwarden/changelog.txt"

# The program keeps its files in its working folder; start it beside the
# records the server has, so it begins idle rather than restoring them.
run="$build/run"
mkdir -p "$run"
cp "$recdata" "$run/RecData.dat"
exec python3 "$root/tests/gui/gui_session.py" --exe "$exe" --site "$site" --port "$port" --run "$run" \
  --work "$build" --prefix "$build/wineprefix" --wine-setup "$root/tools/wine-setup.sh" \
  --server "$root/tests/support/http_test_server.py"
