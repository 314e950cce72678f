// A print service and a printer chooser's window in one, noting what they
// were asked, with pages that note their pictures and their end: printing
// without a print system or a window system.
#pragma once

#include <array>
#include <functional>
#include <memory>

#include "app/printerchooser.h"
#include "null_surface.h"
#include "platform/printing.h"

namespace vantorel::test {

// What the service, its pages and the window were asked, in order.
using Log = std::vector<std::string>;

// The print service and the chooser's window in one.
struct Fake : platform::PrintService, app::PrinterChooserView {
  Log log;
  std::vector<std::string> names;
  int current = 1, selected = -1;
  std::function<void()> user;  // what the user does while the chooser shows
  std::optional<std::string> unanswered, endDoc;
  std::string savedAs;
  double pageWidth = 11180;  // by 16120 twips

  std::vector<std::string> Printers() const override { return names; }
  std::optional<std::string> Unanswered() const override { return unanswered; }
  std::function<int()> CountAsker() const override { return [] { return 0; }; }
  std::string CurrentDeviceName() const override { return current < 0 ? "" : names.at(static_cast<size_t>(current)); }
  void SetCurrent(int i) override { current = i >= 0 && i < std::ssize(names) ? i : current; }
  std::unique_ptr<platform::PrintJob> StartJob(const std::string&) override;

  void ShowPrinters(const std::vector<std::string>& shown, int sel) override {
    log.push_back("list " + std::to_string(shown.size()) + " " + std::to_string(selected = sel));
  }
  int SelectedPrinter() const override { return selected; }
  void Warn(const std::string& title, const std::string& text) override { log.push_back("warn " + title + "|" + text); }
  void SetCloseBoxColour(platform::Colour c) override { log.push_back("colour " + std::to_string(c)); }
  // The window shows and returns at once; what the user does then runs as
  // the events that follow it.
  void Open() override {
    log.push_back("modal");
    if (user) user();
  }
  void Hide() override { log.push_back("hide"); }
};

// A page that notes the pictures drawn on it and its end.
class FakeJob : public NullSurface<platform::PrintJob> {
 public:
  explicit FakeJob(Fake& f) : f_(f) { width = f.pageWidth, height = 16120; }
  void DrawPicture(const platform::Image&, double x, double y, double w, double h) override {
    f_.log.push_back("picture " + std::to_string(std::array{x, y, w, h} == std::array{2590.0, 5810.0, 6000.0, 4500.0}));
  }
  std::optional<std::string> EndDoc() override { return f_.log.push_back("end"), f_.endDoc; }
  std::string SavedAs() const override { return f_.savedAs; }

 private:
  Fake& f_;
};

inline std::unique_ptr<platform::PrintJob> Fake::StartJob(const std::string&) {
  log.push_back("job");
  return std::make_unique<FakeJob>(*this);
}

}  // namespace vantorel::test
