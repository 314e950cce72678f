#!/usr/bin/env bash
# vantorel-fit --pdf: the printed list as a PDF file, made without a display
# or a printer: one page whose text reads back with pdftotext, every data
# point marked with its measured clicks. Also: output that cannot be written fails.
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
# Each data point's range carries its measured clicks in brackets, the
# unticked one too; no other range does.
for p in 'Range   Clicks' '(Yd)   (Clk)' ' 100 : ' 'Calculated/(Entered) Data Point *Interpolated Result *Extrapolated Result' \
         ' 10 : [0-9-]* *(52)' ' 20 : [0-9-]* *(0)' ' 30 : [0-9-]* *(0)' ' 40 : [0-9-]* *(12)' ' 50 : [0-9-]* *(28)' ' 55 : [0-9-]* *(44)'; do
  grep -q "$p" card.txt || fail "no '$p' on the page"
done
[ "$(grep -o '([0-9-]*)' card.txt | wc -l)" = 6 ] && ! grep -q ' 101 : ' card.txt || fail "other marks, or ranges past 100"

if run "${rows[@]}" >/dev/full 2>err.txt; then fail "writing to a full disk succeeded"; fi
grep -qx "vantorel-fit: cannot write to standard output" err.txt || fail "no message for /dev/full"
echo "dope card: ok"
