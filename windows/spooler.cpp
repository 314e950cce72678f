#include "windows/spooler.h"

#include <type_traits>

#include "windows/wintext.h"

namespace vantorel::windows {

const Spooler& TheSpooler() {
  static const Spooler spooler = [] {
    Spooler s;
    HMODULE library = LoadLibraryW(L"winspool.drv");
    if (!library) {
      s.missing = "winspool.drv cannot be loaded (" + ErrorText(GetLastError()) + ")";
      return s;
    }
    const auto find = [&s, library](auto& call, const char* name) {
      call = reinterpret_cast<std::remove_reference_t<decltype(call)>>(
          reinterpret_cast<void*>(GetProcAddress(library, name)));
      if (!call && s.missing.empty()) s.missing = std::string("winspool.drv has no ") + name;
    };
    find(s.enumPrinters, "EnumPrintersW");
    find(s.openPrinter, "OpenPrinterW");
    find(s.closePrinter, "ClosePrinter");
    find(s.defaultPrinter, "GetDefaultPrinterW");
    find(s.getJob, "GetJobW");
    find(s.setJob, "SetJobW");
    return s;
  }();
  return spooler;
}

}  // namespace vantorel::windows
