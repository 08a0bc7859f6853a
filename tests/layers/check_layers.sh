#!/bin/sh
# Fails when a source of a layer includes a header of a layer above it.
# Order, lowest first: base (with resources/, data headers), platform,
# decode, archive, shell, encode, cli; tests, fuzz targets, benchmarks and the
# sample product stand above them all and are not checked.
#   check_layers.sh ROOT
# Lists the offenders as "file: includes folder/header" on standard error.
set -eu
root=$1
cd "$root"
if git rev-parse --show-prefix >/dev/null 2>&1; then
  files=$(git ls-files -- base platform decode archive shell encode cli)
else
  files=$(find base platform decode archive shell encode cli -type f 2>/dev/null || true)
fi
bad=0
for f in $files; do
  case $f in *.h|*.cpp) ;; *) continue ;; esac
  out=$(awk -v file="$f" '
    function rank(folder) {
      if (folder == "base" || folder == "resources") return 0
      if (folder == "platform") return 1
      if (folder == "decode") return 2
      if (folder == "archive") return 3
      if (folder == "shell") return 4
      if (folder == "encode") return 5
      if (folder == "cli") return 6
      return -1
    }
    BEGIN { split(file, parts, "/"); own = rank(parts[1]) }
    /^[ \t]*#[ \t]*include[ \t]*"/ {
      header = $0
      sub(/^[^"]*"/, "", header)
      sub(/".*/, "", header)
      n = split(header, p, "/")
      if (n > 1 && rank(p[1]) > own) print file ": includes " header
    }' "$f")
  if [ -n "$out" ]; then
    echo "$out" >&2
    bad=1
  fi
done
if [ "$bad" -ne 0 ]; then
  echo "check_layers.sh: a layer includes a higher one (base <- platform <- decode <- archive <- shell <- encode <- cli)" >&2
  exit 1
fi
