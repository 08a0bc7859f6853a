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

key Return
seen=()
for i in $(seq 300); do
  installer_running || break
  line=$(probe progress main 2>/dev/null) || break
  position=${line%%$'\t'*}
  status=${line#*$'\t'}
  if [ "$position" -gt 0 ] && [ "$position" -lt 100 ] &&
     { [ ${#seen[@]} = 0 ] || [ "$position" != "${seen[-1]}" ]; }; then
    seen+=("$position")
    case $status in "Extracting part-"*) ;; *) fail "status line \"$status\" at $position %" ;; esac
    [ ${#seen[@]} -le 3 ] && shot "progress-${#seen[@]}"
  fi
  sleep 0.1
done
wait_installer_exit 0
# From 0 to somewhere short of 100 while the files were written (a busy
# machine may leave time for one look only).
[ ${#seen[@]} -ge 1 ] || fail "the bar did not move during the installation: nothing seen between 0 and 100"
for ((i = 1; i < ${#seen[@]}; i++)); do
  [ "${seen[i]}" -gt "${seen[i - 1]}" ] || fail "the bar went back: ${seen[*]}"
done
note "the bar moved: ${seen[*]} % (screenshots progress-1.png ...)"
