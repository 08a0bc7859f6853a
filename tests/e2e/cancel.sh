#!/usr/bin/env bash
# Cancel during an extraction. The archive holds two small files, a large one
# (150 MB), another small file and lumetra.exe, extracted in that order.
#
# 1. Cancel while the large member's extraction is under way: its file
#    already exists and the prompt asks whether to replace it; Cancel is
#    clicked in the main dialog (which stays enabled), then Yes. The member's
#    file is created and its decoding stops at once: the partial file is
#    gone, the members before it stay, nothing after it is extracted, no
#    program is started and no key is written.
# 2. Cancel between members: the prompt for the second file is answered No
#    after Cancel was clicked; the extraction ends before the next member,
#    the kept file is untouched, and again no program, no key.
# (The message queue is drained before and after each member, not while a
# member is decoded: a click that arrives during a member's decoding is
# handled after it, and the extraction ends before the next member. Both
# ways are checked here in a form that does not depend on timing.)
set -eu
source "$(dirname "$0")/lib.sh"
e2e_begin cancel
src="$WORK/product"
mkdir -p "$src"
echo "first" >"$src/1-first.txt"
echo "second" >"$src/2-second.txt"
yes "Lumetra sample data, a long member that takes a while to write." | head -c 150M >"$src/3-large.bin"
echo "last" >"$src/4-last.txt"
cp "$QEV_LUMETRA" "$src/lumetra.exe"
installer="$WORK/lumetra-setup.exe"
pack "$src" "$installer"
dest="$DRIVE_C/Program Files/Lumetra"

# expect_cancelled: the state after the extraction was cancelled at the
# large member.
expect_cancelled() {
  cmp -s "$src/1-first.txt" "$dest/1-first.txt" || fail "1-first.txt is missing or wrong"
  cmp -s "$src/2-second.txt" "$dest/2-second.txt" || fail "2-second.txt is missing or wrong"
  [ ! -e "$dest/3-large.bin" ] || fail "the partial 3-large.bin is still there ($(stat -c %s "$dest/3-large.bin") bytes)"
  [ ! -e "$dest/4-last.txt" ] || fail "4-last.txt was extracted after Cancel"
  [ ! -e "$dest/lumetra.exe" ] || fail "lumetra.exe was extracted after Cancel"
  [ ! -e "$dest/lumetra-started.txt" ] || fail "a program was started after Cancel"
  key_absent || fail "the uninstall key was written after Cancel"
}

# 1. Through the prompt.
mkdir -p "$dest"
echo "an older large file" >"$dest/3-large.bin"
start_installer "$installer"
wait_window main >/dev/null
click main 106
click main 108
wait_window prompt >/dev/null
case $(control_text prompt 107) in *'3-large.bin'*) ;; *) fail "unexpected prompt: $(control_text prompt 107)" ;; esac
click main 104     # Cancel in the main dialog
[ "$(probe count prompt)" = 1 ] || fail "Cancel in the main dialog closed the prompt"
click prompt 109   # Yes: the file is created, and the decoder sees the cancel
probe gone main "$WAIT_WINDOW_MS" >/dev/null || fail "the dialog did not end after Cancel"
[ "$(probe count message)" = 0 ] || fail "a message was shown: $(message_text)"
wait_installer_exit
expect_cancelled
note "cancelled at the large member: its file is gone, the earlier ones stay"

# 2. Between members.
chmod -R u+w "$dest"
rm -rf "$dest"
mkdir -p "$dest"
echo "an older second file" >"$dest/2-second.txt"
start_installer "$installer"
wait_window main >/dev/null
click main 106
click main 108
wait_window prompt >/dev/null
case $(control_text prompt 107) in *'2-second.txt'*) ;; *) fail "unexpected prompt: $(control_text prompt 107)" ;; esac
click main 104     # Cancel in the main dialog
click prompt 110   # No: the member is skipped, and the loop sees the cancel
probe gone main "$WAIT_WINDOW_MS" >/dev/null || fail "the dialog did not end after Cancel"
wait_installer_exit
cmp -s "$src/1-first.txt" "$dest/1-first.txt" || fail "1-first.txt is missing or wrong"
[ "$(cat "$dest/2-second.txt")" = "an older second file" ] || fail "2-second.txt was replaced after No"
for f in 3-large.bin 4-last.txt lumetra.exe lumetra-started.txt; do
  [ ! -e "$dest/$f" ] || fail "$f is there after Cancel"
done
key_absent || fail "the uninstall key was written after Cancel"
note "cancelled between members: the extraction ended before the next one"
rm -rf "$src"   # 150 MB that a passing run need not keep
