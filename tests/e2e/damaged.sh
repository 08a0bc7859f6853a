#!/usr/bin/env bash
# Damaged installers: one byte of the archive changed. The installer reports
# the damaged-archive message or the error-check message (the file named in
# it is not left behind), never anything else, never crashes, and ends with
# exit code 1. Two places are changed:
#   - a byte in the middle of the member streams (compressed data)
#   - a byte of the directory block's magic ("QEVDE"), compared exactly
set -eu
source "$(dirname "$0")/lib.sh"
e2e_begin damaged
source_installer="$QEV_E2E_WORK/installer/lumetra-setup.exe"
offset=$(archive_offset "$source_installer")
# directory_pos: the u32 at byte 4 of the archive header.
directory_pos=$(od -An -t u4 -j $((offset + 4)) -N 4 "$source_installer" | tr -d ' ')
dest="$DRIVE_C/Program Files/Lumetra"
win_dest='C:\Program Files\Lumetra'
DAMAGED='Archive data is damaged, probably caused by\na corrupt disk or download error'

# damaged_copy OUT POSITION: the installer with the byte at POSITION inverted.
damaged_copy() {
  cp "$source_installer" "$1"
  local byte
  byte=$(od -An -t u1 -j "$2" -N 1 "$1" | tr -d ' ')
  printf "$(printf '\\%03o' $((byte ^ 0xFF)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

# run_damaged EXE LABEL: extracts, answers every message with OK, and checks
# each message's text; at least one message must come.
run_damaged() {
  local exe=$1 label=$2 seen=0 text file
  chmod -R u+w "$dest" 2>/dev/null || true
  rm -rf "$dest"
  wine reg delete "$UNINSTALL_KEY" /f >/dev/null 2>&1 || true
  start_installer "$exe"
  wait_window main >/dev/null
  click main 108
  for i in $(seq 40); do
    if probe wait message 2000 >/dev/null 2>&1; then
      wait_message
      text=$MSG_TEXT
      seen=$((seen + 1))
      [ $seen = 1 ] && shot "damaged-$label"
      case $text in
        "$DAMAGED")
          expect_box OK yes
          note "$label: damaged-archive message" ;;
        'File "'"$win_dest"'\'*'" fails error check')
          # The driver asks whether to go on: OK goes on.
          expect_box OK,Cancel yes
          file=${text#'File "'"$win_dest"'\'}
          file=${file%'" fails error check'}
          [ ! -e "$dest/$(echo "$file" | tr '\\' /)" ] || fail "$label: $file failed its check but is still there"
          note "$label: error-check message for $file" ;;
        *) fail "$label: unexpected message: $text" ;;
      esac
      dismiss_message || fail "$label: the message did not close"
    elif ! installer_running; then
      break
    fi
  done
  [ $seen -gt 0 ] || fail "$label: no message about the damage"
  wait_installer_exit 1
}

damaged_copy "$WORK/damaged-stream.exe" $((offset + 42 + (directory_pos - 42) / 2))
run_damaged "$WORK/damaged-stream.exe" stream

damaged_copy "$WORK/damaged-directory.exe" $((offset + directory_pos + 4))
run_damaged "$WORK/damaged-directory.exe" directory
