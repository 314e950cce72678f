#!/usr/bin/env bash
# `cmake --install` into a DESTDIR: every file in its place, the icons at
# their sizes, the desktop entry, the AppStream metadata and the manual
# pages accepted by their validators, and the installed vantorel-fit's PDF.
# Usage: installed_tree.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
id=com.morvaleservices.Vantorel

DESTDIR="$dest" cmake --install "$build" --prefix /usr >/dev/null
u="$dest/usr"
for f in bin/Vantorel bin/vantorel-fit share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
         share/icons/hicolor/scalable/apps/$id.svg share/man/man1/Vantorel.1.gz share/man/man1/vantorel-fit.1.gz \
         share/doc/vantorel/README.md share/doc/vantorel/changelog.gz share/doc/vantorel/copyright; do
  [ -s "$u/$f" ] && [[ $f != bin/* || -x $u/$f ]] || fail "$f is missing or not executable"
done
for n in 16 22 24 32 48 64 128 256; do
  file "$u/share/icons/hicolor/${n}x$n/apps/$id.png" | grep -q "PNG image data, $n x $n" || fail "no ${n}x$n icon"
done

out=$(desktop-file-validate "$u/share/applications/$id.desktop" 2>&1) && [ -z "$out" ] || fail "desktop-file-validate: $out"
appstreamcli validate --pedantic --no-net "$u/share/metainfo/$id.metainfo.xml" >"$dest/as.log" 2>&1 || fail "$(cat "$dest/as.log")"
version=$("$u/bin/vantorel-fit" --version)
[ "$version" = "vantorel-fit $(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$u/share/metainfo/$id.metainfo.xml")" ] ||
  fail "--version says '$version', the metadata another release"
# The installed vantorel-fit prints the list to a PDF file with no display at all.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$u/bin/vantorel-fit" --estimate --pdf "$dest/card.pdf" \
  10:52 20:0 30:0 40:12 50:28 55:44 >/dev/null && pdftotext -layout "$dest/card.pdf" - | grep -q ' 55 : 43 *(44)' ||
  fail "no PDF of the list from vantorel-fit"
grep -qx "Icon=$id" "$u/share/applications/$id.desktop" || fail "the desktop entry names another icon"

for page in Vantorel vantorel-fit; do
  text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$u/share/man/man1/$page.1.gz" 2>"$dest/man.err") || fail "man $page"
  [ ! -s "$dest/man.err" ] || fail "man $page: $(cat "$dest/man.err")"
  grep -q "^NAME" <<<"$text" && grep -q "^SYNOPSIS" <<<"$text" || fail "man $page has no NAME or SYNOPSIS"
done
echo "installed tree: ok"
