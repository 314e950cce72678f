# Sourced by the tests that need an X server of their own.
# start_xvfb SIZE: Xvfb on a display of its own (its process in $xvfb,
# DISPLAY set) once it answers a client. The number is picked at random far
# above the ones servers pick for themselves, and taken with the server's
# lock file: a number another server holds is given up and another tried.
# Never reset when its last client leaves: a server resetting turns away the
# clients that connect meanwhile (the program's next start, xdotool's next call).
# start_xvfb SIZE reset: Xvfb's default instead, and each client's coming
# (with its process id) and going logged in order to $work/xvfb.log.
start_xvfb() {
  local opts=(-noreset) log=/dev/null
  [ "${2:-}" != reset ] || opts=(-audit 4) log=$work/xvfb.log
  for _ in $(seq 20); do
    local n=$((1000 + RANDOM % 29000))
    Xvfb ":$n" -displayfd 3 -screen 0 "$1" -nolisten tcp "${opts[@]}" 3>"$work/display" >/dev/null 2>>"$log" & xvfb=$!
    for _ in $(seq 100); do { [ -s "$work/display" ] || ! kill -0 "$xvfb" 2>/dev/null; } && break; sleep 0.1; done
    export DISPLAY=":$n"
    [ -s "$work/display" ] && xdpyinfo >/dev/null 2>&1 && return 0
    stop "$xvfb"
  done
  echo "FAIL: no X server answers" >&2 && exit 1
}
# stop PID: the process ended and waited for.
stop() { [ -z "$1" ] || { kill "$1" && wait "$1"; } 2>/dev/null || :; }
