#!/usr/bin/env bash
# Runs a Windows program under Wine in a prefix of its own, made on first use.
# Usage: wine-run.sh PREFIX PROGRAM.exe [ARGUMENTS...]
# The prefix gets Wine's Tahoma and a fixed-pitch face for Courier New.
# No display is needed or used; Wine's own messages are switched off, so the
# program's standard output and error are all that is printed. The exit
# status is the program's.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: wine-run.sh PREFIX PROGRAM.exe [ARGUMENTS...]" >&2; exit 64; }
prefix=$(realpath -m "$1"); shift

export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko installer on the first start, no windows on any display.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

# A prefix is ready once its fonts are in (a prefix made before they were gets them now).
ready="$prefix/.vantorel-ready"
if [ ! -f "$ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  # Tests running side by side make the prefix once, one after the other.
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -f "$ready" ]; then
    wineboot --init >/dev/null 2>&1 || :
    # The program's faces: Wine's own Tahoma (without it Wine draws Tahoma
    # in another sans face), and Courier New set in the fixed-pitch Liberation
    # Mono.
    fonts="$prefix/drive_c/windows/Fonts"
    mkdir -p "$fonts"
    for f in $(dpkg -L fonts-wine 2>/dev/null | grep -iE '/tahoma(bd)?\.ttf$' || :); do cp -f "$f" "$fonts/"; done
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Courier New' /t REG_SZ /d 'Liberation Mono' /f \
      >/dev/null 2>&1 || :
    wineserver --wait
    touch "$ready"
  fi
  exec 9>&-
fi
exec wine "$@"
