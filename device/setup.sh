#!/usr/bin/env bash
# Installs what the build and the emulated device need (Debian packages; apt-get update runs
# only when one is missing), then configures and builds the project.
#   setup.sh BUILD_DIR
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=$1

packages="cmake googletest mingw-w64 wine wine64 xvfb xauth imagemagick xdotool"
missing=()
for p in $packages; do
  if [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" != "install ok installed" ]; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing ${missing[*]}"
  sudo=()
  if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update </dev/null
  "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}" </dev/null
fi

# The emulated device's system font, Tahoma: Wine's own, from the Debian package fonts-wine,
# unpacked into BUILD_DIR/bin/fonts for make-device.sh to put into every device. The package
# is not installed: Wine would then give its fonts to every prefix of the machine, and its
# bitmap "System" font would replace Tahoma in the dialogs that ask for "System".
fonts=$build/bin/fonts
if [ ! -f "$fonts/tahoma.ttf" ]; then
  work=$(mktemp -d)
  if ! (cd "$work" && apt-get download fonts-wine </dev/null >/dev/null 2>&1); then
    if [ "$(id -u)" -ne 0 ]; then sudo apt-get update </dev/null; else apt-get update </dev/null; fi
    (cd "$work" && apt-get download fonts-wine </dev/null)
  fi
  dpkg-deb -x "$work"/fonts-wine_*.deb "$work/unpacked"
  mkdir -p "$fonts"
  cp "$work"/unpacked/usr/share/wine/fonts/tahoma*.ttf "$fonts/"
  rm -rf "$work"
fi

cmake -S "$src" -B "$build"
cmake --build "$build" -j2
