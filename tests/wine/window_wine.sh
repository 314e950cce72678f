#!/usr/bin/env bash
# Vantorel.exe in a real window under Wine on an Xvfb of its own (no window
# manager: xdotool talks to the window itself), in a fresh Wine prefix.
# Two runs: type clicks, Calculate, Metric, a refused range and its error
# window, Esc saving into the registry (read back with `wine reg query`
# once the Wine server has written it out); the second start restores what
# was saved, seen through vantorel-fit.exe --saved.
# Usage: window_wine.sh BUILD_DIR (the Windows build, with Vantorel.exe)
set -euo pipefail
build=$(cd "$1" && pwd) work=$(mktemp -d) xvfb="" app=""
here=$(cd "$(dirname "$0")/../.." && pwd)
cleanup() { [ -n "$app" ] && kill "$app" 2>/dev/null; WINEPREFIX=$work/prefix wineserver -k 2>/dev/null; kill $xvfb 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; cat "$work/app.log" >&2 2>/dev/null; exit 1; }
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 & xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
# The prefix as the other Windows tests make it (fonts included), then the window.
"$here/scripts/wine-run.sh" "$work/prefix" cmd /c exit >/dev/null 2>&1 || :
exec 2> >(grep -v 'XGetInputFocus returned' >&2)  # xdotool's note about a server without a window manager
export DISPLAY=":$(cat "$work/display")" WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -w  # the server started without a display ends first: windows need one that has it
key='HKCU\Software\Morvale Services\Vantorel'
launch() {
  (cd "$build" && exec wine Vantorel.exe) >"$work/app.log" 2>&1 & app=$!
  wid=$(timeout 60 xdotool search --sync --name '^Vantorel V1\.0\.0$' | awk 'NR == 1') || fail "no window"
  sleep 2
}
ended() {  # the program ends within 20 s
  for _ in $(seq 200); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$app" 2>/dev/null && fail "$1 did not end the program"; app=""
  wineserver -w
}
# A point of the main window in twips, as the layout places it; then xdotool.
at() { xdotool mousemove --window "$wid" $(( $1 / 15 )) $(( $2 / 15 )); sleep 0.3; [ $# -le 2 ] || xdotool "${@:3}"; }
field() {  # row (0-5), R or C: the centre of that row's range or clicks field
  local x=$((60 + 1131 * $1 + 120 + 262)) y=$([ "$2" = R ] && echo $((4020 + 405 + 157)) || echo $((4020 + 1125 + 157)))
  echo "$x $y"
}
type_into() {  # row, R or C, text
  at $(field "$1" "$2") click 1
  xdotool key --window "$wid" End BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace
  xdotool type --window "$wid" "$3"
}
errors_shown() {  # the error windows on the screen (286 pixels wide)
  xdotool search --onlyvisible --name '' 2>/dev/null | while read -r w; do
    xwininfo -id "$w" 2>/dev/null | grep -q 'Width: 286' && echo "$w"
  done
}

launch
type_into 3 C 15
at $((60 + 1395 + 500)) $((5715 + 30 + 277)) click 1  # Calculate
sleep 8
at $((60 + 105 + 420)) $((5715 + 390 + 165)) click 1  # Metric
sleep 8
type_into 4 R 500  # beyond 100 metres: refused, said in the error window
at $((60 + 1395 + 500)) $((5715 + 30 + 277)) click 1
for _ in $(seq 50); do e=$(errors_shown | tail -1); [ -n "$e" ] && break; sleep 0.1; done
[ -n "${e:-}" ] || fail "no error window for a range of 500 m"
# Its Close button. Under Wine without a window manager the first click on
# a newly shown window only activates it, so the button takes the second.
sleep 1; xdotool mousemove --window "$e" $(((1620 + 630) / 15)) $(((2010 + 270) / 15)); sleep 0.3
for _ in 1 2; do xdotool click 1; sleep 1; [ -z "$(errors_shown)" ] && break; done
[ -z "$(errors_shown)" ] || fail "Close did not close the error window"
type_into 4 R 50
xdotool key --window "$wid" Escape; ended "Esc"
saved=$(wine reg query "$key" 2>/dev/null | tr -d '\r')
grep -q 'C(3)[[:space:]]*REG_SZ[[:space:]]*15$' <<<"$saved" || fail "the clicks typed were not saved: $saved"
grep -q 'Metric[[:space:]]*REG_SZ[[:space:]]*1$' <<<"$saved" || fail "the unit was not saved: $saved"

launch
xdotool key --window "$wid" Escape; ended "Esc on the second start"
[ "$(wine reg query "$key" 2>/dev/null | tr -d '\r')" = "$saved" ] || fail "the second start changed the saved settings"
card=$(cd "$build" && wine vantorel-fit.exe --saved --estimate --json 2>&1 | tr -d '\r') || fail "vantorel-fit --saved: $card"
grep -q '"units": "metric"' <<<"$card" || fail "the saved card is not metric: $card"
echo "window under Wine: typed, fitted, switched, refused, saved and restored"
