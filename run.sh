#!/usr/bin/env bash
# Builds Nimbra and runs it on an emulated Pocket PC with the sample Today items and the Today
# items given, so that an item's author sees it hosted without a device. The device boots first:
# its shell (navigation bar, system Today screen, the start-up folder) runs beside it, and the
# sample program TrayIcons puts three icons into the strip once Nimbra runs. With a DISPLAY the
# device's screen opens there for mouse and keyboard and this waits until Nimbra exits. Without
# one, the device runs on a private Xvfb: once Nimbra's window is up, the right-most strip icon
# is tapped, the screen is saved to build/screenshot.png (the path is printed) and everything is
# stopped again.
#   ./run.sh [PROFILE] [--no-samples] [ITEM.dll ...]
# PROFILE: portrait (240 x 320, 96 dpi; the default), hires (480 x 640, 192 dpi), landscape
# (320 x 240) or dpi131 (240 x 320, 131 dpi).
# ITEM.dll: a Today item built for this platform (64-bit Windows, export 240), registered on the
# device as HKLM\Software\Microsoft\Today\Items\<file name without .dll> and hosted above the
# sample items; --no-samples hosts only these.
set -euo pipefail
src=$(cd "$(dirname "$0")" && pwd)
build=${NIMBRA_BUILD:-$src/build}     # NIMBRA_BUILD: another build directory
source "$src/device/wine-env.sh"
devices=$build/device
profile=portrait
samples=1
dlls=()
for arg in "$@"; do
  case $arg in
    --no-samples) samples=0 ;;
    *.dll|*.DLL)
      [ -f "$arg" ] || { echo "no such item: $arg" >&2; exit 2; }
      dlls+=("$(cd "$(dirname "$arg")" && pwd)/$(basename "$arg")") ;;
    *) profile=$arg ;;
  esac
done
profile_screen "$profile" || { echo "unknown profile $profile (portrait, hires, landscape, dpi131)" >&2; exit 2; }
for dll in "${dlls[@]}"; do # the host is a 64-bit program: a 32-bit item would silently not load
  name=$(basename "${dll%.*}")
  [ ${#name} -le 31 ] || { echo "item name $name: at most 31 characters" >&2; exit 2; }
  pe=$(od -An -tu4 -j60 -N4 "$dll" | tr -d ' ')
  [ "$(od -An -tx2 -j$((pe + 4)) -N2 "$dll" | tr -d ' ')" = 8664 ] ||
    { echo "$dll is not a 64-bit Windows DLL: build it with x86_64-w64-mingw32-g++-posix" >&2; exit 2; }
done
"$src/device/setup.sh" "$build"
prefix=$devices/app                 # the tests' prefixes stay untouched
if [ "$profile" != portrait ]; then prefix=$devices/app-$profile; fi
run=$devices/app-run
export WINEPREFIX=$prefix
shot=$build/screenshot.png

# The items to show: the given ones, then those registered by the plug-ins' .reg files whose
# DLL was built, except the test item.
items=
for dll in "${dlls[@]}"; do items="$items $(basename "${dll%.*}")"; done
if [ $samples -eq 1 ]; then
  for name in $(sed -n 's/^\[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Today\\Items\\\([^]]*\)\]\r\?$/\1/p' \
                  "$src"/plugins/*.reg 2>/dev/null); do
    case $name in *Probe*) continue ;; esac
    if [ -f "$build/bin/plugins/$name.dll" ]; then items="$items $name"; fi
  done
fi
register_items() { # the given DLLs beside the samples, each registered as a Today item
  local dll name order=100 reg
  [ ${#dlls[@]} -gt 0 ] || return 0
  reg=$(mktemp --suffix=.reg)
  printf 'REGEDIT4\n' > "$reg"
  for dll in "${dlls[@]}"; do
    name=$(basename "${dll%.*}")
    cp -f "$dll" "$prefix/drive_c/Program Files/Nimbra/plugins/$name.dll"
    printf '\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Today\\Items\\%s]\n"DLL"="C:\\\\Program Files\\\\Nimbra\\\\plugins\\\\%s.dll"\n' "$name" "$name" >> "$reg"
    printf '"Type"=dword:00000004\n"Enabled"=dword:00000001\n"Order"=dword:%08x\n"Selectability"=dword:00000001\n' $order >> "$reg"
    order=$((order + 1))
  done
  "$WINE" regedit /S "Z:${reg//\//\\}" </dev/null >/dev/null 2>&1
  rm -f "$reg"
}
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
  register_items
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
register_items
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
