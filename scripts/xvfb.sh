# Sourced by every script that shows the installer's windows under Wine (the
# end-to-end tests, test.sh and the demos, the installer benchmark): the one
# virtual display starter and the one window probe runner.
# xvfb_start DIR [SCREEN]: starts a virtual X display; Xvfb picks a free
# display number itself and writes it to DIR/display once it is ready. Sets
# XVFB_PID and exports DISPLAY, and QEV_VIRTUAL_DISPLAY as the same display
# (scripts started from here can tell it from a user's screen: such an Xvfb
# has no lock file and no display number on its command line); returns 1 when
# it has not started within 10 s (its messages are in DIR/xvfb.log).
xvfb_start() {
  local dir=$1 screen=${2:-1024x768x24} _
  Xvfb -displayfd 1 -screen 0 "$screen" -nolisten tcp >"$dir/display" 2>"$dir/xvfb.log" &
  XVFB_PID=$!
  for _ in $(seq 100); do
    [ -s "$dir/display" ] && break
    sleep 0.1
  done
  [ -s "$dir/display" ] || return 1
  export DISPLAY=":$(head -1 "$dir/display")"
  export QEV_VIRTUAL_DISPLAY=$DISPLAY
}

# probe_window EXE LOG ARGS...: runs the end-to-end tests' window probe
# (tests/e2e/probe.cpp, built as EXE) under Wine with ARGS; prints its output
# without carriage returns and returns its exit status. Wine's and the probe's
# messages are appended to LOG. QEV_PROBE_TITLE, when set, names the windows'
# title.
probe_window() {
  local exe=$1 log=$2
  shift 2
  wine "$exe" "$@" 2>>"$log" | tr -d '\r'
  return "${PIPESTATUS[0]}"
}
