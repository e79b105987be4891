#!/bin/sh
# Runs a Windows executable under Wine, quietly, in the prefix named by
# WINEPREFIX (default: wineprefix/ beside the build's CMakeCache.txt).
if ! command -v wine >/dev/null 2>&1; then
  echo "wine-run: wine is not installed; the Windows build cannot be tested" >&2
  exit 1
fi
export WINEDEBUG=${WINEDEBUG:--all}
if [ -z "$WINEPREFIX" ]; then
  dir=$(pwd)
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  [ "$dir" = / ] && dir=$(pwd)
  export WINEPREFIX="$dir/wineprefix"
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  # One prefix creation at a time; tests started together wait for it.
  flock "$WINEPREFIX/.init.lock" sh -c '[ -f "$WINEPREFIX/system.reg" ] || wine wineboot -i >/dev/null 2>&1'
fi
# Windows of Windows programs need an X display.
if [ -z "$DISPLAY" ]; then exec "$(dirname "$0")/with-xvfb.sh" wine "$@"; fi
exec wine "$@"
