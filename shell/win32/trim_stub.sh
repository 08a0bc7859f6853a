#!/bin/sh
# Cuts the zeros off the end of the stub's last section (qevstub.ld: the
# writable data, whose zero-initialised part the linker writes out as zeros).
# The loader gives a section zeros wherever its virtual size reaches past the
# bytes its header gives, so the section keeps its bytes up to the last
# nonzero one, rounded up to the file alignment; its header (SizeOfRawData)
# and the file's length say so, and nothing else changes.
#   trim_stub.sh STUB.exe
set -eu
f=$1

. "$(dirname "$0")/pe_fields.sh"

pe=$(u32 60)                                # e_lfanew
sections=$(u16 $((pe + 6)))
optional_size=$(u16 $((pe + 20)))
file_alignment=$(u32 $((pe + 24 + 36)))
last=$((pe + 24 + optional_size + 40 * (sections - 1)))
raw_size=$(u32 $((last + 16)))
raw_pointer=$(u32 $((last + 20)))
length=$(wc -c <"$f")
if [ "$length" -ne $((raw_pointer + raw_size)) ]; then
  echo "trim_stub.sh: $f does not end with its last section's bytes" >&2
  exit 1
fi

# Bytes of the section up to and with its last nonzero one.
keep=$(bytes "$raw_pointer" "$raw_size" | tr -s ' ' '\n' |
       awk 'NF { n++; if ($1 != 0) last = n } END { print last + 0 }')
new_size=$(((keep + file_alignment - 1) / file_alignment * file_alignment))

put32 $((last + 16)) "$new_size"
dd if=/dev/null of="$f" bs=1 seek=$((raw_pointer + new_size)) 2>/dev/null
