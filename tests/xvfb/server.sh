# Sourced by the tests that need an X server of their own.
# start_xvfb SIZE: Xvfb on a free display (its process in $xvfb, its number
# in $work/display, DISPLAY set), once a client has been answered there; a
# server that came up on a display another one took at the same moment
# answers nobody, and another is started.
start_xvfb() {
  for _ in 1 2 3 4 5; do
    rm -f "$work/display"
    Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$work/display" >/dev/null 2>&1 & xvfb=$!
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    export DISPLAY=":$(cat "$work/display" 2>/dev/null)"
    xdpyinfo >/dev/null 2>&1 && return 0
    stop "$xvfb"
  done
  echo "FAIL: no X server answers" >&2
  exit 1
}
# stop PID: the process ended and waited for (a server still ending could
# take its display's socket with it from the next one's).
stop() { [ -z "$1" ] || { kill "$1" && wait "$1"; } 2>/dev/null || :; }
