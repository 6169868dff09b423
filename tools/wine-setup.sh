#!/usr/bin/env bash
# Prepares a Wine prefix, new or already used, and leaves its server running,
# detached from the caller's pipes (ctest would otherwise wait for them to close).
set -u
export WINEPREFIX="$1"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1
wine wineboot -i </dev/null >/dev/null 2>&1
[ -d "$WINEPREFIX/drive_c/windows" ] || { echo "wine prefix setup failed: $WINEPREFIX" >&2; exit 1; }
# Fonts as on Windows. A new prefix has none: link Wine's own, so Tahoma is
# real. "Segoe UI" does not exist under Wine, and for the program's fonts
# (family FF_ROMAN) the font mapper would pick a serif face, wider than the
# real one; Wine's Tahoma is close to it in size and shape. Done on every
# run, so a prefix made before this is mended too.
fonts="$WINEPREFIX/drive_c/windows/Fonts"
mkdir -p "$fonts"
for font in /usr/share/wine/fonts/*; do
  [ -e "$font" ] && [ ! -e "$fonts/${font##*/}" ] && ln -s "$font" "$fonts/"
done
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Segoe UI' /d Tahoma /f </dev/null >/dev/null 2>&1 &&
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v 'Segoe UI' /d Tahoma /f \
    </dev/null >/dev/null 2>&1 || { echo "wine font mapping failed: $WINEPREFIX" >&2; exit 1; }
exit 0
