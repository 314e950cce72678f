// The printer chooser, frmSelectPrinter, as a Win32 window over the portable
// PrinterChooser: made once, on first use, and kept.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "app/printerchooser.h"

namespace vantorel::winshell {

class SelectPrinter final : private app::PrinterChooserView {
 public:
  SelectPrinter(HWND owner, platform::PrintService& service, State& state);
  ~SelectPrinter() override;
  app::PrinterChooser& Chooser() { return chooser_; }

 private:
  template <class T>
  friend LRESULT CALLBACK RouteTo(HWND w, UINT m, WPARAM wp, LPARAM lp);
  LRESULT Handle(UINT m, WPARAM wp, LPARAM lp);

  void ShowPrinters(const std::vector<std::string>& names, int selected) override;
  int SelectedPrinter() const override;
  void Warn(const std::string& title, const std::string& text) override;
  void SetCloseBoxColour(platform::Colour c) override;
  void RunModal() override;
  void Hide() override;

  HWND owner_;
  HWND hwnd_ = nullptr;
  std::map<std::string, HWND> controls_;
  app::PrinterChooser chooser_;
  bool shown_ = false;
};

}  // namespace vantorel::winshell
