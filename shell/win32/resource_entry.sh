#!/bin/sh
# Points the stub's resource directory entry at its resources, which the
# linker script places inside the code section: the linker fills that entry
# only for a section named .rsrc. The resources' bounds are the symbols
# __stub_resources_start and __stub_resources_end of the link map.
#   resource_entry.sh STUB.exe STUB.map
set -eu
f=$1
map=$2

. "$(dirname "$0")/pe_fields.sh"
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
