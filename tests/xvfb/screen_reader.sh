#!/usr/bin/env bash
# The window under Xvfb with Qt's accessibility bridge on, on the session
# bus this runs in (dbus-run-session), read by tests/xvfb/screen_reader.py
# as a screen reader reads it.
# Usage: screen_reader.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd) work=$(mktemp -d) xvfb="" app=""
. "$(dirname "$0")/server.sh"
trap 'stop "$app"; stop "$xvfb"; rm -rf "$work"' EXIT
start_xvfb 1024x768x24
# A runtime folder of the test's own: a copy running elsewhere is not this one's first copy.
export XDG_CONFIG_HOME="$work/config" HOME="$work" XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=xcb \
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 && mkdir -m 700 "$XDG_RUNTIME_DIR"
"$build/Vantorel" >"$work/app.log" 2>&1 & app=$!
/usr/bin/python3 "$(dirname "$0")/screen_reader.py" || { cat "$work/app.log" >&2; exit 1; }
