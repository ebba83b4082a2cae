#!/usr/bin/env bash
# Makes, or quickly refreshes, a Wine prefix that behaves like a Pocket PC of one profile,
# installs the build's programs into it and leaves a persistent wineserver running for it.
#   make-device.sh PREFIX PROFILE BIN_DIR DISPLAY
# PROFILE: portrait (240 x 320, 96 dpi), hires (480 x 640, 192 dpi), landscape (320 x 240,
# 96 dpi), dpi131 (240 x 320, 131 dpi).
#
# Every refresh puts the device back as it was made, whatever a test changed:
#   - the registry of device.reg (colour scheme, Today settings, contacts provider; no soft-key
#     labels) and of the plug-ins' registrations (plugins/*.reg of the source tree);
#   - C:\Program Files\Nimbra: Nimbra.exe, the sample TrayIcons.exe, plugins\*.dll from
#     BIN_DIR/plugins, no settings.ini;
#   - C:\windows: exactly the watermark set drawn by watermarks.sh (other *water* files go);
#   - C:\nimbra-device: the device tools (rotate.exe, findwindow.exe, keeper.exe, the shell
#     shell.exe), no record of program starts (starts.txt), and with NIMBRA_DEVICE_KEEPER=1 the
#     keeper running, so that the screen (the Wine desktop) lives on between programs;
#   - C:\windows: the stand-ins cprog.exe and poutlook.exe; the start-up folder empty;
#   - C:\windows\Fonts: the device's system font Tahoma, from BIN_DIR/fonts.
# Prefixes that share a parent directory are made from one booted prefix, PARENT/base (its system
# DLLs shared by hard links), and share the watermark cache PARENT/watermarks.
set -Eeuo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")
source "$here/wine-env.sh"
# A failed step says which one, so that a prefix that could not be prepared tells why.
trap 'echo "make-device.sh ${2:-}: line $LINENO: \"$BASH_COMMAND\" failed with $?" >&2' ERR
if [ $# -ne 4 ]; then
  echo "usage: make-device.sh PREFIX PROFILE BIN_DIR DISPLAY" >&2
  exit 2
fi
mkdir -p "$(dirname "$1")"
prefix=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
profile=$2
bin=$(cd "$3" && pwd)
export DISPLAY=$4
export WINEPREFIX=$prefix

if ! profile_screen "$profile"; then echo "unknown profile $profile" >&2; exit 2; fi
parent=$(dirname "$prefix")
base=$parent/base
wm_cache=$parent/watermarks
# Prefixes of one parent may be made at the same time: one at a time makes the shared booted
# prefix and the watermark cache (no program started here keeps the lock's descriptor).
(
  flock 9
  if [ ! -f "$prefix/system.reg" ]; then
    if [ ! -f "$base/system.reg" ]; then
      rm -rf "$base"
      WINEPREFIX=$base "$WINE" wineboot -i </dev/null >/dev/null 2>&1 9>&-
      WINEPREFIX=$base "$WINESERVER" -w </dev/null >/dev/null 2>&1 9>&-
    fi
    rm -rf "$prefix"
    # Wine keeps a copy of its system DLLs in every prefix (about 670 MB that nothing here
    # writes): the profiles share the booted prefix's by hard links, and copy the rest.
    mkdir -p "$prefix"
    tar -C "$base" --exclude=./drive_c/windows/system32 --exclude=./drive_c/windows/winsxs -cf - . | tar -C "$prefix" -xf -
    cp -al "$base/drive_c/windows/system32" "$base/drive_c/windows/winsxs" "$prefix/drive_c/windows/"
  fi
  "$here/watermarks.sh" "$wm_cache" > "$prefix.watermarks"
) 9>"$parent/.make-device.lock"

# The desktop's settings: one virtual desktop shared by every process, the profile's size as
# its own size (rotating back to it works only then) and the profile's dpi.
screen_reg() {
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\n"Desktop"="Default"\n\n'
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\n"Default"="%dx%d"\n\n' $width $height
  printf '[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"LogPixels"=dword:%08x\n\n' $dpi
}
# True when the prefix's saved registry already holds them (read with the server stopped).
screen_reg_saved() {
  awk -v want="$(printf 'Explorer|"Desktop"="Default"\nDesktops|"Default"="%dx%d"\nDesktop|"LogPixels"=dword:%08x' $width $height $dpi)" '
    BEGIN { n = split(want, w, "\n"); for (i = 1; i <= n; i++) { split(w[i], kv, "|"); need[kv[1]] = kv[2] } }
    /^\[/ { section = ""
             if ($1 == "[Software\\\\Wine\\\\Explorer]") section = "Explorer"
             if ($1 == "[Software\\\\Wine\\\\Explorer\\\\Desktops]") section = "Desktops"
             if ($1 == "[Control") section = ($2 == "Panel\\\\Desktop]") ? "Desktop" : ""
             next }
    section != "" && $0 == need[section] { found[section] = 1 }
    END { for (k in need) if (!(k in found)) exit 1 }' "$prefix/user.reg"
}

# The desktop settings apply when the server creates the desktop: start from a stopped server.
"$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
"$WINESERVER" -w </dev/null >/dev/null 2>&1 || true

to_windows_path() { local p=${1//\//\\}; echo "Z:$p"; }
reg=$(mktemp --suffix=.reg)
trap 'rm -f "$reg"' EXIT
if ! screen_reg_saved; then
  # First time (or changed): write them with a server of its own, and let it exit so that the
  # next server creates the desktop from them.
  { printf 'REGEDIT4\n\n'; screen_reg; } > "$reg"
  "$WINE" regedit /S "$(to_windows_path "$reg")" </dev/null >/dev/null 2>&1
  "$WINESERVER" -w </dev/null >/dev/null 2>&1
fi

# A persistent server keeps every later Wine process of this prefix fast to start.
# Its standard streams must not be the caller's: a server holding ctest's pipe open would make
# every test wait for it to exit.
"$WINESERVER" -p </dev/null >/dev/null 2>&1

# Files.
install=$prefix/drive_c/Program\ Files/Nimbra
mkdir -p "$install/plugins" "$prefix/drive_c/nimbra-device"
cp -f "$bin/Nimbra.exe" "$install/"
if [ -f "$bin/TrayIcons.exe" ]; then cp -f "$bin/TrayIcons.exe" "$install/"; fi
rm -f "$install/settings.ini"
find "$install/plugins" -maxdepth 1 -type f -iname '*.dll' -delete
if compgen -G "$bin/plugins/*.dll" >/dev/null; then cp -f "$bin"/plugins/*.dll "$install/plugins/"; fi
for t in rotate findwindow keeper shell; do
  if [ -f "$bin/$t.exe" ]; then cp -f "$bin/$t.exe" "$prefix/drive_c/nimbra-device/"; fi
done
rm -f "$prefix/drive_c/nimbra-device/starts.txt"
# The device's system font (see device.reg), from BIN_DIR/fonts (setup.sh unpacks it there).
if compgen -G "$bin/fonts/*.ttf" >/dev/null; then cp -f "$bin"/fonts/*.ttf "$prefix/drive_c/windows/Fonts/"; fi

windows=$prefix/drive_c/windows
for t in cprog poutlook; do
  if [ -f "$bin/$t.exe" ]; then cp -f "$bin/$t.exe" "$windows/"; fi
done
startup="$prefix/drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/StartUp"
if [ -d "$startup" ]; then find "$startup" -mindepth 1 -delete; fi
find "$windows" -maxdepth 1 -type f -iname '*water*' -delete
mapfile -t marks < "$prefix.watermarks"
rm -f "$prefix.watermarks"
(cd "$wm_cache" && cp -f "${marks[@]}" "$windows/")

# Registry: the screen again (a test may have changed it), the device's own values and the
# plug-ins' registrations. REGEDIT4 files are merged without their header line; others (a
# Unicode export) are imported on their own.
others=()
{
  printf 'REGEDIT4\n\n'
  screen_reg
  for f in "$here/device.reg" "$src"/plugins/*.reg; do
    [ -f "$f" ] || continue
    if [ "$(head -c 8 "$f")" = REGEDIT4 ]; then
      sed '1d; s/\r$//' "$f"
      printf '\n'
    else
      others+=("$f")
    fi
  done
} > "$reg"
"$WINE" regedit /S "$(to_windows_path "$reg")" </dev/null >/dev/null 2>&1
for f in "${others[@]}"; do
  "$WINE" regedit /S "$(to_windows_path "$f")" </dev/null >/dev/null 2>&1
done
# regedit, the first program of the new server, has also started the prefix's system processes.
# With NIMBRA_DEVICE_KEEPER=1 a desktop is made now and the keeper holds it from then on (its
# hold file is never deleted), so that the next program starts at once and a rotation made by
# one program lasts after it ends (the run command wants that). Tests run without it: each test
# program gets a desktop of its own (tests/harness/wine-run.sh), as a desktop that lives on
# between test programs carries the pointer, the focus and the z-order of one program into the
# next. It goes with the server.
if [ "${NIMBRA_DEVICE_KEEPER:-0}" = 1 ] && [ -f "$prefix/drive_c/nimbra-device/keeper.exe" ]; then
  desktop_up
fi
