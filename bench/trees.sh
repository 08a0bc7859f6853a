#!/bin/bash
# Archive size on real trees beside zip -9: qev pack at levels 9 and 6 against
# `zip -9 -r` of the same files, with the level-9 target (at most 0.72 x zip)
# and PASS or FAIL.
#
#   bench/trees.sh [--qev PATH] [--levels "9 6"] [--threads N] [--brotli] [--keep DIR] [TREE]...
#
# Without TREE: Python's standard library, /usr/share/doc, /usr/share/man
# (already compressed pages: expect about 1.0), /usr/share/locale and
# /usr/libexec (x86-64 programs), those that exist. Names Windows cannot hold
# and names that differ only in case are left out of both archives alike
# (qev pack lists them; the second of two names that collide goes). Symbolic
# links are followed by both. --brotli adds `brotli -q 11 --lgwin=19` of one
# tar of the same files (dereferenced): a solid stream with our window.
# Sizes do not depend on the load; speeds (MB/s of input, wall clock, on
# --threads threads, default every core) do, so the load is printed first.
# --keep DIR keeps each archive as DIR/NAME-LEVEL.qev (NAME: the tree's last
# folder name) and the exclusions as DIR/NAME.excluded, for a closer look.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
qev="$here/build/qev"
levels="9 6"
threads=$(nproc)
brotli=0
keep=
trees=()
while [ $# -gt 0 ]; do
  case "$1" in
    --qev) qev=$2; shift 2 ;;
    --levels) levels=$2; shift 2 ;;
    --threads) threads=$2; shift 2 ;;
    --brotli) brotli=1; shift ;;
    --keep) keep=$2; shift 2 ;;
    -h|--help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "trees.sh: unknown option $1" >&2; exit 2 ;;
    *) trees+=("$1"); shift ;;
  esac
done
if [ ${#trees[@]} -eq 0 ]; then
  for t in /usr/lib/python3.11 /usr/share/doc /usr/share/man /usr/share/locale /usr/libexec; do
    [ -d "$t" ] && trees+=("$t")
  done
fi
[ -x "$qev" ] || { echo "trees.sh: no qev at $qev (build first)" >&2; exit 2; }
command -v zip >/dev/null || { echo "trees.sh: zip is missing" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }

echo "load: $(uptime | sed 's/.*load average: //') ($(nproc) cores); qev threads: $threads"
fails=0
for tree in "${trees[@]}"; do
  tree=${tree%/}
  # What qev pack refuses, as paths inside the tree.
  "$qev" pack "$tree" -o "$work/probe.qev" --level 0 -q 2>"$work/problems" >/dev/null || true
  grep "^qev pack: '" "$work/problems" | grep -v "problems in '" |
    sed -E "s/^qev pack: '[^']*' and '([^']*)' differ only in case.*/\1/; t; s/^qev pack: '([^']*)'.*/\1/" |
    sed "s|^$tree/||" | sort -u >"$work/excluded" || true
  qex=() zex=()
  while IFS= read -r p; do
    [ -n "$p" ] || continue
    qex+=(--exclude "$p")
    zex+=("$p" "$p/*")
  done <"$work/excluded"
  rm -f "$work/tree.zip"
  (cd "$tree" && zip -q -9 -r "$work/tree.zip" . ${zex[@]+-x "${zex[@]}"})
  zip_size=$(stat -c %s "$work/tree.zip")
  line="$tree ($(wc -l <"$work/excluded") left out): zip -9 $zip_size"
  for level in $levels; do
    start=$(date +%s.%N)
    "$qev" pack "$tree" -o "$work/tree.qev" --level "$level" --threads "$threads" ${qex[@]+"${qex[@]}"} \
      >"$work/out" 2>&1 || { cat "$work/out" >&2; exit 1; }
    end=$(date +%s.%N)
    size=$(stat -c %s "$work/tree.qev")
    if [ -n "$keep" ]; then
      mkdir -p "$keep"
      cp "$work/tree.qev" "$keep/$(basename "$tree")-$level.qev"
      cp "$work/excluded" "$keep/$(basename "$tree").excluded"
    fi
    bytes_in=$(sed -nE 's/.*folders: ([0-9,]+) bytes ->.*/\1/p' "$work/out" | tr -d ,)
    speed=$(awk -v b="$bytes_in" -v s="$start" -v e="$end" 'BEGIN { printf "%.1f", b / 1e6 / (e - s) }')
    r=$(ratio "$size" "$zip_size")
    verdict=""
    if [ "$level" = 9 ]; then
      if awk -v r="$r" 'BEGIN { exit !(r <= 0.72) }'; then verdict=" PASS"; else verdict=" FAIL"; fails=$((fails + 1)); fi
      verdict=" (target 0.72)$verdict"
    fi
    line="$line; level $level $size = $r x$verdict, $speed MB/s"
  done
  if [ "$brotli" = 1 ]; then
    (cd "$tree" && tar -c -h -f - ${qex[@]+"${qex[@]}"} .) |
      brotli -q 11 --lgwin=19 -c >"$work/tree.br"
    b=$(stat -c %s "$work/tree.br")
    line="$line; brotli solid $b = $(ratio "$b" "$zip_size") x"
  fi
  echo "$line"
done
echo "trees: $((${#trees[@]} - fails)) of ${#trees[@]} at level 9 within 0.72 x zip -9"
