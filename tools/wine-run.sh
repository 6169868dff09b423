#!/usr/bin/env bash
# Runs a Windows program under Wine in the given prefix: wine-run.sh PREFIX PROGRAM [ARGS...]
set -u
export WINEPREFIX="$1"; shift
export WINEDEBUG=-all
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ ! -d "$WINEPREFIX/drive_c/windows" ]; then
  "$(dirname "$0")/wine-setup.sh" "$WINEPREFIX" >/dev/null 2>&1
fi
exec wine "$@"
