#!/usr/bin/env bash
# The stub as a file: a 64-bit GUI program that imports only KERNEL32,
# USER32, GDI32, ADVAPI32 and COMCTL32, with no relocations and no unwind tables; and
# the demo installer's resources exactly as the dialogs need them (the probe
# reads the templates, the icon that the packer adds and the manifest through
# Windows' own resource calls).
set -eu
source "$(dirname "$0")/lib.sh"
NAME=stub_image
headers=$("$QEV_OBJDUMP" -p "$QEV_STUB")
sections=$("$QEV_OBJDUMP" -h "$QEV_STUB")
grep -q 'file format pei-x86-64' <<<"$headers" || fail "not a 64-bit Windows program"
grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$headers" || fail "not a GUI-subsystem program"
grep -Eq '^FileAlignment[[:space:]]+00000200' <<<"$headers" || fail "file alignment is not 512"
dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'a-z' 'A-Z' | sort | tr '\n' ' ')
[ "$dlls" = "ADVAPI32.DLL COMCTL32.DLL GDI32.DLL KERNEL32.DLL USER32.DLL " ] || fail "imports: $dlls"
for s in .reloc .pdata .xdata; do
  if grep -q " $s " <<<"$sections"; then fail "the stub has a $s section"; fi
done
e2e_begin "$NAME"
installer="$QEV_E2E_WORK/installer/lumetra-setup.exe"
probe resources "$installer" >"$WORK/resources.txt" || {
  grep -v '^ok' "$WORK/resources.txt"
  fail "the installer's resources differ from the dialogs' templates"
}
tail -1 "$WORK/resources.txt"

# The manifest, as Windows' resource calls read it: well-formed XML that asks
# for elevation, names Windows 7 to 11 and makes the ANSI code page UTF-8.
require_tools xmllint
probe manifest "$installer" >"$WORK/manifest.xml" || fail "no manifest: $(cat "$WORK/manifest.xml")"
xmllint --noout "$WORK/manifest.xml" 2>"$WORK/xmllint.log" ||
  fail "the manifest is not well-formed XML: $(cat "$WORK/xmllint.log")"
xpath() { xmllint --xpath "$1" "$WORK/manifest.xml" 2>/dev/null; }
[ "$(xpath 'string(/*[local-name()="assembly"]/@manifestVersion)')" = 1.0 ] || fail "manifestVersion is not 1.0"
[ "$(xpath 'string(//*[local-name()="requestedExecutionLevel"]/@level)')" = requireAdministrator ] ||
  fail "the manifest does not ask for elevation"
os_ids=$(xpath '//*[local-name()="supportedOS"]/@Id' | grep -o '{[^}]*}' | sort | tr '\n' ' ')
# Windows 7, 8, 8.1, 10 and 11 (10 and 11 share one id).
[ "$os_ids" = "{1f676c76-80e1-4239-95bb-83d0f6d0da78} {35138b9a-5d96-4fbd-8e2d-a2440225f93a} {4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38} {8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a} " ] ||
  fail "supported systems: $os_ids"
[ "$(xpath 'string(//*[local-name()="activeCodePage"][namespace-uri()="http://schemas.microsoft.com/SMI/2019/WindowsSettings"])')" = UTF-8 ] ||
  fail "the manifest does not make the ANSI code page UTF-8"
note "manifest: $(stat -c %s "$WORK/manifest.xml") bytes of XML; elevation, Windows 7 to 11, UTF-8"

# Wine's loader reads the same manifest when the installer starts (its
# activation-context trace), finds no fault in it, and the dialog comes up.
cp "$QEV_E2E_WORK/installer/lumetra-setup.exe" "$WORK/"
WINEDEBUG=err+actctx,trace+actctx start_installer "$WORK/lumetra-setup.exe"
wait_window main >/dev/null
grep -aq 'get_manifest_in_module looking for res #0001 in module .*lumetra-setup.exe' "$WORK/installer.log" ||
  fail "Wine did not load the installer's manifest"
grep -aq 'parse_settings_elem got L"activeCodePage" L"UTF-8"' "$WORK/installer.log" ||
  fail "Wine did not read activeCodePage from the manifest"
if grep -aq 'err:actctx' "$WORK/installer.log"; then fail "$(grep -a 'err:actctx' "$WORK/installer.log" | head -3)"; fi
note "Wine's loader took the manifest; the main dialog is up"
