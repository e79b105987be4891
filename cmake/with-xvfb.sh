#!/bin/sh
# Runs a command with a virtual X display (Xvfb) when none is set, so that
# windows and message boxes of Windows programs under Wine can exist.
if [ -n "$DISPLAY" ]; then exec "$@"; fi
if ! command -v Xvfb >/dev/null 2>&1; then
  echo "with-xvfb: Xvfb is not installed" >&2
  exit 1
fi
n=90
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
DISPLAY=":$n" "$@"
status=$?
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
exit $status
