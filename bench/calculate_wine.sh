#!/usr/bin/env bash
# Times "Calculate" in the Win32 window under Wine on an Xvfb of its own
# against the pure search of the same build.
# Usage: calculate_wine.sh BUILD_DIR (the Windows build)
set -euo pipefail
build=$(cd "$1" && pwd) work=$(mktemp -d) xvfb=""
here=$(cd "$(dirname "$0")/.." && pwd)
trap 'WINEPREFIX=$build/wineprefix-bench wineserver -k 2>/dev/null || :; kill $xvfb 2>/dev/null || :; rm -rf "$work"' EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 & xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
"$here/scripts/wine-run.sh" "$build/wineprefix-bench" cmd /c exit >/dev/null 2>&1 || :
export DISPLAY=":$(cat "$work/display")" WINEPREFIX=$build/wineprefix-bench WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -w
wine "$build/calculate_win32.exe"
