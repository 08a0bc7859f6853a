# Shared by the end-to-end tests (sourced). Each test runs the real installer
# under Wine, in a Wine prefix of its own (a copy of a freshly created one)
# and a virtual X display of its own, so that tests can run side by side and
# never touch the user's display or another test's windows. It drives the
# installer with xdotool and reads its windows with the probe (probe.cpp).
#
# Every wait has a time limit; on any failure the test prints why, keeps its
# screenshots and logs in its work folder and exits non-zero. Everything the
# test started (Wine server and programs of its prefix, the display) is
# stopped when it exits.
#
# Environment (set by tests/e2e/CMakeLists.txt):
#   QEV_HOST_TOOL   qev of the host tree (packs the installers)
#   QEV_STUB        qevstub.exe
#   QEV_PROBE       probe.exe
#   QEV_LUMETRA     the sample product's lumetra.exe
#   QEV_SOURCE_DIR  the project's source folder
#   QEV_E2E_WORK    where the tests keep their work folders
#   QEV_EVIDENCE    where screenshots are kept after the run

set -eu
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/xvfb.sh"

TITLE="Lumetra Installation"
# Where an unpatched stub looks for its archive; also the stub's size budget.
ARCHIVE_OFFSET_PRESET=$(sh "$QEV_SOURCE_DIR/scripts/stub-budget.sh")
WAIT_WINDOW_MS=60000          # a window must appear within this time
WAIT_EXIT_S=120               # the installer must end within this time

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

note() { echo "-- $*"; }

# The tools the tests need. A missing one fails the test with its name rather
# than letting it pass without having run.
require_tools() {
  local tool
  for tool in wine wineserver Xvfb xdotool import convert cmp "$@"; do
    command -v "$tool" >/dev/null 2>&1 || fail "$tool is not installed (scripts/setup.sh installs it)"
  done
  [ -x "$QEV_HOST_TOOL" ] ||
    fail "the host tool $QEV_HOST_TOOL is missing: build the host tree first (or set -DQEV_HOST_TOOL=...)"
  local f
  for f in "$QEV_STUB" "$QEV_PROBE" "$QEV_LUMETRA"; do
    [ -f "$f" ] || fail "$f is missing: build the Windows tree first"
  done
}

# e2e_begin NAME: a clean work folder, a fresh Wine prefix and a display.
e2e_begin() {
  NAME=$1
  WORK="$QEV_E2E_WORK/$NAME"
  require_tools
  if [ -d "$WORK" ]; then
    chmod -R u+w "$WORK" 2>/dev/null || true
    rm -rf "$WORK"
  fi
  mkdir -p "$WORK"
  trap e2e_cleanup EXIT
  fresh_prefix
  start_display
  note "$NAME: prefix $WINEPREFIX, display $DISPLAY"
}

# The template prefix is made once per build tree by make_prefix.sh and never
# used itself. A copy of it is a prefix in which nothing has run yet. The
# system folders (hundreds of megabytes of DLLs and assemblies that Wine only
# reads) are linked rather than copied; everything else is copied.
fresh_prefix() {
  local template="$QEV_E2E_WORK/prefix-template"
  [ -f "$template/.complete" ] || fail "no template prefix in $template (the e2e_prefix test makes it)"
  export WINEPREFIX="$WORK/prefix"
  mkdir -p "$WINEPREFIX"
  (cd "$template" && find . -mindepth 1 -maxdepth 1 ! -name drive_c ! -name .complete \
    -exec cp -a {} "$WINEPREFIX/" \;)
  mkdir -p "$WINEPREFIX/drive_c"
  local entry
  for entry in "$template"/drive_c/* "$template"/drive_c/.[!.]*; do
    [ -e "$entry" ] || continue
    if [ "$(basename "$entry")" = windows ]; then
      mkdir -p "$WINEPREFIX/drive_c/windows"
      local sub
      for sub in "$entry"/* "$entry"/.[!.]*; do
        [ -e "$sub" ] || continue
        case $(basename "$sub") in
          system32 | syswow64 | winsxs) cp -al "$sub" "$WINEPREFIX/drive_c/windows/" ;;
          *) cp -a "$sub" "$WINEPREFIX/drive_c/windows/" ;;
        esac
      done
    else
      cp -a "$entry" "$WINEPREFIX/drive_c/"
    fi
  done
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  DRIVE_C="$WINEPREFIX/drive_c"
}

XVFB_PID=
start_display() {
  xvfb_start "$WORK" || fail "Xvfb did not start (log: $WORK/xvfb.log)"
}

e2e_cleanup() {
  local status=$?
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
  fi
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
  if [ $status -eq 0 ]; then
    # A passing test keeps its screenshots and logs, not its prefix.
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
      chmod -R u+w "$WINEPREFIX" 2>/dev/null || true
      rm -rf "$WINEPREFIX"
    fi
    note "$NAME: passed"
  else
    echo "$NAME: failed; work folder $WORK" >&2
  fi
}

# probe ARGS...: runs the probe; its output without carriage returns.
probe() {
  probe_window "$QEV_PROBE" "$WORK/probe.log" "$@"
}

# wait_window KIND: waits for the installer's window of KIND (main, prompt,
# message); prints the probe's description of it.
wait_window() {
  probe wait "$1" "${2:-$WAIT_WINDOW_MS}" || fail "no $1 window within ${2:-$WAIT_WINDOW_MS} ms"
}

# message_text: the text of the message box now shown (one line, \n escaped).
message_text() {
  wait_window message | sed -n 's/^text //p'
}

# wait_message: waits for a message box and sets MSG_TEXT (one line, \n
# escaped), MSG_BUTTONS ("OK" or "OK,Cancel") and MSG_ICON (yes or no).
wait_message() {
  wait_window message "$@" >"$WORK/message"
  MSG_TEXT=$(sed -n 's/^text //p' "$WORK/message")
  MSG_BUTTONS=$(sed -n 's/^buttons //p' "$WORK/message")
  MSG_ICON=$(sed -n 's/^icon //p' "$WORK/message")
}

# dismiss_message: Return to the message box now shown, until it is gone.
# The press is made once more when the box is still there with the same text
# 5 s later: under load a key can reach the window system before the box has
# the keyboard, and is lost. Fails when the box stays.
dismiss_message() {
  local text
  text=$(message_text)
  for _ in 1 2; do
    focus message
    key Return
    probe gone message 5000 >/dev/null && return 0
    [ "$(message_text)" = "$text" ] || return 0  # closed, and the next box is up
  done
  return 1
}

# expect_box BUTTONS ICON: the box now shown offers BUTTONS, with or without
# the warning icon.
expect_box() {
  [ "$MSG_BUTTONS" = "$1" ] || fail "\"$MSG_TEXT\": buttons $MSG_BUTTONS, expected $1"
  [ "$MSG_ICON" = "$2" ] || fail "\"$MSG_TEXT\": icon $MSG_ICON, expected $2"
}

# control_text KIND ID / control_checked KIND ID
control_text() {
  probe controls "$1" | awk -F'\t' -v id="$2" '$1 == id { print $4; exit }'
}
control_checked() {
  probe controls "$1" | awk -F'\t' -v id="$2" '$1 == id { print $3; exit }'
}

# click KIND ID: a mouse click on the control's centre.
click() {
  local xy
  xy=$(probe where "$1" "$2") || fail "control $2 of the $1 window not found"
  # shellcheck disable=SC2086
  xdotool mousemove --sync $xy click 1
  sleep 0.3
}

# focus KIND: gives the window the keyboard (a click on an empty spot of its
# client area), so that keys reach it.
focus() {
  local xy
  xy=$(probe focus-point "$1") || fail "no $1 window to focus"
  # shellcheck disable=SC2086
  xdotool mousemove --sync $xy click 1
  sleep 0.3
}

# type_folder TEXT: replaces the main dialog's folder with TEXT, typed as a
# user types it, and checks that the box reads TEXT.
type_folder() {
  focus main
  key End shift+Home
  xdotool type --delay 50 "$1"
  sleep 0.5
  [ "$(control_text main 101)" = "$1" ] || fail "typed folder reads \"$(control_text main 101)\""
}

# key KEYS...: key presses to the focused window.
key() {
  xdotool key "$@"
  sleep 0.3
}

# shot NAME: a screenshot of the whole display, kept as evidence.
shot() {
  import -window root "$WORK/$1.png" || fail "screenshot $1 failed"
  mkdir -p "$QEV_EVIDENCE"
  cp "$WORK/$1.png" "$QEV_EVIDENCE/$1.png"
}

# start_installer EXE [ARGUMENT...]: runs EXE under Wine in the background,
# from its folder. (Wine joins the arguments with spaces, quoting one that
# holds a space.)
INSTALLER_PID=
start_installer() {
  rm -f "$WORK/installer.rc"
  (
    cd "$(dirname "$1")"
    set +e
    wine "$@" >"$WORK/installer.log" 2>&1
    echo $? >"$WORK/installer.rc"
  ) &
  INSTALLER_PID=$!
}

# wait_installer_exit [CODE]: waits for the installer to end; fails unless its
# exit code is CODE: 0 (the default) after a whole installation, 1 after a
# failure, Cancel or the close box.
wait_installer_exit() {
  local want=${1:-0}
  local i
  for i in $(seq $((WAIT_EXIT_S * 10))); do
    [ -s "$WORK/installer.rc" ] && break
    sleep 0.1
  done
  [ -s "$WORK/installer.rc" ] || fail "the installer did not end within $WAIT_EXIT_S s"
  wait "$INSTALLER_PID" 2>/dev/null || true
  local rc
  rc=$(cat "$WORK/installer.rc")
  [ "$rc" = "$want" ] || fail "the installer's exit code is $rc, not $want (log: $WORK/installer.log)"
}

# installer_running: true while the installer has not ended.
installer_running() { [ ! -s "$WORK/installer.rc" ]; }

# watch_progress_start: starts following the main dialog's progress bar
# (probe progress-watch, one process inside Wine that looks every 10 ms);
# called before the click that starts the extraction, so that even one that
# lasts a fraction of a second is seen.
PROGRESS_WATCHER=
watch_progress_start() {
  : >"$WORK/progress.lines"
  # Straight to the file, line by line (the probe flushes each line; a pipe
  # through tr would hold them back).
  wine "$QEV_PROBE" progress-watch main $((WAIT_EXIT_S * 1000)) >"$WORK/progress.lines" 2>>"$WORK/probe.log" &
  PROGRESS_WATCHER=$!
  wait_for_file "$WORK/progress.lines"
}

# watch_progress SHOT [STATUS]: reads what the watcher saw until the window
# goes, keeping screenshots SHOT-1.png ... of the first positions between 0
# and 100 while the installer still runs (each status line must then begin
# with STATUS, when given). Fails unless at least one such position was seen
# and the bar never went back; PROGRESS_SEEN holds the positions.
watch_progress() {
  local line position status last=0
  PROGRESS_SEEN=()
  while IFS= read -r line; do
    line=${line%$'\r'}
    position=${line%%$'\t'*}
    status=${line#*$'\t'}
    case $position in '' | *[!0-9]*) fail "progress watcher: $line" ;; esac
    if [ "$position" -gt 0 ] && [ "$position" -lt 100 ] && [ "$position" != "$last" ]; then
      [ "$position" -gt "$last" ] || fail "the bar went back: ${PROGRESS_SEEN[*]} $position"
      last=$position
      PROGRESS_SEEN+=("$position")
      case $status in "${2:-}"*) ;; *) fail "status line \"$status\" at $position %" ;; esac
      if [ ${#PROGRESS_SEEN[@]} -le 3 ] && installer_running; then shot "$1-${#PROGRESS_SEEN[@]}"; fi
    fi
  done < <(tail -n +1 -f --pid="$PROGRESS_WATCHER" "$WORK/progress.lines")
  wait "$PROGRESS_WATCHER" 2>/dev/null || true
  [ ${#PROGRESS_SEEN[@]} -ge 1 ] || fail "the bar did not move: nothing seen between 0 and 100"
}

# wait_for_file PATH: waits (10 s at most) until PATH exists and is not
# empty, as the started program's note; fails otherwise.
wait_for_file() {
  local i
  for i in $(seq 100); do
    [ -s "$1" ] && return 0
    sleep 0.1
  done
  fail "$1 did not appear"
}

# pack SRC OUT: an installer of SRC made with the host tool and the stub.
pack() {
  "$QEV_HOST_TOOL" pack "$1" -o "$2" --stub "$QEV_STUB" >"$WORK/pack.log" 2>&1 ||
    fail "qev pack $1 failed: $(cat "$WORK/pack.log")"
}

# archive_offset EXE: where the archive begins in an installer: right behind
# its program image (the stub's, and the resource section that the packer
# adds), where the packer puts it; checked by the archive's first bytes.
archive_offset() {
  local offset=0 magic index name size vma lma at
  while read -r index name size vma lma at _; do
    [[ $index =~ ^[0-9]+$ ]] || continue
    # A section's file data fill whole 512-byte steps.
    [ $((0x$at + (0x$size + 511) / 512 * 512)) -le "$offset" ] ||
      offset=$((0x$at + (0x$size + 511) / 512 * 512))
  done < <("$QEV_OBJDUMP" -h "$1")
  magic=$(dd if="$1" bs=1 skip="$offset" count=4 2>/dev/null | od -An -c | tr -d ' ')
  [ "$magic" = 'QEV\n' ] || fail "no archive header at offset $offset of $1"
  echo "$offset"
}

# stage_product OUT: the sample product as the installer carries it.
stage_product() {
  sh "$QEV_SOURCE_DIR/scripts/stage-product.sh" "$(dirname "$(dirname "$QEV_LUMETRA")")" "$1" ||
    fail "staging the product failed"
}

# reg_value KEY NAME [TYPE]: the data of a registry value of TYPE (REG_SZ;
# REG_DWORD data as 0x...), as `wine reg query` shows it.
reg_value() {
  # reg.exe has been seen to fail once in many runs right after the
  # installer ended: a value counts as missing only when three tries agree.
  local try
  for try in 1 2 3; do
    wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
      awk -v name="$2" -v type="${3:-REG_SZ}" '$1 == name && $2 == type {
        sub(/^[ \t]*[^ \t]+[ \t]+[^ \t]+[ \t]+/, ""); print; found=1 } END { exit !found }' &&
      return 0
    sleep 0.5
  done
  return 1
}
UNINSTALL_KEY='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Lumetra'

# key_absent: true when the uninstall key does not exist.
key_absent() { ! wine reg query "$UNINSTALL_KEY" >/dev/null 2>&1; }

# same_tree SRC DEST: every file of SRC is in DEST with the same bytes and
# modification time (DOS times count in steps of two seconds; the staged
# times are even), and with the same read-only state.
same_tree() {
  local src=$1 dest=$2 rel
  (cd "$src" && find . -type f | sed 's|^\./||') | while read -r rel; do
    [ -f "$dest/$rel" ] || fail "$rel was not extracted"
    cmp -s "$src/$rel" "$dest/$rel" || fail "$rel differs from the packed file"
    [ "$(stat -c %Y "$src/$rel")" = "$(stat -c %Y "$dest/$rel")" ] ||
      fail "$rel: modification time $(stat -c %y "$dest/$rel"), packed $(stat -c %y "$src/$rel")"
    local want=rw got=rw
    [ -n "$(find "$src/$rel" -perm /222)" ] || want=ro
    [ -n "$(find "$dest/$rel" -perm /222)" ] || got=ro
    [ "$want" = "$got" ] || fail "$rel is $got, the packed file is $want"
  done
  (cd "$src" && find . -mindepth 1 -type d | sed 's|^\./||') | while read -r rel; do
    [ -d "$dest/$rel" ] || fail "folder $rel was not extracted"
  done
}

# --- screenshot checks ----------------------------------------------------

# pixels_of PNG X Y W H: "x y RRGGBB" for each pixel of the region.
pixels_of() {
  convert "$1" -crop "${4}x${5}+${2}+${3}" +repage -depth 8 txt:- |
    awk -F'[ ,:]+' 'NR > 1 { for (i = 1; i <= NF; i++) if ($i ~ /^#/) { print $1, $2, substr($i, 2, 6); break } }'
}

# check_screenshot PNG GEOMETRY: compares the screenshot with the control
# rectangles that the probe computed from the template (GEOMETRY is the
# output of `probe geometry`). For every control: nothing is drawn on the
# one-pixel ring just outside its rectangle (it is all dialog background),
# and something is drawn inside it. Buttons and the edit box draw their
# border on the rectangle's edge, so for them the four corner pixels inside
# must differ from the background: their outline lies exactly on the
# template's rectangle.
check_screenshot() {
  local png=$1 geometry=$2 bg
  # The background: the colour that most of the client area shows.
  local cx cy cw ch
  read -r cx cy cw ch < <(awk '/ dialog client / { print $4, $5, $6, $7 }' "$geometry")
  bg=$(pixels_of "$png" "$cx" "$cy" "$cw" "$ch" | awk '{ n[$3]++ } END { for (c in n) if (n[c] > best) { best = n[c]; col = c } print col }')
  note "dialog background #$bg"
  local line id l t r b cls failures=0
  while read -r line; do
    # "ok control ID client X Y W H expected X Y W H screen L T R B"
    set -- $line
    id=$3
    l=${15}
    t=${16}
    r=${17}
    b=${18}
    local w=$((r - l)) h=$((b - t))
    local out
    out=$(pixels_of "$png" $((l - 1)) $((t - 1)) $((w + 2)) $((h + 2)) |
      awk -v bg="$bg" -v W=$((w + 2)) -v H=$((h + 2)) '
        { ring = ($1 == 0 || $2 == 0 || $1 == W - 1 || $2 == H - 1)
          if (ring && $3 != bg) ringbad++
          if (!ring && $3 != bg) ink++
          if (($1 == 1 || $1 == W - 2) && ($2 == 1 || $2 == H - 2) && $3 != bg) corners++ }
        END { printf "%d %d %d\n", ringbad, ink, corners }')
    local ringbad ink corners
    read -r ringbad ink corners <<<"$out"
    case $id in
      101 | 103 | 104 | 108 | 109 | 110) cls=framed ;;
      *) cls=plain ;;
    esac
    if [ "$ringbad" -ne 0 ] || [ "$ink" -eq 0 ] || { [ $cls = framed ] && [ "$corners" -ne 4 ]; }; then
      echo "  control $id at $l,$t-$r,$b: ring pixels off background $ringbad, drawn inside $ink, corners $corners/4" >&2
      failures=$((failures + 1))
    else
      note "control $id at $l,$t-$r,$b: drawn inside its rectangle, edge clear"
    fi
  done < <(grep '^ok control ' "$geometry")
  [ $failures -eq 0 ] || fail "the screenshot $png does not match the template geometry"
}

# check_geometry KIND NAME: the probe's check of the window and controls
# against the template, and the screenshot's check against the same
# rectangles; the screenshot is kept as NAME.png.
check_geometry() {
  probe geometry "$1" >"$WORK/$2.geometry" || {
    cat "$WORK/$2.geometry"
    fail "the $1 dialog does not match its template"
  }
  sed 's/^/   /' "$WORK/$2.geometry"
  shot "$2"
  check_screenshot "$WORK/$2.png" "$WORK/$2.geometry"
}

# --- traced calls ------------------------------------------------------------

# Wine's relay trace of the calls that give the dialogs their font, brush and
# templates. (Another process cannot read a control's font: Wine answers
# WM_GETFONT from outside with nothing, so the calls themselves are checked.)
TRACED_CALLS='gdi32.CreateFontA;user32.GetSysColorBrush;user32.GetDialogBaseUnits;user32.SendDlgItemMessageA;user32.DialogBoxParamA'

# start_traced_installer EXE: start_installer with the relay trace of
# TRACED_CALLS in $WORK/installer.log.
start_traced_installer() {
  wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ /d "$TRACED_CALLS" /f >/dev/null 2>&1 ||
    fail "cannot set the relay filter"
  WINEDEBUG=+relay start_installer "$1"
}

# traced_calls FUNCTION: the argument lists of the traced calls of FUNCTION.
traced_calls() {
  grep -a "Call $1(" "$WORK/installer.log" | sed -E 's/.*Call [^(]+\((.*)\) ret=.*/\1/'
}

# check_dialog_font FIRST LAST: the font is the one start-up must create, and
# every control from FIRST to LAST got it (WM_SETFONT 0x30, no redraw).
check_dialog_font() {
  local first=$1 last=$2 base height font id
  base=$(grep -a 'Ret  user32.GetDialogBaseUnits() retval=' "$WORK/installer.log" | head -1 |
    sed -E 's/.*retval=([0-9a-f]+).*/\1/')
  [ -n "$base" ] || fail "no trace of GetDialogBaseUnits"
  # The high word, signed; three quarters of it, truncated toward zero, negated.
  height=$(( (0x$base >> 16) & 0xFFFF ))
  [ $height -lt 32768 ] || height=$((height - 65536))
  height=$(( -((height * 6) / 8) ))
  local want
  want=$(printf '%08x,00000000,00000000,00000000,00000190,00000000,00000000,00000000,00000000,00000000,00000000,00000001,00000020' $((height & 0xFFFFFFFF)))
  local call args
  call=$(traced_calls gdi32.CreateFontA | head -1)
  # The trace shows whole registers: only the low 32 bits of an integer
  # argument are its value.
  args=$(echo "${call%,*}" | tr ',' '\n' | sed -E 's/.*(.{8})$/\1/' | paste -sd, -)
  [ "$args" = "$want" ] || fail "CreateFontA($call), expected ($want,\"Helv\")"
  case $call in *'"Helv"') ;; *) fail "CreateFontA($call): the face is not Helv" ;; esac
  font=$(grep -a 'Ret  gdi32.CreateFontA() retval=' "$WORK/installer.log" | head -1 | sed -E 's/.*retval=([0-9a-f]+).*/\1/')
  for id in $(seq "$first" "$last"); do
    traced_calls user32.SendDlgItemMessageA | grep -q "^[0-9a-f]*,$(printf '%08x' "$id"),00000030,$font,00000000\$" ||
      fail "control $id did not get the dialog font"
  done
  note "font: CreateFontA($call); controls $first-$last got it"
}

# check_startup_calls: the brush is the system's button-face brush
# (COLOR_BTNFACE, 15), and dialog 1 is run without an owner and with 0 as its
# parameter.
check_startup_calls() {
  traced_calls user32.GetSysColorBrush | grep -qx 0000000f || fail "GetSysColorBrush(COLOR_BTNFACE) was not called"
  traced_calls user32.DialogBoxParamA | head -1 | grep -Eq '^[0-9a-f]+,00000001,00000000,[0-9a-f]+,00000000$' ||
    fail "dialog 1 not run as DialogBoxParamA(instance, 1, no owner, proc, 0): $(traced_calls user32.DialogBoxParamA | head -1)"
  note "button-face brush; DialogBoxParamA($(traced_calls user32.DialogBoxParamA | head -1))"
}
