#!/usr/bin/env bash
# Starts an Xvfb on the first free display number and prints the display (":N"), or stops the
# one started for RUN_DIR.
#   xvfb.sh start RUN_DIR      (pid in RUN_DIR/xvfb.pid, display in RUN_DIR/display)
#   xvfb.sh stop RUN_DIR
# A display whose lock file names a process that no longer runs (left by a crash) is cleaned
# up and reused. The server runs in a session of its own with no stream of the caller's, so a
# caller whose output is read through a pipe (ctest) is never kept waiting by it.
set -euo pipefail
action=$1
run=$2
mkdir -p "$run"

is_our_xvfb() { # pid display -> true when it is a running Xvfb of that display
  [ -n "$1" ] && [ -n "$2" ] && [ -r "/proc/$1/cmdline" ] &&
    tr '\0' ' ' < "/proc/$1/cmdline" | grep -q "^[^ ]*Xvfb $2 "
}

stop() {
  local pid
  pid=$(cat "$run/xvfb.pid" 2>/dev/null || true)
  # Only the server this run dir started: a pid reused by another run's server is left alone.
  if is_our_xvfb "$pid" "$(cat "$run/display" 2>/dev/null)"; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 40); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    kill -9 "$pid" 2>/dev/null || true
  fi
  rm -f "$run/xvfb.pid" "$run/display"
}

case $action in
  stop) stop; exit 0 ;;
  start) stop ;;
  *) echo "usage: xvfb.sh start|stop RUN_DIR" >&2; exit 2 ;;
esac

for n in $(seq 91 199); do
  lock=/tmp/.X$n-lock
  if [ -e "$lock" ]; then
    owner=$(tr -d ' \n' 2>/dev/null < "$lock" || true)
    if [ -n "$owner" ] && kill -0 "$owner" 2>/dev/null; then continue; fi
    rm -f "$lock" "/tmp/.X11-unix/X$n"          # left behind by a server that died
  fi
  [ -e "/tmp/.X11-unix/X$n" ] && continue
  setsid Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
  started=$!
  pid=
  for _ in $(seq 1 100); do
    # Ours when the lock names our process (a script has no job control: setsid does not fork).
    pid=$(tr -d ' \n' 2>/dev/null < "$lock" || true)
    [ "$pid" = "$started" ] && [ -e "/tmp/.X11-unix/X$n" ] && break
    pid=
    kill -0 $started 2>/dev/null || break
    sleep 0.05
  done
  if [ -n "$pid" ]; then
    echo "$pid" > "$run/xvfb.pid"
    echo ":$n" > "$run/display"
    echo ":$n"
    exit 0
  fi
  kill $started 2>/dev/null || true             # lost a race for this number: try the next
done
echo "no free X display" >&2
exit 1
