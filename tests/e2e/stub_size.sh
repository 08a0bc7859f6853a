#!/usr/bin/env bash
# The stub's size against its budget: the archive offset that the
# configuration block presets, resources included. Prints the
# size; over the budget, it also prints the largest functions and data from
# the link map, and fails.
set -eu
source "$(dirname "$0")/lib.sh"
budget=$ARCHIVE_OFFSET_PRESET
size=$(stat -c %s "$QEV_STUB")
echo "qevstub.exe: $size bytes (budget $budget)"
if [ "$size" -gt "$budget" ]; then
  echo "FAIL: the stub is $size bytes, over its budget of $budget; the largest parts:" >&2
  map="$(dirname "$QEV_STUB")/qevstub.map"
  # Input sections of the map (function by function), by size.
  [ -f "$map" ] && awk '/^ \.(text|rdata|data)/ { name = $1; if (NF >= 4) print $3, name; else pending = 1; next }
                   pending && NF >= 3 { print $2, name } { pending = 0 }' "$map" |
    while read -r hex section; do echo "$((hex)) $section"; done |
    sort -rn | head -15 | sed 's/^/   /' >&2
  exit 1
fi

