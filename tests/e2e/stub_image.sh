#!/usr/bin/env bash
# The stub as a file: a 64-bit GUI program that imports only KERNEL32,
# USER32, GDI32 and ADVAPI32, with no relocations and no unwind tables; and
# its resources exactly as the dialogs need them (the probe reads the
# templates and the icon through Windows' own resource calls).
set -eu
source "$(dirname "$0")/lib.sh"
NAME=stub_image
headers=$("$QEV_OBJDUMP" -p "$QEV_STUB")
sections=$("$QEV_OBJDUMP" -h "$QEV_STUB")
grep -q 'file format pei-x86-64' <<<"$headers" || fail "not a 64-bit Windows program"
grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$headers" || fail "not a GUI-subsystem program"
grep -Eq '^FileAlignment[[:space:]]+00000200' <<<"$headers" || fail "file alignment is not 512"
dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'a-z' 'A-Z' | sort | tr '\n' ' ')
[ "$dlls" = "ADVAPI32.DLL GDI32.DLL KERNEL32.DLL USER32.DLL " ] || fail "imports: $dlls"
for s in .reloc .pdata .xdata; do
  if grep -q " $s " <<<"$sections"; then fail "the stub has a $s section"; fi
done
e2e_begin "$NAME"
probe resources "$QEV_STUB" >"$WORK/resources.txt" || {
  grep -v '^ok' "$WORK/resources.txt"
  fail "the stub's resources differ from the dialogs' templates"
}
tail -1 "$WORK/resources.txt"
