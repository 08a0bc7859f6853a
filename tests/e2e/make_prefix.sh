#!/usr/bin/env bash
# Makes the template Wine prefix that every end-to-end test copies, once per
# build tree, with Wine drawing window frames itself (scripts/wine-prefix.sh).
# Kept until the build tree is removed; no test runs in it.
set -eu
template="$QEV_E2E_WORK/prefix-template"
[ -f "$template/.complete" ] && exit 0
rm -rf "$template"
bash "$QEV_SOURCE_DIR/scripts/wine-prefix.sh" "$template" "$QEV_E2E_WORK/wineboot.log" --frames ||
  { echo "FAIL: no template prefix" >&2; exit 1; }
touch "$template/.complete"
echo "template prefix ready: $template"
