#!/usr/bin/env bash
# The Lumetra installer beside an NSIS installer of the same files, both run
# under Wine in one run of this script: extraction time, speed and size.
#
#   bench/installer_vs_nsis.sh CORPUS [--runs N] [--level N] [--json] [--keep]
#                              [--host-tree DIR] [--win-tree DIR]
#
# CORPUS is the folder both installers carry (the benchmark corpus, made by
# make-corpus.sh). The host tree (default build/) gives qev, the Windows tree
# (default build-win/) the stub and the end-to-end tests' window probe.
#
# What runs. In a work folder of its own under /tmp: a fresh Wine prefix (made
# quietly, without the Mono and Gecko installers) with a persistent Wine
# server, so that every run finds Wine equally warm; a virtual display (Xvfb)
# when DISPLAY is not set. Ours: `qev pack CORPUS --stub qevstub.exe`, as the
# demo packs its installer (default level unless --level). NSIS: makensis with
# `Target amd64-unicode`, the default (zlib) compressor and one section of
# `File /r CORPUS/*`, run silently as `setup.exe /S /D=C:\nsis`. One untimed
# round warms Wine and the page cache, then --runs rounds (default 5) are
# timed, the order of the two installers alternating from round to round;
# before each timed run the earlier destination is removed and `sync` flushes
# the file system, so no run pays for another's write-back.
#
# How it is timed. Every clock here is the kernel's real-time clock: the
# script reads it with `date +%s.%N`, and the file system stamps inode change
# times (ctime) with it (in steps of the kernel's tick at worst, a few
# milliseconds, equally for both installers).
#  - The end, for both: the latest ctime of anything in the destination tree,
#    read after the installer has exited. Each thing an installer does to a
#    file (create, write, set its times, set its attributes) stamps its ctime
#    and nothing after it does (the tree comparison only reads), so the
#    latest ctime is the moment the last file was done with.
#  - Ours starts at the Extract command: the installer is started, its dialog
#    waited for (not timed), the pointer put on the Extract button and left
#    there for half a second; the clock is read just before `xdotool click`,
#    so the click's way through X and Wine counts against us.
#  - NSIS starts when it is started (`wine setup.exe /S ...`), so its time
#    includes Wine's start-up, which is not the installer's; it is measured in
#    the same rounds with a trivial program (GUI subsystem, KERNEL32, USER32
#    and GDI32 imported, no C runtime) whose first act creates a marker file:
#    start-up = the marker's ctime - the clock read before `wine`. NSIS's net
#    time is its time minus the median start-up of the whole script run.
#  - Shown beside: each installer's time from its first file done (the
#    earliest ctime of a file in the tree) to the end: the bulk of the
#    extraction alone, without start-up, NSIS's check of itself, the click's
#    delivery or the first file. (Folder birth times would mark the start of
#    extracting better, but not every file system keeps them.)
# Speed: MB/s = 10^6 bytes of CORPUS's file content per second. Every run's
# tree is compared with CORPUS (diff -r); a difference fails the script.
#
# Exit status: 0 when both installers ran and extracted every file, whether or
# not the targets are met (the report says); 1 on a failure; 2 for a wrong
# command line.
set -uo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/xvfb.sh"
HOST=$ROOT/build
WIN=$ROOT/build-win
RUNS=5
LEVEL=
JSON=0
KEEP=0
CORPUS=
SIZE_TARGET=0.85   # ours at most this times NSIS's size (15 % smaller)
TIME_TARGET=1.00   # ours at most this times NSIS's net time

usage() {
  echo "usage: bench/installer_vs_nsis.sh CORPUS [--runs N] [--level N] [--json] [--keep] [--host-tree DIR] [--win-tree DIR]" >&2
  exit 2
}
while [ $# -gt 0 ]; do
  case $1 in
    --runs) [ $# -ge 2 ] || usage; RUNS=$2; shift ;;
    --level) [ $# -ge 2 ] || usage; LEVEL=$2; shift ;;
    --json) JSON=1 ;;
    --keep) KEEP=1 ;;
    --host-tree) [ $# -ge 2 ] || usage; HOST=$(cd "$2" && pwd) || exit 2; shift ;;
    --win-tree) [ $# -ge 2 ] || usage; WIN=$(cd "$2" && pwd) || exit 2; shift ;;
    -*) usage ;;
    *) [ -z "$CORPUS" ] || usage; CORPUS=$1 ;;
  esac
  shift
done
if [ -z "$CORPUS" ] || [ ! -d "$CORPUS" ]; then usage; fi
CORPUS=$(cd "$CORPUS" && pwd)
[[ $RUNS =~ ^[1-9][0-9]*$ ]] || usage
[ -z "$LEVEL" ] || [[ $LEVEL =~ ^[0-9]$ ]] || usage

QEV=$HOST/qev
STUB=$WIN/qevstub.exe
PROBE=$WIN/tests/e2e/probe.exe

# The report goes to standard output, or with --json to standard error,
# leaving standard output to the JSON object.
if [ $JSON = 1 ]; then exec 3>&2; else exec 3>&1; fi
say() { echo "$*" >&3; }
die() {
  echo "installer_vs_nsis: $*" >&2
  exit 1
}

for tool in wine wineserver wineboot winepath xdotool makensis x86_64-w64-mingw32-gcc diff find sync awk; do
  command -v "$tool" >/dev/null 2>&1 || die "$tool is not installed"
done
[ -n "${DISPLAY:-}" ] || command -v Xvfb >/dev/null 2>&1 || die "no DISPLAY and no Xvfb"
[ -x "$QEV" ] || die "$QEV is missing: build the host tree (or give --host-tree)"
[ -f "$STUB" ] || die "$STUB is missing: build the Windows tree (or give --win-tree)"
[ -f "$PROBE" ] || die "$PROBE is missing: build the Windows tree's tests"

WORK=$(mktemp -d /tmp/qev-vs-nsis.XXXXXX) || die "mktemp failed"
export WINEPREFIX=$WORK/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
DRIVE_C=$WINEPREFIX/drive_c
XVFB_PID=
INSTALLER_PID=
cleanup() {
  if [ -n "$INSTALLER_PID" ]; then kill "$INSTALLER_PID" 2>/dev/null; fi
  if [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
  fi
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
  fi
  if [ $KEEP = 1 ]; then
    echo "installer_vs_nsis: work folder kept: $WORK" >&2
  else
    chmod -R u+w "$WORK" 2>/dev/null
    rm -rf "$WORK"
  fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM

now() { date +%s.%N; }
# latest_change DIR: the latest ctime in the tree, DIR included.
latest_change() { find "$1" -printf '%C@\n' | sort -g | tail -1; }
# first_file DIR: the earliest ctime of a file in the tree.
first_file() { find "$1" -type f -printf '%C@\n' | sort -g | head -1; }
sub() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", a - b }'; }
# median VALUES...
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) printf "%.4f", v[(NR + 1) / 2]; else printf "%.4f", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
calc() { awk "BEGIN { printf \"$1\", $2 }"; }
commas() { printf "%'d" "$1" 2>/dev/null || echo "$1"; }
loadavg() { cut -d' ' -f1-3 /proc/loadavg; }
remove_tree() {
  [ -e "$1" ] || return 0
  chmod -R u+w "$1" 2>/dev/null
  rm -rf "$1"
}
probe() {
  wine "$PROBE" "$@" 2>>"$WORK/probe.log" | tr -d '\r'
  return "${PIPESTATUS[0]}"
}

LOAD_START=$(loadavg)
CORPUS_BYTES=$(find "$CORPUS" -type f -printf '%s\n' | awk '{ n += $1 } END { printf "%d", n }')
CORPUS_FILES=$(find "$CORPUS" -type f | wc -l)
say "corpus: $CORPUS, $CORPUS_FILES files, $(commas "$CORPUS_BYTES") bytes; load average $LOAD_START (2 cores)"

# --- display and Wine ----------------------------------------------------------
if [ -z "${DISPLAY:-}" ]; then
  xvfb_start "$WORK" || die "Xvfb did not start"
fi
say "Wine prefix $WINEPREFIX, display $DISPLAY"
wineboot -i >"$WORK/wineboot.log" 2>&1
wineserver -w
[ -f "$WINEPREFIX/system.reg" ] || die "wineboot made no prefix (log kept with --keep: $WORK/wineboot.log)"
# From here on one Wine server serves every run, however long the pauses.
wineserver -p

# --- the three programs ----------------------------------------------------------
cat >"$WORK/started.c" <<'EOF'
// Creates the file its command line names, then ends: the moment a program
// gets control under Wine is that file's change time.
#include <windows.h>

void start(void) {
  const char* p = GetCommandLineA();
  if (*p == '"') {
    for (p++; *p && *p != '"'; p++) {}
    if (*p) p++;
  } else {
    while (*p && *p != ' ') p++;
  }
  while (*p == ' ') p++;
  HANDLE file = CreateFileA(p, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  // USER32 and GDI32 are imported, as by both installers.
  if (GetSystemMetrics(SM_CXSCREEN) < 0 || GetStockObject(WHITE_BRUSH) == NULL) ExitProcess(2);
  ExitProcess(file == INVALID_HANDLE_VALUE ? 1 : 0);
}
EOF
x86_64-w64-mingw32-gcc -O2 -s -mwindows -nostdlib -nostartfiles -Wl,-e,start -o "$WORK/started.exe" \
  "$WORK/started.c" -lkernel32 -luser32 -lgdi32 2>"$WORK/started.log" ||
  die "the start-up program did not build: $(cat "$WORK/started.log")"

say "\$ qev pack CORPUS -o qev-setup.exe --stub $STUB${LEVEL:+ --level $LEVEL}"
t0=$(now)
"$QEV" pack "$CORPUS" -o "$WORK/qev-setup.exe" --stub "$STUB" ${LEVEL:+--level "$LEVEL"} >"$WORK/pack.log" 2>&1 ||
  die "qev pack failed: $(cat "$WORK/pack.log")"
QEV_PACK_S=$(sub "$(now)" "$t0")
QEV_BYTES=$(stat -c %s "$WORK/qev-setup.exe")
STUB_BYTES=$(stat -c %s "$STUB")

cat >"$WORK/nsis.nsi" <<EOF
Target amd64-unicode
Name "Lumetra"
OutFile "$WORK/nsis-setup.exe"
InstallDir "C:\\nsis"
Section
  SetOutPath "\$INSTDIR"
  File /r "$CORPUS/*"
SectionEnd
EOF
say "\$ makensis nsis.nsi (Target amd64-unicode, default compressor)"
t0=$(now)
makensis -V2 "$WORK/nsis.nsi" >"$WORK/makensis.log" 2>&1 || die "makensis failed: $(tail -20 "$WORK/makensis.log")"
NSIS_PACK_S=$(sub "$(now)" "$t0")
NSIS_BYTES=$(stat -c %s "$WORK/nsis-setup.exe")
say "installers: ours $(commas "$QEV_BYTES") bytes (stub $(commas "$STUB_BYTES"), packed in ${QEV_PACK_S} s), NSIS $(commas "$NSIS_BYTES") bytes (made in ${NSIS_PACK_S} s)"

NSIS_DEST=$DRIVE_C/nsis
QEV_DEST=   # the installer's preset destination, read from its dialog

# --- one run of each ------------------------------------------------------------
# Each sets RESULT (seconds) and, for the installers, EXTRACT (seconds from the
# first file done to the end).

run_startup() {
  rm -f "$DRIVE_C/started.txt"
  sync
  local t0
  t0=$(now)
  wine "$WORK/started.exe" 'C:\started.txt' >/dev/null 2>&1 || die "the start-up program failed"
  [ -f "$DRIVE_C/started.txt" ] || die "the start-up program left no marker"
  RESULT=$(sub "$(find "$DRIVE_C/started.txt" -printf '%C@')" "$t0")
}

run_nsis() {
  remove_tree "$NSIS_DEST"
  sync
  local t0
  t0=$(now)
  wine "$WORK/nsis-setup.exe" /S '/D=C:\nsis' >>"$WORK/nsis-run.log" 2>&1 || die "the NSIS installer failed"
  [ -d "$NSIS_DEST" ] || die "the NSIS installer extracted nothing"
  finish_run NSIS "$NSIS_DEST" "$t0"
}

# finish_run NAME DEST T0: after an installer has ended, RESULT is the time
# from T0 to the last change in DEST, EXTRACT from its first file to that
# change; the tree must equal the corpus.
finish_run() {
  local end
  end=$(latest_change "$2")
  RESULT=$(sub "$end" "$3")
  EXTRACT=$(sub "$end" "$(first_file "$2")")
  diff -rq "$CORPUS" "$2" >"$WORK/diff.log" 2>&1 ||
    die "$1: the extracted tree differs from the corpus: $(head -5 "$WORK/diff.log")"
}

run_ours() {
  [ -z "$QEV_DEST" ] || remove_tree "$QEV_DEST"
  sync
  (cd "$WORK" && exec wine "$WORK/qev-setup.exe") >>"$WORK/qev-run.log" 2>&1 &
  INSTALLER_PID=$!
  probe wait main 60000 >/dev/null || die "our installer showed no dialog"
  if [ -z "$QEV_DEST" ]; then
    local folder
    folder=$(probe controls main | awk -F'\t' '$1 == 101 { print $4; exit }')
    [ -n "$folder" ] || die "cannot read the destination in the dialog"
    QEV_DEST=$(winepath -u "$folder" 2>/dev/null)
    [ -n "$QEV_DEST" ] || die "cannot map $folder to a host path"
    QEV_DEST=${QEV_DEST%/}
    [ ! -e "$QEV_DEST" ] || die "the destination $QEV_DEST exists already"
    say "our installer's destination: $folder"
  fi
  local xy t0
  xy=$(probe where main 108) || die "cannot find the Extract button"
  # shellcheck disable=SC2086
  xdotool mousemove --sync $xy
  sleep 0.5
  t0=$(now)
  xdotool click 1
  for _ in $(seq 1200); do
    kill -0 "$INSTALLER_PID" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$INSTALLER_PID" 2>/dev/null && die "our installer did not end within two minutes of Extract"
  wait "$INSTALLER_PID"
  INSTALLER_PID=
  [ -d "$QEV_DEST" ] || die "our installer extracted nothing"
  finish_run ours "$QEV_DEST" "$t0"
}

# --- the rounds ------------------------------------------------------------------
say "warm-up round (untimed)"
run_startup
run_nsis
run_ours

startups=()
nsis_times=()
nsis_extracts=()
ours_times=()
ours_extracts=()
for round in $(seq "$RUNS"); do
  line="round $round:"
  for who in $([ $((round % 2)) = 1 ] && echo "nsis ours" || echo "ours nsis"); do
    run_startup
    startups+=("$RESULT")
    line+=" start-up $RESULT s;"
    if [ "$who" = nsis ]; then
      run_nsis
      nsis_times+=("$RESULT")
      nsis_extracts+=("$EXTRACT")
      line+=" NSIS $RESULT s from start ($EXTRACT s after its first file);"
    else
      run_ours
      ours_times+=("$RESULT")
      ours_extracts+=("$EXTRACT")
      line+=" ours $RESULT s from Extract ($EXTRACT s after its first file);"
    fi
  done
  say "$line"
done
LOAD_END=$(loadavg)

# --- the report --------------------------------------------------------------------
STARTUP=$(median "${startups[@]}")
nets=()
for t in "${nsis_times[@]}"; do nets+=("$(sub "$t" "$STARTUP")"); done
NSIS_S=$(median "${nsis_times[@]}")
NSIS_NET=$(median "${nets[@]}")
NSIS_EXTRACT=$(median "${nsis_extracts[@]}")
OURS_S=$(median "${ours_times[@]}")
OURS_EXTRACT=$(median "${ours_extracts[@]}")
mbps() { calc "%.1f" "$CORPUS_BYTES / 1e6 / $1"; }
NSIS_MBPS=$(mbps "$NSIS_NET")
OURS_MBPS=$(mbps "$OURS_S")
TIME_RATIO=$(calc "%.3f" "$OURS_S / $NSIS_NET")
SIZE_RATIO=$(calc "%.3f" "$QEV_BYTES / $NSIS_BYTES")
SMALLER=$(calc "%.1f" "100 * (1 - $QEV_BYTES / $NSIS_BYTES)")
TIME_OK=$(calc "%d" "$TIME_RATIO <= $TIME_TARGET")
SIZE_OK=$(calc "%d" "$SIZE_RATIO <= $SIZE_TARGET")
verdict() { [ "$1" = 1 ] && echo PASS || echo FAIL; }

say ""
say "medians of $RUNS rounds (every tree compared with the corpus: identical)"
say "  Wine start-up (trivial program)   $STARTUP s   (${#startups[@]} runs)"
say "  NSIS, from its start              $NSIS_S s"
say "  NSIS, net of Wine start-up        $NSIS_NET s = $NSIS_MBPS MB/s   (first file to last: $NSIS_EXTRACT s)"
say "  ours, from Extract                $OURS_S s = $OURS_MBPS MB/s   (first file to last: $OURS_EXTRACT s)"
say "  load average: $LOAD_START at the start, $LOAD_END at the end (2 cores)"
say "targets:"
say "  $(verdict "$TIME_OK") time: ours $OURS_S s = $TIME_RATIO x NSIS's $NSIS_NET s (<= $TIME_TARGET)"
say "  $(verdict "$SIZE_OK") size: ours $(commas "$QEV_BYTES") bytes = $SIZE_RATIO x NSIS's $(commas "$NSIS_BYTES"), $SMALLER % smaller (>= 15 %)"

if [ $JSON = 1 ]; then
  printf '{"corpus_bytes": %s, "corpus_files": %s, "runs": %s, "qev_level": %s, "stub_bytes": %s, ' \
    "$CORPUS_BYTES" "$CORPUS_FILES" "$RUNS" "${LEVEL:-null}" "$STUB_BYTES"
  printf '"qev_installer_bytes": %s, "nsis_installer_bytes": %s, "size_ratio": %s, ' \
    "$QEV_BYTES" "$NSIS_BYTES" "$SIZE_RATIO"
  printf '"wine_startup_s": %s, "nsis_s": %s, "nsis_net_s": %s, "nsis_first_to_last_s": %s, "nsis_MBps": %s, ' \
    "$STARTUP" "$NSIS_S" "$NSIS_NET" "$NSIS_EXTRACT" "$NSIS_MBPS"
  printf '"qev_s": %s, "qev_first_to_last_s": %s, "qev_MBps": %s, "time_ratio": %s, ' \
    "$OURS_S" "$OURS_EXTRACT" "$OURS_MBPS" "$TIME_RATIO"
  printf '"targets_met": %s, "loadavg_start": "%s", "loadavg_end": "%s"}\n' \
    "$([ "$TIME_OK$SIZE_OK" = 11 ] && echo true || echo false)" "$LOAD_START" "$LOAD_END"
fi
exit 0
