#!/usr/bin/env bash
# Starts an Xvfb on the first free display number and prints the display (":N").
#   xvfb.sh start RUN_DIR      (pid in RUN_DIR/xvfb.pid, display in RUN_DIR/display)
set -euo pipefail
run=$2
mkdir -p "$run"
for n in $(seq 91 199); do
  [ -e /tmp/.X$n-lock ] && continue
  [ -e /tmp/.X11-unix/X$n ] && continue
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 1 100); do
    [ -e /tmp/.X11-unix/X$n ] && break
    kill -0 $pid 2>/dev/null || break
    sleep 0.05
  done
  if [ -e /tmp/.X11-unix/X$n ] && kill -0 $pid 2>/dev/null; then
    echo $pid > "$run/xvfb.pid"
    echo ":$n" > "$run/display"
    echo ":$n"
    exit 0
  fi
done
echo "no free X display" >&2
exit 1
