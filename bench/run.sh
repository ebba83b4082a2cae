#!/usr/bin/env bash
# Prints every benchmark figure: start-up against a minimal window program, idle behaviour,
# the cost of layout, paint, scrolling and background loads as the work grows, an icon burst,
# the stripped size of Nimbra.exe and its resident memory against the minimal program.
#   bench/run.sh [BUILD_DIR] [STARTUP_RUNS] [IDLE_SECONDS]     defaults: build 7 60
# Builds what is missing (also after ./run.sh or ./test.sh built the rest) and runs everything
# in a portrait device prefix of its own (BUILD/device/bench) on a private Xvfb. Timings depend
# on the machine's load: the figures of one run are meant to be compared with each other.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$src/build}" && pwd)
runs=${2:-7}
idle=${3:-60}
source "$src/device/wine-env.sh"
if [ ! -f "$build/CMakeCache.txt" ]; then "$src/device/setup.sh" "$build"; fi
cmake --build "$build" -j2 --target Nimbra Nimbra-bench minimal benchrun items_bench background_bench \
  NimbraClock NimbraOwner NimbraNotes NimbraProbe keeper findwindow >/dev/null

prefix=$build/device/bench
run=$build/device/bench-run
export WINEPREFIX=$prefix
cleanup() {
  "$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
  timeout 30 "$WINESERVER" -w </dev/null >/dev/null 2>&1 || true
  "$src/device/xvfb.sh" stop "$run"
}
trap cleanup EXIT
display=$("$src/device/xvfb.sh" start "$run")
export DISPLAY=$display
NIMBRA_DEVICE_KEEPER=1 "$src/device/make-device.sh" "$prefix" portrait "$build/bin" "$display" >/dev/null
install=$prefix/drive_c/Program\ Files/Nimbra
cp -f "$build"/bin/{Nimbra-bench,minimal,benchrun,items_bench,background_bench}.exe "$install/"
win() { (cd "$prefix/drive_c" && "$WINE" "C:\\Program Files\\Nimbra\\$1.exe" "${@:2}") </dev/null 2>/dev/null; }

echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at the start"
win benchrun startup "$runs"
win benchrun idle "$idle"
win benchrun memory 5
echo "cost as the work grows (probe items 24 pixels high, 240 x 320 screen):"
win items_bench | sed 's/^/  /'
echo "background loads (a reload of the shown file is the reload from cache):"
win background_bench 20 | sed 's/^/  /'
stripped=$(mktemp)
x86_64-w64-mingw32-strip -o "$stripped" "$build/bin/Nimbra.exe"
echo "footprint: Nimbra.exe $(stat -c %s "$build/bin/Nimbra.exe") bytes as built, $(stat -c %s "$stripped") bytes stripped"
rm -f "$stripped"
echo "machine: load average $(cut -d' ' -f1-3 /proc/loadavg) at the end"
