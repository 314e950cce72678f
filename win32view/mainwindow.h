// The main window as a Win32 window: its controls are made from the main
// window's layout, every event goes to the portable MainWindow, and what
// that asks of a view is done here with the standard Windows controls.
#pragma once

#include <windows.h>

#include <array>
#include <deque>
#include <functional>
#include <optional>
#include <vector>
#include <map>
#include <memory>
#include <string>

#include "app/mainwindow.h"
#include "platform/printing.h"
#include "platform/store.h"
#include "win32view/controls.h"
#include "win32view/textmeasure.h"

namespace vantorel::win32view {

class SelectPrinter;

// The main window of the copy already running under this executable name,
// brought to the front (restored when minimised). False when none was found.
bool RaiseRunningWindow(const std::string& exeName);

class MainFrame final : private app::MainView {
 public:
  // The control id of the text a screen reader is told to say.
  static constexpr int kAnnouncementId = 0x7A01;
  // The settings are loaded from and saved to store, which outlives the
  // window; the window prints through printService (never null).
  MainFrame(State& s, std::string exeName, platform::Store& store,
            std::unique_ptr<platform::PrintService> printService);
  ~MainFrame() override;

  // The load sequence; the window shows during it.
  void Form_Load();
  // How long "Complete" stays before the window returns to idle (before Form_Load).
  void SetCompletePause(int ms) { setup_.completePauseMs = ms; }
  // The folder "Save as CSV" writes to first (before Form_Load).
  void SetExportFolder(std::string folder) { setup_.exportFolder = std::move(folder); }
  // A message for this window or its controls before it is dispatched:
  // keys, mouse presses and moves go to the behaviour. True when taken.
  bool PreviewMessage(const MSG& m);
  // The behaviour asked for a turn of the event loop: once what is pending
  // has been handled, RunTurn runs the next.
  bool TurnPending() const { return !turns_.empty(); }
  void RunTurn();
  HWND Handle() const { return hwnd_; }
  app::Phase phase() const { return logic_ ? logic_->phase() : app::Phase::Loading; }
  // The window picture that Ctrl+P prints (also put on the clipboard).
  platform::Image Picture() { return WindowPicture(); }
  bool Ended() const { return logic_ && logic_->Ended(); }
  int ExitStatus() const { return logic_ ? logic_->ExitStatus() : 0; }
  // The program ends without the window (the session ends): saves as closing would.
  void SaveAtExit();

 private:
  template <class T>
  friend LRESULT CALLBACK RouteTo(HWND w, UINT m, WPARAM wp, LPARAM lp);
  LRESULT Handle(UINT m, WPARAM wp, LPARAM lp);
  void Command(HWND control, int code);
  HWND Control(app::Id id) const { return controls_[app::Index(id)]; }
  // The control of this window w is or lies in; Id::frmMain for the window
  // itself; nullopt for another window's.
  std::optional<app::Id> IdIn(HWND w) const;

  // MainView.
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
  const platform::TextMeasure& Measure() const override { return measure_; }
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

  State& s_;
  platform::Store& store_;
  std::unique_ptr<platform::PrintService> printService_;
  app::MainWindow::Setup setup_;
  std::unique_ptr<app::MainWindow> logic_;
  HWND hwnd_ = nullptr;
  Controls controls_{};
  HWND announcement_ = nullptr;  // what a screen reader is told to say (Announce)
  std::unique_ptr<platform::Surface> p0_, p5_, frame3_;
  GdiTextMeasure measure_;
  std::map<UINT_PTR, std::function<void()>> later_;
  UINT_PTR nextTimer_ = 0;
  std::deque<std::function<void()>> turns_;
  std::unique_ptr<SelectPrinter> chooser_;  // made on first use, kept
  bool outline_ = false;
};

}  // namespace vantorel::win32view
