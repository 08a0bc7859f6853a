#!/usr/bin/env bash
# The demo installer: packs the sample product into build-win/lumetra-setup.exe
# with build/qev and the stub, runs it under Wine, and shows the extracted
# tree and the uninstall entry.
#
# On a virtual display (Xvfb: the one demo.sh starts, or one started here when
# there is no display at all) it presses Extract for the user and keeps a
# screenshot of the dialog in build-win/demo/. On a real display (the user's,
# passed as QEV_USER_DISPLAY or found in DISPLAY) the dialog appears there and
# the user presses Extract.
#
# Expects both trees built (demo.sh builds them). Uses the Windows tree's Wine
# prefix (build-win/wineprefix); an earlier demo installation in it is removed
# first, so that what is shown comes from this run.
set -uo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/xvfb.sh"
HOST="${QEV_HOST_TREE:-$ROOT/build}"     # the trees, as demo.sh builds them
WIN="${QEV_WIN_TREE:-$ROOT/build-win}"
QEV="$HOST/qev"
STUB="$WIN/qevstub.exe"
PROBE="$WIN/tests/e2e/probe.exe"
DEMO="$WIN/demo"
SETUP="$WIN/lumetra-setup.exe"
TITLE="Lumetra Installation"
KEY='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Lumetra'

export WINEPREFIX="${WINEPREFIX:-$WIN/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

say() { echo "  $*"; }
fail() {
  say "$*"
  exit 1
}

for f in "$QEV" "$STUB" "$WIN/product/lumetra.exe"; do
  [ -f "$f" ] || fail "$f is not built: the demo installer cannot be made"
done

# --- the installer ---------------------------------------------------------
mkdir -p "$DEMO"
"$ROOT/scripts/stage-product.sh" "$WIN" "$DEMO/product" || fail "staging the product failed"
say "sample product staged in ${DEMO#"$ROOT"/}/product ($(find "$DEMO/product" -type f | wc -l) files)"
say "\$ build/qev pack ${DEMO#"$ROOT"/}/product -o build-win/lumetra-setup.exe --stub build-win/qevstub.exe"
"$QEV" pack "$DEMO/product" -o "$SETUP" --stub "$STUB" 2>&1 | sed 's/^/    /'
[ "${PIPESTATUS[0]}" = 0 ] || fail "qev pack failed"
say "installer: $(stat -c %s "$SETUP") bytes (stub $(stat -c %s "$STUB") bytes)"

# --- where it runs -----------------------------------------------------------
# is_virtual DISPLAY: true when the display is served by Xvfb (one that
# xvfb_start started, found by the
# display's lock file, or by an Xvfb process started for that display).
is_virtual() {
  [ "$1" = "${QEV_VIRTUAL_DISPLAY:-}" ] && return 0
  local n=${1#:} pid
  n=${n%%.*}
  if [ -r "/tmp/.X$n-lock" ]; then
    pid=$(tr -d ' ' <"/tmp/.X$n-lock")
    [ -n "$pid" ] && tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q Xvfb && return 0
  fi
  for pid in $(pgrep -x Xvfb); do
    tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -Eq "(^| ):$n( |$)" && return 0
  done
  return 1
}

OWN_XVFB=
if [ -n "${QEV_USER_DISPLAY:-}" ]; then
  export DISPLAY=$QEV_USER_DISPLAY
fi
if [ -z "${DISPLAY:-}" ]; then
  xvfb_start "$DEMO" || fail "Xvfb did not start"
  OWN_XVFB=$XVFB_PID
fi
stop_own_display() {
  [ -n "$OWN_XVFB" ] || return 0
  wineserver -w 2>/dev/null
  kill "$OWN_XVFB" 2>/dev/null
  wait "$OWN_XVFB" 2>/dev/null
}
trap stop_own_display EXIT
if [ -n "$OWN_XVFB" ] || is_virtual "$DISPLAY"; then
  virtual=1
else
  virtual=0
fi

# A Wine prefix of the tree's own, made quietly when missing. On a virtual
# display, which has no window manager, Wine draws the frames itself, so the
# screenshot shows the caption.
frames=
[ $virtual = 0 ] || frames=--frames
bash "$ROOT/scripts/wine-prefix.sh" "$WINEPREFIX" "$WINEPREFIX.log" $frames || exit 1

drive_c="$WINEPREFIX/drive_c"
for old in "$drive_c/Program Files/Lumetra" "$drive_c/Lumetra"; do
  if [ -d "$old" ]; then
    chmod -R u+w "$old"
    rm -rf "$old"
  fi
done
wine reg delete "$KEY" /f >/dev/null 2>&1

# probe ARGS: the e2e tests' window probe, when it is built.
probe() {
  [ -f "$PROBE" ] || return 1
  probe_window "$PROBE" /dev/null "$@"
}

# --- the run -------------------------------------------------------------------
(cd "$WIN" && wine "$SETUP") >"$DEMO/installer.log" 2>&1 &
pid=$!
if [ $virtual = 1 ]; then
  say "running build-win/lumetra-setup.exe under Wine on the virtual display $DISPLAY"
  if probe wait main 60000 >/dev/null; then
    import -window root "$DEMO/installer-dialog.png" 2>/dev/null &&
      say "the dialog: screenshot ${DEMO#"$ROOT"/}/installer-dialog.png"
    say "folder: $(probe controls main | awk -F'\t' '$1 == 101 { print $4 }')"
    xy=$(probe where main 108)
    say "pressing Extract"
    # shellcheck disable=SC2086
    xdotool mousemove --sync $xy click 1
  else
    # Without the probe: the first window of the installer gets Enter, which
    # presses the default button, Extract.
    wid=$(timeout 60 xdotool search --sync --onlyvisible --name "$TITLE" 2>/dev/null | head -1)
    [ -n "$wid" ] || fail "the installer showed no window"
    sleep 1
    import -window root "$DEMO/installer-dialog.png" 2>/dev/null &&
      say "the dialog: screenshot ${DEMO#"$ROOT"/}/installer-dialog.png"
    say "pressing Extract (Enter)"
    xdotool windowfocus --sync "$wid" key Return 2>/dev/null
  fi
  for _ in $(seq 1200); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    import -window root "$DEMO/installer-stuck.png" 2>/dev/null
    kill "$pid" 2>/dev/null
    fail "the installer did not end within two minutes (screenshot ${DEMO#"$ROOT"/}/installer-stuck.png)"
  fi
else
  say "running build-win/lumetra-setup.exe under Wine on your display $DISPLAY:"
  say "press Extract in the dialog \"$TITLE\""
fi
wait "$pid"
say "exit code: $?"

# --- what it did ---------------------------------------------------------------
dest=
for d in "$drive_c/Program Files/Lumetra" "$drive_c/Lumetra"; do
  [ -d "$d" ] && dest=$d && break
done
if [ -z "$dest" ]; then
  say "nothing was extracted into C:\\Program Files\\Lumetra or C:\\Lumetra"
else
  say "extracted tree ($(winepath -w "$dest" 2>/dev/null), in ${dest#"$ROOT"/}):"
  (cd "$dest" && find . -mindepth 1 | sort | while read -r p; do
    p=${p#./}
    if [ -d "$p" ]; then
      printf '    %s/\n' "$p"
    else
      ro=
      [ -n "$(find "$p" -perm /222)" ] || ro=" read-only"
      printf '    %-32s %10s  %s%s\n' "$p" "$(stat -c %s "$p")" "$(date -r "$p" '+%Y-%m-%d %H:%M:%S')" "$ro"
    fi
  done)
  for _ in $(seq 50); do
    [ -s "$dest/lumetra-started.txt" ] && break
    sleep 0.1
  done
  if [ -s "$dest/lumetra-started.txt" ]; then
    say "lumetra.exe was started; its note lumetra-started.txt:"
    tr -d '\r' <"$dest/lumetra-started.txt" | sed 's/^/    /'
  else
    say "lumetra.exe did not leave its note (not started)"
  fi
fi
say "\$ wine reg query '$KEY'"
wine reg query "$KEY" 2>&1 | tr -d '\r' | sed '/^$/d; s/^/    /'
