#!/usr/bin/env bash
# A publisher's own product, packed with product settings:
#   - Acme Tool, with --name, --program, --version, --publisher and --icon
#     (four images, the 256-pixel one a PNG): its icon and version record
#     read back through Windows' calls, and it still signs and verifies;
#     the signed installer's dialog says "Acme Tool Installation", offers
#     C:\Program Files\Acme Tool and shows the publisher's notice; Enter
#     installs, bin\acme.exe is started from the destination with its path in
#     quotes, the uninstall key holds every value that Apps & features shows,
#     and the exit code is 0
#   - Acme Docs, with --name and no program: nothing is started, no key is
#     written, and a box says where the product was installed
set -eu
source "$(dirname "$0")/lib.sh"
e2e_begin product
require_tools openssl osslsigncode winepath
src="$WORK/acme"
mkdir -p "$src/bin" "$src/docs"
cp "$QEV_LUMETRA" "$src/bin/acme.exe"
printf 'Acme Tool\r\n' >"$src/docs/readme.txt"
head -c 300000 /dev/urandom >"$src/docs/data.bin"
# Even seconds, which DOS times hold exactly.
find "$src" -exec touch -d "2024-05-17 10:30:00" {} +

ico="$WORK/acme.ico"
convert -size 256x256 gradient:blue-yellow -define icon:auto-resize=256,48,32,16 "$ico" ||
  fail "convert could not make the icon"
acme="$WORK/acme-unsigned.exe"
"$QEV_HOST_TOOL" pack "$src" -o "$acme" --stub "$QEV_STUB" --name "Acme Tool" \
  --program bin/acme.exe --version 2.1.0 --publisher "Acme Ltd" --icon "$ico" >"$WORK/pack.log" 2>&1 ||
  fail "qev pack failed: $(cat "$WORK/pack.log")"
"$QEV_HOST_TOOL" list "$acme" >"$WORK/list.txt" || fail "qev list failed"
grep -q '^installer: Acme Tool Installation$' "$WORK/list.txt" || fail "qev list: $(head -3 "$WORK/list.txt")"

# The icon: every image of the file, its bytes unchanged, each one made into
# an icon by Windows.
mkdir -p "$WORK/icons"
probe icons "$acme" "$(winepath -w "$WORK/icons")" >"$WORK/icons.txt" || fail "icons: $(cat "$WORK/icons.txt")"
u16() { od -An -tu2 -j "$2" -N 2 "$1" | tr -d ' '; }
u32() { od -An -tu4 -j "$2" -N 4 "$1" | tr -d ' '; }
count=$(u16 "$ico" 4)
[ "$(grep -c ' made$' "$WORK/icons.txt")" = "$count" ] || fail "icons: $(cat "$WORK/icons.txt")"
for i in $(seq "$count"); do
  entry=$((6 + 16 * (i - 1)))
  size=$(u32 "$ico" $((entry + 8)))
  offset=$(u32 "$ico" $((entry + 12)))
  cmp -s <(tail -c +$((offset + 1)) "$ico" | head -c "$size") "$WORK/icons/image$i.bin" ||
    fail "icon image $i differs from the file's"
done
grep -q '^for 256 pixels: 1$' "$WORK/icons.txt" || fail "the 256-pixel image is not the one chosen: $(tail -1 "$WORK/icons.txt")"
note "icon: $count images (the 256-pixel one a PNG), as in the file"
# The version record, as Explorer's Details tab reads it.
probe version "$acme" >"$WORK/version.txt" || fail "version record: $(cat "$WORK/version.txt")"
printf '%s\n' "fixed 2.1.0.0 2.1.0.0" "ProductName=Acme Tool" "FileDescription=Acme Tool Setup" \
  "CompanyName=Acme Ltd" "ProductVersion=2.1.0" "FileVersion=2.1.0" >"$WORK/version.want"
cmp -s "$WORK/version.txt" "$WORK/version.want" || fail "version record: $(cat "$WORK/version.txt")"
note "version record: $(tr '\n' ';' <"$WORK/version.txt")"

# Signed, as a publisher ships it.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Acme Test Signing" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$WORK/key.pem" -out "$WORK/cert.pem" \
  >"$WORK/openssl.log" 2>&1 || fail "openssl: $(cat "$WORK/openssl.log")"
acme="$WORK/acme-setup.exe"
osslsigncode sign -certs "$WORK/cert.pem" -key "$WORK/key.pem" -n "Acme Tool Setup" \
  -in "$WORK/acme-unsigned.exe" -out "$acme" >"$WORK/sign.log" 2>&1 || fail "signing: $(cat "$WORK/sign.log")"
osslsigncode verify -CAfile "$WORK/cert.pem" -in "$acme" >"$WORK/verify.log" 2>&1 ||
  fail "the signature does not verify: $(tail -5 "$WORK/verify.log")"
note "signed and verified"

export QEV_PROBE_TITLE="Acme Tool Installation"
dest="$DRIVE_C/Program Files/Acme Tool"
win_dest='C:\Program Files\Acme Tool'
start_installer "$acme"
wait_window main >/dev/null
[ "$(control_text main 101)" = "$win_dest" ] || fail "folder offered: $(control_text main 101)"
[ "$(control_text main 102)" = "Acme Tool 2.1.0, Acme Ltd" ] || fail "notice: $(control_text main 102)"
case $(control_text main 105) in *acme-setup.exe*) ;; *) fail "introduction: $(control_text main 105)" ;; esac
shot product-dialog
focus main
key Return
probe gone main "$WAIT_WINDOW_MS" >/dev/null || fail "the dialog did not close after the extraction"
wait_installer_exit 0
same_tree "$src" "$dest"

wait_for_file "$dest/bin/lumetra-started.txt"
tr -d '\r' <"$dest/bin/lumetra-started.txt" >"$WORK/started.txt"
grep -qxF "program: $win_dest\\bin\\acme.exe" "$WORK/started.txt" || fail "started as: $(cat "$WORK/started.txt")"
grep -qxF "command line: \"$win_dest\\bin\\acme.exe\"" "$WORK/started.txt" ||
  fail "not started with its quoted path: $(cat "$WORK/started.txt")"
note "bin\\acme.exe was started from the destination, its path in quotes"

key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Acme Tool'
expect_value() {
  local got
  got=$(reg_value "$key" "$1" "${3:-REG_SZ}") || fail "no $1 in $key"
  [ "$got" = "$2" ] || fail "$1 is \"$got\", expected \"$2\""
}
expect_value DisplayName "Acme Tool"
expect_value UninstallString "\"$win_dest\\bin\\acme.exe\" /uninstall"
expect_value DisplayVersion 2.1.0
expect_value Publisher "Acme Ltd"
expect_value DisplayIcon "\"$win_dest\\bin\\acme.exe\""
expect_value InstallLocation "$win_dest"
# KiB of all files, rounded up.
bytes=$(find "$src" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
expect_value EstimatedSize "$(printf '0x%x' $(((bytes + 1023) / 1024)))" REG_DWORD
expect_value NoModify 0x1 REG_DWORD
expect_value NoRepair 0x1 REG_DWORD
note "uninstall key: every value of Apps & features"

# Without a program: no start, no key, and a box that names the folder.
docs="$WORK/docs-setup.exe"
"$QEV_HOST_TOOL" pack "$src/docs" -o "$docs" --stub "$QEV_STUB" --name "Acme Docs" >"$WORK/pack.log" 2>&1 ||
  fail "qev pack failed: $(cat "$WORK/pack.log")"
export QEV_PROBE_TITLE="Acme Docs Installation"
start_installer "$docs"
wait_window main >/dev/null
focus main
key Return
wait_message
[ "$MSG_TEXT" = 'Acme Docs has been installed in C:\Program Files\Acme Docs.' ] ||
  fail "closing message: $MSG_TEXT"
expect_box OK yes
focus message
key Return
wait_installer_exit 0
same_tree "$src/docs" "$DRIVE_C/Program Files/Acme Docs"
! wine reg query 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Acme Docs' >/dev/null 2>&1 ||
  fail "an uninstall key was written for a product without a program"
note "without a program: nothing started, no key, the folder named in a box"
