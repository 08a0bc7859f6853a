#!/bin/sh
# Runs one Windows program under Wine; ctest uses it as the cross-compiling
# emulator of the Windows tree, so each test program runs as
#   wine-run.sh PREFIX PROGRAM.exe ARGS...
# PREFIX is the tree's own Wine prefix (WINEPREFIX in the environment wins). It
# is created on first use by scripts/wine-prefix.sh (two tests starting at
# once create it once: the creation holds a lock).
# Programs that show windows need an X display: the one in DISPLAY, or else a
# private virtual one started for this run with xvfb-run. Wine's own debug
# output is off; the program's output and exit status pass through.
set -e
prefix=$1
shift
export WINEPREFIX="${WINEPREFIX:-$prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    bash "$(dirname "$0")/../scripts/wine-prefix.sh" "$WINEPREFIX" "$WINEPREFIX.log"
  ) 9>"$WINEPREFIX.lock"
fi

if [ -z "$DISPLAY" ] && command -v xvfb-run >/dev/null 2>&1; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" wine "$@"
fi
exec wine "$@"
