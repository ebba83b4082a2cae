#!/usr/bin/env bash
# Starts (up) or stops (down) what the tests need: one Xvfb, and for every device profile a
# prepared Wine prefix with a persistent wineserver. State lives in BUILD/device/run.
#   env.sh up|down BUILD_DIR
# "up" first stops whatever a previous run left behind (also after a crash), then refreshes
# the profiles two at a time. Nothing it leaves running holds one of its own output streams,
# so ctest, which reads them through a pipe, is never kept waiting.
set -euo pipefail
source "$(dirname "$0")/../../device/wine-env.sh"
action=${1:-}
build=$(cd "${2:?usage: env.sh up|down BUILD_DIR}" && pwd)
src=$(cd "$(dirname "$0")/../.." && pwd)
devices=$build/device
run=$devices/run
profiles="portrait hires landscape dpi131"
mkdir -p "$run"

stop_all() {
  local p
  for p in base $profiles; do
    if [ -f "$devices/$p/system.reg" ]; then
      WINEPREFIX=$devices/$p "$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
    fi
  done
  for p in base $profiles; do
    if [ -f "$devices/$p/system.reg" ]; then
      WINEPREFIX=$devices/$p timeout 30 "$WINESERVER" -w </dev/null >/dev/null 2>&1 || true
    fi
  done
  "$src/device/xvfb.sh" stop "$run"
}

case $action in
  up)
    start=$SECONDS
    stop_all
    # A full disk is said as such, not as a failed step of a prefix (measured: the booted
    # prefix takes 700 MB, each profile 30 MB beside it, a refresh a few MB).
    need=50
    [ -f "$devices/base/system.reg" ] || need=$((need + 800))
    for p in $profiles; do [ -f "$devices/$p/system.reg" ] || need=$((need + 50)); done
    free=$(df -Pm "$devices" | awk 'NR == 2 { print $4 }')
    if [ "$free" -lt "$need" ]; then
      echo "not enough disk space for the device prefixes: $free MB free in $devices, $need MB needed" >&2
      exit 1
    fi
    display=$("$src/device/xvfb.sh" start "$run")
    jobs=${NIMBRA_DEVICE_JOBS:-2}
    set -- $profiles
    # The first profile alone when the shared booted prefix does not exist yet.
    if [ ! -f "$devices/base/system.reg" ]; then
      "$src/device/make-device.sh" "$devices/$1" "$1" "$build/bin" "$display" </dev/null
      shift
    fi
    failed=0
    while [ $# -gt 0 ]; do
      pids=()
      for p in "${@:1:$jobs}"; do
        "$src/device/make-device.sh" "$devices/$p" "$p" "$build/bin" "$display" </dev/null &
        pids+=($!)
      done
      for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
      shift $(( $# < jobs ? $# : jobs ))
    done
    if [ $failed -ne 0 ]; then
      echo "a device prefix could not be prepared" >&2
      stop_all
      exit 1
    fi
    echo "test environment up on $display in $((SECONDS - start)) s"
    ;;
  down)
    stop_all
    echo "test environment down"
    ;;
  *) echo "usage: env.sh up|down BUILD_DIR" >&2; exit 2 ;;
esac
