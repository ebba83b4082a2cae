#!/usr/bin/env bash
# Starts (up) or stops (down) what the tests need: one Xvfb, and for every device profile a
# prepared Wine prefix with a persistent wineserver. State lives in BUILD/device/run.
#   env.sh up|down BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/../../device/wine-env.sh"
action=$1
build=$(cd "$2" && pwd)
src=$(cd "$(dirname "$0")/../.." && pwd)
run=$build/device/run
profiles="portrait hires landscape dpi131"
mkdir -p "$run"

stop_all() {
  for p in $profiles; do
    if [ -d "$build/device/$p" ]; then
      WINEPREFIX=$build/device/$p "$WINESERVER" -k >/dev/null 2>&1 || true
    fi
  done
  for p in $profiles; do
    [ -d "$build/device/$p" ] && WINEPREFIX=$build/device/$p "$WINESERVER" -w >/dev/null 2>&1 || true
  done
  if [ -f "$run/xvfb.pid" ]; then
    kill "$(cat "$run/xvfb.pid")" >/dev/null 2>&1 || true
    rm -f "$run/xvfb.pid" "$run/display"
  fi
}

case $action in
  up)
    stop_all
    display=$("$src/device/xvfb.sh" start "$run")
    for p in $profiles; do
      "$src/device/make-device.sh" "$build/device/$p" "$p" "$build/bin" "$display"
    done
    echo "test environment up on $display"
    ;;
  down)
    stop_all
    echo "test environment down"
    ;;
  *) echo "usage: env.sh up|down BUILD_DIR" >&2; exit 2 ;;
esac
