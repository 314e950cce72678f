// What the main window does, whatever draws it: the load sequence with its
// placement and its messages about the saved settings, the commands and
// keys, the data rows' ticks and fields, the Calculate sequence, the unit
// switch, the reset gesture and every way of closing. A front end builds the
// controls from MainWindowLayout(), passes each event here and does what
// the MainView calls ask; it decides nothing itself.
#pragma once

#include <array>
#include <chrono>
#include <exception>
#include <functional>
#include <optional>
#include <string>

#include "app/printerchooser.h"
#include "entry/validation.h"
#include "model/state.h"
#include "output/graph.h"
#include "platform/surface.h"
#include "platform/textmeasure.h"
#include "settings/settings.h"

namespace vantorel {

// Indexes of the command buttons cbButton(0) to cbButton(5).
enum Command { kExit = 0, kCalculate = 1, kSaveCsv = 2, kImperial = 3, kMetric = 4, kPrintList = 5 };

namespace app {

// "cbButton(1)", "RTxt(0)": a control of an array by its index.
std::string Element(const char* array, int index);

// The window's life: loading until the settings are in (or waiting for a
// store another program holds locked), idle, fitting, showing "Complete",
// ended.
enum class Phase { Loading, WaitingForStore, Idle, Fitting, Complete, Ended };

// Which controls take input.
struct Enabled {
  std::array<bool, 6> cbButton{};  // by Command
  bool btnControl = false;         // the close box
  bool rows = false;               // the six data-point frames
};
// In each phase: at rest every command but the unit in use, the two output
// commands only once the printer count is known and not 0; while fitting or
// showing "Complete" nothing; while waiting for the store only the close box.
Enabled EnabledIn(Phase phase, bool metric, std::optional<int> printerCount);

// The main window's caption: "Vantorel V1.0.0".
std::string Caption(const std::string& exeName, int major, int minor, int patch);

// The text a screen reader gives for the graph: its title, the model's
// clicks at up to five ranges from MinDataRange to MaxDataRange, and the
// measured points.
std::string GraphDescription(const State& s);

// What the user is told when the store refused a save or the reset: the
// error's number, description, detail and source.
std::string StoreErrorText(const std::exception& e);

// Kinds of plain message box.
enum class BoxKind { Information, Critical };

class MainView {
 public:
  virtual ~MainView() = default;
  // Controls by name ("frmMain" is the window itself: its caption).
  virtual void SetText(const std::string& control, const std::string& text) = 0;
  virtual std::string Text(const std::string& control) const = 0;
  virtual void SetToolTip(const std::string& control, const std::string& text) = 0;
  virtual void SetDescription(const std::string& control, const std::string& text) = 0;  // for screen readers
  virtual void SetEnabled(const std::string& control, bool on) = 0;
  virtual void SetVisible(const std::string& control, bool on) = 0;
  // A tick box's value; the view reports the change back through TickChanged.
  virtual void SetTick(int row, int value) = 0;
  // False when the control cannot take the focus (disabled, not in this window).
  virtual bool SetFocus(const std::string& control) = 0;
  // The control of this window that has the focus; empty when none has.
  virtual std::string Focused() const = 0;
  // The window's top left corner on the screen, in twips.
  virtual void Place(double left, double top) = 0;
  // The status panel in the middle of the window, over everything.
  virtual void CentreStatusPanel() = 0;
  virtual void ShowWindow() = 0;
  virtual void HideWindow() = 0;
  // Hands what is pending to the window system now.
  virtual void Flush() = 0;
  virtual void Repaint(const std::string& control) = 0;
  virtual void DrawOutline() = 0;
  // Text measured as this view draws it.
  virtual const platform::TextMeasure& Measure() const = 0;
  virtual void SetFont(const std::string& control, const platform::FontSpec& font) = 0;
  // Timer1, the status label's blink: ticks every 250 ms while on.
  virtual void SetTimer1(bool on) = 0;
  // Runs then once, ms from now, as an event of its own.
  virtual void After(int ms, std::function<void()> then) = 0;
  // Lets the window system handle what is pending, once.
  virtual void TurnEventLoop() = 0;
  // The graph's two surfaces.
  virtual platform::Surface& P0() = 0;
  virtual platform::Surface& P5() = 0;
  // Modal windows: they return once closed.
  virtual void ShowError(const std::string& title, const std::string& body) = 0;
  virtual void ShowBox(BoxKind kind, const std::string& title, const std::string& text) = 0;
  // The print service the window was given, and the printer chooser over
  // it (made on first use and kept).
  virtual platform::PrintService& Printers() = 0;
  virtual PrinterChooser& Chooser() = 0;
  // A picture of the window as it looks now, also put on the clipboard.
  virtual platform::Image WindowPicture() = 0;
  // The window has ended: the program ends with this status.
  virtual void End(int status) = 0;
};

class MainWindow {
 public:
  // The first read of a store another program holds waits this long; after
  // that the window shows and tries again every kLoadRetryMs.
  static constexpr int kFirstLoadWaitMs = 250;
  static constexpr int kLoadRetryMs = 100;

  struct Setup {
    std::string exeName;
    std::string exportFolder;  // where "Save as CSV" writes first
    int major = 0, minor = 0, patch = 0;
    double screenWidth = 0, screenHeight = 0;  // twips
    int completePauseMs = 500;                 // how long "Complete" shows
    int lockWaitMs = 15000;                    // how long a locked store is tried
    std::string decimalPoint = ".";            // the user's locale's, for the numbers saved
  };
  // The running program's: its executable's name, its export folder and its version.
  static Setup ProgramSetup(std::string exeName);
  // The settings are loaded from and saved to store.
  MainWindow(State& s, platform::Store& store, MainView& view, Setup setup);

  void Form_Load();
  // Events.
  void cbButton_Click(int index);
  void btnControl_Click() { CloseRequested(); }
  // Esc closes; Ctrl+P prints the window. True when the key was taken.
  bool Form_KeyDown(int keyCode, int shift);
  void Copyright_MouseDown(int button, int shift);
  void Timer1_Timer();
  // A tick box's value changed (the user or the program).
  void Ticked_Click(int row, int value);
  // Enter in a range field, or the focus left it for another control.
  void RangeDone(int row);
  void PrinterCountKnown(int count);
  // Any request to close. True when the window closes now; false when a
  // running fit must stop first (the window then closes by itself).
  bool CloseRequested();
  // The program ends without the window: saves as closing would, failures
  // on stderr only (through report).
  void SaveAtExit(const std::function<void(const std::string&)>& report);

  void SetExportFolder(std::string folder) { setup_.exportFolder = std::move(folder); }

  Phase phase() const { return phase_; }
  bool Ended() const { return phase_ == Phase::Ended; }
  // Ended, or about to: a close or the reset waits for the search to stop.
  bool Ending() const { return Ended() || afterFit_ != AfterFit::Nothing; }
  int ExitStatus() const { return exitStatus_; }
  std::optional<int> PrinterCount() const { return printerCount_; }

 private:
  class FitSteps;
  void ApplyEnabled();
  void PlaceFromSettings(const LoadResult& from);
  void RetryLoad();
  void LoadFinished();
  void Update_Boxes();
  void RowStates();
  void LoadTicks();
  void PseudoCalc();
  void Calculate();
  void FinishCalculation();
  void Setup_P5();
  void Update_P5();
  void Update_ClickList();
  void Do_Units_Stuff();
  void Save_CSV();
  void FileSaved(const std::string& path);
  void Print_List();
  void Print_Window();
  void Reset();
  void Form_QueryUnload();
  void End(int status);
  void ShowStoreError(const std::exception& e);
  void ShowPanel(const char* text);

  State& s_;
  platform::Store& store_;
  MainView& view_;
  Setup setup_;
  Phase phase_ = Phase::Loading;
  GraphScale graph_{};
  std::optional<int> printerCount_;
  bool modelUsable_ = true;
  LoadResult loaded_;
  std::chrono::steady_clock::time_point waitStart_{};
  int16_t blink_ = 0;
  int exitStatus_ = 0;
  // A close or the reset arrived while the fit ran: the search stops at its
  // next candidate and the window then ends this way.
  enum class AfterFit { Nothing, Close, Reset };
  AfterFit afterFit_ = AfterFit::Nothing;
  // What the finished search left for the end of the "Complete" pause.
  std::optional<std::string> fitProblem_;
  std::array<std::string, kRows> fitLabels_{};
  bool fitLabelsUsable_ = false;
  std::string focusBeforeFit_;
};

}  // namespace app
}  // namespace vantorel
