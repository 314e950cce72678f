#!/usr/bin/env bash
# The Debian package on this machine: build it with CPack, install it with
# apt-get, find the menu entry and the icon where the desktop looks for them,
# run both programs from /usr/bin (the window under Xvfb), check that the
# command line reads what the installed window saved, and remove the package.
# Needs root; exits 77 (skipped) otherwise. Waits for another apt or dpkg
# run to finish rather than failing on its lock.
# Usage: package_roundtrip.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
if [ "$(id -u)" -ne 0 ]; then echo "SKIP: installing a package needs root"; exit 77; fi
if dpkg-query -W -f='${Status}' vantorel 2>/dev/null | grep -q "ok installed"; then
  echo "SKIP: a vantorel package is installed already; it is left alone"; exit 77
fi
work=$(mktemp -d)
chmod 755 "$work"  # apt reads the package as its own unprivileged user
xvfb_pid="" app_pid="" installed=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  [ -n "$installed" ] && DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=90 remove -y -qq vantorel >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
id=com.morvaleservices.Vantorel

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1 || fail "cpack: $(cat "$work/cpack.log")"
deb=$(ls "$work"/pkg/vantorel_*.deb)
installed=yes
DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=90 install -y -qq --no-install-recommends "$deb" >"$work/apt.log" 2>&1 ||
  fail "apt-get install: $(cat "$work/apt.log")"

# The menu entry and the icon where the desktop looks for them.
[ -s /usr/share/applications/$id.desktop ] && [ -s /usr/share/icons/hicolor/48x48/apps/$id.png ] || fail "no menu entry or icon"
[ "$(command -v vantorel-fit)" = /usr/bin/vantorel-fit ] || fail "vantorel-fit is not on the path"
[ "$(/usr/bin/vantorel-fit --version)" = "vantorel-fit $(dpkg-query -W -f='${Version}' vantorel)" ] ||
  fail "the package and --version disagree"

# The installed window under Xvfb, with its own settings folder.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 & xvfb_pid=$!  # a free display
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")" XDG_CONFIG_HOME="$work/config"
unset QT_QPA_PLATFORM
(cd / && exec /usr/bin/Vantorel) >"$work/app.log" 2>&1 &
app_pid=$!
timeout 30 xdotool search --sync --onlyvisible --name '^Vantorel V1\.0\.0$' >/dev/null || fail "no window 'Vantorel V1.0.0'"
sleep 0.5
xdotool key Escape
for _ in $(seq 1 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
wait "$app_pid" || fail "Vantorel ended with status $?"
app_pid=""

# What the window saved is what vantorel-fit --saved reads.
db="$XDG_CONFIG_HOME/Morvale Services/registry.sqlite3"
sqlite3 "$db" "UPDATE registry_values SET data = CAST('33' || char(0) AS BLOB)
               WHERE name = 'R(0)' AND key = (SELECT id FROM registry_keys WHERE name = 'Vantorel')" ||
  fail "the window saved no settings under its name"
list=$(/usr/bin/vantorel-fit --saved --estimate) && grep -q '^ 33:' <<<"$list" || fail "vantorel-fit --saved does not read the window's settings"

DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=90 remove -y -qq vantorel >"$work/apt.log" 2>&1 || fail "apt-get remove: $(cat "$work/apt.log")"
installed=""
[ ! -e /usr/bin/Vantorel ] && [ ! -e /usr/share/applications/$id.desktop ] || fail "files left after removal"
echo "package round trip: ok"
