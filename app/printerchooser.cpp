#include "app/printerchooser.h"

#include <optional>

namespace vantorel::app {

PrinterChooser::PrinterChooser(platform::PrintService& service, State& state, PrinterChooserView& view)
    : service_(service), state_(state), view_(view) {}

void PrinterChooser::Show(const Unanswered& unanswered, std::function<void()> closed) {
  if (showing_) return;
  showing_ = true;
  closed_ = std::move(closed);
  Form_Activate();
  const std::optional<std::string> why = service_.Unanswered();
  if (why && unanswered) {
    unanswered(*why, [this] { view_.Open(); });
    return;
  }
  view_.Open();
}

void PrinterChooser::Closed() {
  showing_ = false;
  if (std::function<void()> then = std::move(closed_)) {
    closed_ = nullptr;
    then();
  }
}

bool PrinterChooser::KeyDown(std::optional<Id> focus, Key key) {
  if (!showing_) return false;
  if (key == Key::Escape) {
    cbCancel_Click();
    return true;
  }
  if (key == Key::Enter) {
    if (focus == Id::cbCancel)
      cbCancel_Click();
    else
      cbOK_Click();
    return true;
  }
  return false;
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
  ApplyChoice(chosen);
  Closed();
}

void PrinterChooser::ApplyChoice(const std::string& chosen) {
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
  Closed();
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
