#!/bin/sh
# Puts the sample product together in the folder that the installer packs:
# the files of product/payload, the program lumetra.exe built in the Windows
# tree, and an empty folder "logs". The files get fixed modification times
# (so an extracted tree can be compared with them, and DOS times, which count
# in steps of two seconds, hold them exactly) and LICENSE.txt is made
# read-only, so that the installer has a read-only bit to restore.
#
#   scripts/stage-product.sh WINDOWS_TREE OUT_FOLDER
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
tree=$1
out=$2
program="$tree/product/lumetra.exe"
if [ ! -f "$program" ]; then
  echo "stage-product: $program is missing (build the Windows tree first)" >&2
  exit 1
fi
if [ -d "$out" ]; then
  chmod -R u+w "$out"
  rm -rf "$out"
fi
mkdir -p "$out"
cp -R "$here/product/payload/." "$out/"
cp "$program" "$out/lumetra.exe"
mkdir -p "$out/logs"
find "$out" -type f -exec touch -d "2024-05-17 10:30:00" {} +
touch -d "2023-01-02 03:04:06" "$out/LICENSE.txt"
find "$out" -type d -exec touch -d "2024-05-17 10:30:00" {} +
chmod a-w "$out/LICENSE.txt"
