// The main window as a Win32 window: its controls are made from the main
// window's layout, every event goes to the portable MainWindow, and what
// that asks of a view is done here with the standard Windows controls.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/mainwindow.h"
#include "platform/printing.h"
#include "platform/store.h"
#include "winshell/textmeasure.h"

namespace vantorel::winshell {

class SelectPrinter;

class MainFrame final : private app::MainView {
 public:
  // The settings are loaded from and saved to store, which outlives the
  // window; the window prints through printService (never null).
  MainFrame(State& s, std::string exeName, platform::Store& store,
            std::unique_ptr<platform::PrintService> printService);
  ~MainFrame() override;

  // The load sequence; the window shows during it.
  void Form_Load();
  // A key press anywhere in the window, before the control it is for: true
  // when the window took it (Esc, Ctrl+P, Enter in a range field).
  bool PreviewKey(const MSG& m);
  HWND Handle() const { return hwnd_; }
  bool Ended() const { return logic_ && logic_->Ended(); }
  int ExitStatus() const { return logic_ ? logic_->ExitStatus() : 0; }
  // The program ends without the window (the session ends): saves as closing would.
  void SaveAtExit();

 private:
  template <class T>
  friend LRESULT CALLBACK RouteTo(HWND w, UINT m, WPARAM wp, LPARAM lp);
  LRESULT Handle(UINT m, WPARAM wp, LPARAM lp);
  void Command(HWND control, int code);
  HWND Control(const std::string& name) const;
  std::string NameOf(HWND w) const;
  static int RowOf(const std::string& name, const char* array);

  // MainView.
  void SetText(const std::string& control, const std::string& text) override;
  std::string Text(const std::string& control) const override;
  void SetToolTip(const std::string& control, const std::string& text) override;
  void SetDescription(const std::string& control, const std::string& text) override;
  void SetEnabled(const std::string& control, bool on) override;
  void SetVisible(const std::string& control, bool on) override;
  void SetTick(int row, int value) override;
  bool SetFocus(const std::string& control) override;
  std::string Focused() const override;
  void Place(double left, double top) override;
  void CentreStatusPanel() override;
  void ShowWindow() override;
  void HideWindow() override;
  void Flush() override;
  void Repaint(const std::string& control) override;
  void DrawOutline() override;
  const platform::TextMeasure& Measure() const override { return measure_; }
  void SetFont(const std::string& control, const platform::FontSpec& font) override;
  void SetTimer1(bool on) override;
  void After(int ms, std::function<void()> then) override;
  void TurnEventLoop() override;
  platform::Surface& P0() override;
  platform::Surface& P5() override;
  void ShowError(const std::string& title, const std::string& body) override;
  void ShowBox(app::BoxKind kind, const std::string& title, const std::string& text) override;
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
  std::map<std::string, HWND> controls_;
  std::map<std::string, std::string> descriptions_;
  std::unique_ptr<platform::Surface> p0_, p5_, frame3_;
  GdiTextMeasure measure_;
  std::map<UINT_PTR, std::function<void()>> later_;
  UINT_PTR nextTimer_ = 100;
  std::unique_ptr<platform::PrinterCountQuery> printerQuery_;
  std::unique_ptr<SelectPrinter> chooser_;  // made on first use, kept
  bool outline_ = false;
};

}  // namespace vantorel::winshell
