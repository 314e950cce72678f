#!/usr/bin/env bash
# vantorel-fit --pdf: the printed list as a PDF file, made without a display
# or a printer: one page whose text reads back with pdftotext, every data
# point marked with its measured clicks, never written over an existing file.
# Also: output that cannot be written fails.
# Usage: dope_card.sh BUILD_DIR
set -euo pipefail
fit="$(cd "$1" && pwd)/vantorel-fit"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$work"
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$fit" "$@"; }

rows=(10:52 20:0 30:0 40:12:off 50:28 55:44)
run --estimate --pdf card.pdf "${rows[@]}" >list.txt 2>err.txt || fail "exit $?: $(cat err.txt)"
[ ! -s err.txt ] || fail "messages on standard error: $(cat err.txt)"
[ "$(pdfinfo card.pdf | sed -n 's/^Pages: *//p')" = 1 ] || fail "not one page"
pdftotext -layout card.pdf card.txt
grep -m1 . card.txt | grep -qx ' *Vantorel' || fail "the title is not Vantorel"
grep -q 'Range   Clicks' card.txt && grep -q '(Yd)   (Clk)' card.txt || fail "no column header"
# Each data point's range carries its measured clicks in brackets, the
# unticked one too; no other range does.
for p in "10 : [0-9-]* *(52)" "20 : [0-9-]* *(0)" "30 : [0-9-]* *(0)" "40 : [0-9-]* *(12)" "50 : [0-9-]* *(28)" "55 : [0-9-]* *(44)"; do
  grep -q " $p" card.txt || fail "data point '$p' is not marked"
done
[ "$(grep -o '([0-9-]*)' card.txt | wc -l)" = 6 ] || fail "marks other than the six data points"
grep -q ' 100 : ' card.txt && ! grep -q ' 101 : ' card.txt || fail "the table does not end at 100"
grep -q 'Calculated/(Entered) Data Point *Interpolated Result *Extrapolated Result' card.txt || fail "no legend"

# Never over an existing file.
before=$(md5sum card.pdf)
if run --estimate --pdf=card.pdf "${rows[@]}" >/dev/null 2>err.txt; then fail "an existing file was accepted"; fi
grep -q "^vantorel-fit: .*card.pdf already exists" err.txt || fail "no message: $(cat err.txt)"
[ "$(md5sum card.pdf)" = "$before" ] || fail "the existing file was changed"

# Ranges above 100 print 200 ranges, in metres for metric units.
run --metric --estimate --pdf wide.pdf 10:52 20:0 30:0 40:12 150:28 55:44 >/dev/null
pdftotext -layout wide.pdf wide.txt
grep -q '200 : ' wide.txt || fail "no range 200"
grep -q '(m)   (Clk)' wide.txt || fail "no metric header"

if run "${rows[@]}" >/dev/full 2>err.txt; then fail "writing to a full disk succeeded"; fi
grep -qx "vantorel-fit: cannot write to standard output" err.txt || fail "no message for /dev/full"
echo "dope card: ok"
