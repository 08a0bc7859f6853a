#!/usr/bin/env bash
# The whole installation with the preset destination, in a fresh prefix:
#   - the main dialog sits where its template puts it (window, controls and
#     font checked by the probe; a screenshot checked against the same
#     rectangles and kept as evidence)
#   - Enter in the folder box runs Extract; the dialog closes by itself
#   - every file arrives with its bytes, modification time and read-only bit;
#     the folders too, the empty one included
#   - lumetra.exe was started from the destination
#   - the uninstall key holds DisplayName "Lumetra" and the quoted
#     UninstallString
# and then the product's own uninstaller removes the files and the key.
set -eu
source "$(dirname "$0")/lib.sh"
e2e_begin extract
installer="$WORK/lumetra-setup.exe"
cp "$QEV_E2E_WORK/installer/lumetra-setup.exe" "$installer"
product="$QEV_E2E_WORK/installer/product"
dest="$DRIVE_C/Program Files/Lumetra"
win_dest='C:\Program Files\Lumetra'

start_installer "$installer"
wait_window main >/dev/null
check_geometry main main-dialog

focus main
key Return
probe gone main "$WAIT_WINDOW_MS" >/dev/null || fail "the dialog did not close after the extraction"
[ "$(probe count message)" = 0 ] || fail "a message was shown: $(message_text)"
wait_installer_exit

same_tree "$product" "$dest"
note "every file and folder arrived with its bytes, time and read-only bit"
# The times and attributes as Windows reports them.
probe file "$win_dest\\LICENSE.txt" >"$WORK/license.txt" || fail "LICENSE.txt: $(cat "$WORK/license.txt")"
grep -q '^written 2023-01-02 03:04:06$' "$WORK/license.txt" || fail "LICENSE.txt: $(cat "$WORK/license.txt")"
attributes=$(sed -n 's/^attributes //p' "$WORK/license.txt")
[ $((attributes & 1)) = 1 ] || fail "LICENSE.txt is not read-only: $attributes"
probe file "$win_dest\\docs\\guide.txt" >"$WORK/guide.txt"
grep -q '^written 2024-05-17 10:30:00$' "$WORK/guide.txt" || fail "guide.txt: $(cat "$WORK/guide.txt")"
attributes=$(sed -n 's/^attributes //p' "$WORK/guide.txt")
[ $((attributes & 7)) = 0 ] || fail "guide.txt has attributes $attributes"

# The program was started from the destination (it leaves a note there).
for i in $(seq 100); do
  [ -s "$dest/lumetra-started.txt" ] && break
  sleep 0.1
done
[ -s "$dest/lumetra-started.txt" ] || fail "lumetra.exe was not started"
grep -qF "program: $win_dest\\lumetra.exe" "$dest/lumetra-started.txt" ||
  fail "lumetra.exe started from elsewhere: $(cat "$dest/lumetra-started.txt")"
note "lumetra.exe was started from $win_dest"

display=$(reg_value "$UNINSTALL_KEY" DisplayName) || fail "no DisplayName in $UNINSTALL_KEY"
[ "$display" = Lumetra ] || fail "DisplayName \"$display\""
uninstall=$(reg_value "$UNINSTALL_KEY" UninstallString) || fail "no UninstallString"
[ "$uninstall" = "\"$win_dest\\lumetra.exe\" /uninstall" ] || fail "UninstallString $uninstall"
note "uninstall key: DisplayName $display, UninstallString $uninstall"

# The registered command removes the product again.
(cd "$dest" && wine "$win_dest\\lumetra.exe" /uninstall >/dev/null 2>&1) ||
  fail "the uninstaller failed"
wineserver -w
key_absent || fail "the uninstaller left the uninstall key"
left=$(cd "$dest" 2>/dev/null && find . -mindepth 1 | grep -v '^\./lumetra\.exe$' || true)
[ -z "$left" ] || fail "the uninstaller left: $left"
note "lumetra.exe /uninstall removed the files and the key"
