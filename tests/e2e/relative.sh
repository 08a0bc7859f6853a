#!/usr/bin/env bash
# Destinations typed as relative paths, the installer started from
# C:\Downloads: each is made absolute before anything happens, so the files,
# the program started and the uninstall command all name the same folder.
#   - "Lumetra": C:\Downloads\Lumetra
#   - "\": the root of the current drive, C:\ (not the network path "\\"
#     that a separator after it would make)
set -eu
source "$(dirname "$0")/lib.sh"
e2e_begin relative
product="$QEV_E2E_WORK/installer/product"
mkdir -p "$DRIVE_C/Downloads"
installer="$DRIVE_C/Downloads/lumetra-setup.exe"
cp "$QEV_E2E_WORK/installer/lumetra-setup.exe" "$installer"

# install TYPED WIN_DEST DEST: types TYPED as the folder and checks the result.
install() {
  local typed=$1 win_dest=$2 dest=$3
  wine reg delete "$UNINSTALL_KEY" /f >/dev/null 2>&1 || true
  start_installer "$installer"
  wait_window main >/dev/null
  type_folder "$typed"
  key Return
  probe gone main "$WAIT_WINDOW_MS" >/dev/null || fail "$typed: the dialog did not close after the extraction"
  [ "$(probe count message)" = 0 ] || fail "$typed: a message was shown: $(message_text)"
  wait_installer_exit
  same_tree "$product" "$dest"
  local uninstall
  uninstall=$(reg_value "$UNINSTALL_KEY" UninstallString) || fail "$typed: no UninstallString"
  [ "$uninstall" = "\"${win_dest}lumetra.exe\" /uninstall" ] || fail "$typed: UninstallString $uninstall"
  for i in $(seq 100); do
    [ -s "$dest/lumetra-started.txt" ] && break
    sleep 0.1
  done
  grep -qF "program: ${win_dest}lumetra.exe" "$dest/lumetra-started.txt" ||
    fail "$typed: lumetra.exe started as $(cat "$dest/lumetra-started.txt" 2>/dev/null)"
  note "\"$typed\" installed into $win_dest, started and registered from there"
}

install 'Lumetra' 'C:\Downloads\Lumetra\' "$DRIVE_C/Downloads/Lumetra"
install '\' 'C:\' "$DRIVE_C"
