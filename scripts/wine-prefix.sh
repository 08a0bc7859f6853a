#!/usr/bin/env bash
# Makes a Wine prefix, quietly, where there is none yet:
#
#   scripts/wine-prefix.sh PREFIX LOG [--frames]
#
# wineboot runs without a display and without the Mono and Gecko installers;
# its output goes to LOG. A prefix counts as made once its system.reg exists.
# Wine's first start in a new prefix fails now and then on a fresh machine
# (seen once after 1.3 s, with no word), so the creation is tried up to three
# times, each from an empty folder with the prefix's server stopped before.
# --frames: Wine draws window frames itself (a virtual display has no window
# manager, and screenshots should show the captions); checked in user.reg.
# Exits 1 with the reason on standard error when the prefix cannot be made.
set -u
prefix=$1 log=$2 frames=${3:-}
command -v wineboot >/dev/null || { echo "wine is not installed" >&2; exit 1; }
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY

# boot: one attempt at the prefix itself.
boot() {
  [ -f "$prefix/system.reg" ] && return 0
  rm -rf "$prefix" && mkdir -p "$prefix" || return 1
  wineboot -i >"$log" 2>&1
  local status=$?
  wineserver -w
  [ -f "$prefix/system.reg" ] && return 0
  echo "wineboot made no prefix in $prefix (exit $status); the end of $log:" >&2
  tail -n 20 "$log" >&2
  return 1
}

# set_frames: one attempt at the frame setting.
set_frames() {
  grep -qs '"Decorated"="N"' "$prefix/user.reg" && return 0
  local out
  out=$(wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f 2>&1) ||
    { echo "wine reg add failed: $out" >&2; return 1; }
  wineserver -w
  grep -q '"Decorated"="N"' "$prefix/user.reg" && return 0
  echo "the frame setting was not stored in $prefix/user.reg" >&2
  return 1
}

for attempt in 1 2 3; do
  if boot && { [ "$frames" != --frames ] || set_frames; }; then exit 0; fi
  wineserver -k 2>/dev/null
  sleep 2
done
echo "no Wine prefix in $prefix after three attempts" >&2
exit 1
