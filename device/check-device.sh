#!/usr/bin/env bash
# Checks a device prefix that env.sh prepared, as Wine sees it: screen size and dpi, the
# registry defaults, the dialog font, the installed files and the watermark set. With
# --rotate-and-refresh it first turns the screen both ways, then spoils what tests are allowed
# to change (registry values, watermark files, the settings file, the screen left rotated) and
# refreshes the prefix, so the checks show that a refresh puts the device back.
#   check-device.sh BUILD_DIR PROFILE [--rotate-and-refresh]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh"
build=$(cd "$1" && pwd)
profile=$2
export WINEPREFIX=$build/device/$profile
DISPLAY=$(cat "$build/device/run/display") || exit 1
export DISPLAY
cd "$WINEPREFIX/drive_c"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() { # what, expected, actual
  if [ "$2" = "$3" ]; then echo "ok: $1 = $3"; else fail "$1: expected '$2', got '$3'"; fi
}
w() { "$WINE" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
reg_value() { # key, value name -> "TYPE DATA", empty when absent
  w reg query "$1" /v "$2" | awk -v n="$2" '$1 == n { $1 = ""; sub(/^ +/, ""); print }'
}
reg_key_exists() { "$WINE" reg query "$1" </dev/null >/dev/null 2>&1; }

profile_screen "$profile" || { echo "unknown profile $profile"; exit 2; }
size=${width}x$height
rotate() { w 'C:\nimbra-device\rotate.exe' "$@"; }
color=HKLM\\Software\\Microsoft\\Color
today=HKCU\\Software\\Microsoft\\Today
windows=$WINEPREFIX/drive_c/windows
install=$WINEPREFIX/drive_c/Program\ Files/Nimbra

# The commands below run on one desktop, made before the first (see desktop_up in wine-env.sh).
if [ "${3:-}" = --rotate-and-refresh ]; then
  desktop_up || exit 1
  expect "turned to landscape" "320x240" "$(rotate 320x240)"
  expect "turned back to portrait" "240x320" "$(rotate 240x320)"
  expect "swapped" "320x240" "$(rotate swap)"
  rotate "$size" >/dev/null

  w reg add "$color" /v 4 /t REG_DWORD /d 255 /f >/dev/null
  w reg add "$color" /v 35 /t REG_DWORD /d 0 /f >/dev/null
  w reg add "$today" /v UseStartImage /t REG_DWORD /d 1 /f >/dev/null
  w reg add "$today\\Keys\\112" /ve /d Phone2 /f >/dev/null
  w reg add "$today\\Keys\\113" /v Open /d 'x.exe' /f >/dev/null
  rm -f "$windows/tdywater_240_320.png"
  touch "$windows/TDYWATER_240_320.JPG" "$windows/stwater_1_1.png"
  printf '\xff\xfe' > "$install/settings.ini"
  desktop_down
  "$here/make-device.sh" "$WINEPREFIX" "$profile" "$build/bin" "$DISPLAY" || fail "refresh failed"
fi

desktop_up || exit 1
expect "screen and dpi" "$size $dpi" "$(rotate)"

shcolor=$(reg_value "$color" SHColor)
expect "SHColor type and length" "REG_BINARY 288" "${shcolor%% *} $(( ${#shcolor} - 11 ))"
hex=${shcolor#REG_BINARY }
entry() { echo "${hex:$(( $1 * 8 )):8}"; }
expect "Today text colour (entry 4)" 00000000 "$(entry 4)"
expect "separator colour (entry 6)" 7B9EC600 "$(entry 6)"
expect "highlight colour (entry 34)" 316AC500 "$(entry 34)"
expect "highlighted text colour (entry 35)" FFFFFF00 "$(entry 35)"
for v in 4 6 34 35; do expect "colour override $v" "" "$(reg_value "$color" $v)"; done
expect "UseStartImage" "REG_DWORD 0x0" "$(reg_value "$today" UseStartImage)"
for k in 112 113; do
  if reg_key_exists "$today\\Keys\\$k"; then fail "soft-key key $k exists"; else echo "ok: no soft-key key $k"; fi
done
expect "contacts provider" "REG_SZ Contacts" "$(reg_value 'HKLM\System\ActiveSync\Engines\{176F4FFD-F20C-4bd4-BDD7-01D0726C567B}\Providers\{0dd8685c-e272-4fcb-9ecf-2ead7ea2497b}' Name)"
fonts='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
for face in "MS Sans Serif" System "MS Shell Dlg"; do
  expect "dialog face $face" "$face REG_SZ Tahoma" "$(w reg query "$fonts" /v "$face" | grep -F "$face" | xargs)"
done
for name in $(sed -n 's/^\[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Today\\Items\\\([^]]*\)\]\r\?$/\1/p' "$here"/../plugins/*.reg 2>/dev/null); do
  dll=$(reg_value "HKLM\\Software\\Microsoft\\Today\\Items\\$name" DLL)
  expect "item $name" "REG_SZ C:\\Program Files\\Nimbra\\plugins\\$name.dll" "$dll"
done
desktop_down

[ -f "$install/Nimbra.exe" ] && echo "ok: Nimbra.exe installed" || fail "Nimbra.exe missing"
expect "system font" "tahoma.ttf tahomabd.ttf" "$(cd "$windows/Fonts" && ls tahoma*.ttf 2>/dev/null | sort | xargs)"
[ -e "$install/settings.ini" ] && fail "settings.ini left in the install folder" || echo "ok: no settings.ini"
expect "plug-in DLLs" "$(cd "$build/bin/plugins" 2>/dev/null && ls *.dll 2>/dev/null | sort | xargs)" \
  "$(cd "$install/plugins" && ls *.dll 2>/dev/null | sort | xargs)"

# The watermarks: exactly one file per family and size, each of the size its name gives, told
# apart by their top-left colours, and all four formats in use.
expected=$(cd "$build/device/watermarks" && ls *water* | sort | xargs)
expect "watermark files" "$expected" "$(cd "$windows" && find . -maxdepth 1 -iname '*water*' -printf '%f\n' | sort | xargs)"
expect "watermark count" 16 "$(echo $expected | wc -w)"
corners=""
for f in $expected; do
  dims=$(identify -format '%wx%h' "$windows/$f" 2>/dev/null)
  case $f in
    *_240_320.*) want=240x320 ;; *_480_640.*) want=480x640 ;; *_320_240.*) want=320x240 ;; *) want=240x320 ;;
  esac
  [ "$dims" = "$want" ] || fail "$f is $dims, not $want"
  corners="$corners $(convert "$windows/$f" -format '%[pixel:p{0,0}]' info: 2>/dev/null)"
done
expect "distinct top-left colours" 16 "$(echo $corners | tr ' ' '\n' | sort -u | wc -l)"
expect "formats" "bmp gif jpg png" "$(echo $expected | tr ' ' '\n' | sed 's/.*\.//' | sort -u | xargs)"

if [ $failures -ne 0 ]; then echo "$failures check(s) failed"; exit 1; fi
echo "device $profile is as made"
