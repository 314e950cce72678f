#!/usr/bin/env bash
# Printing from the Windows build under Wine, in a fresh Wine prefix with an
# Xvfb of its own (no window manager: xdotool talks to the windows).
# 1. No print system (CUPS_SERVER at a closed port): the spooler counts no
#    printers at once, Vantorel.exe's Print List and Ctrl+P print nothing
#    and show no printer chooser, and vantorel-fit.exe --pdf says that its
#    printer is not installed.
# 2. The CUPS queue VantorelPDF (scripts/cups-setup.sh), whose jobs cups-pdf
#    saves as PDF files: Print List, with the printer confirmed in the
#    chooser, and then Ctrl+P each reach CUPS as a new PDF, the list with its
#    text and the window as a picture.
# 3. The same queue behind tests/print/ipp_hold.py, which holds every job:
#    the page is given up after the print wait, and said.
# Exit status 77 (skipped) after the first part when no CUPS scheduler runs
# or there is no queue VantorelPDF.
# Usage: print_wine.sh BUILD_DIR (the Windows build, with Vantorel.exe)
set -euo pipefail
build=$(cd "$1" && pwd) work=$(mktemp -d) xvfb="" app=""
here=$(cd "$(dirname "$0")/../.." && pwd)
spool=/var/spool/cups-pdf/vantorel
cleanup() {
  [ -z "$app" ] || kill "$app" 2>/dev/null || :
  [ -z "${proxy:-}" ] || kill "$proxy" 2>/dev/null || :
  WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || :
  stop "$xvfb"
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; cat "$work/app.log" >&2 2>/dev/null; exit 1; }
# The prefix made with no print system to find, so that it holds no printer.
export CUPS_SERVER=127.0.0.1:1
. "$here/tests/wine/display.sh"
wine_on_display "$work/prefix"

# Print List's caption turns black once the printer count has come in with a printer.
usable() { [ "$(import -window "$wid" -crop 47x21+204+391 +repage -depth 8 txt:- 2>/dev/null | grep -c '#000000')" -gt 0 ]; }
print_ready() { for _ in $(seq 100); do usable && return 0; sleep 0.1; done; fail "Print List did not become usable"; }
print_list() { at $((60 + 2850 + 502)) $((5715 + 30 + 277)) click 1; }
chooser() { xdotool search --onlyvisible --name '^Select Printer$' 2>/dev/null | head -1; }
no_pdf() {  # vantorel-fit.exe --pdf: its message, status 1, no file
  local out status=0
  rm -rf "$work/out" && mkdir "$work/out"
  out=$(cd "$work/out" && wine "$build/vantorel-fit.exe" --pdf x.pdf 10:0 20:1 30:2 40:3 50:4 60:5 2>&1 >/dev/null) || status=$?
  [ "$status" = 1 ] || fail "vantorel-fit --pdf ended with $status: $out"
  grep -qF 'Cannot make x.pdf: PDF files are made by the printer "Microsoft Print to PDF", and it is not installed.' \
    <<<"$out" || fail "vantorel-fit --pdf said: $out"
  [ -z "$(ls -A "$work/out")" ] || fail "vantorel-fit --pdf left a file: $(ls -A "$work/out")"
}

# 1. No print system.
# Nothing that asks the print system loads with the program (Wine's spooler asks CUPS as it loads).
! x86_64-w64-mingw32-objdump -p "$build/Vantorel.exe" | grep -qi 'DLL Name: winspool' || fail "Vantorel.exe loads the spooler at start"
spooler=$(cd "$build" && timeout 240 wine test_gdi_windows.exe --gtest_filter='GdiPrinting.*' 2>&1) ||
  fail "the spooler without a print system: $spooler"
grep -q 'no printer: the page is not printed to a file' <<<"$spooler" || fail "printers were found: $spooler"
launch "$build"
print_list; sleep 2
xdotool key --window "$wid" ctrl+p; sleep 2
[ -z "$(chooser)" ] || fail "a printer chooser showed with no printer"
kill -0 "$app" 2>/dev/null || fail "Vantorel.exe ended"
no_pdf
xdotool key --window "$wid" Escape; ended "Esc"
unset CUPS_SERVER

# 2. The CUPS queue VantorelPDF.
if ! lpstat -r 2>/dev/null | grep -q 'is running' || ! lpstat -v VantorelPDF >/dev/null 2>&1 || [ ! -r "$spool" ]; then
  echo "SKIP: printing to CUPS (no scheduler with the queue VantorelPDF: scripts/cups-setup.sh); printing with no print system passed"
  exit 77
fi
touch "$work/mark"
# A PDF cups-pdf made after the mark that passes the check "$1", looked for
# whenever the queue is empty, for at most 60 s.
printed() {
  local f
  for _ in $(seq 120); do
    if [ -z "$(lpstat -o VantorelPDF 2>/dev/null)" ]; then
      for f in $(find "$spool" -name '*.pdf' -newer "$work/mark" 2>/dev/null); do
        "$1" "$f" && { echo "$f"; return 0; }
      done
    fi
    sleep 0.5
  done
  return 1
}
from_wine() { pdfinfo "$1" 2>/dev/null | grep -q '^Creator: *Wine PostScript Driver$'; }
the_list() {  # the title line, the column heads, the first row and the legend
  local text
  from_wine "$1" && text=$(pdftotext -layout "$1" - 2>/dev/null) || return 1
  grep -q '^ *Vantorel$' <<<"$text" && grep -q 'Range   Clicks' <<<"$text" && grep -Eq '^ *1 : -?[0-9]+ ' <<<"$text" &&
    grep -q 'Calculated/(Entered) Data Point' <<<"$text"
}
a_picture() {  # one picture as wide as the window
  from_wine "$1" && [ "$(pdfimages -list "$1" 2>/dev/null | awk 'NR > 2 {print $4}')" = "$width" ]
}
launch "$build"
print_ready
width=$(xwininfo -id "$wid" | awk '/Width:/ {print $2}')
print_list
for _ in $(seq 50); do c=$(chooser); [ -n "$c" ] && break; sleep 0.1; done
[ -n "${c:-}" ] || fail "no printer chooser on the first Print List"
sleep 1; xdotool key --window "$c" Return  # OK on the printer it shows current: the system's default
list=$(printed the_list) || fail "the printed list did not reach CUPS as a PDF with its text"
touch "$work/mark"
xdotool key --window "$wid" ctrl+p
picture=$(printed a_picture) || fail "the window's picture did not reach CUPS as a PDF"
no_pdf
xdotool key --window "$wid" Escape; ended "Esc"

# 3. A print system that lists its printers and holds every job: given up after the print wait, and said.
/usr/bin/python3 "$here/tests/print/ipp_hold.py" "$work/hold" & proxy=$!
until [ -S "$work/hold" ]; do sleep 0.1; done
held=$(cd "$build" && CUPS_SERVER=$work/hold VANTOREL_JOBS_HELD=1 wine test_gdi_windows.exe --gtest_filter='GdiPrinting.AHeld*' 2>&1) &&
  grep -q '^\[       OK \] GdiPrinting.AHeld' <<<"$held" || fail "a held job: $held"
echo "printing under Wine: nothing without a printer; the list ($(basename "$list")) and the window ($(basename "$picture")) through CUPS; a held job given up"
