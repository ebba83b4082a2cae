#!/usr/bin/env bash
# Saves pictures of the settings dialog on the emulated device: for each profile one picture of
# its four pages side by side (OUT/settings-PROFILE.png), and for the portrait screen one of the
# Plugins and Settings pages after the screen turned to landscape with the dialog open
# (OUT/settings-turned.png). Nimbra starts with no item configured, so the dialog opens at once;
# the tabs are tapped as a user would. Needs a build (run.sh or test.sh makes one).
#   settings-screens.sh BUILD_DIR OUT_DIR [PROFILE ...]     (default: all four profiles)
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
shift 2
profiles=${*:-portrait hires landscape dpi131}
source "$src/device/wine-env.sh"

shoot_profile() {
  local profile=$1 prefix run display pages=() i x y
  profile_screen "$profile"
  prefix=$build/device/screens-$profile
  run=$build/device/screens-run-$profile
  mkdir -p "$run"
  display=$("$src/device/xvfb.sh" start "$run")
  export DISPLAY=$display WINEPREFIX=$prefix
  NIMBRA_DEVICE_KEEPER=1 "$src/device/make-device.sh" "$prefix" "$profile" "$build/bin" "$display" >/dev/null
  printf 'Plugins = 0::\nTitle = Start\n' | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } \
    > "$prefix/drive_c/Program Files/Nimbra/settings.ini"
  tool() { (cd "$prefix/drive_c" && "$WINE" "C:\\nimbra-device\\$1.exe" "${@:2}"); }
  (cd "$prefix/drive_c" && exec setsid "$WINE" 'C:\nimbra-device\shell.exe') </dev/null >/dev/null 2>&1 &
  tool findwindow DesktopExplorerWindow 60000 >/dev/null && tool findwindow NimbraNavigationBar 10000 >/dev/null
  (cd "$prefix/drive_c" && exec setsid "$WINE" 'C:\Program Files\Nimbra\Nimbra.exe') </dev/null >/dev/null 2>&1 &
  tool findwindow NimbraClass 60000 >/dev/null
  sleep 3
  # The tabs lie along the dialog's bottom, just above its menu bar: a tap on the first, then
  # the Right key to each further one (the tabs may not all fit the screen's width).
  y=$((height - 26 * dpi / 96 - 9 * dpi / 96))
  for i in 0 1 2 3; do
    xdotool mousemove --sync $((10 * dpi / 96)) $y click 1
    if [ $i -gt 0 ]; then xdotool key --repeat $i --delay 200 Right; fi
    sleep 1
    import -display "$display" -window root -crop "${width}x$height+0+0" +repage "$run/page$i.png"
    pages+=("$run/page$i.png")
  done
  convert "${pages[@]}" -bordercolor gray -border 2 +append "$out/settings-$profile.png"
  if [ "$profile" = portrait ]; then
    xdotool key --repeat 3 --delay 200 Left
    sleep 1
    tool rotate 320x240 >/dev/null
    sleep 2
    import -display "$display" -window root -crop 320x240+0+0 +repage "$run/turned0.png"
    xdotool key Right
    sleep 1
    import -display "$display" -window root -crop 320x240+0+0 +repage "$run/turned1.png"
    convert "$run/turned0.png" "$run/turned1.png" -bordercolor gray -border 2 +append "$out/settings-turned.png"
    tool rotate 240x320 >/dev/null || true
  fi
  "$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
  timeout 30 "$WINESERVER" -w </dev/null >/dev/null 2>&1 || true
  "$src/device/xvfb.sh" stop "$run"
}

for profile in $profiles; do
  shoot_profile "$profile"
  echo "$out/settings-$profile.png"
done
