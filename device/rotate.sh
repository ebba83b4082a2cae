#!/usr/bin/env bash
# Turns the screen of a running device prefix: rotate.sh PREFIX WIDTHxHEIGHT | swap
# Prints the new size; exit code as rotate.exe's (0 when the screen has the asked size).
# DISPLAY: the caller's, else the one env.sh or run.sh started beside the prefix (PARENT/run).
# Rotating back to the profile's own size always works; another size only from it.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
prefix=$(cd "$1" && pwd)
export WINEPREFIX=$prefix
if [ -z "${DISPLAY:-}" ]; then
  DISPLAY=$(cat "$(dirname "$prefix")/run/display")
  export DISPLAY
fi
cd "$prefix/drive_c"
exec "$WINE" 'C:\nimbra-device\rotate.exe' "${@:2}"
