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
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/controlid.h"
#include "app/keys.h"
#include "app/layout.h"
#include "app/printcommands.h"
#include "app/printerchooser.h"
#include "entry/validation.h"
#include "model/fit.h"
#include "model/state.h"
#include "output/graph.h"
#include "platform/printing.h"
#include "platform/surface.h"
#include "platform/textmeasure.h"
#include "settings/settings.h"

namespace vantorel {

namespace app {

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

// What a program says, on standard error and where it can in a message box,
// when it cannot make its window (no display, or the window system refused
// it), before it ends with status 1: "Vantorel needs a graphical display
// (DISPLAY is not set); vantorel-fit works without one."
std::string NoWindowMessage(const std::string& exeName, const std::string& why);

// The text a screen reader gives for the graph: its title, the model's
// clicks at up to five ranges from MinDataRange to MaxDataRange, and the
// measured points.
std::string GraphDescription(const State& s);

// What a screen reader gives for a row's range or clicks field: the field's
// tooltip, then the model's clicks at the row's range as its bracketed
// label shows them ("(?)": not yet calculated), or that the row is left out.
std::string RowDescription(const std::string& toolTip, const std::string& label, bool ticked);

// What a screen reader hears once when a fit ends: the fit error and the
// model's clicks at each ticked row's range, in row order.
std::string FitAnnouncement(const State& s, double fitError, const std::array<std::string, kRows>& labels);

// What the user is told when the store refused a save or the reset: the
// error's number, description, detail and source.
std::string StoreErrorText(const std::exception& e);

// Kinds of plain message box.
enum class BoxKind { Information, Critical };

// What a front end does for the main window. It builds the controls from
// MainWindowLayout() and keeps them by id, reports raw events to
// MainWindow, and does exactly what these calls say; it decides nothing.
// No call may run a nested event loop: the ones that wait for the user take
// a continuation instead.
class MainView {
 public:
  virtual ~MainView() = default;
  // A control's text; Id::frmMain is the window's caption.
  virtual void SetText(Id control, const std::string& text) = 0;
  virtual std::string Text(Id control) const = 0;
  // A list's lines, each shown on one line of its own, never wrapped.
  virtual void SetLines(Id control, const std::vector<std::string>& lines) = 0;
  virtual void SetToolTip(Id control, const std::string& text) = 0;
  // The description a screen reader gives for the control.
  virtual void SetDescription(Id control, const std::string& text) = 0;
  // Said once by a screen reader, as a notification of the window, without
  // moving the focus.
  virtual void Announce(const std::string& text) = 0;
  // A control's enabled state; a control inside a disabled one is told it is
  // disabled too, so a view sets exactly what it is told.
  virtual void SetEnabled(Id control, bool on) = 0;
  virtual void SetVisible(Id control, bool on) = 0;
  // A tick box's value (0, 1, 2). The view reports nothing back: only a
  // user's click comes back, as Clicked.
  virtual void SetTick(Id control, int value) = 0;
  // Gives control the keyboard focus (Id::frmMain: the window itself, so
  // that keys still reach it). False when it cannot take it.
  virtual bool SetFocus(Id control) = 0;
  // The control of this window that has the focus; Id::frmMain when the
  // window itself has it; nullopt when nothing of this window has.
  virtual std::optional<Id> Focused() const = 0;
  // A field: its whole text selected; its text shown from its start.
  virtual void SelectAll(Id field) = 0;
  virtual void ShowStart(Id field) = 0;
  // A control's place and size within its parent, in twips, and on top of its siblings.
  virtual void Move(Id control, const Rect& where) = 0;
  // A close box's colour.
  virtual void SetBackColour(Id control, platform::Colour colour) = 0;
  // The window's top left corner on the screen, in twips.
  virtual void Place(double left, double top) = 0;
  virtual void ShowWindow() = 0;
  virtual void HideWindow() = 0;
  // Hands what is pending to the window system now.
  virtual void Flush() = 0;
  virtual void Repaint(Id control) = 0;
  virtual void DrawOutline() = 0;
  // Text measured as this view draws it.
  virtual const platform::TextMeasure& Measure() const = 0;
  virtual void SetFont(Id control, const platform::FontSpec& font) = 0;
  // Timer1, the status label's blink: ticks every 250 ms while on.
  virtual void SetTimer1(bool on) = 0;
  // Runs then once, ms from now, as an event of its own.
  virtual void After(int ms, std::function<void()> then) = 0;
  // Runs then as an event of its own once what is pending now has been
  // handled: one real turn of the event loop.
  virtual void Turn(std::function<void()> then) = 0;
  // The window system takes over moving the window with the mouse (the left
  // button is down on its title).
  virtual void StartDrag() = 0;
  // The graph's two surfaces.
  virtual platform::Surface& P0() = 0;
  virtual platform::Surface& P5() = 0;
  // Modal windows: they show and return at once; then runs once they are closed.
  virtual void ShowError(const std::string& title, const std::string& body, std::function<void()> then) = 0;
  virtual void ShowBox(BoxKind kind, const std::string& title, const std::string& text, std::function<void()> then) = 0;
  // The print service the window was given, and the printer chooser over
  // it (made on first use and kept).
  virtual platform::PrintService& Printers() = 0;
  virtual PrinterChooser& Chooser() = 0;
  // A picture of the window as it shows now, drawn by the view from its
  // controls (never read back from the screen), also put on the clipboard.
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
  // How often the printer count is looked for once asked.
  static constexpr int kPrinterPollMs = 20;

  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  struct Setup {
    std::string exeName;
    std::string exportFolder;  // where "Save as CSV" writes first
    int major = 0, minor = 0, patch = 0;
    Rect workArea{};                 // the screen's work area (no task bar), in twips
    int completePauseMs = 500;       // how long "Complete" shows
    int lockWaitMs = 15000;          // how long a locked store is tried
    std::string decimalPoint = ".";  // the user's locale's, for the numbers saved
    // How long the search runs between two turns of the event loop; the
    // graph shows the best model found so far as each turn ends.
    int sliceMs = 10;
    Clock now = [] { return std::chrono::steady_clock::now(); };
    // The arrangement the view built: MainWindowLayout(), or another with
    // the same controls (MainWindowPortraitLayout()).
    const WindowLayout* layout = &MainWindowLayout();
    // Where a program can end without a word (a browser's page killed), the
    // settings are also saved whenever a fit starts and ends, not only as
    // the window closes.
    bool saveOnFit = false;
  };
  // The running program's: its executable's name, its export folder and its version.
  static Setup ProgramSetup(std::string exeName);
  // The settings are loaded from and saved to store.
  MainWindow(State& s, platform::Store& store, MainView& view, Setup setup);
  ~MainWindow();

  void Form_Load();

  // Raw events, as the view reports them.
  // A press of a button, a tick box or the close box (a click, Space or
  // Enter the view handles natively, a screen reader's press).
  void Clicked(Id control);
  // A key pressed while focus had the keyboard focus (nullopt: nothing of
  // this window had it). True when the window took the key; otherwise it
  // goes its native way.
  bool KeyDown(std::optional<Id> focus, Key key, int shift);
  // The focus left a field: for another control of this window
  // (toControl), or the window lost activation (a message box, another program).
  void FocusLeft(Id field, bool toControl);
  void MouseDown(Id control, int button, int shift);
  // The mouse moved over a control; Id::frmMain: over the window's own surface.
  void MouseMove(Id over);
  void Timer1_Timer();
  // Any request to close. True when the window closes now; false when a
  // running fit must stop first (the window then closes by itself).
  bool CloseRequested();
  // The program ends without the window: saves as closing would, failures
  // on stderr only (through report).
  void SaveAtExit(const std::function<void(const std::string&)>& report);
  // The program may end without a word while it shows (a browser's page
  // hidden or left): the settings are saved now, as SaveAtExit saves them,
  // a fit stopping first with the best model it found, and the window goes
  // on.
  void SaveNow(const std::function<void(const std::string&)>& report);
  // "Save settings file": the rows, ticks, model and units as a settings
  // file's text (settings/settingsfile.h).
  std::string SettingsFile() const;
  // "Open settings file": at rest, the rows, ticks, model and units of a
  // settings file take the place of the window's, which shows and saves
  // them; a file that is not one, or is damaged, is refused with why and
  // nothing changes.
  void OpenSettingsFile(std::string_view text);
  // A store that keeps a save after the commit (a browser's) refused it:
  // the user is told why, once the window is free to say it.
  void SaveFailed(const std::string& why);

  // The handlers the events end in.
  void cbButton_Click(int index);
  void btnControl_Click() { CloseRequested(); }
  void Copyright_MouseDown(int button, int shift);
  // A tick box's value changed (the user or the program).
  void Ticked_Click(int row, int value);
  // Enter in a range field, or the focus left it for another control.
  void RangeDone(int row);
  void PrinterCountKnown(int count);

  void SetExportFolder(std::string folder) { setup_.exportFolder = std::move(folder); }

  Phase phase() const { return phase_; }
  bool Ended() const { return phase_ == Phase::Ended; }
  // Ended, or about to: a close or the reset waits for the search to stop.
  bool Ending() const { return Ended() || afterFit_ != AfterFit::Nothing; }
  int ExitStatus() const { return exitStatus_; }
  std::optional<int> PrinterCount() const { return printerCount_; }

 private:
  void ApplyEnabled();
  void PlaceFromSettings(const LoadResult& from);
  void RetryLoad();
  void LoadFinished();
  void AskPrinterCount();
  void PollPrinterCount();
  void Update_Boxes();
  void RowStates();
  // A row's bracketed model-clicks label, and the descriptions of its fields that tell it.
  void ShowModelLabel(size_t row, const std::string& label);
  void DescribeRow(size_t row);
  void LoadTicks();
  void SetTickValue(int row, int value);
  void PseudoCalc();
  void Calculate();
  void RunSlice();
  void SearchEnded();
  void FinishCalculation();
  void Setup_P5();
  void Update_P5();
  void Update_ClickList();
  void Do_Units_Stuff();
  void Save_CSV();
  void FileSaved(const std::string& path, std::function<void()> then);
  void Print_List();
  void Print_Window();
  void Reset();
  void Form_QueryUnload();
  // Saves the settings, failures told through report only.
  void SaveQuietly(const std::function<void(const std::string&)>& report);
  void End(int status);
  void ShowStoreError(const std::exception& e, std::function<void()> then);
  void ShowPanel(const char* text);
  void SetCopyright(const std::string& text);
  void Tab(std::optional<Id> from, bool back);
  void SetCloseBox(platform::Colour c);
  bool Modal() const { return modals_ > 0; }
  const WindowLayout& Layout() const { return *setup_.layout; }
  // What the behaviour has made of each control: enabled, visible; a
  // control takes input when it and every control around it are both.
  void SetEnabled(Id control, bool on);
  void SetVisible(Id control, bool on);
  bool Usable(Id control) const;
  PrintNotices Notices();
  void ShowError(const std::string& title, const std::string& body, std::function<void()> then = {});
  void ShowBox(BoxKind kind, const std::string& title, const std::string& text, std::function<void()> then);

  State& s_;
  platform::Store& store_;
  MainView& view_;
  Setup setup_;
  Phase phase_ = Phase::Loading;
  GraphScale graph_{};
  std::optional<int> printerCount_;
  std::unique_ptr<platform::PrinterCountQuery> printerQuery_;
  bool modelUsable_ = true;
  LoadResult loaded_;
  std::chrono::steady_clock::time_point waitStart_{};
  int16_t blink_ = 0;
  int exitStatus_ = 0;
  int modals_ = 0;  // modal windows open over this one
  platform::Colour closeBox_ = kCloseBoxRest;
  // A close or the reset arrived while the fit ran: the search stops at its
  // next slice and the window then ends this way.
  enum class AfterFit { Nothing, Close, Reset };
  AfterFit afterFit_ = AfterFit::Nothing;
  std::optional<FitJob> fit_;  // the search under way
  // What the finished search left for the end of the "Complete" pause.
  std::optional<std::string> fitProblem_;
  std::array<std::string, kRows> fitLabels_{};
  double fitError_ = 0;
  std::array<std::string, kRows> modelLabels_{};  // as the rows show them
  bool fitLabelsUsable_ = false;
  std::optional<Id> focusBeforeFit_;
  std::array<bool, kIdCount> enabled_{}, visible_{};
};

}  // namespace app
}  // namespace vantorel
