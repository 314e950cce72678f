# Sourced by the Wine tests: an Xvfb of the test's own and a Wine prefix
# whose windows show there.
# wine_on_display PREFIX: starts Xvfb (tests/xvfb/server.sh), makes PREFIX
# as the other Windows tests make theirs (fonts included) and exports what
# wine needs to put its windows on that display.
. "$(dirname "${BASH_SOURCE[0]}")/../xvfb/server.sh"
wine_on_display() {
  start_xvfb 1024x768x24
  "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-run.sh" "$1" cmd /c exit >/dev/null 2>&1 || :
  export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  wineserver -w  # the server started without a display ends first: windows need one that has it
  exec 2> >(grep -v 'XGetInputFocus returned' >&2)  # xdotool's note about a server without a window manager
}

# For the tests that drive Vantorel.exe with xdotool (they define fail):
# launch DIR starts it from DIR (its process in $app, its output in
# $work/app.log) and waits for its window, shown once the settings are in
# ($wid); ended WHAT waits up to 20 s for it to end; at X Y [XDOTOOL ARGS]
# moves the mouse to a point of the window in twips, as the layout places
# it, then runs xdotool with the rest.
launch() {
  (cd "$1" && exec wine Vantorel.exe) >"$work/app.log" 2>&1 & app=$!
  wid=$(timeout 60 xdotool search --sync --onlyvisible --name '^Vantorel V1\.0\.0$' | awk 'NR == 1') || fail "no window"
}
ended() {
  for _ in $(seq 200); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$app" 2>/dev/null && fail "$1 did not end the program"; app=""
  wineserver -w
}
at() { xdotool mousemove --window "$wid" $(( $1 / 15 )) $(( $2 / 15 )); sleep 0.3; [ $# -le 2 ] || xdotool "${@:3}"; }
