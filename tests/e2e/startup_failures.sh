#!/usr/bin/env bash
# Start-up failures under Wine: each shows its message box, captioned with the
# title, and the installer ends with exit code 1 without showing the dialog.
#   - an archive without members: "Archive contains no files", a notice
#     without icon
#   - an installer cut inside its archive header: "Cannot read <name>", with
#     the warning icon and no second line (the read itself succeeded, it was
#     only short)
set -eu
source "$(dirname "$0")/lib.sh"
e2e_begin startup_failures
installer="$QEV_E2E_WORK/installer/lumetra-setup.exe"

# expect_startup_message EXE TEXT ICON SHOT: runs EXE, expects exactly TEXT in
# an OK box with or without the warning icon, answers it and expects exit
# code 1.
expect_startup_message() {
  local exe=$1 want=$2 got
  start_installer "$exe"
  wait_message
  got=$MSG_TEXT
  shot "$4"
  [ "$got" = "$want" ] || fail "$(basename "$exe"): message \"$got\", expected \"$want\""
  expect_box OK "$3"
  [ "$(probe count main)" = 0 ] || fail "$(basename "$exe"): the dialog appeared"
  focus message
  key Return
  wait_installer_exit 1
  note "$(basename "$exe"): \"$got\", exit code 1"
}

# The demo installer with its archive replaced by a bare 42-byte header whose
# member count is 0 (the stub part, whose archive offset the packer has set,
# stays as it is).
empty="$WORK/lumetra-empty.exe"
offset=$(archive_offset "$installer")
head -c "$offset" "$installer" >"$empty"
{
  printf 'QEV\n'
  printf '\052\000\000\000'   # directory_pos 42
  printf '\000\000\000\000'   # member_count 0
  head -c 30 /dev/zero        # the fields the installer does not read
} >>"$empty"
expect_startup_message "$empty" "Archive contains no files" no startup-empty

# The demo installer cut 20 bytes into its archive header.
cut="$WORK/lumetra-cut.exe"
head -c $((offset + 20)) "$installer" >"$cut"
expect_startup_message "$cut" "Cannot read lumetra-cut.exe" yes startup-cut
