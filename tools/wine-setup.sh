#!/usr/bin/env bash
# Prepares a throwaway Wine prefix and leaves its server running, detached from
# the caller's pipes (ctest would otherwise wait for them to close).
set -u
export WINEPREFIX="$1"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1
wine wineboot -i </dev/null >/dev/null 2>&1
# A new prefix has no fonts; link Wine's own so Tahoma is real.
fonts="$WINEPREFIX/drive_c/windows/Fonts"
if [ -d /usr/share/wine/fonts ] && [ -d "$fonts" ] && [ ! -e "$fonts/tahoma.ttf" ]; then
  ln -sf /usr/share/wine/fonts/* "$fonts/" 2>/dev/null
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Segoe UI' /d Tahoma /f </dev/null >/dev/null 2>&1
fi
[ -d "$WINEPREFIX/drive_c/windows" ] || { echo "wine prefix setup failed: $WINEPREFIX" >&2; exit 1; }
exit 0
