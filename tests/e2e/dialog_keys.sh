#!/usr/bin/env bash
# The main dialog as the user meets it, and the ways it ends without
# extracting: its texts (title, introduction naming the installer, preset
# folder selected, check box ticked), Help (the help text in a box without
# icon; the dialog stays), Escape (ignored), and the three ways out: Alt+F4,
# the close box and Cancel. Nothing is extracted, no program started, no key
# written, and the installer's exit code is 1.
set -eu
source "$(dirname "$0")/lib.sh"
e2e_begin dialog_keys
installer="$WORK/lumetra-setup.exe"
cp "$QEV_E2E_WORK/installer/lumetra-setup.exe" "$installer"
dest="$DRIVE_C/Program Files/Lumetra"

start_traced_installer "$installer"
wait_window main >/dev/null
check_dialog_font 101 108
check_startup_calls
intro=$(control_text main 105)
[ "$intro" = "Click the Extract button to extract all files in lumetra-setup.exe to the specified folder." ] ||
  fail "introduction: \"$intro\""
# A fresh prefix has C:\Program Files but no C:\Lumetra.
folder=$(control_text main 101)
[ "$folder" = 'C:\Program Files\Lumetra' ] || fail "preset folder: \"$folder\""
[ "$(control_checked main 106)" = 1 ] || fail "the overwrite check box is not ticked"
status=$(control_text main 102)
[ -n "$status" ] || fail "the status line is empty before extraction"

# Help: the help text, and the dialog stays.
click main 103
wait_message
expect_box OK no
help=$MSG_TEXT
want='This is a self-extracting QEV archive. To extract the contents to disk,\nspecify a folder name in the edit box, and click the Extract button.\nIf the folder does not exist, it will be created.'
[ "$help" = "$want" ] || fail "help text: \"$help\""
shot dialog-help
dismiss_message || fail "the help box did not close"
[ "$(probe count main)" = 1 ] || fail "the dialog ended after Help"

# Escape does nothing.
focus main
key Escape
sleep 1
[ "$(probe count main)" = 1 ] || fail "Escape ended the dialog"
installer_running || fail "Escape ended the installer"

# Alt+F4 ends the dialog like the close box.
key alt+F4
probe gone main 10000 >/dev/null || fail "Alt+F4 did not end the dialog"
wait_installer_exit 1
[ ! -e "$dest" ] || fail "something was extracted after Alt+F4"
key_absent || fail "the uninstall key was written after Alt+F4"

# So does the close box.
start_installer "$installer"
wait_window main >/dev/null
xy=$(probe close-box main)
# shellcheck disable=SC2086
xdotool mousemove --sync $xy click 1
probe gone main 10000 >/dev/null || fail "the close box did not end the dialog"
wait_installer_exit 1
[ ! -e "$dest" ] || fail "something was extracted after the close box"
key_absent || fail "the uninstall key was written after the close box"

# And Cancel.
start_installer "$installer"
wait_window main >/dev/null
click main 104
probe gone main 10000 >/dev/null || fail "Cancel did not end the dialog"
wait_installer_exit 1
[ ! -e "$dest" ] || fail "something was extracted after Cancel"
key_absent || fail "the uninstall key was written after Cancel"
