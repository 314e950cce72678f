#!/usr/bin/env bash
# Makes a print system available to the printing tests: starts the CUPS
# scheduler when it is not running (containers have no service manager, so
# cupsd is started directly), and installs a virtual PDF printer when no
# printer is installed, made the default. cups-pdf writes each job as a PDF
# file into one known folder, where the tests look for it.
#
# Idempotent: when the scheduler runs and the printer is there, it only checks
# and returns. Needs root for the first set-up.
set -euo pipefail

printer=VantorelPDF
outdir=/var/spool/cups-pdf/vantorel
conf=/etc/cups/cups-pdf.conf

scheduler_running() { lpstat -r 2>/dev/null | grep -q "is running"; }

if ! command -v cupsd >/dev/null || ! command -v lpadmin >/dev/null; then
  echo "cups-setup: CUPS is not installed (run scripts/deps.sh)" >&2
  exit 1
fi

# cups-pdf writes into one fixed folder whoever prints, so that a test can
# find the file. Changing the setting needs no restart: the backend reads it
# for every job.
if [ -f "$conf" ] && ! grep -qx "Out $outdir" "$conf"; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "cups-setup: $conf needs 'Out $outdir' and this is not root" >&2
    exit 1
  fi
  sed -i -e '/^[[:space:]]*Out[[:space:]]/d' "$conf"
  echo "Out $outdir" >>"$conf"
fi
if [ ! -d "$outdir" ] && [ "$(id -u)" -eq 0 ]; then
  mkdir -p "$outdir"
  chmod 1777 "$outdir"
fi

if ! scheduler_running; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "cups-setup: the CUPS scheduler is not running and this is not root" >&2
    exit 1
  fi
  mkdir -p /run/cups
  # Detached from this script's output, so that a caller reading it is not
  # kept waiting by the daemon.
  cupsd </dev/null >/dev/null 2>&1
  for _ in $(seq 1 100); do
    scheduler_running && break
    sleep 0.1
  done
  if ! scheduler_running; then
    echo "cups-setup: cupsd did not start" >&2
    exit 1
  fi
fi

if ! lpstat -e 2>/dev/null | grep -q .; then
  ppd=$(lpinfo -m 2>/dev/null | awk '/CUPS-PDF_opt\.ppd/ {print $1; exit}')
  [ -n "$ppd" ] || ppd=$(lpinfo -m 2>/dev/null | awk '/CUPS-PDF/ {print $1; exit}')
  if [ -z "$ppd" ]; then
    echo "cups-setup: no CUPS-PDF printer model (install printer-driver-cups-pdf)" >&2
    exit 1
  fi
  # lpadmin warns that printer drivers are deprecated; only a failure is
  # worth showing.
  if ! err=$(lpadmin -p "$printer" -E -v cups-pdf:/ -m "$ppd" 2>&1); then
    echo "cups-setup: lpadmin failed: $err" >&2
    exit 1
  fi
  echo "cups-setup: added printer $printer"
fi

# A default printer, so that programs start with a current printer.
if ! lpstat -d 2>/dev/null | grep -q "system default destination:"; then
  first=$(lpstat -e 2>/dev/null | head -n 1)
  lpadmin -d "$first"
fi
