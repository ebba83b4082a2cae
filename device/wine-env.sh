# Sourced by the device and test scripts: where Wine lives (only the 64-bit loader exists
# here) and the device profiles.
WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}
export WINEDEBUG=${WINEDEBUG:--all}

# profile_screen PROFILE: sets width, height and dpi of the profile's screen; false when unknown.
profile_screen() {
  case $1 in
    portrait)  width=240; height=320; dpi=96 ;;
    hires)     width=480; height=640; dpi=192 ;;
    landscape) width=320; height=240; dpi=96 ;;
    dpi131)    width=240; height=320; dpi=131 ;;
    *) return 1 ;;
  esac
}
