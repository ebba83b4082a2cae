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

cmake -S "$src" -B "$build"
cmake --build "$build" -j2
