#!/usr/bin/env bash
# Builds the Debian package of qev in one command: the stub in the Windows
# tree, qev and its manual page in the host tree, then cpack. Prints the
# package's path; install it with `apt install ./qev_*.deb` (or try it in a
# scratch root, as tests/package/install.sh does).
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$ROOT"
bash "$ROOT/scripts/setup.sh"
say "== building the stub (build-win/)"
configure_windows
build_tree "$ROOT/build-win" qevstub
say "== building qev and its manual page (build/)"
configure_host
build_tree "$ROOT/build" qev qev_manual
say "== packaging"
rm -rf "$ROOT/build/package"
if ! cpack -G DEB --config "$ROOT/build/CPackConfig.cmake" -B "$ROOT/build/package" \
  >"$ROOT/build/package.log" 2>&1; then
  say "cpack failed (log: build/package.log):"
  tail -20 "$ROOT/build/package.log"
  exit 1
fi
ls "$ROOT"/build/package/qev_*.deb
