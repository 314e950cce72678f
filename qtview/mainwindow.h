// The main window as Qt shows it: its controls are made from the main
// window's layout, every event goes to the portable MainWindow, and what
// that asks of a view is done here.
#pragma once

#include <QLabel>
#include <QPoint>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <vector>
#include <string>

#include "app/layout.h"
#include "app/mainwindow.h"
#include "model/state.h"
#include "platform/surface.h"
#include "qtview/textmeasure.h"
#include "qtview/frame.h"

class QTimer;

namespace vantorel::platform {
class PrintService;
}  // namespace vantorel::platform
namespace vantorel::app {
class PrinterChooser;
}  // namespace vantorel::app

namespace vantorel::qtview {

class PictureBox;

class frmMain : public QWidget, private app::MainView {
  Q_OBJECT
 public:
  // The settings are loaded from and saved to store, which outlives the
  // window; the window prints through printService (never null) for its
  // whole life.
  frmMain(State& s, std::string exeName, platform::Store& store, std::unique_ptr<platform::PrintService> printService,
          QWidget* parent = nullptr);
  ~frmMain() override;

  // The load sequence; the window shows during it.
  void Form_Load();

  // How long "Complete" stays before the window returns to idle (before Form_Load).
  void SetCompletePause(int ms) { setup_.completePauseMs = ms; }
  // When set (the program's start-up does), the end of the window also ends
  // the application's event loop with the exit status.
  void SetQuitOnEnd(bool on) { quitOnEnd_ = on; }
  bool Ended() const { return logic_ && logic_->Ended(); }
  app::Phase phase() const { return logic_ ? logic_->phase() : app::Phase::Loading; }
  // Ended, or about to: a close or the reset gesture waits for the search to stop.
  bool Ending() const { return logic_ && logic_->Ending(); }
  int ExitStatus() const { return logic_ ? logic_->ExitStatus() : 0; }
  // How long the search runs between two turns of the event loop (before Form_Load).
  void SetSliceMs(int ms) { setup_.sliceMs = ms; }
  // The folder "Save as CSV" writes to first.
  void SetExportFolder(std::string folder) {
    setup_.exportFolder = folder;
    if (logic_) logic_->SetExportFolder(std::move(folder));
  }
  State& state() { return s_; }
  // The window picture that Ctrl+P prints (also put on the clipboard).
  platform::Image Picture() { return WindowPicture(); }
  // The program ends without the window (exit() called when the window
  // system went away): saves as closing would, a failure told on stderr.
  void SaveAtExit();

 signals:
  // The window has ended: the settings are saved (or could not be), the
  // program is to end with this status.
  void ended(int status);

 protected:
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // What the window does for its behaviour.
  void SetText(app::Id control, const std::string& text) override;
  std::string Text(app::Id control) const override;
  void SetLines(app::Id control, const std::vector<std::string>& lines) override;
  void SetToolTip(app::Id control, const std::string& text) override;
  void SetDescription(app::Id control, const std::string& text) override;
  void Announce(const std::string& text) override;
  void SetEnabled(app::Id control, bool on) override;
  void SetVisible(app::Id control, bool on) override;
  void SetTick(app::Id control, int value) override;
  bool SetFocus(app::Id control) override;
  std::optional<app::Id> Focused() const override;
  void SelectAll(app::Id field) override;
  void ShowStart(app::Id field) override;
  void Move(app::Id control, const app::Rect& where) override;
  void SetBackColour(app::Id control, platform::Colour colour) override;
  void Place(double left, double top) override;
  void ShowWindow() override;
  void HideWindow() override;
  void Flush() override;
  void Repaint(app::Id control) override;
  void DrawOutline() override;
  const platform::TextMeasure& Measure() const override;
  void SetFont(app::Id control, const platform::FontSpec& font) override;
  void SetTimer1(bool on) override;
  void After(int ms, std::function<void()> then) override;
  void Turn(std::function<void()> then) override;
  void StartDrag() override;
  platform::Surface& P0() override;
  platform::Surface& P5() override;
  void ShowError(const std::string& title, const std::string& body, std::function<void()> then) override;
  void ShowBox(app::BoxKind kind, const std::string& title, const std::string& text,
               std::function<void()> then) override;
  platform::PrintService& Printers() override { return *printService_; }
  app::PrinterChooser& Chooser() override;
  platform::Image WindowPicture() override;
  void End(int status) override;

  QWidget* Control(app::Id id) const { return controls_[app::Index(id)]; }
  // The control w is or lies in; nullopt when it is none of this window's.
  std::optional<app::Id> IdOf(const QObject* o) const;

  State& s_;
  QtTextMeasure measure_;
  platform::Store& store_;
  app::MainWindow::Setup setup_;
  std::unique_ptr<app::MainWindow> logic_;
  std::array<QWidget*, app::kIdCount> controls_{};
  PictureBox* Surface = nullptr;    // the window's own drawing surface, behind every control
  QLabel* announcement_ = nullptr;  // what a screen reader is told to say (Announce)
  QTimer* Timer1 = nullptr;
  std::unique_ptr<platform::PrintService> printService_;
  TitleDrag drag_;
  QPoint mouseAt_;  // the mouse's screen position at the last press or move
  bool quitOnEnd_ = false;
};

}  // namespace vantorel::qtview
