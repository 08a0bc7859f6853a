#!/usr/bin/env bash
# The main dialog during a long installation: the progress bar moves with the
# bytes written (read from the bar itself, several times, and kept as
# screenshots), and the status line names the file being written. And the
# folder box scrolls: a path longer than the box can be typed whole.
set -eu
source "$(dirname "$0")/lib.sh"
e2e_begin progress
src="$WORK/product"
mkdir -p "$src"
# Random text, which compresses little and decodes literal by literal: the
# installation takes seconds.
for i in 1 2 3; do
  head -c 45M /dev/urandom | base64 -w 0 | head -c 60M >"$src/part-$i.dat"
done
cp "$QEV_LUMETRA" "$src/lumetra.exe"
installer="$WORK/lumetra-setup.exe"
"$QEV_HOST_TOOL" pack "$src" -o "$installer" --stub "$QEV_STUB" --level 1 >"$WORK/pack.log" 2>&1 ||
  fail "qev pack failed: $(cat "$WORK/pack.log")"
rm -rf "$src"

start_installer "$installer"
wait_window main >/dev/null
[ "$(probe progress main | cut -f1)" = 0 ] || fail "the bar does not start empty"

# A folder longer than the box (about 45 characters wide) is typed whole.
long='C:\Program Files\Lumetra\a folder name that is longer than the box is wide'
focus main
key End shift+Home
xdotool type --delay 20 "$long"
sleep 0.5
[ "$(control_text main 101)" = "$long" ] || fail "typed folder reads \"$(control_text main 101)\""
note "a folder of ${#long} characters was typed whole"

watch_progress_start
key Return
watch_progress progress "Extracting part-"
wait_installer_exit 0
note "the bar moved: ${PROGRESS_SEEN[*]} % (screenshots progress-1.png ...)"
