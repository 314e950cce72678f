// The printer chooser, frmSelectPrinter, as a Win32 window over the portable
// PrinterChooser: made once, on first use, and kept. It runs no loop of its
// own: the program's loop serves it.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "app/printerchooser.h"
#include "win32view/controls.h"
#include "win32view/modal.h"

namespace vantorel::win32view {

class SelectPrinter final : private app::PrinterChooserView, private ModalWindow {
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
  void Open() override;
  void Hide() override;
  // ModalWindow.
  HWND Handle() const override { return hwnd_; }
  bool Preview(const MSG& m) override;
  HWND Control(app::Id id) const { return controls_[app::Index(id)]; }

  HWND owner_;
  HWND hwnd_ = nullptr;
  Controls controls_{};
  app::PrinterChooser chooser_;
  bool shown_ = false;
};

}  // namespace vantorel::win32view
