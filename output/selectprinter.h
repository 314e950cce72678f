// The printer chooser: a small frameless modal window that lists every
// installed printer by device name, preselects the current one, and on OK
// makes the chosen printer current for all later printing and records that a
// choice was made (State::PrinterChosen). Cancel, its close box and Esc put
// back the printer that was current when it was shown.
//
// The window is created once, kept hidden between showings, and shown with
// ShowModal (through the modal-window seam, so tests answer it in advance).
#pragma once

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

#include "model/state.h"
#include "platform/printing.h"
#include "platform/surface.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace vantorel {

class frmSelectPrinter : public QDialog {
  Q_OBJECT

 public:
  // Client size in twips.
  static constexpr double kWidthTwips = 4380;
  static constexpr double kHeightTwips = 2835;
  static constexpr platform::Colour kCloseBoxRest = 0x000080;   // dark red
  static constexpr platform::Colour kCloseBoxHover = 0x0000FF;  // bright red

  // background: the main window's background colour. The window is centred
  // over mainWindow (its owner) when it is created; service and state must
  // outlive it.
  frmSelectPrinter(platform::PrintService& service, State& state, QWidget* mainWindow, platform::Colour background);

  // Fills the list (Form_Activate), tells unanswered why the print
  // system's printers are missing from it (when they are), then shows the
  // window modally until OK, Cancel, the close box or Esc hides it. Returns
  // the dialog's result code; callers read State::PrinterChosen.
  int ShowModal(const std::function<void(const std::string&)>& unanswered = {});

  // What the window does when it is shown: the list holds the printers in
  // collection order (asked once, and kept for OK), entry 0 is selected, then the current
  // printer's entry (the last of equal names), whose position is kept as
  // StartPrinterIndex.
  void Form_Activate();
  // Confirms the selected printer; with none selected, says so in a message
  // box and stays open.
  void cbOK_Click();
  // Puts back the printer at StartPrinterIndex and hides the window.
  void cbCancel_Click();

  int StartPrinterIndex() const { return startPrinterIndex_; }
  platform::Colour Background() const { return background_; }
  platform::Colour CloseBoxColour() const { return closeBoxColour_; }

  // Esc, the window system's close and a rejected modal showing all cancel.
  void reject() override;

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void SetCloseBoxColour(platform::Colour c);
  void CloseBoxToRest();
  // The selected list position, or -1 when no entry is selected.
  int SelectedIndex() const;

  platform::PrintService& service_;
  State& state_;
  platform::Colour background_;
  platform::Colour closeBoxColour_ = kCloseBoxRest;
  int startPrinterIndex_ = 0;
  std::vector<std::string> names_;  // the collection the list shows

  QLabel* title_ = nullptr;
  QLabel* btnControl_ = nullptr;
  QListWidget* list1_ = nullptr;
  QPushButton* cbCancel_ = nullptr;
  QPushButton* cbOK_ = nullptr;

  // Dragging by the title where the window system cannot take the move over.
  bool dragging_ = false;
  QPoint dragOffset_;
};

}  // namespace vantorel
