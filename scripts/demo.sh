#!/usr/bin/env bash
# The main job: builds the host tree (build/) and the Windows tree
# (build-win/), then shows what the installer does:
#   1. start-up of the stub under Wine against sample installers (an empty
#      archive, a cut header, a small archive), with a screenshot of each
#      window the stub shows;
#   2. the host tool on a small sample folder (pack, list, test, extract);
#   3. the demo installer (see demo_installer below).
# Whatever is not built yet is reported and skipped. Installs what is missing
# first (scripts/setup.sh). Screenshots and samples go to build-win/demo/ and
# build/demo/.
set -uo pipefail
source "$(dirname "$0")/common.sh"
cd "$ROOT"

TITLE="Lumetra Installation"
STUB="$ROOT/build-win/qevstub.exe"
QEV="$ROOT/build/qev"
WIN_DEMO="$ROOT/build-win/demo"
HOST_DEMO="$ROOT/build/demo"
ARCHIVE_OFFSET=$(sh "$ROOT/scripts/stub-budget.sh")   # where an unpatched stub looks for its archive
BUILD_ERROR_LINES=12   # a failing build shows only its first errors here

bash "$ROOT/scripts/setup.sh" || exit 1

say "== building"
say "  host tree (build/)"
configure_host && build_tree "$ROOT/build" || say "  (the host tree is incomplete; going on with what was built)"
say "  Windows tree (build-win/)"
configure_windows && build_tree "$ROOT/build-win" ||
  say "  (the Windows tree is incomplete; going on with what was built)"

start_display || exit 1
trap stop_display EXIT
prepare_wine || exit 1

# run_windows_program EXE SHOT KEY: runs EXE under Wine, waits for its window
# captioned $TITLE, takes a screenshot into SHOT, answers the window with KEY
# (Return, Escape, ...) and reports the exit code. A program that shows no
# window within 30 seconds, or does not end after KEY, is stopped.
run_windows_program() {
  local exe=$1 shot=$2 key=$3 pid wid rc
  (cd "$(dirname "$exe")" && exec wine "$exe") >/dev/null 2>&1 &
  pid=$!
  wid=$(timeout 30 xdotool search --sync --onlyvisible --name "$TITLE" 2>/dev/null | head -1)
  if [ -z "$wid" ]; then
    say "    no window appeared"
  else
    sleep 1   # let it paint
    # The window alone (without a window manager it has no frame of its own).
    { import -window "$wid" "$shot" || import -window root "$shot"; } 2>/dev/null &&
      say "    screenshot: $shot"
    say "    window: \"$(xdotool getwindowname "$wid" 2>/dev/null)\", answered with $key"
    # Real key presses (XTEST) into the focused window: Wine ignores sent events.
    xdotool windowfocus --sync "$wid" 2>/dev/null
    xdotool key "$key" 2>/dev/null
  fi
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    say "    still running after $key: stopped"
    return 1
  fi
  wait "$pid"
  rc=$?
  say "    exit code: $rc"
}

# Writes the three start-up samples into $WIN_DEMO:
#   sample-setup.exe   a small archive with one file and one folder
#   empty-setup.exe    the same with member_count 0 in its header
#   cut-setup.exe      the empty one cut 41 bytes into its 42-byte header
# qev pack puts the archive right after the stub's image and the resource
# section it adds; its summary gives that size, the archive base. Without qev, and only for a stub within the preset archive
# offset, the empty and cut samples are made by hand at that offset.
make_startup_samples() {
  local base
  rm -f "$WIN_DEMO"/*-setup.exe
  if [ -x "$QEV" ]; then
    mkdir -p "$WIN_DEMO/sample/docs"
    printf 'Lumetra sample\r\n' >"$WIN_DEMO/sample/readme.txt"
    "$QEV" pack "$WIN_DEMO/sample" -o "$WIN_DEMO/sample-setup.exe" --stub "$STUB" >"$WIN_DEMO/pack.log" || return 1
    base=$(sed -n 's/.* with the \([0-9,]*\)-byte stub$/\1/p' "$WIN_DEMO/pack.log" | tr -d ,)
    cp "$WIN_DEMO/sample-setup.exe" "$WIN_DEMO/empty-setup.exe"
    printf '\0\0\0\0' | dd of="$WIN_DEMO/empty-setup.exe" bs=1 seek=$((base + 8)) conv=notrunc status=none
  elif [ "$(stat -c %s "$STUB")" -le "$ARCHIVE_OFFSET" ]; then
    base=$ARCHIVE_OFFSET
    cp "$STUB" "$WIN_DEMO/empty-setup.exe"
    truncate -s "$base" "$WIN_DEMO/empty-setup.exe"
    {
      printf 'QEV\n'
      printf '\x2a\x00\x00\x00'            # directory_pos 42
      printf '\x00\x00\x00\x00'            # member_count 0
      head -c 30 /dev/zero                 # the rest of the header
    } >>"$WIN_DEMO/empty-setup.exe"
  else
    say "  no qev to pack with, and the stub is larger than the preset archive offset"
    return 1
  fi
  cp "$WIN_DEMO/empty-setup.exe" "$WIN_DEMO/cut-setup.exe"
  truncate -s $((base + 41)) "$WIN_DEMO/cut-setup.exe"
}

show_startup() {
  say "== start-up of the stub under Wine"
  if [ ! -f "$STUB" ]; then
    say "  $STUB is not built yet: skipped"
    return
  fi
  mkdir -p "$WIN_DEMO"
  say "  stub: $(stat -c %s "$STUB") bytes"
  make_startup_samples || return
  say "  an empty archive (expected: \"Archive contains no files\", exit code 1)"
  run_windows_program "$WIN_DEMO/empty-setup.exe" "$WIN_DEMO/startup-empty.png" Return
  say "  a header cut at 41 bytes (expected: \"Cannot read cut-setup.exe\", exit code 1)"
  run_windows_program "$WIN_DEMO/cut-setup.exe" "$WIN_DEMO/startup-cut.png" Return
  if [ -f "$WIN_DEMO/sample-setup.exe" ]; then
    say "  a sample archive (expected: the main dialog; Alt+F4 closes it, exit code 1)"
    run_windows_program "$WIN_DEMO/sample-setup.exe" "$WIN_DEMO/startup-sample.png" alt+F4
  fi
}

show_host_tool() {
  say "== the host tool"
  if [ ! -x "$QEV" ]; then
    say "  $QEV is not built yet: skipped"
    return
  fi
  rm -rf "$HOST_DEMO"
  mkdir -p "$HOST_DEMO/sample/docs" "$HOST_DEMO/out"
  printf 'Lumetra sample\n' >"$HOST_DEMO/sample/readme.txt"
  seq 1 20000 >"$HOST_DEMO/sample/docs/numbers.txt"
  head -c 65536 /dev/urandom >"$HOST_DEMO/sample/random.bin"
  local step
  for step in "pack $HOST_DEMO/sample -o $HOST_DEMO/sample.qev" "list $HOST_DEMO/sample.qev" \
              "test $HOST_DEMO/sample.qev" "extract $HOST_DEMO/sample.qev -C $HOST_DEMO/out"; do
    say "  \$ qev $step"
    # shellcheck disable=SC2086
    "$QEV" $step 2>&1 | sed 's/^/    /'
    say "    (exit status ${PIPESTATUS[0]})"
  done
  if diff -r "$HOST_DEMO/sample" "$HOST_DEMO/out" >/dev/null 2>&1; then
    say "  extracted tree matches the sample"
  else
    say "  extracted tree differs from the sample"
  fi
}

# ---------------------------------------------------------------------------
# demo_installer: the real demo. Packs the sample product into
# build-win/lumetra-setup.exe with build/qev and the stub, runs it under Wine
# in the virtual display, takes screenshots, and shows the extracted tree and
# the uninstall key. (Filled in with the sample product and the dialogs.)
demo_installer() {
  say "== the demo installer"
  "$ROOT/scripts/demo-installer.sh" || say "  (the demo installer did not run to its end)"
}
# ---------------------------------------------------------------------------

show_startup
show_host_tool
demo_installer
say "== done"
