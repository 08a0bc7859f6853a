#!/usr/bin/env bash
# The installer on a Japanese system: Wine takes the ANSI code page from the
# Unix locale, 932 here, in which the archive's Windows-1252 names and a
# folder named in Japanese cannot all be written. The installer, started
# from C:\ユーザー\田中\ダウンロード:
#   - in the dialog, with its preset folder: every member arrives under
#     exactly the name the packer stored (café\résumé €.txt, naïve.txt, ...),
#     the progress bar moves (screenshots), and the exit code is 0
#   - unattended into a folder named in Japanese (/S /D=C:\田中のアプリ):
#     the same, exit code 0, and the uninstall command names that folder
#   - Cancel ends it with exit code 1, and so does a damaged member
set -eu
source "$(dirname "$0")/lib.sh"
export LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
e2e_begin locale
[ "$(probe code-page -)" = 932 ] || fail "Wine's ANSI code page is $(probe code-page -), not 932 (is ja_JP.UTF-8 made?)"
note "the ANSI code page of a program without a manifest: 932"

src="$WORK/product"
mkdir -p "$src/café" "$src/données"
printf 'résumé\r\n' >"$src/café/résumé €.txt"
printf 'naïve\r\n' >"$src/naïve.txt"
printf '™ and ‰\r\n' >"$src/données/™ trade‰.txt"
cp "$QEV_LUMETRA" "$src/lumetra.exe"
# Random text, which decodes literal by literal: the bar has time to move.
for i in 1 2 3; do
  head -c 45M /dev/urandom | base64 -w 0 | head -c 60M >"$src/données/large $i.dat"
done
find "$src" -exec touch -d "2024-05-17 10:30:00" {} +
downloads="$DRIVE_C/ユーザー/田中/ダウンロード"
mkdir -p "$downloads"
installer="$downloads/setup.exe"
"$QEV_HOST_TOOL" pack "$src" -o "$installer" --stub "$QEV_STUB" --silent-switches --level 1 \
  >"$WORK/pack.log" 2>&1 || fail "qev pack failed: $(cat "$WORK/pack.log")"

# 1. The dialog, its preset folder.
start_installer "$installer"
wait_window main >/dev/null
[ "$(probe progress main | cut -f1)" = 0 ] || fail "the bar does not start empty"
case $(control_text main 105) in *setup.exe*) ;; *) fail "introduction: $(control_text main 105)" ;; esac
# A click: under a Japanese locale Wine reads the keyboard through an input
# method, which the virtual display does not have.
watch_progress_start
click main 108
watch_progress locale-progress
wait_installer_exit 0
dest="$DRIVE_C/Program Files/Lumetra"
same_tree "$src" "$dest"
note "from C:\\ユーザー\\田中\\ダウンロード into C:\\Program Files\\Lumetra: every name as stored; the bar moved: ${PROGRESS_SEEN[*]} %"

# 2. Unattended, into a folder named in Japanese (Wine joins the two
# arguments with a space: /D=C:\田中の アプリ).
start_installer "$installer" /S '/D=C:\田中の' 'アプリ'
wait_installer_exit 0
same_tree "$src" "$DRIVE_C/田中の アプリ"
# reg.exe writes in the console's code page, 932 here.
uninstall=$(reg_value "$UNINSTALL_KEY" UninstallString | iconv -f CP932 -t UTF-8) || fail "no UninstallString"
[ "$uninstall" = '"C:\田中の アプリ\lumetra.exe" /uninstall' ] || fail "UninstallString $uninstall"
note "/S /D=C:\\田中の アプリ: installed there, exit code 0, registered there"

# 3. Cancel, and a damaged member: exit code 1.
start_installer "$installer"
wait_window main >/dev/null
click main 104
wait_installer_exit 1
offset=$(archive_offset "$installer")
cp "$installer" "$downloads/damaged.exe"
# A byte in the middle of the member streams, its bits inverted (the data are
# random: a fixed value would sometimes be the byte already there).
directory_pos=$(od -An -tu4 -j $((offset + 4)) -N 4 "$installer" | tr -d ' ')
at=$((offset + directory_pos / 2))
byte=$(od -An -tu1 -j "$at" -N 1 "$installer" | tr -d ' ')
printf "\\$(printf '%03o' $((byte ^ 255)))" | dd of="$downloads/damaged.exe" bs=1 seek="$at" conv=notrunc status=none
start_installer "$downloads/damaged.exe" /S '/D=C:\壊れた'
wait_installer_exit 1
note "Cancel and a damaged member: exit code 1"
rm -rf "$src"
