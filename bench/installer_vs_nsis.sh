#!/usr/bin/env bash
# The Lumetra installer beside an NSIS installer of the same files, both run
# under Wine in one run of this script, with their windows and silently (/S):
# the time a user waits, to the last file written and to the installer's end,
# on the benchmark corpus and on two trees of many small files.
#
#   bench/installer_vs_nsis.sh CORPUS [--runs N] [--level N] [--json] [--keep]
#                              [--python DIR|none] [--small-files N]
#                              [--host-tree DIR] [--win-tree DIR]
#
# The trees. CORPUS (the benchmark corpus, made by make-corpus.sh); Python's
# standard library (--python, default /usr/lib/python3.11; `none` leaves it
# out); and a tree generated here of --small-files files (default 5,000; 0
# leaves it out) of 100 bytes to 8 KiB of text in 100 folders, the same on
# every run. Each tree is staged in the work folder (hard links where the
# file system allows them, links followed) together with the program both
# installers start at their end, lumetra.exe: a trivial program that creates
# C:\lumetra-started.txt, outside the destination, and ends.
#
# The installers. Ours: `qev pack TREE --stub qevstub.exe --silent-switches`
# (default level unless --level): Lumetra's installer, which starts
# lumetra.exe and writes its uninstall key. NSIS: makensis with
# `Target amd64-unicode` and the default (zlib) compressor, a directory page
# and the progress page (InstFiles) closing itself when done
# (`AutoCloseWindow true`), one section of `File /r TREE/*`, two uninstall
# values and `Exec` of lumetra.exe: the same work. Each tree is compared with
# what each installer extracted, every run (diff -r); a difference fails the
# script.
#
# What runs. In a work folder of its own under /tmp: a fresh Wine prefix (made
# quietly, without the Mono and Gecko installers) with a persistent Wine
# server, so that every run finds Wine equally warm; a virtual display (Xvfb)
# when DISPLAY is not set. One untimed round warms Wine and the page cache,
# then --runs rounds (default 5) are timed. A round runs, for every tree, the
# start-up program and both installers in both modes, ours first in odd
# rounds and NSIS first in even ones. Every run installs into a folder of its
# own (C:\qev1, C:\nsis2, ...), and before it `sync` flushes the file system,
# so that no run pays for another's write-back. The folders are removed only
# when the script ends: deleting thousands of files makes a file system
# mounted with `discard` (ext4 on this kind of virtual machine) stall new
# files for seconds afterwards, while it trims the freed blocks, and that
# stall, the script's own clean-up, would fall on whichever installer ran
# next (measured here: 5,000 files created in 0.1 s, or in 0.6 to 1.7 s
# within seconds of deleting as many). The script's own clean-up at its end
# weighs on whatever follows it in the same way: run right after another run,
# the small files took 2 to 2.6 times as long for both installers (ours 0.36 s
# to 0.94 s, NSIS 0.59 s to 1.2 s), which brings the ratio towards 1; let a few
# minutes pass between runs. Figures are medians of the rounds.
#
# How it is timed. Every clock here is the kernel's real-time clock: the
# script reads it with `date +%s.%N`, and the file system stamps inode change
# times (ctime) with it.
#  - The last file: the latest ctime of anything in the destination tree, read
#    after the installer has ended. Each thing an installer does to a file
#    (create, write, set its times or attributes, rename) stamps its ctime and
#    nothing after it does, so the latest ctime is the moment the last file
#    was done with.
#  - The end: the clock read when the installer's process has ended (the
#    shell's `wait`, or `wine` returning): the moment its window is gone and
#    whoever started it gets control back.
#  - With the windows, both are timed from the click that starts the work:
#    the installer is started with its folder preset (`/D=`, which NSIS
#    also takes), its window waited for (not timed), the pointer
#    put on Extract (ours) or Install (NSIS) and left there for half a
#    second; the clock is read just before `xdotool click`, so the click's
#    way through X and Wine counts against each.
#  - Silently, `wine setup.exe /S /D=...` is timed from its start, which
#    includes Wine's start-up and end of a process, neither of them the
#    installer's: the start-up program measures them in the same rounds (a
#    GUI program importing KERNEL32, USER32 and GDI32, no C runtime, whose
#    first act creates a marker file). Time to the last file is net of the
#    start-up (the marker's ctime minus the clock read before `wine`), time
#    to the end net of the whole run of the start-up program (its end minus
#    that clock); medians of the script run.
# Speed: MB/s = 10^6 bytes of the tree's file content per second to the end.
#
# Targets: ours at most 0.70 x NSIS's time, to the last file and to the end,
# on every tree, with the windows and silently; ours at most 0.85 x NSIS's
# size on the corpus.
#
# Exit status: 0 when every installer ran and extracted every file, whether or
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
PYTHON_TREE=/usr/lib/python3.11
SMALL_FILES=5000
SIZE_TARGET=0.85   # ours at most this times NSIS's size on the corpus (15 % smaller)
TIME_TARGET=0.70   # ours at most this times NSIS's time, every tree and mode

usage() {
  echo "usage: bench/installer_vs_nsis.sh CORPUS [--runs N] [--level N] [--json] [--keep] [--python DIR|none] [--small-files N] [--host-tree DIR] [--win-tree DIR]" >&2
  exit 2
}
while [ $# -gt 0 ]; do
  case $1 in
    --runs) [ $# -ge 2 ] || usage; RUNS=$2; shift ;;
    --level) [ $# -ge 2 ] || usage; LEVEL=$2; shift ;;
    --json) JSON=1 ;;
    --keep) KEEP=1 ;;
    --python) [ $# -ge 2 ] || usage; PYTHON_TREE=$2; shift ;;
    --small-files) [ $# -ge 2 ] || usage; SMALL_FILES=$2; shift ;;
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
[[ $SMALL_FILES =~ ^[0-9]+$ ]] || usage
if [ "$PYTHON_TREE" != none ]; then
  [ -d "$PYTHON_TREE" ] || { echo "installer_vs_nsis: no $PYTHON_TREE (--python none leaves it out)" >&2; exit 2; }
fi

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

for tool in wine wineserver wineboot xdotool makensis x86_64-w64-mingw32-gcc diff find sync awk; do
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
MARKER=$DRIVE_C/lumetra-started.txt
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
sub() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", a - b }'; }
# median VALUES...
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) printf "%.4f", v[(NR + 1) / 2]; else printf "%.4f", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
calc() { awk "BEGIN { printf \"$1\", $2 }"; }
commas() { printf "%'d" "$1" 2>/dev/null || echo "$1"; }
loadavg() { cut -d' ' -f1-3 /proc/loadavg; }
# probe TITLE ARGS...: the end-to-end tests' window probe, looking for windows
# captioned TITLE.
probe() {
  local title=$1
  shift
  QEV_PROBE_TITLE=$title probe_window "$PROBE" "$WORK/probe.log" "$@"
}

LOAD_START=$(loadavg)
say "load average $LOAD_START at the start (2 cores)"

# --- display and Wine ----------------------------------------------------------
if [ -z "${DISPLAY:-}" ]; then
  xvfb_start "$WORK" || die "Xvfb did not start"
fi
say "Wine prefix $WINEPREFIX, display $DISPLAY"
bash "$ROOT/scripts/wine-prefix.sh" "$WINEPREFIX" "$WORK/wineboot.log" || die "no Wine prefix"
# From here on one Wine server serves every run, however long the pauses.
wineserver -p

# --- the start-up program, which is also the program the installers start -----
cat >"$WORK/started.c" <<'EOF'
// Creates the file its command line names (C:\lumetra-started.txt without
// one), then ends: the moment a program gets control under Wine is that
// file's change time.
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
  if (!*p) p = "C:\\lumetra-started.txt";
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

# --- the trees -------------------------------------------------------------------
# make_small_tree DIR COUNT: COUNT files of text, 100 to 8,191 bytes, in 100
# folders (10 of 10), the same bytes on every run.
make_small_tree() {
  awk -v dir="$1" -v count="$2" 'BEGIN {
    split("the of and to in is that for it as with was on be by at this from or an " \
          "installer archive folder file window progress stream member name time " \
          "Lumetra value return count table block length offset write read", words, " ")
    n = length(words)
    seed = 12345
    for (i = 0; i < count; i++) {
      folder = sprintf("%s/d%d/e%d", dir, int(i / 10) % 10, i % 10)
      if (i < 100) system("mkdir -p \"" folder "\"")
      path = sprintf("%s/f%05d.txt", folder, i)
      seed = (seed * 1103515245 + 12345) % 2147483648
      size = 100 + seed % 8092
      text = ""
      while (length(text) < size) {
        seed = (seed * 1103515245 + 12345) % 2147483648
        text = text words[1 + int(seed / 65536) % n] ((seed % 11) ? " " : "\n")
      }
      printf "%s", substr(text, 1, size) > path
      close(path)
    }
  }'
}

TREES=()
declare -A SOURCE STAGED FILES BYTES QEV_SIZE NSIS_SIZE
# stage NAME SOURCE: the tree as both installers carry it, with lumetra.exe.
stage() {
  local name=$1 src=$2 dest=$WORK/trees/$1
  mkdir -p "$WORK/trees"
  cp -rlL "$src" "$dest" 2>/dev/null || { rm -rf "$dest"; cp -rL "$src" "$dest"; } ||
    die "cannot copy $src"
  [ ! -e "$dest/lumetra.exe" ] || die "$src holds a lumetra.exe already"
  cp "$WORK/started.exe" "$dest/lumetra.exe"
  TREES+=("$name")
  SOURCE[$name]=$src
  STAGED[$name]=$dest
  FILES[$name]=$(find "$dest" -type f | wc -l)
  BYTES[$name]=$(find "$dest" -type f -printf '%s\n' | awk '{ n += $1 } END { printf "%d", n }')
}
stage corpus "$CORPUS"
[ "$PYTHON_TREE" = none ] || stage python "$(cd "$PYTHON_TREE" && pwd)"
if [ "$SMALL_FILES" -gt 0 ]; then
  make_small_tree "$WORK/small-files" "$SMALL_FILES"
  stage small "$WORK/small-files"
  SOURCE[small]="generated: $SMALL_FILES files"
fi

# --- the installers ----------------------------------------------------------------
STUB_BYTES=$(stat -c %s "$STUB")
for name in "${TREES[@]}"; do
  tree=${STAGED[$name]}
  "$QEV" pack "$tree" -o "$WORK/qev-$name.exe" --stub "$STUB" --silent-switches ${LEVEL:+--level "$LEVEL"} \
    >"$WORK/pack-$name.log" 2>&1 || die "qev pack of $name failed: $(cat "$WORK/pack-$name.log")"
  cat >"$WORK/nsis-$name.nsi" <<EOF
Target amd64-unicode
Name "Lumetra"
OutFile "$WORK/nsis-$name.exe"
InstallDir "C:\\nsis"
AutoCloseWindow true
Page directory
Page instfiles
Section
  SetOutPath "\$INSTDIR"
  File /r "$tree/*"
  WriteRegStr HKLM "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\LumetraNSIS" "DisplayName" "Lumetra"
  WriteRegStr HKLM "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\LumetraNSIS" "UninstallString" '"\$INSTDIR\\lumetra.exe" /uninstall'
  Exec '"\$INSTDIR\\lumetra.exe"'
SectionEnd
EOF
  makensis -V2 "$WORK/nsis-$name.nsi" >"$WORK/makensis-$name.log" 2>&1 ||
    die "makensis of $name failed: $(tail -20 "$WORK/makensis-$name.log")"
  QEV_SIZE[$name]=$(stat -c %s "$WORK/qev-$name.exe")
  NSIS_SIZE[$name]=$(stat -c %s "$WORK/nsis-$name.exe")
  say "$name: ${SOURCE[$name]}, $(commas "${FILES[$name]}") files, $(commas "${BYTES[$name]}") bytes;" \
    "installers: ours $(commas "${QEV_SIZE[$name]}") bytes, NSIS $(commas "${NSIS_SIZE[$name]}")"
done
say "stub $(commas "$STUB_BYTES") bytes${LEVEL:+, level $LEVEL}"

RUN_NO=0

# --- one run of each ------------------------------------------------------------
# Each installer run sets TO_LAST and TO_EXIT (seconds, gross: from the click
# or from the start).

run_startup() {
  rm -f "$DRIVE_C/started.txt"
  sync
  local t0 t1
  t0=$(now)
  wine "$WORK/started.exe" 'C:\started.txt' >/dev/null 2>&1 || die "the start-up program failed"
  t1=$(now)
  [ -f "$DRIVE_C/started.txt" ] || die "the start-up program left no marker"
  STARTUP=$(sub "$(find "$DRIVE_C/started.txt" -printf '%C@')" "$t0")
  PROCESS=$(sub "$t1" "$t0")
}

# prepare WHO: a destination of the run's own, DEST on the host and WIN_DEST
# as Windows names it; no marker of the program started, no pending writes.
prepare() {
  RUN_NO=$((RUN_NO + 1))
  local folder=$([ "$1" = ours ] && echo qev || echo nsis)$RUN_NO
  DEST=$DRIVE_C/$folder
  WIN_DEST="C:\\$folder"
  [ ! -e "$DEST" ] || die "$DEST exists already"
  rm -f "$MARKER"
  sync
}

# finish_run WHO TREE DEST T0 T1: after an installer has ended (at T1), the
# times from T0; the tree must equal the source, and lumetra.exe must have
# been started.
finish_run() {
  TO_LAST=$(sub "$(latest_change "$3")" "$4")
  TO_EXIT=$(sub "$5" "$4")
  diff -r "${STAGED[$2]}" "$3" >"$WORK/diff.log" 2>&1 ||
    die "$1, $2: the extracted tree differs from its source: $(head -5 "$WORK/diff.log")"
  for _ in $(seq 100); do
    [ -e "$MARKER" ] && return
    sleep 0.1
  done
  die "$1, $2: lumetra.exe was not started"
}

# run_dialog WHO TREE: the installer with its window, from the click.
run_dialog() {
  local who=$1 name=$2 exe title button xy t0 t1
  if [ "$who" = ours ]; then
    exe=$WORK/qev-$name.exe title="Lumetra Installation" button=108
  else
    exe=$WORK/nsis-$name.exe title="Lumetra Setup: Installation Folder" button=1
  fi
  prepare "$who"
  local dest=$DEST
  (cd "$WORK" && exec wine "$exe" "/D=$WIN_DEST") >>"$WORK/run.log" 2>&1 &
  INSTALLER_PID=$!
  # Ours is found as the main dialog (control 101), NSIS's as any other window.
  local kind=message
  [ "$who" = ours ] && kind=main
  probe "$title" wait $kind 60000 >/dev/null || die "$who, $name: no window"
  xy=$(probe "$title" where $kind $button) || die "$who, $name: cannot find the button to start"
  # shellcheck disable=SC2086
  xdotool mousemove --sync $xy
  sleep 0.5
  t0=$(now)
  xdotool click 1
  wait "$INSTALLER_PID"
  local status=$?
  t1=$(now)
  INSTALLER_PID=
  [ $status = 0 ] || die "$who, $name: the installer ended with $status"
  [ -d "$dest" ] || die "$who, $name: nothing extracted"
  finish_run "$who" "$name" "$dest" "$t0" "$t1"
}

# run_silent WHO TREE: the installer with /S, from its start.
run_silent() {
  local who=$1 name=$2 t0 t1 status
  prepare "$who"
  local dest=$DEST
  t0=$(now)
  wine "$WORK/$([ "$who" = ours ] && echo qev || echo nsis)-$name.exe" /S "/D=$WIN_DEST" \
    >>"$WORK/run.log" 2>&1
  status=$?
  t1=$(now)
  [ $status = 0 ] || die "$who, $name: the installer ended with $status under /S"
  [ -d "$dest" ] || die "$who, $name: nothing extracted under /S"
  finish_run "$who" "$name" "$dest" "$t0" "$t1"
}

# --- the rounds ------------------------------------------------------------------
declare -A TIMES   # "TREE MODE WHO last|exit" -> the runs' times
startups=()
processes=()
round() {
  local timed=$1 first=$2 name mode who line
  for name in "${TREES[@]}"; do
    run_startup
    [ "$timed" = 0 ] || { startups+=("$STARTUP"); processes+=("$PROCESS"); }
    line="  $name: start-up $STARTUP s, process $PROCESS s;"
    for mode in dialog silent; do
      for who in $first $([ "$first" = ours ] && echo nsis || echo ours); do
        "run_$mode" "$who" "$name"
        line+=" $who $mode $TO_LAST/$TO_EXIT s;"
        [ "$timed" = 0 ] && continue
        TIMES["$name $mode $who last"]+=" $TO_LAST"
        TIMES["$name $mode $who exit"]+=" $TO_EXIT"
      done
    done
    [ "$timed" = 0 ] || say "$line"
  done
}
say "warm-up round (untimed)"
round 0 ours
for r in $(seq "$RUNS"); do
  say "round $r (times to the last file / to the end, gross):"
  round 1 "$([ $((r % 2)) = 1 ] && echo ours || echo nsis)"
done
LOAD_END=$(loadavg)

# --- the report --------------------------------------------------------------------
STARTUP_S=$(median "${startups[@]}")
PROCESS_S=$(median "${processes[@]}")
verdict() { [ "$1" = 1 ] && echo PASS || echo FAIL; }
# net TREE MODE WHO WHAT: the median, net of Wine's start-up (to the last
# file) or of a whole process (to the end) when silent.
net() {
  local m
  # shellcheck disable=SC2086
  m=$(median ${TIMES["$1 $2 $3 $4"]})
  if [ "$2" = silent ]; then
    if [ "$4" = last ]; then m=$(sub "$m" "$STARTUP_S"); else m=$(sub "$m" "$PROCESS_S"); fi
  fi
  echo "$m"
}

TARGET_LINES=()
TARGET_JSON=()
ALL_MET=1
# target TEXT VALUE LIMIT
target() {
  local ok
  ok=$(calc "%d" "$2 <= $3")
  [ "$ok" = 1 ] || ALL_MET=0
  TARGET_LINES+=("  $(verdict "$ok") $1: $2 (<= $3)")
  TARGET_JSON+=("{\"target\": \"$1\", \"value\": $2, \"limit\": $3, \"pass\": $([ "$ok" = 1 ] && echo true || echo false)}")
}

say ""
say "medians of $RUNS rounds (every tree compared with its source: identical; lumetra.exe started by every run)"
say "  Wine start-up (start-up program)  $STARTUP_S s; its whole run $PROCESS_S s (${#startups[@]} runs)"
TREE_JSON=()
for name in "${TREES[@]}"; do
  size_ratio=$(calc "%.3f" "${QEV_SIZE[$name]} / ${NSIS_SIZE[$name]}")
  say "  $name (${FILES[$name]} files, $(commas "${BYTES[$name]}") bytes): installer $size_ratio x NSIS's size"
  [ "$name" != corpus ] || target "corpus: installer size, ours / NSIS" "$size_ratio" "$SIZE_TARGET"
  mode_json=()
  for mode in dialog silent; do
    if [ $mode = dialog ]; then label="with the window, from the click"; else label="silent (/S), net of Wine"; fi
    ql=$(net "$name" $mode ours last)
    qe=$(net "$name" $mode ours exit)
    nl=$(net "$name" $mode nsis last)
    ne=$(net "$name" $mode nsis exit)
    rl=$(calc "%.3f" "$ql / $nl")
    re=$(calc "%.3f" "$qe / $ne")
    say "    $label: to the last file ours $ql s, NSIS $nl s = $rl x;" \
      "to the end ours $qe s ($(calc "%.1f" "${BYTES[$name]} / 1e6 / $qe") MB/s), NSIS $ne s = $re x"
    target "$name, $mode: time to the last file, ours / NSIS" "$rl" "$TIME_TARGET"
    target "$name, $mode: time to the end, ours / NSIS" "$re" "$TIME_TARGET"
    mode_json+=("\"$mode\": {\"qev_to_last_file_s\": $ql, \"qev_to_end_s\": $qe, \"nsis_to_last_file_s\": $nl, \"nsis_to_end_s\": $ne, \"to_last_file_ratio\": $rl, \"to_end_ratio\": $re, \"ratio_target\": $TIME_TARGET}")
  done
  TREE_JSON+=("{\"name\": \"$name\", \"source\": \"${SOURCE[$name]}\", \"files\": ${FILES[$name]}, \"bytes\": ${BYTES[$name]}, \"qev_installer_bytes\": ${QEV_SIZE[$name]}, \"nsis_installer_bytes\": ${NSIS_SIZE[$name]}, \"size_ratio\": $size_ratio, $(IFS=,; echo "${mode_json[*]}")}")
done
say "  load average: $LOAD_START at the start, $LOAD_END at the end (2 cores)"
say "targets:"
for line in "${TARGET_LINES[@]}"; do say "$line"; done

if [ $JSON = 1 ]; then
  join() { local IFS=,; echo "$*"; }
  printf '{"runs": %s, "qev_level": %s, "stub_bytes": %s, "wine_startup_s": %s, "wine_process_s": %s, ' \
    "$RUNS" "${LEVEL:-null}" "$STUB_BYTES" "$STARTUP_S" "$PROCESS_S"
  printf '"trees": [%s], "targets": [%s], "targets_met": %s, "loadavg_start": "%s", "loadavg_end": "%s"}\n' \
    "$(join "${TREE_JSON[@]}")" "$(join "${TARGET_JSON[@]}")" \
    "$([ $ALL_MET = 1 ] && echo true || echo false)" "$LOAD_START" "$LOAD_END"
fi
exit 0
