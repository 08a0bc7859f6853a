#!/usr/bin/env bash
# Installing over earlier files, and replacements that fail. A member that
# replaces a file is written under a temporary name beside its final one (its
# last character replaced by a digit) and put in place only once its check
# passed, so an earlier file survives whatever happens to its replacement.
#   1. Over read-only, hidden and system files: each is replaced without a
#      word, and then has the member's attributes.
#   2. Cancel pressed while the overwrite question is up, then Yes: the file
#      stays, the extraction ends, nothing is registered.
#   3. A damaged member: "fails error check"; the file it was to replace stays.
#   4. A disk that takes no more bytes (the process's file size limit) while
#      a large member is written: "Cannot write"; the file stays, and no
#      temporary file is left.
# (The installer killed while a member is written: cancel.sh.)
set -eu
source "$(dirname "$0")/lib.sh"
e2e_begin reinstall
product="$QEV_E2E_WORK/installer/product"
installer="$QEV_E2E_WORK/installer/lumetra-setup.exe"
dest="$DRIVE_C/Program Files/Lumetra"
win_dest='C:\Program Files\Lumetra'
wineserver -p   # started here, so that no limit below reaches it

fresh_destination() {
  chmod -R u+w "$dest" 2>/dev/null || true
  rm -rf "$dest"
  mkdir -p "$dest"
  wine reg delete "$UNINSTALL_KEY" /f >/dev/null 2>&1 || true
}

# attributes PATH: the attribute bits as Windows reports them.
attributes() { probe file "$1" | sed -n 's/^attributes //p'; }

# 1. Read-only, hidden and system.
fresh_destination
mkdir -p "$dest/data" "$dest/docs"
for f in README.txt data/settings.ini docs/guide.txt; do echo "old $f" >"$dest/$f"; done
wine attrib +r "$win_dest\\README.txt" >/dev/null 2>&1
wine attrib +h "$win_dest\\data\\settings.ini" >/dev/null 2>&1
wine attrib +s "$win_dest\\docs\\guide.txt" >/dev/null 2>&1
[ $(($(attributes "$win_dest\\README.txt") & 1)) = 1 ] || fail "README.txt was not made read-only"
[ $(($(attributes "$win_dest\\data\\settings.ini") & 2)) = 2 ] || fail "settings.ini was not made hidden"
[ $(($(attributes "$win_dest\\docs\\guide.txt") & 4)) = 4 ] || fail "guide.txt was not made a system file"
start_installer "$installer"
wait_window main >/dev/null
click main 108
probe gone main "$WAIT_WINDOW_MS" >/dev/null || fail "the dialog did not close"
[ "$(probe count message)" = 0 ] || fail "a message was shown: $(message_text)"
wait_installer_exit
same_tree "$product" "$dest"
for f in 'README.txt' 'data\settings.ini' 'docs\guide.txt'; do
  [ $(($(attributes "$win_dest\\$f") & 7)) = 0 ] || fail "$f kept attributes $(attributes "$win_dest\\$f")"
done
[ $(($(attributes "$win_dest\\LICENSE.txt") & 7)) = 1 ] || fail "LICENSE.txt is not read-only"
note "read-only, hidden and system files were replaced and have the members' attributes"

# 2. Cancel at the question, then Yes.
fresh_destination
echo "an older readme" >"$dest/README.txt"
start_installer "$installer"
wait_window main >/dev/null
click main 106
click main 108
wait_window prompt >/dev/null
case $(control_text prompt 107) in *README.txt*) ;; *) fail "unexpected question: $(control_text prompt 107)" ;; esac
click main 104   # Cancel in the main dialog, while the question is up
click prompt 109 # Yes
probe gone main "$WAIT_WINDOW_MS" >/dev/null || fail "the dialog did not end after Cancel"
wait_installer_exit 1
[ "$(cat "$dest/README.txt")" = "an older readme" ] || fail "README.txt was replaced after Cancel"
# Nothing that the archive holds after README.txt was extracted (the order is
# the packer's, read from the listing).
after=$("$QEV_HOST_TOOL" list "$installer" | awk '{print $NF}' | sed -n '/^README.txt$/,$p' | tail -n +2)
[ -n "$after" ] || fail "the listing holds no member after README.txt"
for m in $after; do [ ! -e "$dest/$m" ] || fail "extracted after Cancel: $m"; done
[ -e "$dest/LICENSE.txt" ] || fail "LICENSE.txt, before README.txt, was not extracted"
key_absent || fail "the uninstall key was written after Cancel"
note "Cancel during the question, then Yes: README.txt kept, nothing after it"

# 3. A damaged member: a byte of its data, stored as it stands at level 0.
src="$WORK/src"
mkdir -p "$src"
printf 'marker %s\n' "$(head -c 48 /dev/urandom | base64 -w 0)" >"$src/marker.txt"
head -c 12000000 /dev/urandom >"$src/big.bin"
"$QEV_HOST_TOOL" pack "$src" -o "$WORK/stored.exe" --stub "$QEV_STUB" --level 0 >/dev/null ||
  fail "qev pack failed"
at=$(grep -obUaF "$(cut -c1-40 "$src/marker.txt")" "$WORK/stored.exe" | head -1 | cut -d: -f1)
[ -n "$at" ] || fail "the marker's bytes were not found in the installer"
printf 'M' | dd of="$WORK/stored.exe" bs=1 seek="$at" conv=notrunc status=none
fresh_destination
echo "old marker" >"$dest/marker.txt"
start_installer "$WORK/stored.exe"
wait_window main >/dev/null
click main 108
wait_message
[ "$MSG_TEXT" = "File \"$win_dest\\marker.txt\" fails error check" ] || fail "message: $MSG_TEXT"
focus message
key Return
wait_installer_exit 1
[ "$(cat "$dest/marker.txt")" = "old marker" ] || fail "marker.txt was lost to its damaged replacement"
cmp -s "$src/big.bin" "$dest/big.bin" || fail "big.bin, after the damaged member, did not arrive"
note "a damaged member left the file it was to replace as it was"

# 4. No room for more bytes. The limit holds for the installer alone.
fresh_destination
echo "old big" >"$dest/big.bin"
rm -f "$WORK/installer.rc"
(
  cd "$WORK"
  trap '' XFSZ
  ulimit -f 8192
  set +e
  wine "$WORK/stored.exe" >"$WORK/installer.log" 2>&1
  echo $? >"$WORK/installer.rc"
) &
INSTALLER_PID=$!
wait_window main >/dev/null
click main 108
wait_message
case $MSG_TEXT in "Cannot write $win_dest\\big.bin"*) ;; *) fail "message: $MSG_TEXT" ;; esac
expect_box OK yes
focus message
key Return
wait_installer_exit 1
[ "$(cat "$dest/big.bin")" = "old big" ] || fail "big.bin was lost when the disk took no more"
[ ! -e "$dest/big.bi0" ] || fail "the temporary file was left behind"
note "a write that failed (\"${MSG_TEXT//\\n/ }\") left big.bin as it was"

rm -rf "$src" "$WORK/stored.exe"
