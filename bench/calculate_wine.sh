#!/usr/bin/env bash
# Times "Calculate" in the Win32 window under Wine on an Xvfb of its own
# against the pure search of the same build.
# Usage: calculate_wine.sh BUILD_DIR (the Windows build)
set -euo pipefail
build=$(cd "$1" && pwd) work=$(mktemp -d) xvfb=""
trap 'WINEPREFIX=$build/wineprefix-bench wineserver -k 2>/dev/null || :; stop "$xvfb"; rm -rf "$work"' EXIT
. "$(dirname "$0")/../tests/wine/display.sh"
wine_on_display "$build/wineprefix-bench"
wine "$build/calculate_win32.exe"
