#!/usr/bin/env bash
# Builds Nimbra and runs it on an emulated Pocket PC (240 x 320, 96 dpi) with the sample Today
# items. The device boots first: its shell (navigation bar, system Today screen, the start-up
# folder) runs beside it. With a DISPLAY the device's screen opens there and this waits until
# Nimbra exits. Without one, the device runs on a private Xvfb: once Nimbra's window is up its
# screen is saved to build/screenshot.png (the path is printed) and everything is stopped again.
#   ./run.sh
# NIMBRA_RUN_ITEMS (optional): the Today items to show, e.g. "NimbraClock NimbraNotes".
# NIMBRA_RUN_PROFILE (optional): the device's screen, portrait (default), hires or landscape.
# The sample program TrayIcons puts three icons into the strip once Nimbra runs; the saved
# screen shows the first of them tapped.
set -euo pipefail
src=$(cd "$(dirname "$0")" && pwd)
build=${NIMBRA_BUILD:-$src/build}     # NIMBRA_BUILD: another build directory
"$src/device/setup.sh" "$build"

source "$src/device/wine-env.sh"
devices=$build/device
profile=${NIMBRA_RUN_PROFILE:-portrait}
profile_screen "$profile" || { echo "unknown profile $profile" >&2; exit 2; }
prefix=$devices/app                 # the tests' prefixes stay untouched
if [ "$profile" != portrait ]; then prefix=$devices/app-$profile; fi
run=$devices/app-run
export WINEPREFIX=$prefix
shot=$build/screenshot.png

# The items to show: those registered by the plug-ins' .reg files whose DLL was built, except
# the test item.
items=${NIMBRA_RUN_ITEMS:-}
if [ -z "$items" ]; then
  for name in $(sed -n 's/^\[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Today\\Items\\\([^]]*\)\]\r\?$/\1/p' \
                  "$src"/plugins/*.reg 2>/dev/null); do
    case $name in *Probe*) continue ;; esac
    if [ -f "$build/bin/plugins/$name.dll" ]; then items="$items $name"; fi
  done
fi
write_settings() { # the settings file beside the installed program: UTF-16 LE with BOM, LF ends
  local list count=0 name
  list=""
  for name in $items; do list="$list$name::"; count=$((count + 1)); done
  printf 'Plugins = %d::%s\nTitle = Start\n' $count "$list" | iconv -f UTF-8 -t UTF-16LE \
    | { printf '\xff\xfe'; cat; } > "$prefix/drive_c/Program Files/Nimbra/settings.ini"
}

nimbra() { # runs Nimbra.exe from C: (rooted paths like \Windows\... then name the device's files)
  (cd "$prefix/drive_c" && "$WINE" 'C:\Program Files\Nimbra\Nimbra.exe' "$@")
}
trayicons() { # the sample program, in the background, once Nimbra's window exists
  tool findwindow NimbraClass 60000 >/dev/null &&
    (cd "$prefix/drive_c" && exec setsid "$WINE" 'C:\Program Files\Nimbra\TrayIcons.exe') </dev/null >/dev/null 2>&1 &
}
tool() {
  (cd "$prefix/drive_c" && "$WINE" "C:\\nimbra-device\\$1.exe" "${@:2}")
}
boot() { # the device's shell, in the background, and its windows up before Nimbra starts
  (cd "$prefix/drive_c" && exec setsid "$WINE" 'C:\nimbra-device\shell.exe') </dev/null >/dev/null 2>&1 &
  tool findwindow DesktopExplorerWindow 60000 >/dev/null && tool findwindow NimbraNavigationBar 10000 >/dev/null
}
stop_device() {
  "$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
  timeout 30 "$WINESERVER" -w </dev/null >/dev/null 2>&1 || true
}

if [ -n "${DISPLAY:-}" ]; then
  NIMBRA_DEVICE_KEEPER=1 "$src/device/make-device.sh" "$prefix" "$profile" "$build/bin" "$DISPLAY"
  write_settings
  boot || echo "the device's shell did not start" >&2
  echo "Nimbra runs on $DISPLAY; close it (or run it again with the word quit) to end."
  rc=0
  trayicons
  nimbra || rc=$?
  stop_device
  exit $rc
fi

stopped=0
cleanup() {
  [ $stopped -eq 1 ] && return
  stopped=1
  stop_device
  "$src/device/xvfb.sh" stop "$run"
}
trap cleanup EXIT
display=$("$src/device/xvfb.sh" start "$run")
export DISPLAY=$display
NIMBRA_DEVICE_KEEPER=1 "$src/device/make-device.sh" "$prefix" "$profile" "$build/bin" "$display"
write_settings
boot || echo "the device's shell did not start" >&2

log=$run/nimbra.log
(cd "$prefix/drive_c" && exec setsid "$WINE" 'C:\Program Files\Nimbra\Nimbra.exe') </dev/null >"$log" 2>&1 &
if ! where=$(tool findwindow NimbraClass 60000); then
  echo "Nimbra's window did not appear within a minute" >&2
  cat "$log" >&2
  exit 1
fi
echo "Nimbra's window: $where"
trayicons
sleep 3                             # items load and paint, the icons arrive 500 ms after the last
# A tap on the right-most icon (icon 0 starts 18 pixels from the right edge; the strip's 21 rows
# sit on the 26-row menu bar; 96-dpi lengths): the strip highlights it and the sample shows
# what was tapped.
tap_x=$((width - 10 * dpi / 96)); tap_y=$((height - 26 * dpi / 96 - 10 * dpi / 96))
xdotool mousemove --sync $tap_x $tap_y click 1 || echo "no tap: xdotool failed" >&2
sleep 1
rm -f "$shot"
import -display "$display" -window root -crop "${width}x$height+0+0" +repage "$shot"
nimbra quit || true
tool findwindow --gone NimbraClass 5000 || true
cleanup
echo "$shot"
