# Sourced by the scripts that run Wine without a display of the user's.
# xvfb_start DIR [SCREEN]: starts a virtual X display; Xvfb picks a free
# display number itself and writes it to DIR/display once it is ready. Sets
# XVFB_PID and exports DISPLAY; returns 1 when it has not started within 10 s
# (its messages are in DIR/xvfb.log).
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
}
