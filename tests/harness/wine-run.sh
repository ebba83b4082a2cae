#!/usr/bin/env bash
# Runs one Windows test program in a profile's prefix, from the prefix's C: drive (so that
# rooted paths like \Windows\... name the device's files), with the environment that env.sh
# started. Passes the program's exit code through.
#   wine-run.sh BUILD_DIR PROFILE PROGRAM.exe [ARGS...]
set -euo pipefail
source "$(dirname "$0")/../../device/wine-env.sh"
build=$(cd "$1" && pwd)
profile=$2
program=$3
shift 3
export WINEPREFIX=$build/device/$profile
export WINEDEBUG=${WINEDEBUG:--all}
export DISPLAY=$(cat "$build/device/run/display")
dir=$WINEPREFIX/drive_c/nimbra-tests
mkdir -p "$dir"
name=$(basename "$program")
cp -f "$program" "$dir/$name"
cd "$dir"
exec "$WINE" "C:\\nimbra-tests\\$name" "$@"
