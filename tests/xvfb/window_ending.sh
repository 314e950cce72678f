#!/usr/bin/env bash
# Every way of ending Vantorel saves as its close box does. Each case starts
# the real program under Xvfb in a settings folder of its own, changes the
# settings, ends the program one way and checks its exit status and what was saved:
#   ending                                        status       saved
#   SIGTERM after a fit, an error window open      0            the fitted model
#   SIGHUP, SIGINT after a fit                     0            the fitted model
#   SIGTERM during the fit                         0 in 1.5 s   the search's best model so far
#   SIGTERM during the start's message on a bad    0            the value made good
#     saved value (the event loop never started)
#   SIGTERM twice, the save waiting for a lock     143 at once  -
#   the X server killed after a fit                1            the fitted model
# Usage: window_ending.sh FOLDER (the one with Vantorel and vantorel-fit)
set -euo pipefail
build=$(cd "$1" && pwd) work=$(mktemp -d) app="" xvfb="" holder=""
. "$(dirname "$0")/server.sh"
trap 'kill $app $holder 2>/dev/null || :; stop "$xvfb"; rm -rf "$work"' EXIT; fail() { echo "FAIL: $case: $*" >&2; exit 1; }
start_xvfb 1280x1024x24
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
# A runtime folder of the test's own: a copy running elsewhere is not this one's first copy.
export XDG_RUNTIME_DIR="$work/run" && mkdir -m 700 "$XDG_RUNTIME_DIR"
launch() {  # in the settings folder $work/$case, made afresh unless there
  export XDG_CONFIG_HOME="$work/$case.config"; mkdir -p "$XDG_CONFIG_HOME"; db="$XDG_CONFIG_HOME/Morvale Services/registry.sqlite3"
  # A script's background job starts with SIGINT ignored; a user's program has it.
  (cd / && exec env --default-signal=INT "$build/Vantorel") >"$work/$case.log" 2>&1 & app=$!
  wid=$(timeout 30 xdotool search --sync --onlyvisible --name '^Vantorel V1\.0\.0$' | awk 'NR == 1') || fail "no window"; sleep 1
  eval "$(xdotool getwindowgeometry --shell "$wid")"  # X, Y
}
ends() {  # STATUS TENTHS: the program ends with STATUS within TENTHS tenths of a second
  for _ in $(seq "$2"); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$app" 2>/dev/null && fail "the program did not end"
  local status=0; wait "$app" || status=$?; app=""
  [ "$status" = "$1" ] || fail "status $status, not $1: $(cat "$work/$case.log")"
}
# Window pixels, then more xdotool. xdotool's --sync waits 15 s for a move to
# the spot the pointer already rests on (a window that opens where the last one was).
go() {
  [ "$(xdotool getmouselocation | cut -d' ' -f1-2)" = "x:$((X + $1)) y:$((Y + $2))" ] || xdotool mousemove --sync $((X + $1)) $((Y + $2))
  [ $# -le 2 ] || xdotool "${@:3}"
}
panel() {  # the status panel over the graph while the fit runs
  import -window root -crop "1x1+$((X + 200))+$((Y + 170))" "$work/p.png"; [ "$(convert "$work/p.png" -format '%[hex:p{0,0}]' info:)" = 004040 ]
}
start_fit() {  # clicks typed in rows 2 and 3, then Calculate; returns once the fit runs
  for row in 1 2; do go $((30 + 1131 * row / 15)) 353 click 1; sleep 0.2; xdotool key ctrl+a type 1; xdotool key Return; done
  go 130 401 click 1
  for _ in $(seq 50); do panel && return; done; fail "no fit"
}
fit() { start_fit; for _ in $(seq 120); do panel || return 0; sleep 0.5; done; fail "the fit did not end"; }
error_window() { for _ in $(seq 30); do xdotool search --onlyvisible --pid "$app" | grep -qvx "$wid" && return; sleep 0.1; done; fail "no error window"; }
saved() { "$build/vantorel-fit" --saved --json --estimate 2>&1 | grep -o '"model": {[^}]*}\|cannot be used'; }  # the model, or a bad value
fitted='"model": {"mv": 820, "bc": 0.026, "sh": 1.95, "zr": 21, "cpm": 8.1}'

for case in TERM HUP INT; do
  launch; fit
  if [ $case = TERM ]; then go 30 353 click 1; xdotool key ctrl+a type 99999; go 130 401 click 1; error_window; fi  # a refused Calculate
  kill -$case $app; ends 0 100
  [ "$(saved)" = "$fitted" ] || fail "the fitted model was not saved"
done

case=fitting; launch; start_fit  # the search lasts under a second: the signal may come after it
kill -TERM $app; ends 0 15
[ "$(saved)" != '"model": {"mv": 790, "bc": 0.033, "sh": 2, "zr": 30, "cpm": 8}' ] || fail "the search's best model was not saved"

case=start; cp -a "$work/TERM.config" "$work/$case.config"
sqlite3 "$work/$case.config/Morvale Services/registry.sqlite3" "UPDATE registry_values SET data = X'7800' WHERE name = 'Tick(0)'"
launch; error_window  # "x" for row 1's tick
kill -TERM $app; ends 0 100
[ "$(saved)" = "$fitted" ] || fail "the good settings were not saved"

case=twice; cp -a "$work/TERM.config" "$work/$case.config"; launch
mkfifo "$work/lock"; sqlite3 "$db" <"$work/lock" >/dev/null 2>&1 & holder=$!
exec 4>"$work/lock"; echo 'BEGIN EXCLUSIVE;' >&4  # held until sqlite3's input ends
for _ in $(seq 50); do sqlite3 "$db" 'SELECT 1' >/dev/null 2>&1 || break; sleep 0.1; done
kill -TERM $app; sleep 1
kill -0 $app 2>/dev/null || fail "the save did not wait for the lock"
kill -TERM $app; ends 143 10
exec 4>&-; wait $holder; holder=""

case=xserver; launch; fit
kill $xvfb; xvfb=""; ends 1 100
[ "$(saved)" = "$fitted" ] || fail "the fitted model was not saved"
echo "window endings under Xvfb: passed"
