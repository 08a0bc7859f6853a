#!/usr/bin/env bash
# Cancel during an extraction. The archive holds two small files, a large one
# (300 MB of random base64 text, which compresses little and decodes literal
# by literal, so that its extraction takes seconds even where the file system
# takes it at memory speed), another small file and lumetra.exe, extracted in
# that order (pack lists files by extension, then by name).
#
# 1. Cancel while the large member is being decoded (an older 3-large.dat is
#    in the destination already): Extract is clicked, and
#    as soon as the large file has bytes on disk (under its temporary name,
#    3-large.da0: the final name appears only once the member is whole),
#    Cancel. The decoders let the dialog's messages through while they work,
#    so the click takes effect inside the member: its partial file is gone,
#    the older 3-large.dat is as it was, the members before it stay, nothing
#    after it is extracted, no program is started and no key is written.
# 2. Cancel between members: the prompt for the second file is answered No
#    after Cancel was clicked; the extraction ends before the next member,
#    the kept file is untouched, and again no program, no key.
# 3. The installer killed inside the large member: the older 3-large.dat is
#    as it was (only the temporary file is left, as a killed process leaves
#    it).
# The first two times the installer's exit code is 1.
set -eu
source "$(dirname "$0")/lib.sh"
e2e_begin cancel
src="$WORK/product"
mkdir -p "$src"
LARGE_MB=300
echo "first" >"$src/1-first.dat"
echo "second" >"$src/2-second.dat"
head -c "$((LARGE_MB * 3 / 4 + 1))M" /dev/urandom | base64 -w 0 | head -c "${LARGE_MB}M" >"$src/3-large.dat"
echo "last" >"$src/4-last.dat"
cp "$QEV_LUMETRA" "$src/lumetra.exe"
installer="$WORK/lumetra-setup.exe"
# The fastest level: the text's randomness leaves little for any level.
"$QEV_HOST_TOOL" pack "$src" -o "$installer" --stub "$QEV_STUB" --level 1 >"$WORK/pack.log" 2>&1 ||
  fail "qev pack failed: $(cat "$WORK/pack.log")"
dest="$DRIVE_C/Program Files/Lumetra"
partial_file="$dest/3-large.da0"

# expect_cancelled: the state after the extraction was cancelled at the
# large member.
expect_cancelled() {
  cmp -s "$src/1-first.dat" "$dest/1-first.dat" || fail "1-first.dat is missing or wrong"
  cmp -s "$src/2-second.dat" "$dest/2-second.dat" || fail "2-second.dat is missing or wrong"
  [ "$(cat "$dest/3-large.dat")" = "an older large file" ] || fail "the older 3-large.dat was lost"
  [ ! -e "$partial_file" ] || fail "the partial 3-large.dat is still there ($(stat -c %s "$partial_file") bytes)"
  [ ! -e "$dest/4-last.dat" ] || fail "4-last.dat was extracted after Cancel"
  [ ! -e "$dest/lumetra.exe" ] || fail "lumetra.exe was extracted after Cancel"
  [ ! -e "$dest/lumetra-started.txt" ] || fail "a program was started after Cancel"
  key_absent || fail "the uninstall key was written after Cancel"
}

# signal_installer SIG: sends SIG to this test's installer alone: the
# processes of its name that run in this test's own Wine prefix (other tests,
# run at the same time, start installers of the same name).
signal_installer() {
  local pid found=1
  for pid in $(pgrep -f "$(basename "$installer")"); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    kill "-$1" "$pid" && found=0
  done
  return $found
}

# hold_inside_large: waits until 3-large.dat's temporary file has bytes, then
# holds the installer (SIGSTOP) so that what comes next lands inside the
# member however slow this machine is; sets `partial`.
hold_inside_large() {
  partial=0
  for i in $(seq 600); do
    partial=$(stat -c %s "$partial_file" 2>/dev/null || echo 0)
    [ "$partial" -gt 0 ] && break
    installer_running || break
    sleep 0.02
  done
  [ "$partial" -gt 0 ] || fail "3-large.dat never appeared"
  signal_installer STOP || fail "the installer's process was not found"
  partial=$(stat -c %s "$partial_file" 2>/dev/null || echo 0)
  if [ "$partial" -ge $((LARGE_MB << 20)) ] || [ "$partial" = 0 ]; then
    signal_installer CONT
    fail "3-large.dat was complete before the installer could be held"
  fi
}

# 1. Inside the large member.
mkdir -p "$dest"
echo "an older large file" >"$dest/3-large.dat"
start_installer "$installer"
wait_window main >/dev/null
# Where Cancel is, found while the dialog is idle, so that the click itself
# takes a moment only.
cancel_xy=$(probe where main 104) || fail "the Cancel button was not found"
click main 108
hold_inside_large
[ "$(cat "$dest/3-large.dat")" = "an older large file" ] ||
  { signal_installer CONT; fail "3-large.dat was written under its final name"; }
# The click waits in the window system's queue until the installer goes on.
# shellcheck disable=SC2086
xdotool mousemove --sync $cancel_xy click 1
signal_installer CONT
probe gone main "$WAIT_WINDOW_MS" >/dev/null || fail "the dialog did not end after Cancel"
[ "$(probe count message)" = 0 ] || fail "a message was shown: $(message_text)"
wait_installer_exit 1
expect_cancelled
note "cancelled inside the large member ($partial of $((LARGE_MB << 20)) bytes written): its file is gone, the earlier ones stay"

# 2. Between members.
chmod -R u+w "$dest"
rm -rf "$dest"
mkdir -p "$dest"
echo "an older second file" >"$dest/2-second.dat"
start_installer "$installer"
wait_window main >/dev/null
click main 106
click main 108
wait_window prompt >/dev/null
case $(control_text prompt 107) in *'2-second.dat'*) ;; *) fail "unexpected prompt: $(control_text prompt 107)" ;; esac
click main 104     # Cancel in the main dialog
click prompt 110   # No: the member is skipped, and the loop sees the cancel
probe gone main "$WAIT_WINDOW_MS" >/dev/null || fail "the dialog did not end after Cancel"
wait_installer_exit 1
cmp -s "$src/1-first.dat" "$dest/1-first.dat" || fail "1-first.dat is missing or wrong"
[ "$(cat "$dest/2-second.dat")" = "an older second file" ] || fail "2-second.dat was replaced after No"
for f in 3-large.dat 4-last.dat lumetra.exe lumetra-started.txt; do
  [ ! -e "$dest/$f" ] || fail "$f is there after Cancel"
done
key_absent || fail "the uninstall key was written after Cancel"
note "cancelled between members: the extraction ended before the next one"

# 3. Killed inside the large member.
chmod -R u+w "$dest"
rm -rf "$dest"
mkdir -p "$dest"
echo "an older large file" >"$dest/3-large.dat"
start_installer "$installer"
wait_window main >/dev/null
click main 108
hold_inside_large
signal_installer KILL
wait "$INSTALLER_PID" 2>/dev/null || true
[ "$(cat "$dest/3-large.dat")" = "an older large file" ] || fail "the older 3-large.dat was lost to a kill"
note "killed inside the large member ($partial bytes written): the older 3-large.dat is as it was"
rm -rf "$src" "$installer"   # 500 MB that a passing run need not keep
