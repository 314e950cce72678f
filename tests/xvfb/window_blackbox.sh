#!/usr/bin/env bash
# Vantorel in a real window under Xvfb (no window manager), driven as a user
# would: a second copy brings it forward, tooltips in the desktop's colours,
# the title drag (the program moves the window itself), Enter on the focused
# Exit ends it, saving. The rest of what a user does in the window: the user
# scenarios of tests/conformance.h, also in real X windows; a fit saved as
# the program ends: window_ending.sh; what a screen reader gets:
# screen_reader.sh.
# Usage: window_blackbox.sh FOLDER (the one with Vantorel and vantorel-fit)
set -euo pipefail
build=$(cd "$1" && pwd) work=$(mktemp -d) app="" xvfb=""
. "$(dirname "$0")/server.sh"
trap 'stop "$app"; stop "$xvfb"; rm -rf "$work"' EXIT; fail() { echo "FAIL: $*" >&2; exit 1; }
start_xvfb 1280x1024x24
export XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 HOME="$work"
# A runtime folder of the test's own: a copy running elsewhere (the user's, another test's) is not this one's first copy.
export XDG_RUNTIME_DIR="$work/run" && mkdir -m 700 "$XDG_RUNTIME_DIR"
launch() {
  (cd / && exec "$build/Vantorel") >"$work/app.log" 2>&1 & app=$!
  wid=$(timeout 30 xdotool search --sync --onlyvisible --name '^Vantorel V1\.0\.0$' | awk 'NR == 1') || fail "no window"; sleep 1
  eval "$(xdotool getwindowgeometry --shell "$wid")"  # X, Y
}
ended() {  # the program ends with status 0 within 10 s
  for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$app" 2>/dev/null && fail "$1 did not end the program"; wait "$app" || fail "$1: status $?"; app=""
}
saved() { "$build/vantorel-fit" --saved --json --estimate; }
# Window pixels, then more xdotool. xdotool's --sync waits 15 s for a move to
# the spot the pointer already rests on (a window that opens where the last one was).
go() {
  [ "$(xdotool getmouselocation | cut -d' ' -f1-2)" = "x:$((X + $1)) y:$((Y + $2))" ] || xdotool mousemove --sync $((X + $1)) $((Y + $2))
  [ $# -le 2 ] || xdotool "${@:3}"
}

launch
# A second copy under the same name brings this window forward and ends at once.
(cd / && timeout 30 "$build/Vantorel") >"$work/second.log" 2>&1 || fail "a second copy did not end by itself (status $?): $(cat "$work/second.log")"
[ ! -s "$work/second.log" ] || fail "a second copy said: $(cat "$work/second.log")"  # it found the first one's window
kill -0 "$app" 2>/dev/null || fail "a second copy ended the first"
go 200 150 click 1  # Qt shows tooltips in the active window only
for spot in "109 21" "63 356"; do  # the title; a bracketed model value
  go $spot; go $((${spot% *} + 1)) ${spot#* }
  for _ in $(seq 30); do tip=$(xdotool search --onlyvisible --pid "$app" | grep -vx "$wid" | awk 'NR == 1') && break; sleep 0.1; done
  [ -n "${tip:-}" ] || fail "no tooltip over $spot"
  sleep 0.3
  eval "$(xdotool getwindowgeometry --shell "$tip" | sed 's/^/TIP_/')"
  import -window root -crop "$((TIP_WIDTH - 6))x$((TIP_HEIGHT - 6))+$((TIP_X + 3))+$((TIP_Y + 3))" "$work/tip.png"
  ground=$(convert "$work/tip.png" -format %c histogram:info:- | sort -rn | awk 'NR == 1' | grep -o '#[0-9A-F]\{6\}')
  [ "$(convert xc:"$ground" -colorspace gray -format '%[fx:int(255*u)]' info:)" -gt 200 ] || fail "tooltip ground $ground"
  dark=$(convert "$work/tip.png" -colorspace gray -threshold 35% -format '%[fx:(1-mean)*w*h]' info:)
  [ "${dark%.*}" -gt 20 ] || fail "tooltip over $spot has no dark text"; go 300 250; sleep 0.5; tip=""
done
x0=$X y0=$Y
go 200 13 mousedown 1  # the title drag
for s in 1 2 3 4 5; do go $((200 + 8 * s)) $((13 + 6 * s)); sleep 0.05; done
xdotool mouseup 1; sleep 0.3; eval "$(xdotool getwindowgeometry --shell "$wid")"
[ "$X,$Y" = "$((x0 + 40)),$((y0 + 30))" ] || fail "the title drag moved the window from $x0,$y0 to $X,$Y"
go 300 250 key Return; ended "Enter on Exit"
saved | grep -q '"min_data_range": 10' || fail "Enter on Exit did not save"

echo "window under Xvfb: passed"
