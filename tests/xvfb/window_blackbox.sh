#!/usr/bin/env bash
# Vantorel in a real window under Xvfb, driven as a user would drive it:
# wait for the window, check colours on a screenshot, type two data points,
# press Calculate, close with Esc, and check the fitted model in the settings.
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
"$build/Vantorel" >"$work/app.log" 2>&1 &
app_pid=$!
wid=$(timeout 30 xdotool search --sync --onlyvisible --name '^Vantorel V1\.0\.0$' | head -n 1) || fail "no window appeared"
sleep 1
eval "$(xdotool getwindowgeometry --shell "$wid")"  # X, Y, WIDTH, HEIGHT
[ "$WIDTH" = 574 ] && [ "$HEIGHT" = 439 ] || fail "window is ${WIDTH}x${HEIGHT}, not 574x439"

import -window root "$work/shot.png"
[ -n "${VANTOREL_SHOT:-}" ] && convert "$work/shot.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$VANTOREL_SHOT"
pixel() { convert "$work/shot.png" -format "%[hex:p{$(($X + $1)),$(($Y + $2))}]" info: | cut -c1-6; }
[ "$(pixel 1 200)" = FFBFBF ] || fail "outline colour at the left edge is $(pixel 1 200)"
[ "$(pixel 300 1)" = FFBFBF ] || fail "outline colour at the top edge is $(pixel 300 1)"
[ "$(pixel 3 20)" = 004040 ] || fail "window background is $(pixel 3 20)"
[ "$(pixel 400 60)" = FFFFFF ] || fail "click list background is $(pixel 400 60)"
[ "$(pixel 547 8)" = 800000 ] || fail "close box colour is $(pixel 547 8)"

# Window coordinates of the centre of a control given in twips.
at() { echo "$(($X + ($1) / 15)) $(($Y + ($2) / 15))"; }
type_into() {  # left top width height text
  read -r px py < <(at "$1 + $3 / 2" "$2 + $4 / 2")
  xdotool mousemove --sync "$px" "$py" click 1
  sleep 0.2
  xdotool key --clearmodifiers ctrl+a
  xdotool type --delay 30 "$5"
  xdotool key Return
}
# The clicks fields of rows 2 and 3 (Mode0 at 60,4020; rows 1131 twips apart).
type_into "60 + 1131 * 1 + 120" "4020 + 1125" 525 315 1
type_into "60 + 1131 * 2 + 120" "4020 + 1140" 525 315 1

# Calculate (Frame5 at 60,5715; the button at 1395,30, 1005 by 555).
read -r px py < <(at "60 + 1395 + 502" "5715 + 30 + 277")
xdotool mousemove --sync "$px" "$py" click 1
# The status panel covers the middle of the graph while the fit runs.
sleep 1
for _ in $(seq 1 120); do
  import -window root "$work/shot.png"
  [ "$(pixel 200 170)" != 004040 ] && break
  sleep 0.5
done
[ "$(pixel 200 170)" != 004040 ] || fail "the fit did not end"

xdotool key Escape
for _ in $(seq 1 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app_pid" 2>/dev/null; then fail "Esc did not close the window"; fi
wait "$app_pid" || fail "Vantorel ended with status $?"
app_pid=""

saved=$("$build/vantorel-fit" --saved --json --estimate) || fail "cannot read the saved settings"
echo "$saved" | grep -q '"model": {"mv": 820, "bc": 0.026, "sh": 1.95, "zr": 21, "cpm": 8.1}' ||
  fail "saved model is not the fitted one: $(echo "$saved" | grep '"model"')"
echo "$saved" | grep -q '"min_data_range": 10' || fail "saved rows are wrong"
echo "window under Xvfb: 1 passed, 0 failed"
