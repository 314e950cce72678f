#!/usr/bin/env bash
# The Debian package on this machine: build it with CPack, install it with
# apt-get, find the menu entry and the icon where the desktop looks for them,
# drive both programs from /usr/bin as the window test does (under Xvfb),
# and remove the package.
# Needs root; exits 77 (skipped) otherwise. Waits for another apt or dpkg
# run to finish rather than failing on its lock.
# Usage: package_roundtrip.sh BUILD_DIR [BUILD_TYPE]
set -euo pipefail
build=$(cd "$1" && pwd)
if [ "$(id -u)" -ne 0 ]; then echo "SKIP: installing a package needs root"; exit 77; fi
if dpkg-query -W -f='${Status}' vantorel 2>/dev/null | grep -q "ok installed"; then
  echo "SKIP: a vantorel package is installed already; it is left alone"; exit 77
fi
work=$(mktemp -d)
chmod 755 "$work"  # apt reads the package as its own unprivileged user
installed=""
cleanup() {
  [ -n "$installed" ] && DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=90 remove -y -qq vantorel >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
id=com.morvaleservices.Vantorel

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1 || fail "cpack: $(cat "$work/cpack.log")"
deb=$(ls "$work"/pkg/vantorel_*.deb)
# Debian's own checks of a package: nothing to report, down to the pedantic notes.
report=$(lintian --pedantic -I -E --tag-display-limit 0 "$deb" 2>&1 | grep -v 'running with root privileges' || :)
# Checked functions need an optimised build: a Debug build's package lacks them (and is not shipped).
[ "${2:-}" != Debug ] || report=$(grep -v hardening-no-fortify-functions <<<"$report" || :)
[ -z "$report" ] || fail "lintian: $report"
installed=yes
DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=90 install -y -qq --no-install-recommends "$deb" >"$work/apt.log" 2>&1 ||
  fail "apt-get install: $(cat "$work/apt.log")"

# The menu entry and the icon where the desktop looks for them.
[ -s /usr/share/applications/$id.desktop ] && [ -s /usr/share/icons/hicolor/48x48/apps/$id.png ] || fail "no menu entry or icon"
[ "$(command -v vantorel-fit)" = /usr/bin/vantorel-fit ] || fail "vantorel-fit is not on the path"
[ "$(/usr/bin/vantorel-fit --version)" = "vantorel-fit $(dpkg-query -W -f='${Version}' vantorel)" ] ||
  fail "the package and --version disagree"

# The installed programs, run from /usr/bin in a real window as the build's are.
bash "$(dirname "$0")/../xvfb/window_blackbox.sh" /usr/bin || fail "the installed window"

DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=90 remove -y -qq vantorel >"$work/apt.log" 2>&1 || fail "apt-get remove: $(cat "$work/apt.log")"
installed=""
[ ! -e /usr/bin/Vantorel ] && [ ! -e /usr/share/applications/$id.desktop ] || fail "files left after removal"
echo "package round trip: ok"
