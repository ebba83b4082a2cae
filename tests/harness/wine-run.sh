#!/usr/bin/env bash
# Runs one Windows test program in a profile's prefix, from the prefix's C: drive (so that
# rooted paths like \Windows\... name the device's files), with the environment that env.sh
# started. Passes the program's exit code through.
#   wine-run.sh BUILD_DIR PROFILE PROGRAM.exe [ARGS...]
# Every program gets a desktop of its own: made before it starts (a program that has to start the
# desktop itself may be left unable to create windows, see device/keeper.cpp) and closed when it
# ends, so that no pointer, focus, z-order or rotation carries over into the next program.
# The program writes into a file that is shown when it ends: a process it started and left
# running (a Wine helper, a program under test) then cannot keep ctest waiting on our output.
set -uo pipefail
source "$(dirname "$0")/../../device/wine-env.sh"
build=$(cd "$1" && pwd)
profile=$2
program=$3
shift 3
export WINEPREFIX=$build/device/$profile
export WINEDEBUG=${WINEDEBUG:--all}
run=$build/device/run
if [ ! -f "$run/display" ] || [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine-run: the test environment is not up (tests/harness/env.sh up $build)" >&2
  exit 1
fi
DISPLAY=$(cat "$run/display")
export DISPLAY
dir=$WINEPREFIX/drive_c/nimbra-tests
mkdir -p "$dir"
name=$(basename "$program")
cp -f "$program" "$dir/$name"
cd "$dir"

log=$(mktemp "$run/$profile.XXXXXX.log")
show_log() { cat "$log"; rm -f "$log"; }
pid=
desktop_pid=
trap '[ -n "$pid" ] && kill $pid 2>/dev/null && wait $pid; [ -n "$desktop_pid" ] && desktop_down; show_log; exit 143' TERM INT
desktop_up || { show_log; exit 1; }
"$WINE" "C:\\nimbra-tests\\$name" "$@" </dev/null >"$log" 2>&1 &
pid=$!
wait $pid
rc=$?
desktop_down
show_log
exit $rc
