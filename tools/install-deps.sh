#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 (run as root).
# Usage: tools/install-deps.sh [--windows] [--gui] [--fuzz]
# (--gui also brings Chromium, which renders the run graphs in their test.)
set -euo pipefail
pkgs=(cmake g++ make python3 googletest libgtest-dev libbenchmark-dev libcurl4-openssl-dev libssl-dev openssl pkg-config
  libarchive-dev libarchive-tools 7zip)
for arg in "$@"; do
  case "$arg" in
    --windows) pkgs+=(g++-mingw-w64-x86-64-posix wine wine64 fonts-wine) ;;
    --gui) pkgs+=(xvfb xdotool openbox imagemagick x11-utils xclip chromium) ;;
    --fuzz) pkgs+=(clang libclang-rt-14-dev) ;;
  esac
done
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
