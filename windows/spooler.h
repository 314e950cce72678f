// The spooler's calls, from winspool.drv loaded the first time they are
// needed, on the thread that needs them, rather than with the program: Wine's
// spooler asks the print system (CUPS) for its printers as it loads, which
// held the program for two minutes before its window showed when CUPS did
// not answer. Only threads that nothing waits on for long load it (see
// windows/printing.h).
#pragma once

#include <windows.h>
#include <winspool.h>

#include <string>

namespace vantorel::windows {

struct Spooler {
  decltype(&EnumPrintersW) enumPrinters = nullptr;
  decltype(&OpenPrinterW) openPrinter = nullptr;
  decltype(&ClosePrinter) closePrinter = nullptr;
  decltype(&GetDefaultPrinterW) defaultPrinter = nullptr;
  decltype(&GetJobW) getJob = nullptr;
  decltype(&SetJobW) setJob = nullptr;
  std::string missing;  // why it cannot be used; empty when every call is there
};

// Loaded once; it stays loaded for the rest of the program.
const Spooler& TheSpooler();

}  // namespace vantorel::windows
