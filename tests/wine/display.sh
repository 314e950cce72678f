# Sourced by the Wine tests: an Xvfb of the test's own and a Wine prefix
# whose windows show there.
# wine_on_display PREFIX: starts Xvfb (its process in $xvfb, its number in
# $work/display), makes PREFIX as the other Windows tests make theirs (fonts
# included) and exports what wine needs to put its windows on that display.
wine_on_display() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 & xvfb=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || { echo "FAIL: no Xvfb" >&2; exit 1; }
  "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-run.sh" "$1" cmd /c exit >/dev/null 2>&1 || :
  export DISPLAY=":$(cat "$work/display")" WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  wineserver -w  # the server started without a display ends first: windows need one that has it
}
