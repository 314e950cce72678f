#!/usr/bin/env bash
# Vantorel starts every time on an X server that resets when its last client
# leaves (Xvfb's and xinit's default). Its display check connects before Qt;
# were that connection let go first, the server would reset in between and
# could turn Qt away. The server's log of clients shows, for each of 20
# starts, Qt's connection made before the check's goes. Each start begins
# with a client of the test's own on the server (no reset under way, one the
# server drops while resetting is started again), which leaves once the check
# is connected: the program is then alone on it.
# Usage: display_reset.sh FOLDER (the one with Vantorel)
set -euo pipefail
build=$(cd "$1" && pwd) work=$(mktemp -d) app="" holder="" xvfb="" i=0
. "$(dirname "$0")/server.sh"
trap 'kill $app $holder 2>/dev/null || :; stop "$xvfb"; rm -rf "$work"' EXIT; fail() { echo "FAIL: start $i: $*" >&2; cat "$work/app.log" >&2; exit 1; }
start_xvfb 1280x1024x24 reset; export QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" && mkdir -m 700 "$XDG_RUNTIME_DIR"
connecting() { while kill -0 "$1" 2>/dev/null && ! grep -q "pid=$1 )" "$work/xvfb.log"; do sleep 0.02; done; grep -q "pid=$1 )" "$work/xvfb.log"; }
# order: "held" or "gap", the program's second connection came before or after its first went.
order() { sed -n 's/.*: client \([0-9]*\) connected .* pid=\([0-9]*\) .*/c \1 \2/p; s/.*: client \([0-9]*\) disconnected$/d \1/p' "$work/xvfb.log" |
  awk -v pid="$app" '$1 == "c" && $3 == pid { if (a == "") a = $2; else { print gone ? "gap" : "held"; exit } } $1 == "d" && $2 == a { gone = 1 }'; }
for i in $(seq 20); do
  : >"$work/xvfb.log"; for _ in $(seq 20); do xev -root -event property >/dev/null 2>&1 & holder=$!; connecting "$holder" && break; done || fail "no client connects"
  "$build/Vantorel" >"$work/app.log" 2>&1 & app=$!
  connecting "$app"; stop "$holder"; holder=""
  for _ in $(seq 300); do xdotool search --onlyvisible --name '^Vantorel V1\.0\.0$' >/dev/null && break; kill -0 "$app" || fail "no window"; sleep 0.1; done
  [ "$(order)" = held ] || fail "the display check let go of the X server before Qt connected: $(order)"
  kill -TERM "$app"; wait "$app" || fail "status $?"; app=""
done
echo "20 starts on a resetting X server: Qt connected each time while the check still held the server"
