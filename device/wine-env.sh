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

# The virtual desktop of $WINEPREFIX on $DISPLAY, made before a program starts. A program that
# finds no desktop starts one itself and waits at most 10 s for it; if it is not up by then, the
# program cannot create a single top-level window (see device/keeper.cpp). On a busy machine the
# test programs' own desktops took up to 10.7 s from the program's start. desktop_up starts explorer.exe /desktop, which makes the desktop and then
# runs the keeper on it, and returns once the keeper holds it: programs started afterwards find
# it up. desktop_down closes it and waits until it is gone, so the next program gets a new one.
# Both need C:\nimbra-device\keeper.exe in the prefix.
# Measured: 0.3-0.4 s on a quiet machine, 1.2-2 s with eight busy processes beside it.
DESKTOP_UP_SECONDS=${NIMBRA_DESKTOP_UP_SECONDS:-120}
DESKTOP_GONE_SECONDS=30

# desktop_processes: the pids of the prefix's desktops (explorer.exe; Wine shows a process's
# command line as its Windows one).
desktop_processes() {
  local f pid
  for f in $(grep -lasF 'explorer.exe' /proc/[0-9]*/cmdline 2>/dev/null); do
    pid=${f#/proc/}
    pid=${pid%/cmdline}
    if { tr '\0' '\n' < "/proc/$pid/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
      [ "$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null)" = Z ] || echo "$pid"
    fi
  done
}

# desktop_up: sets desktop_pid (explorer's) and desktop_hold (the keeper's hold file); false with a
# message when the desktop was not up in time.
desktop_up() {
  local deadline
  desktop_hold=$WINEPREFIX/drive_c/nimbra-device/desktop.held
  rm -f "$desktop_hold"
  # A desktop still closing after the last program of a script that ran before (Wine closes it a
  # second after that program ended) would take explorer in: let it go first.
  deadline=$((SECONDS + DESKTOP_GONE_SECONDS))
  while [ -n "$(desktop_processes)" ] && [ $SECONDS -lt $deadline ]; do sleep 0.05; done
  # No stream of the caller's: a desktop holding ctest's pipe would make the test wait for it.
  (cd "$WINEPREFIX/drive_c" && exec setsid "$WINE" 'C:\windows\system32\explorer.exe' /desktop \
     'C:\nimbra-device\keeper.exe' 'C:\nimbra-device\desktop.held') </dev/null >/dev/null 2>&1 &
  desktop_pid=$!
  deadline=$((SECONDS + DESKTOP_UP_SECONDS))
  until [ -f "$desktop_hold" ]; do
    if [ $SECONDS -ge $deadline ]; then
      echo "the desktop of $WINEPREFIX was not up within $DESKTOP_UP_SECONDS s" >&2
      desktop_down
      return 1
    fi
    sleep 0.05
  done
}

# desktop_down: the keeper sees its file gone, closes the desktop and ends; explorer then exits.
desktop_down() {
  local deadline=$((SECONDS + DESKTOP_GONE_SECONDS))
  rm -f "$desktop_hold"
  while kill -0 "$desktop_pid" 2>/dev/null && [ "$(awk '{print $3}' "/proc/$desktop_pid/stat" 2>/dev/null)" != Z ]; do
    if [ $SECONDS -ge $deadline ]; then kill -9 "$desktop_pid" 2>/dev/null; break; fi
    sleep 0.02
  done
  wait "$desktop_pid" 2>/dev/null || true
}
