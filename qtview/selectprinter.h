// The printer chooser's window on Qt: a frameless modal dialog built from
// PrinterChooserLayout(), whose events go to app::PrinterChooser. It is made
// once, as a hidden child of the main window, kept between showings, and
// opened through the modal-window seam (so tests answer it in advance).
#pragma once

#include <QDialog>

#include <string>
#include <vector>

#include "app/printerchooser.h"
#include "model/state.h"
#include "platform/printing.h"
#include "platform/surface.h"
#include "qtview/frame.h"

class QLabel;
class QListWidget;

namespace vantorel::qtview {

class frmSelectPrinter : public QDialog, public app::PrinterChooserView {
  Q_OBJECT

 public:
  // background: the main window's background colour. The window is centred
  // over mainWindow (its owner) when it is made; service and state must
  // outlive it.
  frmSelectPrinter(platform::PrintService& service, State& state, QWidget* mainWindow, platform::Colour background);

  app::PrinterChooser& Chooser() { return chooser_; }

  // Esc, the window system's close and a rejected modal showing all cancel.
  void reject() override;

  // PrinterChooserView.
  void ShowPrinters(const std::vector<std::string>& names, int selected) override;
  int SelectedPrinter() const override;
  void Warn(const std::string& title, const std::string& text) override;
  void SetCloseBoxColour(platform::Colour c) override;
  void Open() override;
  void Hide() override;

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  platform::Colour background_;
  app::PrinterChooser chooser_;

  QLabel* title_ = nullptr;
  CloseBox* btnControl_ = nullptr;
  QListWidget* list1_ = nullptr;

  TitleDrag drag_;
  bool hiding_ = false;
  bool placed_ = false;  // Hide closes the dialog, which must not count as a cancel
};

// The run's printer chooser: made on first use as a hidden child of
// mainWindow (which must not be null) and kept there; later calls return the
// same window, bound to the service and state of the first call.
frmSelectPrinter& SelectPrinterWindow(QWidget* mainWindow, platform::PrintService& service, State& state,
                                      platform::Colour background);

}  // namespace vantorel::qtview
