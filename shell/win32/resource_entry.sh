#!/bin/sh
# Points the stub's resource directory entry at its resources, which the
# linker script places inside the code section: the linker fills that entry
# only for a section named .rsrc. The resources' bounds are the symbols
# __stub_resources_start and __stub_resources_end of the link map.
#   resource_entry.sh STUB.exe STUB.map
set -eu
f=$1
map=$2

# Little-endian fields at a file offset.
bytes() { od -An -v -tu1 -j "$1" -N "$2" "$f"; }
u16() { set -- $(bytes "$1" 2); echo $(($1 + ($2 << 8))); }
u32() { set -- $(bytes "$1" 4); echo $(($1 + ($2 << 8) + ($3 << 16) + ($4 << 24))); }
put32() {
  v=$(printf '\\%03o\\%03o\\%03o\\%03o' $(($2 & 255)) $(($2 >> 8 & 255)) \
        $(($2 >> 16 & 255)) $(($2 >> 24 & 255)))
  printf "$v" | dd of="$f" bs=1 seek="$1" conv=notrunc 2>/dev/null
}
symbol() { awk -v name="$1" '$2 == name { print $1; exit }' "$map"; }

start=$(symbol __stub_resources_start)
end=$(symbol __stub_resources_end)
if [ -z "$start" ] || [ -z "$end" ] || [ $((end)) -le $((start)) ]; then
  echo "resource_entry.sh: no resources between the map's symbols in $map" >&2
  exit 1
fi
pe=$(u32 60)                               # e_lfanew
image_base=$(symbol __image_base__)
entry=$((pe + 24 + 112 + 2 * 8))           # data directory 2 of a PE32+ header
put32 "$entry" $((start - image_base))
put32 $((entry + 4)) $((end - start))
