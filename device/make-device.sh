#!/usr/bin/env bash
# Makes, or quickly refreshes, a Wine prefix that behaves like a Pocket PC of one profile,
# installs the build's programs into it and leaves a persistent wineserver running for it.
#   make-device.sh PREFIX PROFILE BIN_DIR DISPLAY
# PROFILE: portrait (240 x 320, 96 dpi), hires (480 x 640, 192 dpi), landscape (320 x 240,
# 96 dpi), dpi131 (240 x 320, 131 dpi).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh"
prefix=$1
profile=$2
bin=$(cd "$3" && pwd)
export DISPLAY=$4
export WINEPREFIX=$prefix

case $profile in
  portrait)  width=240; height=320; dpi=96 ;;
  hires)     width=480; height=640; dpi=192 ;;
  landscape) width=320; height=240; dpi=96 ;;
  dpi131)    width=240; height=320; dpi=131 ;;
  *) echo "unknown profile $profile" >&2; exit 2 ;;
esac

base=$(dirname "$prefix")/base
if [ ! -f "$prefix/system.reg" ]; then
  if [ ! -f "$base/system.reg" ]; then
    rm -rf "$base"
    WINEPREFIX=$base "$WINE" wineboot -i </dev/null >/dev/null 2>&1
    WINEPREFIX=$base "$WINESERVER" -w
  fi
  rm -rf "$prefix"
  cp -a "$base" "$prefix"
fi

"$WINESERVER" -k >/dev/null 2>&1 || true
"$WINESERVER" -w >/dev/null 2>&1 || true

reg=$(mktemp --suffix=.reg)
trap 'rm -f "$reg"' EXIT
{
  printf 'REGEDIT4\n\n'
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\n"Desktop"="Default"\n\n'
  # The portrait size is kept as the desktop's own size so that rotating back works.
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\n"Default"="%dx%d"\n\n' $width $height
  printf '[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"LogPixels"=dword:%08x\n\n' $dpi
  if [ -f "$here/device.reg" ]; then sed -n '2,$p' "$here/device.reg"; fi
} > "$reg"
"$WINE" regedit /S "$(winepath_w() { echo "Z:${1//\//\\}"; }; winepath_w "$reg")" >/dev/null 2>&1
"$WINESERVER" -w

install=$prefix/drive_c/Program\ Files/Nimbra
mkdir -p "$install"
cp -f "$bin/Nimbra.exe" "$install/"
if [ -x "$here/install-extras.sh" ]; then "$here/install-extras.sh" "$prefix" "$profile" "$bin"; fi

# A persistent server keeps every later Wine process of this prefix fast to start.
# Its standard streams must not be the caller's: a server holding ctest's pipe open would make
# every test wait for it to exit.
"$WINESERVER" -p </dev/null >/dev/null 2>&1
setsid "$WINE" wineboot </dev/null >/dev/null 2>&1 &
