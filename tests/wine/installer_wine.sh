#!/usr/bin/env bash
# The Windows packages that `make windows` leaves in the build: the installer
# run silently in a fresh Wine prefix (files, Start-menu entry, the entry in
# the installed programs, the programs' version information and icon, the
# installed programs running: Vantorel.exe in a window), its uninstaller run silently (all of it
# gone again, the user's settings and those of earlier versions kept), and
# the ZIP file's list of files.
# Usage: installer_wine.sh BUILD_DIR (the Windows build, packed with cpack)
set -euo pipefail
build=$(cd "$1" && pwd) work=$(mktemp -d)
here=$(cd "$(dirname "$0")/../.." && pwd)
xvfb="" app=""
cleanup() {
  [ -z "$app" ] || kill "$app" 2>/dev/null || :
  WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || :
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || :
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"
setup=$build/Vantorel-$version-win64-setup.exe zip=$build/Vantorel-$version-win64.zip
for f in "$setup" "$zip"; do
  [ -f "$f" ] || fail "no $f: make windows (or cpack in $build) makes it"
  [ "$f" -nt "$build/Vantorel.exe" ] || fail "$f is older than the build: make windows packs it again"
done

# The ZIP: one folder Vantorel-VERSION with the two programs, the read-me (CRLF line ends only) and the licence.
listed=$(python3 -c 'import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); r = z.read(sys.argv[2])
print(*sorted(z.namelist()), r.count(b"\r\n") == r.count(b"\n") > 50)' "$zip" "Vantorel-$version/README.txt")
top=Vantorel-$version
[ "$listed" = "$top/LICENSE.txt $top/README.txt $top/Vantorel.exe $top/vantorel-fit.exe True" ] ||
  fail "the ZIP file holds: $listed"
# The finish page offers to run Vantorel.
grep -qxF '!define MUI_FINISHPAGE_RUN_TEXT "Run Vantorel"' "$build/_CPack_Packages/win64/NSIS/project.nsi" &&
  grep -q '^!define MUI_FINISHPAGE_RUN ' "$build/_CPack_Packages/win64/NSIS/project.nsi" || fail "no Run Vantorel on the finish page"

"$here/scripts/wine-run.sh" "$work/prefix" cmd /c exit >/dev/null 2>&1 || :
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
unset DISPLAY WAYLAND_DISPLAY
c=$WINEPREFIX/drive_c dir="$WINEPREFIX/drive_c/Program Files/Vantorel"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantorel'
# Settings already there: the user's, and where earlier versions kept them.
for root in HKCU HKLM; do
  wine reg add "$root\\Software\\Morvale Services\\Vantorel" /v 'C(3)' /t REG_SZ /d 15 /f >/dev/null 2>&1
done
settings() { for root in HKCU HKLM; do wine reg query "$root\\Software\\Morvale Services\\Vantorel" 2>&1 | tr -d '\r'; done; }
before=$(settings)
settings_kept() { [ "$(settings)" = "$before" ] || fail "$1 changed the saved settings: $(settings)"; }

wine "$setup" /S >/dev/null 2>&1 || :  # the files say whether it worked, not the status
wineserver -w
for f in Vantorel.exe vantorel-fit.exe Uninstall.exe LICENSE.txt README.txt; do
  [ -s "$dir/$f" ] || fail "the installer did not put $f into Program Files\\Vantorel"
done
link=$(find "$c" -path '*/Start Menu/Programs/*' -name Vantorel.lnk | head -n 1)
[ -n "$link" ] || fail "no Start-menu shortcut Vantorel.lnk"
entry=$(wine reg query "$uninstall_key" 2>/dev/null | tr -d '\r') || fail "no key $uninstall_key"
for value in "DisplayName=Vantorel" "DisplayVersion=$version" "Publisher=Morvale Services" \
             "DisplayIcon=C:\\Program Files\\Vantorel\\Vantorel.exe"; do
  grep -qxF "    ${value%%=*}    REG_SZ    ${value#*=}" <<<"$entry" || fail "the uninstall key lacks $value: $entry"
done
grep -qx '    NoModify    REG_DWORD    0x1' <<<"$entry" && grep -qx '    NoRepair    REG_DWORD    0x1' <<<"$entry" &&
  grep -qx '    EstimatedSize    REG_DWORD    0x[0-9a-f]\{3,\}' <<<"$entry" || fail "the uninstall key's numbers: $entry"
settings_kept "the installer"
out=$(wine "$dir/vantorel-fit.exe" --version 2>&1 | tr -d '\r') || fail "the installed vantorel-fit.exe: $out"
[ "$out" = "vantorel-fit $version" ] || fail "the installed vantorel-fit.exe --version says: $out"
# The version information and the icon the programs and the installer carry; the programs' manifest.
python3 - "$dir" "$build/vantorel.ico" "$version" "$here/data/vantorel.manifest" "$setup" "$here/LICENSE" <<'EOF' ||
import struct, sys
folder, ico, version, manifest, setup, licence = sys.argv[1:]
icon, manifest = open(ico, "rb").read(), open(manifest, "rb").read()
copyright = next(line.strip() for line in open(licence) if line.startswith("Copyright "))
count = struct.unpack_from("<H", icon, 4)[0]
images = [icon[o:o + n] for n, o in (struct.unpack_from("<II", icon, 6 + 16 * i + 8) for i in range(count))]
for exe, description in (("Vantorel.exe", "Vantorel"), ("vantorel-fit.exe", "Vantorel from the command line"),
                         (setup, f"Vantorel {version} Setup")):
    data = open(exe if exe == setup else f"{folder}/{exe}", "rb").read()
    exe = exe.split("/")[-1]
    for name, value in (("FileVersion", version), ("ProductVersion", version), ("CompanyName", "Morvale Services"),
                        ("ProductName", "Vantorel"), ("OriginalFilename", exe), ("FileDescription", description),
                        ("LegalCopyright", copyright)):
        # A string of the version information: its name and value in UTF-16, each ended by a zero and padded to 32 bits.
        key = (name + "\0").encode("utf-16-le")
        at = data.find(key)
        start = at + len(key) + (-(at + len(key)) % 4)
        if at < 0 or not data[start:].startswith((value + "\0").encode("utf-16-le")):
            sys.exit(f"{exe}: {name} is not {value}")
    if not all(image in data for image in images) or (manifest not in data and not exe.endswith("-setup.exe")):
        sys.exit(f"{exe} does not carry every image of the icon, or the manifest")
EOF
  fail "the version information, icon or manifest of the programs and the installer"

# The installed program shows its window (on an Xvfb of its own, the Wine
# server started again with it), restores the user's settings and saves them on Esc.
. "$here/tests/wine/display.sh"
wine_on_display "$WINEPREFIX"
launch "$dir"
xdotool key --window "$wid" Escape; ended "Esc in the installed Vantorel.exe"
grep -q 'C(3)[[:space:]]*REG_SZ[[:space:]]*15$' <<<"$(settings)" || fail "the installed program lost the saved clicks: $(settings)"
before=$(settings)

# The uninstaller copies itself away and returns at once: wait for the copy.
wine "$dir/Uninstall.exe" /S >/dev/null 2>&1 || :
for _ in $(seq 100); do wineserver -w; [ -e "$dir" ] || break; sleep 0.2; done
for f in Vantorel.exe vantorel-fit.exe Uninstall.exe LICENSE.txt README.txt; do
  [ ! -e "$dir/$f" ] || fail "the uninstaller left $f"
done
[ ! -e "$dir" ] || fail "the uninstaller left the folder Program Files\\Vantorel"
[ ! -e "$link" ] || fail "the uninstaller left the Start-menu shortcut"
[ -z "$(find "$c" -path '*/Start Menu/Programs/*' -iname '*Vantorel*')" ] || fail "the uninstaller left the Start-menu folder"
! wine reg query "$uninstall_key" >/dev/null 2>&1 || fail "the uninstaller left $uninstall_key"
settings_kept "the uninstaller"
echo "installer under Wine: installed, ran, uninstalled; the ZIP file holds the four files"
