#!/usr/bin/env bash
# Installs the Debian 12 packages a task needs, when one is missing. Quick
# when everything is already present.
# Usage: deps.sh run|package|windows|web|test
#   run      building and running the programs
#   package  that, and making the Debian package (make package)
#   windows  cross-building the Windows programs, packing them
#            (NSIS) and running their tests under Wine (make windows); g++
#            builds the icon drawer that runs during the build
#   web      building the browser's site with emscripten (make web) and
#            testing it in Chromium driven over its DevTools protocol
#   test     all of these, and every test tool (make test, make bench, make fuzz,
#            scripts/style.sh)
set -euo pipefail

run=(
  g++ cmake ninja-build make pkg-config
  qt6-base-dev libsqlite3-dev libfontconfig-dev libxcb1-dev libcups2-dev libhpdf-dev
  fonts-liberation2 fonts-dejavu-extra fonts-urw-base35 fontconfig
)
package=(
  dpkg-dev file
)
windows=(
  cmake ninja-build make g++ g++-mingw-w64-x86-64-posix googletest wine wine64 python3 fonts-wine fonts-liberation2 nsis
)
web=(
  cmake ninja-build make g++ emscripten nodejs imagemagick chromium python3-websocket
)
test=(
  sqlite3 libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format clang-tidy
  xvfb xauth x11-utils xdotool imagemagick dbus at-spi2-core python3-gi gir1.2-atspi-2.0
  cups cups-client printer-driver-cups-pdf poppler-utils
  desktop-file-utils appstream man-db lintian
)

# npm comes with the nodejs of some sources (NodeSource's), and is Debian's
# own package otherwise.
command -v npm >/dev/null 2>&1 || web+=(npm)

case "${1:-test}" in
  run) packages=("${run[@]}") ;;
  package) packages=("${run[@]}" "${package[@]}") ;;
  windows) packages=("${windows[@]}") ;;
  web) packages=("${web[@]}") ;;
  test) packages=("${run[@]}" "${package[@]}" "${windows[@]}" "${web[@]}" "${test[@]}") ;;
  *) echo "usage: deps.sh run|package|windows|web|test" >&2; exit 64 ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages and not running as root: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
