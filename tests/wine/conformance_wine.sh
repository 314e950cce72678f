#!/usr/bin/env bash
# The user scenarios against the Win32 window: test_conformance_win32.exe
# under Wine on an Xvfb of its own (Wine makes windows only on a display).
# Usage: conformance_wine.sh BUILD_DIR [GTEST ARGUMENTS] (the Windows build)
set -euo pipefail
build=$(cd "$1" && pwd) work=$(mktemp -d) xvfb=""
shift
here=$(cd "$(dirname "$0")/../.." && pwd)
cleanup() { WINEPREFIX=$build/wineprefix-conformance wineserver -k 2>/dev/null || :; kill $xvfb 2>/dev/null || :; rm -rf "$work"; }
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 & xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "FAIL: no Xvfb" >&2; exit 1; }
# The prefix as the other Windows tests make it (fonts included).
"$here/scripts/wine-run.sh" "$build/wineprefix-conformance" cmd /c exit >/dev/null 2>&1 || :
export DISPLAY=":$(cat "$work/display")" WINEPREFIX=$build/wineprefix-conformance WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -w  # the server started without a display ends first
wine "$build/test_conformance_win32.exe" "$@"
