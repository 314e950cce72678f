// Printing in the browser: one printer, the browser's own print dialog,
// where the user picks the real printer. A job draws its page on a canvas
// at kPageDpi with the same drawing code as every printer, and EndDoc hands
// the page to the dialog.
#pragma once

#include <memory>
#include <string>

#include "platform/printing.h"
#include "web/canvas.h"

namespace vantorel::web {

inline constexpr int kPageDpi = 300;
inline constexpr char kBrowserPrinter[] = "This browser's print dialog";

// A page's printable area in inches: US Letter or A4 less a quarter inch
// all round.
struct PaperSize {
  double width = 8.0, height = 10.5;
};
PaperSize PaperFor(bool letter);

class BrowserPrintService final : public platform::PrintService {
 public:
  explicit BrowserPrintService(PaperSize paper) : paper_(paper) {}
  std::vector<std::string> Printers() const override { return {kBrowserPrinter}; }
  std::function<int()> CountAsker() const override {
    return [] { return 1; };
  }
  std::string CurrentDeviceName() const override { return kBrowserPrinter; }
  void SetCurrent(int) override {}
  std::unique_ptr<platform::PrintJob> StartJob(const std::string& documentName) override;

 private:
  PaperSize paper_;
};

}  // namespace vantorel::web
