#!/usr/bin/env bash
# Start-up time of Vantorel against a frameless Qt window of the same size
# that draws one line of text, launch to mapped on a private Xvfb, launched
# alternately. Prints the median of each and their ratio.
# Usage: bench/startup.sh BUILD_DIR [LAUNCHES]   (build with -DVANTOREL_BENCH=ON)
# VANTOREL=path measures another build of the program against the same yardstick.
set -euo pipefail
build=$(cd "$1" && pwd)
runs=${2:-15}
program=${VANTOREL:-$build/Vantorel}
work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for d in $(seq 161 230); do
  if [ ! -e "/tmp/.X11-unix/X$d" ] && [ ! -e "/tmp/.X$d-lock" ]; then disp=$d; break; fi
done
Xvfb ":$disp" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$disp" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb
# A runtime folder of its own: a copy of the program running elsewhere does
# not hold this one's one-copy lock.
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime"
for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
# One launch of each first, so both start from warm caches.
"$build/bench/launch_to_map" 574 439 "$program" >/dev/null
"$build/bench/launch_to_map" 574 439 "$build/bench/text_window" >/dev/null
for _ in $(seq 1 "$runs"); do
  "$build/bench/launch_to_map" 574 439 "$program" >>"$work/vantorel"
  "$build/bench/launch_to_map" 574 439 "$build/bench/text_window" >>"$work/text"
done
median() { sort -n "$1" | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }
v=$(median "$work/vantorel")
t=$(median "$work/text")
echo "launches: $runs each"
echo "Vantorel median: $v ms"
echo "text window median: $t ms"
awk -v v="$v" -v t="$t" 'BEGIN {printf "ratio: %.2f\n", v / t}'
