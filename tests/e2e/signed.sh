#!/usr/bin/env bash
# A signed installer still extracts: the Authenticode signature is appended
# behind the archive, which the installer never reads. The key and the
# self-signed code-signing certificate are made here with openssl; the
# installer is signed with osslsigncode. The destination is typed into the
# folder box this time (a folder with a space, not yet existing).
set -eu
source "$(dirname "$0")/lib.sh"
e2e_begin signed
require_tools openssl osslsigncode
product="$QEV_E2E_WORK/installer/product"
unsigned="$QEV_E2E_WORK/installer/lumetra-setup.exe"
signed="$WORK/lumetra-setup.exe"

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Lumetra Test Signing" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$WORK/key.pem" -out "$WORK/cert.pem" \
  >"$WORK/openssl.log" 2>&1 || fail "openssl could not make the test certificate: $(cat "$WORK/openssl.log")"
osslsigncode sign -certs "$WORK/cert.pem" -key "$WORK/key.pem" -n "Lumetra Setup" \
  -in "$unsigned" -out "$signed" >"$WORK/sign.log" 2>&1 || fail "osslsigncode sign failed: $(cat "$WORK/sign.log")"
osslsigncode verify -CAfile "$WORK/cert.pem" -in "$signed" >"$WORK/verify.log" 2>&1 ||
  fail "the signature does not verify: $(tail -5 "$WORK/verify.log")"
# The archive bytes stand where they stood; the signature comes after them.
offset=$(archive_offset "$unsigned")
size=$(stat -c %s "$unsigned")
[ "$(stat -c %s "$signed")" -gt "$size" ] || fail "signing added nothing"
cmp -s <(tail -c +$((offset + 1)) "$unsigned") <(tail -c +$((offset + 1)) "$signed" | head -c $((size - offset))) ||
  fail "signing changed the archive"
note "signed: $(stat -c %s "$signed") bytes, signature verified"

dest="$DRIVE_C/Signed Test/Lumetra"
win_dest='C:\Signed Test\Lumetra'
start_installer "$signed"
wait_window main >/dev/null
type_folder "$win_dest"
key Return
probe gone main "$WAIT_WINDOW_MS" >/dev/null || fail "the dialog did not close after the extraction"
wait_installer_exit
same_tree "$product" "$dest"
uninstall=$(reg_value "$UNINSTALL_KEY" UninstallString) || fail "no UninstallString"
[ "$uninstall" = "\"$win_dest\\lumetra.exe\" /uninstall" ] || fail "UninstallString $uninstall"
for i in $(seq 100); do
  [ -s "$dest/lumetra-started.txt" ] && break
  sleep 0.1
done
[ -s "$dest/lumetra-started.txt" ] || fail "lumetra.exe was not started"
note "the signed installer extracted into $win_dest"
