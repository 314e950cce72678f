// The main window: title and close box, the graph, the click list, the six
// data-point rows, the command buttons and the status panel, with the
// program's load sequence, its commands and its closing.
#pragma once

#include <QElapsedTimer>
#include <QLabel>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <string>

#include "model/state.h"
#include "output/graph.h"
#include "output/printcommands.h"
#include "platform/surface.h"
#include "settings/settings.h"

class QTimer;

namespace vantorel {

namespace platform {
class PictureBox;
class PrintService;
class PrinterCountQuery;
}
class ClickListBox;
class CommandButtons;
class DataRows;

// A white caption on a band of the window's colour just as wide as its text,
// so that it reads on the window and on the white graph panel alike.
class NoticeLabel : public QLabel {
  Q_OBJECT
 public:
  explicit NoticeLabel(QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* e) override;
};

// The close box in the title area: a small picture with a resting and a
// hover colour, read by a screen reader as the button "Close".
class CloseBox : public QWidget {
  Q_OBJECT
 public:
  explicit CloseBox(QWidget* parent);
  platform::Colour BackColor() const { return back_; }
  void SetBackColor(platform::Colour c);

 public slots:
  // A press (the mouse released over it, or a screen reader's "Press"): clicked, when enabled.
  void click();

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  platform::Colour back_ = 0x00000080;
};

class frmMain : public QWidget {
  Q_OBJECT
 public:
  static constexpr platform::Colour kBackColour = 0x00404000;
  static constexpr platform::Colour kCloseBoxRest = 0x00000080;
  static constexpr platform::Colour kCloseBoxHover = 0x000000FF;

  // The settings are loaded from and saved to store, which outlives the window.
  frmMain(State& s, std::string exeName, platform::Store& store, QWidget* parent = nullptr);
  ~frmMain() override;

  // The load sequence: placement, fonts, saved settings, captions, rows,
  // size, buttons, outlines, showing, then the start-up estimate.
  void Form_Load();

  // How long "Complete" stays before the window returns to idle.
  void SetCompletePause(int ms) { completePauseMs_ = ms; }
  // When set (the program's start-up does), the end of the window also ends
  // the application's event loop with the exit status.
  void SetQuitOnEnd(bool on) { quitOnEnd_ = on; }
  bool Ended() const { return ended_; }
  // Ended, or about to: a close or the reset gesture waits for the search to stop.
  bool Ending() const { return ended_ || StopRequested(); }
  int ExitStatus() const { return exitStatus_; }
  // The printers the window prints on (the system's by default); set before Form_Load.
  void SetPrintService(std::unique_ptr<platform::PrintService> service);
  // The folder "Save as CSV" writes to first (the executable's folder unless
  // the program is installed; empty: the documents folder's Vantorel/).
  void SetExportFolder(std::string folder) { exportFolder_ = std::move(folder); }
  State& state() { return s_; }
  // The program ends without the window (exit() called when the window
  // system went away): saves as closing would, a failure told on stderr
  // only. Nothing once the window has ended.
  void SaveAtExit();

 signals:
  // The window has ended: the settings are saved (or could not be), the
  // program is to end with this status.
  void ended(int status);

 protected:
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Controls; each carries the same name as its object name.
  std::array<QLabel*, 2> AppTitle{};
  QLabel* Copyright = nullptr;
  CloseBox* btnControl = nullptr;
  platform::PictureBox* P0 = nullptr;
  platform::PictureBox* P5 = nullptr;
  ClickListBox* ClickList = nullptr;
  DataRows* Rows = nullptr;
  CommandButtons* Commands = nullptr;
  platform::PictureBox* Frame3 = nullptr;
  QLabel* Working = nullptr;
  QTimer* Timer1 = nullptr;
  platform::PictureBox* Surface = nullptr;  // the window's own drawing surface, behind every control

  // Procedures.
  void PseudoCalc();
  void Calculate();
  void Setup_P5();
  void Update_P5(platform::Colour colour);
  void Update_ClickList();
  void Control_Buttons(bool enable);
  void Do_Units_Stuff();
  void Setup_Fonts();
  void DrawOutline();
  void FitCopyright();
  void Save_CSV();
  // The "File Saved" box naming the file.
  void FileSaved(const std::string& path);
  // What the print commands say through this window.
  PrintNotices Notices();
  void Print_List();
  void Print_Window();

  // Handlers.
  void cbButton_Click(int index);
  void btnControl_Click();
  void btnControl_MouseMove();
  bool Form_KeyDown(int keyCode, int shift);
  void Form_MouseUp();
  void Timer1_Timer();
  void Copyright_MouseDown(int button, int shift);
  void AppTitle_MouseDown(int button);
  void AppTitle_MouseMove();
  void AppTitle_MouseUp(int button);

  // True once a close or the reset gesture has asked a running fit to stop.
  bool StopRequested() const { return afterFit_ != AfterFit::Nothing; }
  class FitSteps;
  void FitCollected(const std::array<std::string, kRows>& ranges, const std::array<std::string, kRows>& clicks);
  void FitStarted();
  void Form_QueryUnload();
  // The window's place from the saved values (centred without them).
  void PlaceFromSettings(const LoadResult& from);
  // Tries the locked store again; once it is read, or the wait is over, the load goes on.
  void RetryLoad();
  // The end of the load: the messages about the store, then the start-up estimate.
  void LoadFinished();
  void Reset();
  void End(int status);
  // The printer count, asked for after the window shows (asking the print
  // system can be slow, or never end); nullopt until it is known, and until
  // then the two printing commands stay disabled and Ctrl+P does nothing.
  std::optional<int> PrinterCount() const;
  void PrinterCountKnown(int count);
  void ShowStoreError(const std::exception& e);
  void ApplyLabels(const std::array<std::string, kRows>& labels);
  bool InThisWindow(QObject* o) const;

  State& s_;
  std::string exeName_;
  platform::Store& store_;
  std::unique_ptr<platform::PrintService> printService_;
  std::string exportFolder_;
  GraphScale graph_{};
  bool busy_ = false;
  // A close or the reset gesture arrived while the fit ran: the search stops
  // at its next candidate and the window then ends this way.
  enum class AfterFit { Nothing, Close, Reset };
  AfterFit afterFit_ = AfterFit::Nothing;
  // Asked once the window shows; it keeps the answer. Ending it never waits.
  std::unique_ptr<platform::PrinterCountQuery> printerQuery_;
  // Moving the window by the title where the window system cannot.
  bool dragging_ = false;
  QPoint dragOffset_;
  QPoint mouseAt_;  // the mouse's screen position at the last press or move
  bool ended_ = false;
  bool quitOnEnd_ = false;
  int exitStatus_ = 0;
  int completePauseMs_ = 500;
  int blink_ = 0;  // the status label's blink counter
  bool modelUsable_ = true;
  LoadResult loaded_;  // what the load found: a store it could not read is not saved over
  // Another program held the store locked at start: the window is shown and
  // the lock tried again every kLoadRetryMs until kLockWaitMs have passed.
  static constexpr int kFirstLoadWaitMs = 250;
  static constexpr int kLoadRetryMs = 100;
  bool waitingForStore_ = false;
  QElapsedTimer storeWait_;
};

}  // namespace vantorel
