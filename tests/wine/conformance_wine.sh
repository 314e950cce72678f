#!/usr/bin/env bash
# The user scenarios against the Win32 window: test_conformance_win32.exe
# under Wine on an Xvfb of its own (Wine makes windows only on a display).
# Usage: conformance_wine.sh BUILD_DIR [GTEST ARGUMENTS] (the Windows build)
set -euo pipefail
build=$(cd "$1" && pwd) work=$(mktemp -d) xvfb=""
shift
trap 'WINEPREFIX=$build/wineprefix-conformance wineserver -k 2>/dev/null || :; stop "$xvfb"; rm -rf "$work"' EXIT
. "$(dirname "$0")/display.sh"
wine_on_display "$build/wineprefix-conformance"
wine "$build/test_conformance_win32.exe" "$@"
