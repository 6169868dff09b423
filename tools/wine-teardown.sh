#!/usr/bin/env bash
# Stops the Wine server of a prefix made by wine-setup.sh.
WINEPREFIX="$1" wineserver -k </dev/null >/dev/null 2>&1
exit 0
