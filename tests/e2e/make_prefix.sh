#!/usr/bin/env bash
# Makes the template Wine prefix that every end-to-end test copies, once per
# build tree: created quietly (no Mono or Gecko installers), with Wine drawing
# window frames itself (the virtual display has no window manager, and the
# screenshots should show the captions). Kept until the build tree is removed;
# no test runs in it.
set -eu
template="$QEV_E2E_WORK/prefix-template"
[ -f "$template/.complete" ] && exit 0
command -v wineboot >/dev/null || { echo "FAIL: wine is not installed" >&2; exit 1; }
rm -rf "$template"
mkdir -p "$template"
export WINEPREFIX="$template" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
wineboot -i >"$QEV_E2E_WORK/wineboot.log" 2>&1 || true
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
wineserver -w
[ -f "$template/system.reg" ] || { echo "FAIL: wineboot made no prefix (log: $QEV_E2E_WORK/wineboot.log)" >&2; exit 1; }
grep -q '"Decorated"="N"' "$template/user.reg" || { echo "FAIL: the frame setting was not stored" >&2; exit 1; }
touch "$template/.complete"
echo "template prefix ready: $template"
