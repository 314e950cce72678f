// The printer chooser, frmSelectPrinter: a small modal window that lists
// every installed printer by device name, preselects the current one, and on
// OK makes the chosen printer current for all later printing and records
// that a choice was made (State::PrinterChosen). Cancel, its close box, Esc
// and the window system's close put back the printer that was current when
// it was shown.
//
// PrinterChooser makes every decision; a front end shows its window through
// PrinterChooserView, built from PrinterChooserLayout() (app/layout.h), and
// hands each of the window's events to the handler of that name.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/controlid.h"
#include "app/keys.h"
#include "app/layout.h"
#include "model/state.h"
#include "platform/printing.h"
#include "platform/surface.h"

namespace vantorel::app {

// The window as the front end shows it.
class PrinterChooserView {
 public:
  virtual ~PrinterChooserView() = default;
  // The list holds these names, in this order, and nothing else; entry
  // selected is selected (-1: none), and the list has the focus.
  virtual void ShowPrinters(const std::vector<std::string>& names, int selected) = 0;
  // The selected entry's position; -1 when no entry is selected.
  virtual int SelectedPrinter() const = 0;
  // A message box with an exclamation icon and an OK button, over the
  // window, which stays open.
  virtual void Warn(const std::string& title, const std::string& text) = 0;
  // The close box's background colour.
  virtual void SetCloseBoxColour(platform::Colour c) = 0;
  // Shows the window modally over the main window and returns at once; the
  // showing lasts until Hide.
  virtual void Open() = 0;
  // Hides the window, ending the modal showing; the main window shows no
  // trace of it afterwards.
  virtual void Hide() = 0;
};

class PrinterChooser {
 public:
  static constexpr platform::Colour kCloseBoxRest = app::kCloseBoxRest;
  static constexpr platform::Colour kCloseBoxHover = app::kCloseBoxHover;

  // service, state and view must outlive the chooser, which the front end
  // makes once, on first use, and keeps (with StartPrinterIndex) between
  // showings.
  PrinterChooser(platform::PrintService& service, State& state, PrinterChooserView& view);

  // Tells the user why the print system's printers are missing, then runs
  // the continuation once the message is closed.
  using Unanswered = std::function<void(const std::string& why, std::function<void()> then)>;
  // Form_Activate, then unanswered told why the print system's printers are
  // missing from the list (when they are), then the modal showing until OK,
  // Cancel, the close box or Esc hides the window; closed runs then (and
  // reads State::PrinterChosen).
  void Show(const Unanswered& unanswered, std::function<void()> closed);
  bool Showing() const { return showing_; }

  // The list holds the printers in collection order (asked once, and kept
  // for OK); entry 0 is selected, then the current printer's entry (the last
  // of equal names), whose position is kept as StartPrinterIndex.
  void Form_Activate();
  // Makes the selected printer current (with equal names, the last of them)
  // and hides the window; with none selected, says so and stays open. Also
  // a double click on an entry, and Enter.
  void cbOK_Click();
  // Puts back the printer at StartPrinterIndex and hides the window. Also
  // the close box, Esc and the window system's close.
  void cbCancel_Click();
  // The close box lights up under the mouse; a move over the window, its
  // title or the list puts it back to rest (moves over the buttons do not).
  void btnControl_MouseMove();
  void Form_MouseMove();
  // A key while the window shows: Esc cancels; Enter takes the selected
  // printer, but on Cancel cancels. True when the key was taken.
  bool KeyDown(std::optional<Id> focus, Key key);

  int StartPrinterIndex() const { return startPrinterIndex_; }

 private:
  platform::PrintService& service_;
  State& state_;
  PrinterChooserView& view_;
  int startPrinterIndex_ = 0;
  std::vector<std::string> names_;  // the collection the list shows
  platform::Colour closeBoxColour_ = kCloseBoxRest;
  bool showing_ = false;
  std::function<void()> closed_;
  void Closed();
  void ApplyChoice(const std::string& chosen);
};

}  // namespace vantorel::app
