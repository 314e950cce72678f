#!/usr/bin/env bash
# Vantorel in a real window under Xvfb (no window manager), driven as a user
# would drive it. Three runs of the program share one settings folder:
#  1. fresh start: colours on a screenshot, tooltips in the desktop's colours,
#     the title drag (no window manager, so the program moves the window
#     itself), then Enter on the focused Exit ends the program, saving;
#  2. two data points typed, Calculate, Esc after the fit: the fitted model
#     is saved;
#  3. Calculate, then Esc at once: the search stops, the program ends
#     quickly and saves the best model found so far.
# Usage: window_blackbox.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
passed=0

# A display number nobody uses.
for d in $(seq 90 160); do
  if [ ! -e "/tmp/.X11-unix/X$d" ] && [ ! -e "/tmp/.X$d-lock" ]; then disp=$d; break; fi
done
Xvfb ":$disp" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=":$disp"
for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
xdpyinfo >/dev/null 2>&1 || fail "Xvfb did not start"
export XDG_CONFIG_HOME="$work/config"
unset QT_QPA_PLATFORM

launch() {
  "$build/Vantorel" >"$work/app.log" 2>&1 &
  app_pid=$!
  wid=$(timeout 30 xdotool search --sync --onlyvisible --name '^Vantorel V1\.0\.0$' | awk 'NR == 1') || fail "no window appeared"
  sleep 1
  eval "$(xdotool getwindowgeometry --shell "$wid")"  # X, Y, WIDTH, HEIGHT
}
# Waits up to 10 s for the program to end with status 0.
ended() {
  for _ in $(seq 1 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$app_pid" 2>/dev/null; then fail "$1 did not end the program"; fi
  wait "$app_pid" || fail "Vantorel ended with status $?"
  app_pid=""
}
saved_model() { "$build/vantorel-fit" --saved --json --estimate | grep -o '"model": {[^}]*}'; }
# Window coordinates of the centre of a control given in twips.
at() { echo "$(($X + ($1) / 15)) $(($Y + ($2) / 15))"; }
click_at() {  # left top width height
  read -r px py < <(at "$1 + $3 / 2" "$2 + $4 / 2")
  xdotool mousemove --sync "$px" "$py" click 1
}

# --- 1. Fresh start.
launch
[ "$WIDTH" = 574 ] && [ "$HEIGHT" = 439 ] || fail "window is ${WIDTH}x${HEIGHT}, not 574x439"
import -window root "$work/shot.png"
[ -n "${VANTOREL_SHOT:-}" ] && convert "$work/shot.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$VANTOREL_SHOT"
pixel() { convert "$work/shot.png" -format "%[hex:p{$(($X + $1)),$(($Y + $2))}]" info: | cut -c1-6; }
for p in "0 200" "1 200" "300 0" "300 1" "573 200" "300 438"; do
  [ "$(pixel $p)" = FFBFBF ] || fail "outline colour at $p is $(pixel $p)"
done
[ "$(pixel 2 20)" = 004040 ] || fail "window background is $(pixel 2 20)"
[ "$(pixel 400 60)" = FFFFFF ] || fail "click list background is $(pixel 400 60)"
[ "$(pixel 547 8)" = 800000 ] || fail "close box colour is $(pixel 547 8)"

# Tooltips of the title and of a bracketed model value: a light ground with
# dark text, whatever colour the control's own text has.
# Qt shows tooltips in the active window only: a click on the graph first.
xdotool mousemove --sync "$(($X + 200))" "$(($Y + 150))" click 1
sleep 0.3
for spot in "135 75 3000 495" "60+675 4020+1200 420 240"; do
  read -r l t w h <<<"$spot"
  read -r px py < <(at "$l + $w / 2" "$t + $h / 2")
  xdotool mousemove --sync "$px" "$py"
  xdotool mousemove --sync $((px + 1)) "$py"
  tip=""
  for _ in $(seq 1 30); do
    tip=$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | grep -v "^$wid\$" | awk 'NR == 1' || true)
    [ -n "$tip" ] && break
    sleep 0.1
  done
  [ -n "$tip" ] || fail "no tooltip over $spot"
  sleep 0.3
  eval "$(xdotool getwindowgeometry --shell "$tip" | sed 's/^/TIP_/')"
  import -window root -crop "$((TIP_WIDTH - 6))x$((TIP_HEIGHT - 6))+$((TIP_X + 3))+$((TIP_Y + 3))" "$work/tip.png"
  ground=$(convert "$work/tip.png" -format %c histogram:info:- | sort -rn | awk 'NR == 1' | grep -o '#[0-9A-F]\{6\}')
  dark=$(convert "$work/tip.png" -colorspace gray -threshold 35% -format '%[fx:(1-mean)*w*h]' info:)
  [ "$(convert xc:"$ground" -colorspace gray -format '%[fx:int(255*u)]' info:)" -gt 200 ] ||
    fail "tooltip over $spot has the ground $ground"
  [ "${dark%.*}" -gt 20 ] || fail "tooltip over $spot has no dark text"
  xdotool mousemove --sync "$(($X + 300))" "$(($Y + 250))"
  sleep 0.5
done
passed=$((passed + 1))

# The title drag: without a window manager the program moves the window.
read -r px py < <(at 3000 200)
xdotool mousemove --sync "$px" "$py" mousedown 1
sleep 0.2
for s in 1 2 3 4 5; do xdotool mousemove --sync $((px + 8 * s)) $((py + 6 * s)); sleep 0.05; done
xdotool mouseup 1
sleep 0.3
x0=$X y0=$Y
eval "$(xdotool getwindowgeometry --shell "$wid")"
[ "$X" = $((x0 + 40)) ] && [ "$Y" = $((y0 + 30)) ] || fail "the title drag moved the window from $x0,$y0 to $X,$Y"
passed=$((passed + 1))

# Exit has the focus on a fresh start: Enter ends the program, saving.
xdotool mousemove --sync "$(($X + 300))" "$(($Y + 250))"
xdotool key Return
ended "Enter on Exit"
"$build/vantorel-fit" --saved --json --estimate | grep -q '"min_data_range": 10' || fail "Enter on Exit did not save"
passed=$((passed + 1))

# --- 2. Two data points, Calculate, Esc after the fit.
launch
type_into() {  # left top width height text
  click_at "$1" "$2" "$3" "$4"
  sleep 0.2
  xdotool key --clearmodifiers ctrl+a
  xdotool type --delay 30 "$5"
  xdotool key Return
}
# The clicks fields of rows 2 and 3 (Mode0 at 60,4020; rows 1131 twips apart).
type_into "60 + 1131 * 1 + 120" "4020 + 1125" 525 315 1
type_into "60 + 1131 * 2 + 120" "4020 + 1140" 525 315 1
# Calculate (Frame5 at 60,5715; the button at 1395,30, 1005 by 555).
click_at "60 + 1395" "5715 + 30" 1005 555
# The status panel covers the middle of the graph while the fit runs.
sleep 1
for _ in $(seq 1 120); do
  import -window root "$work/shot.png"
  [ "$(pixel 200 170)" != 004040 ] && break
  sleep 0.5
done
[ "$(pixel 200 170)" != 004040 ] || fail "the fit did not end"
xdotool key Escape
ended "Esc"
fitted='"model": {"mv": 820, "bc": 0.026, "sh": 1.95, "zr": 21, "cpm": 8.1}'
[ "$(saved_model)" = "$fitted" ] || fail "saved model is not the fitted one: $(saved_model)"
"$build/vantorel-fit" --saved --json --estimate | grep -q '"min_data_range": 10' || fail "saved rows are wrong"
passed=$((passed + 1))

# --- 3. Esc during the fit: the search stops, the best model so far is saved.
# The key follows the click at once, so it arrives while the search runs.
launch
read -r px py < <(at "60 + 1395 + 502" "5715 + 30 + 277")
start=$(date +%s%N)
xdotool mousemove --sync "$px" "$py" click 1 key Escape
ended "Esc during the fit"
took=$((($(date +%s%N) - start) / 1000000))
[ "$took" -lt 1500 ] || fail "closing during the fit took $took ms"
[ "$(saved_model)" != "$fitted" ] || fail "the search ran to its end before the program closed"
passed=$((passed + 1))

echo "window under Xvfb: $passed passed, 0 failed"
