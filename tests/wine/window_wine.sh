#!/usr/bin/env bash
# Vantorel.exe in a real window under Wine on an Xvfb of its own (no window
# manager: xdotool talks to the window itself), in a fresh Wine prefix.
# Three runs, from a folder with a non-ASCII name: type clicks, Calculate,
# Metric, Esc saving into the registry
# (read back with `wine reg query` once the Wine server has written it out);
# the second start restores what was saved, seen through vantorel-fit.exe
# --saved, and "Save as CSV" writes next to the program what vantorel-fit
# writes; the third start at 144 dots per inch shows the same 96-dpi window
# (the program leaves the scaling to Windows).
# Usage: window_wine.sh BUILD_DIR (the Windows build, with Vantorel.exe)
set -euo pipefail
build=$(cd "$1" && pwd) work=$(mktemp -d) xvfb="" app=""
bin="$work/Schießstand β"
here=$(cd "$(dirname "$0")/../.." && pwd)
cleanup() { [ -z "$app" ] || kill "$app" 2>/dev/null || :; WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || :; stop "$xvfb"; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; cat "$work/app.log" >&2 2>/dev/null; exit 1; }
. "$here/tests/wine/display.sh"
wine_on_display "$work/prefix"
mkdir -p "$bin" && cp "$build/Vantorel.exe" "$bin/"
key='HKCU\Software\Morvale Services\Vantorel'
field() {  # row (0-5), R or C: the centre of that row's range or clicks field
  local x=$((60 + 1131 * $1 + 120 + 262)) y=$([ "$2" = R ] && echo $((4020 + 405 + 157)) || echo $((4020 + 1125 + 157)))
  echo "$x $y"
}
# The status panel over the graph shows while a fit runs and for its "Complete", then goes.
panel() { [ "$(import -window "$wid" -crop 1x1+200+170 +repage -depth 8 txt:- 2>/dev/null | grep -o '#[0-9A-F]\{6\}' | head -1)" = "#004040" ]; }
fitted() { for _ in $(seq 100); do panel && break; sleep 0.1; done; for _ in $(seq 600); do panel || return 0; sleep 0.1; done; fail "the fit did not end"; }
type_into() {  # row, R or C, text
  at $(field "$1" "$2") click 1
  xdotool key --window "$wid" End BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace
  xdotool type --window "$wid" "$3"
}
launch "$bin"
# A second copy under the same name brings this window forward and ends at once.
windows=$(xdotool search --name '^Vantorel V1\.0\.0$' | wc -l)
(cd "$bin" && timeout 60 wine Vantorel.exe) >"$work/second.log" 2>&1 || fail "a second copy did not end by itself"
[ "$(xdotool search --name '^Vantorel V1\.0\.0$' | wc -l)" = "$windows" ] || fail "a second copy opened a window"
kill -0 "$app" 2>/dev/null || fail "a second copy ended the first"
type_into 3 C 15
at $((60 + 1395 + 500)) $((5715 + 30 + 277)) click 1; fitted  # Calculate
at $((60 + 105 + 420)) $((5715 + 390 + 165)) click 1; fitted  # Metric
xdotool key --window "$wid" Escape; ended "Esc"
saved=$(wine reg query "$key" 2>/dev/null | tr -d '\r')
grep -q 'C(3)[[:space:]]*REG_SZ[[:space:]]*15$' <<<"$saved" || fail "the clicks typed were not saved: $saved"
grep -q 'Metric[[:space:]]*REG_SZ[[:space:]]*1$' <<<"$saved" || fail "the unit was not saved: $saved"

graph() {  # the window's graph box (P0) as the screen shows it, once drawn: its red zero line, the same twice
  for _ in $(seq 100); do
    import -window "$wid" -crop $((6750 / 15))x$((3540 / 15))+$((60 / 15))+$((480 / 15)) +repage -depth 8 "ppm:$1"
    [ "$(convert "$1" txt:- | grep -c '#FF0000')" -gt 0 ] && cmp -s "$1" "$1.last" && return 0
    cp "$1" "$1.last"; sleep 0.1
  done; fail "the graph was not drawn"
}

launch "$bin"
graph "$work/graph96.ppm"
# "Save as CSV" is there when the print system has a printer.
if lpstat -r 2>/dev/null | grep -q "is running" && lpstat -e 2>/dev/null | grep -q .; then
  at $((60 + 4305 + 500)) $((5715 + 30 + 277)) click 1
  box=$(timeout 20 xdotool search --sync --name '^File Saved$' | awk 'NR == 1') || fail "no File Saved box"
  [ -f "$bin/VTL_0001.CSV" ] || fail "no VTL_0001.CSV next to the program: $(ls "$bin")"
  eval "$(xdotool getwindowgeometry --shell "$box")"
  sleep 1; xdotool mousemove --window "$box" $((WIDTH / 2)) $((HEIGHT - 26)); sleep 0.3  # its OK button
  for _ in 1 2; do xdotool click 1; sleep 1; xdotool search --name '^File Saved$' >/dev/null || break; done
  ! xdotool search --name '^File Saved$' >/dev/null || fail "OK did not close the File Saved box"
  (cd "$build" && wine vantorel-fit.exe --saved --estimate --csv "$(winepath -w "$work/fit.csv")" >/dev/null 2>&1) ||
    fail "vantorel-fit --saved --csv"
  cmp "$bin/VTL_0001.CSV" "$work/fit.csv" || fail "the window's CSV differs from vantorel-fit's"
else
  echo "no printer in the print system: Save as CSV is off, not tried"
fi
xdotool key --window "$wid" Escape; ended "Esc on the second start"
[ "$(wine reg query "$key" 2>/dev/null | tr -d '\r')" = "$saved" ] || fail "the second start changed the saved settings"
card=$(cd "$build" && wine vantorel-fit.exe --saved --estimate --json 2>&1 | tr -d '\r') || fail "vantorel-fit --saved: $card"
grep -q '"units": "metric"' <<<"$card" || fail "the saved card is not metric: $card"

# 144 dots per inch: Windows scales a program that does not declare itself
# DPI-aware; Wine does not, so the window keeps its 96-dpi size and drawing.
for k in 'HKCU\Control Panel\Desktop' 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
  wine reg add "$k" /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
done
wineserver -w
launch "$bin"
size=$(xwininfo -id "$wid" | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w "x" h}')
[ "$size" = 574x439 ] || fail "the window at 144 dpi is $size, not 574x439"
graph "$work/graph144.ppm"
[ "$(compare -metric AE "$work/graph96.ppm" "$work/graph144.ppm" null: 2>&1)" = 0 ] || fail "the graph at 144 dpi differs"
xdotool key --window "$wid" Escape; ended "Esc at 144 dpi"
echo "window under Wine: one copy, typed, fitted, switched, saved, restored, exported, the same at 144 dpi"
