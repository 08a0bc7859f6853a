#!/usr/bin/env bash
# A hostile installer (made by forge_installer: the packer refuses such
# names) meets a destination in which symbolic links were planted
# beforehand, as any local user can plant them in a folder that he created
# first. Wine shows a Unix link to a file as that file, a link to a folder as
# a folder with the reparse-point attribute, and a dangling link not at all.
#   - file.txt, a link to a file outside: the member (read-only) replaces the
#     link; the file outside keeps its bytes and stays writable
#   - new.txt, a link that leads nowhere: the member replaces it; nothing is
#     created outside
#   - docs, a link to a folder outside: docs\readme.txt is refused ("Cannot
#     create", OK goes on), the folder entry docs ends the extraction ("Cannot
#     create folder"); nothing appears outside
#   - device names (NUL .txt, sub\COM1.log, lpt1, CONOUT$.log): never
#     opened, the archive is reported damaged after the loop
#   - a name too long for the destination (its path would pass 259
#     characters): "Cannot create" with as much of the path as fits and
#     "Invalid path", OK goes on
set -eu
source "$(dirname "$0")/lib.sh"
e2e_begin hostile
[ -x "$QEV_FORGE" ] || fail "forge_installer is missing: build the host tree first"
dest="$DRIVE_C/Program Files/Lumetra"
win_dest='C:\Program Files\Lumetra'
outside="$WORK/outside"
mkdir -p "$outside/folder" "$dest" "$WORK/data"
echo precious >"$outside/victim.txt"
chmod 644 "$outside/victim.txt"
ln -s "$outside/victim.txt" "$dest/file.txt"
ln -s "$outside/created.txt" "$dest/new.txt"
ln -s "$outside/folder" "$dest/docs"
for f in one two three device; do echo "member $f" >"$WORK/data/$f"; done

# 240 characters, 265 with the destination; spaces let the message wrap.
long="deep\\$(printf 'part of a long name %.0s' $(seq 12) | cut -c1-235)"
installer="$WORK/hostile-setup.exe"
"$QEV_FORGE" "$QEV_STUB" "$installer" \
  "file.txt=$WORK/data/one=21" "new.txt=$WORK/data/two" \
  "NUL .txt=$WORK/data/device" 'sub\COM1.log'="$WORK/data/device" "lpt1=$WORK/data/device" \
  'CONOUT$.log'="$WORK/data/device" "$long=$WORK/data/device" \
  'docs\readme.txt'="$WORK/data/three" "docs/" ||
  fail "forge_installer failed"

start_installer "$installer"
wait_window main >/dev/null
click main 108
expected=(
  "Cannot create $win_dest\\${long:0:234}\\nInvalid path|OK,Cancel"
  "Cannot create $win_dest\\docs\\readme.txt\\nAccess denied|OK,Cancel"
  "Cannot create folder $win_dest\\docs\\nAccess denied|OK"
  'Archive data is damaged, probably caused by\na corrupt disk or download error|OK'
)
for want in "${expected[@]}"; do
  wait_message
  [ "$MSG_TEXT|$MSG_BUTTONS" = "$want" ] || fail "message \"$MSG_TEXT\" ($MSG_BUTTONS), expected \"$want\""
  note "message: $MSG_TEXT"
  dismiss_message || fail "the message did not close"
done
wait_installer_exit 1

[ "$(cat "$outside/victim.txt")" = precious ] || fail "the file outside was written through file.txt"
[ -n "$(find "$outside/victim.txt" -perm -200)" ] || fail "the file outside was made read-only"
[ "$(cd "$outside" && find . | sort | tr '\n' ' ')" = ". ./folder ./victim.txt " ] ||
  fail "something appeared outside: $(cd "$outside" && find .)"
for f in file.txt new.txt; do
  [ -f "$dest/$f" ] && [ ! -L "$dest/$f" ] || fail "$f is not the member's own file"
done
[ "$(cat "$dest/file.txt")" = "member one" ] || fail "file.txt holds $(cat "$dest/file.txt")"
[ -z "$(find "$dest/file.txt" -perm /222)" ] || fail "file.txt is not read-only"
[ "$(cat "$dest/new.txt")" = "member two" ] || fail "new.txt holds $(cat "$dest/new.txt")"
[ -L "$dest/docs" ] || fail "the folder link was replaced"
left=$(cd "$dest" && find . -iname 'nul*' -o -iname 'com1*' -o -iname 'lpt1*' -o -iname 'conout*' -o -name sub -o -name deep)
[ -z "$left" ] || fail "device members were created as files: $left"
key_absent || fail "the uninstall key was written after the extraction ended"
note "no link was gone through, nothing changed outside, no device was opened"
