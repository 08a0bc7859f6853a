#!/usr/bin/env bash
# Existing files with the overwrite check box cleared. Three of the product's
# files are already in the destination, with other contents:
#   - the prompt appears for the first of them, naming its full path, where
#     its template puts it (window, controls, font; screenshot kept)
#   - Escape does nothing to it; a click on the main dialog's Extract while
#     it is up starts no second extraction
#   - No keeps that file as it was
#   - Yes To All at the second replaces it and, without asking, the third
# Everything else is extracted as usual.
set -eu
source "$(dirname "$0")/lib.sh"
e2e_begin overwrite
installer="$WORK/lumetra-setup.exe"
cp "$QEV_E2E_WORK/installer/lumetra-setup.exe" "$installer"
product="$QEV_E2E_WORK/installer/product"
dest="$DRIVE_C/Program Files/Lumetra"
win_dest='C:\Program Files\Lumetra'

existing="README.txt data/settings.ini docs/guide.txt"
for f in $existing; do
  mkdir -p "$(dirname "$dest/$f")"
  echo "old $f" >"$dest/$f"
done

start_traced_installer "$installer"
wait_window main >/dev/null
click main 106
[ "$(control_checked main 106)" = 0 ] || fail "the check box did not clear"
click main 108

# question_file [TEXT]: the file the prompt asks about (TEXT, or the text of
# the prompt now shown), relative to the destination, with forward slashes;
# fails unless the question has the exact form.
question_file() {
  local q=${1:-$(control_text prompt 107)}
  case $q in
    "File \"$win_dest\\"*'" already exists. Do you want to replace it?') ;;
    *) fail "prompt text: $q" ;;
  esac
  q=${q#"File \"$win_dest\\"}
  q=${q%'" already exists. Do you want to replace it?'}
  echo "$q" | tr '\\' /
}

wait_window prompt >/dev/null
first=$(question_file)
case " $existing " in *" $first "*) ;; *) fail "asked about $first, which did not exist" ;; esac
note "asked about $first first"
check_geometry prompt overwrite-prompt
check_dialog_font 107 110
traced_calls user32.DialogBoxParamA | sed -n 2p | grep -Eq '^[0-9a-f]+,00000002,00000000,[0-9a-f]+,00000000$' ||
  fail "the prompt was not run as DialogBoxParamA(instance, 2, no owner, proc, 0)"

focus prompt
key Escape
sleep 0.5
[ "$(probe count prompt)" = 1 ] || fail "Escape ended the prompt"
click main 108
sleep 1
[ "$(probe count prompt)" = 1 ] || fail "Extract during the extraction changed the prompt: $(probe count prompt) prompts"
[ "$(question_file)" = "$first" ] || fail "Extract during the extraction started another extraction"

click prompt 110   # No
# The next question, about another file (the prompt for the first is gone).
second=$first
for i in $(seq 120); do
  # (A prompt that closes while it is read gives no text: look again.)
  question=$(control_text prompt 107)
  if [ -n "$question" ]; then
    second=$(question_file "$question")
    [ "$second" != "$first" ] && break
  fi
  installer_running || fail "the installer ended before asking about the second file"
  sleep 0.5
done
[ "$second" != "$first" ] || fail "still asking about $first after No"
note "asked about $second second"
click prompt 108   # Yes To All

# No more questions: the third file is replaced without asking. (The prompt
# just answered may still be seen while it closes.)
while installer_running; do
  question=$(control_text prompt 107 || true)
  if [ -n "$question" ] && [ "$(question_file "$question")" != "$second" ]; then
    fail "asked again after Yes To All: $question"
  fi
  sleep 0.3
done
wait_installer_exit

[ "$(cat "$dest/$first")" = "old $first" ] || fail "$first was replaced after No"
for f in $existing; do
  [ "$f" = "$first" ] && continue
  cmp -s "$product/$f" "$dest/$f" || fail "$f was not replaced"
done
# Apart from the file kept, the tree is the product's.
mv "$dest/$first" "$WORK/kept"
cp -p "$product/$first" "$dest/$first"
same_tree "$product" "$dest"
note "No kept $first; Yes To All replaced the rest; everything else arrived"
