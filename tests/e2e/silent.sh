#!/usr/bin/env bash
# Unattended installs, as deployment tools run them, of an installer packed
# with --silent-switches:
#   - /S installs into the default folder without any window and exits 0;
#     the program is started and the uninstall key written as ever
#   - /S /D=C:\Other Place installs there (the rest of the command line,
#     unquoted, spaces and all)
#   - /D= alone presets the dialog's folder
#   - under /S a damaged archive exits 1 without a box, and a command line
#     the installer does not take exits 2 with nothing installed
# and one packed without it ignores its command line.
set -eu
source "$(dirname "$0")/lib.sh"
e2e_begin silent
product="$QEV_E2E_WORK/installer/product"
installer="$WORK/setup.exe"
"$QEV_HOST_TOOL" pack "$product" -o "$installer" --stub "$QEV_STUB" --silent-switches >"$WORK/pack.log" 2>&1 ||
  fail "qev pack failed: $(cat "$WORK/pack.log")"

# run_unattended CODE ARGUMENT...: the installer with these arguments; no
# window of it may appear while it runs, and it must end with CODE.
run_unattended() {
  local code=$1
  shift
  start_installer "$installer" "$@"
  while installer_running; do
    [ "$(probe count main)$(probe count message)" = 00 ] || fail "a window appeared under $*"
    sleep 0.2
  done
  wait_installer_exit "$code"
}

run_unattended 0 /S
same_tree "$product" "$DRIVE_C/Program Files/Lumetra"
wait_for_file "$DRIVE_C/Program Files/Lumetra/lumetra-started.txt"
[ "$(reg_value "$UNINSTALL_KEY" UninstallString)" = '"C:\Program Files\Lumetra\lumetra.exe" /uninstall' ] ||
  fail "UninstallString under /S: $(reg_value "$UNINSTALL_KEY" UninstallString)"
note "/S: installed into C:\\Program Files\\Lumetra without a window, exit code 0"

# Wine quotes an argument that holds a space; as two arguments the command
# line reads /D=C:\Other Place, unquoted, as deployment tools write it.
run_unattended 0 /S '/D=C:\Other' 'Place'
same_tree "$product" "$DRIVE_C/Other Place"
note "/S /D=C:\\Other Place: installed there, exit code 0"

run_unattended 2 /S /X
run_unattended 2 /D=
[ ! -e "$DRIVE_C/X" ] || fail "something was installed after a wrong command line"
note "a command line the installer does not take: exit code 2"

offset=$(archive_offset "$installer")
directory_pos=$(od -An -tu4 -j $((offset + 4)) -N 4 "$installer" | tr -d ' ')
cp "$installer" "$WORK/damaged.exe"
printf '\377' | dd of="$WORK/damaged.exe" bs=1 seek=$((offset + directory_pos + 4)) conv=notrunc status=none
installer="$WORK/damaged.exe"
run_unattended 1 /S '/D=C:\Damaged'
note "/S with a damaged archive: no box, exit code 1"

# /D= alone: the dialog, its folder preset.
installer="$WORK/setup.exe"
start_installer "$installer" '/D=C:\Preset\Here'
wait_window main >/dev/null
[ "$(control_text main 101)" = 'C:\Preset\Here' ] || fail "folder offered after /D=: $(control_text main 101)"
click main 104
wait_installer_exit 1
note "/D= alone: the dialog offers that folder"

# Without --silent-switches the command line is not looked at.
start_installer "$QEV_E2E_WORK/installer/lumetra-setup.exe" /S /X
wait_window main >/dev/null
click main 104
wait_installer_exit 1
note "packed without --silent-switches: /S /X ignored, the dialog shown"
