#!/usr/bin/env bash
# vantorel-fit.exe carries the saved settings through a settings file: the
# registry's settings exported, a foreign file refused with nothing
# changed, a file edited by hand (its check line left out) imported into
# another prefix's registry, and exported from there with the edit.
# Usage: settings_wine.sh BUILD_DIR (the Windows build)
set -euo pipefail
build=$(cd "$1" && pwd) work=$(mktemp -d) here=$(cd "$(dirname "$0")/../.." && pwd)
cleanup() {
  for p in a b; do WINEPREFIX=$work/$p wineserver -k 2>/dev/null || :; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
fit() { bash "$here/scripts/wine-run.sh" "$work/$1" "$build/vantorel-fit.exe" "${@:2}"; }
cd "$work"
fit a --export-settings 'rifle settings.txt' >/dev/null || fail "export"
[ "$(head -n 1 'rifle settings.txt' | tr -d '\r')" = "Vantorel settings file 1" ] || fail "no settings file"
printf 'Zero at 30 yards\r\n' >notes.txt
if fit b --import-settings notes.txt 2>err.txt; then fail "a foreign file was imported"; fi
grep -q "This is not a Vantorel settings file. Nothing was imported." err.txt || fail "$(cat err.txt)"
grep -v '^Check=' 'rifle settings.txt' | sed 's/^R(0)=10\r$/R(0)=12\r/' >edited.txt
fit b --import-settings edited.txt >/dev/null || fail "the edited file was refused"
wineserver_done() { WINEPREFIX=$work/b wineserver -w; }
wineserver_done
fit b --export-settings again.txt >/dev/null || fail "export after the import"
grep -q "^R(0)=12" again.txt || fail "the import did not reach the registry: $(head -n 5 again.txt)"
echo "settings files under Wine: exported, refused, imported and exported again"
