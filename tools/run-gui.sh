#!/usr/bin/env bash
# Builds Runwarden.exe and opens it under Wine against a local stand-in of its
# update and records-list servers that serves the given records files.
#
#   tools/run-gui.sh RECDATA DEMOS_TCL [BUILD_DIR]
#
# RECDATA and DEMOS_TCL (e.g. examples/RecData.dat and examples/demos_tcl.txt)
# are served as /intern/Runwarden/RecData.dat and /demos_tcl.txt by python's
# http.server on 127.0.0.1 (port RW_GUI_PORT, default 28080); the program is
# built with both server addresses pointing there. Without DISPLAY the program
# runs on a virtual X server and a screenshot of it is saved in BUILD_DIR.
# The script ends when the program's window is closed.
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

pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  WINEPREFIX="$build/wineprefix" wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

python3 -m http.server "$port" --bind 127.0.0.1 --directory "$site" >"$build/server.log" 2>&1 &
pids+=($!)

if [ -z "${DISPLAY:-}" ]; then
  n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  export DISPLAY=":$n"
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  openbox >/dev/null 2>&1 &
  pids+=($!)
  virtual=1
  echo "No DISPLAY: using the virtual X server $DISPLAY."
fi

export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$root/tools/wine-setup.sh" "$WINEPREFIX"

# The program keeps its files in its working folder; start it beside the
# records the server has, so it begins idle rather than restoring them.
run="$build/run"
mkdir -p "$run"
cp "$recdata" "$run/RecData.dat"
cd "$run"
echo "Starting Runwarden.exe (records server $server_url, working folder $run)."
wine "$exe" >"$build/wine.log" 2>&1 &
app=$!
pids+=($app)

if [ -n "${virtual:-}" ]; then
  for _ in $(seq 120); do
    xdotool search --onlyvisible --name '^Runwarden$' >/dev/null 2>&1 && break
    sleep 0.5
  done
  sleep 2
  import -window root "$build/screenshot.png" && echo "Screenshot: $build/screenshot.png"
  echo "Close it with: DISPLAY=$DISPLAY xdotool search --name '^Runwarden\$' windowfocus key alt+F4 (or Ctrl-C here)."
fi
wait "$app" || true
