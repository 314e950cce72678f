#include "app/printerchooser.h"

#include <optional>

namespace vantorel::app {

PrinterChooser::PrinterChooser(platform::PrintService& service, State& state, PrinterChooserView& view)
    : service_(service), state_(state), view_(view) {}

void PrinterChooser::Show(const std::function<void(const std::string&)>& unanswered) {
  Form_Activate();
  if (const std::optional<std::string> why = service_.Unanswered(); why && unanswered) unanswered(*why);
  view_.RunModal();
}

void PrinterChooser::Form_Activate() {
  names_ = service_.Printers();
  int selected = names_.empty() ? -1 : 0;
  const std::string current = service_.CurrentDeviceName();
  for (int i = 0; i < static_cast<int>(names_.size()); ++i) {
    if (names_[static_cast<size_t>(i)] == current) {
      selected = i;
      startPrinterIndex_ = i;
    }
  }
  view_.ShowPrinters(names_, selected);
}

void PrinterChooser::cbOK_Click() {
  const int selected = view_.SelectedPrinter();
  if (selected < 0 || selected >= static_cast<int>(names_.size())) {
    view_.Warn("Oops ...", "Select a Printer");
    return;
  }
  view_.Hide();
  const std::string chosen = names_[static_cast<size_t>(selected)];
  // Every position with the chosen name is applied in turn: with equal names
  // the last one ends up current.
  for (int i = 0; i < static_cast<int>(names_.size()); ++i) {
    if (names_[static_cast<size_t>(i)] == chosen) {
      service_.SetCurrent(i);
      state_.PrinterChosen = true;
    }
  }
}

void PrinterChooser::cbCancel_Click() {
  service_.SetCurrent(startPrinterIndex_);
  view_.Hide();
}

void PrinterChooser::btnControl_MouseMove() {
  if (closeBoxColour_ == kCloseBoxHover) return;
  closeBoxColour_ = kCloseBoxHover;
  view_.SetCloseBoxColour(closeBoxColour_);
}

void PrinterChooser::Form_MouseMove() {
  if (closeBoxColour_ == kCloseBoxRest) return;
  closeBoxColour_ = kCloseBoxRest;
  view_.SetCloseBoxColour(closeBoxColour_);
}

}  // namespace vantorel::app
