#include "app/mainwindow.h"

#include <algorithm>
#include <cmath>

#include "app/printcommands.h"
#include "app/textfit.h"
#include "platform/files.h"
#include "entry/calculate.h"
#include "entry/rows.h"
#include "model/clicktable.h"
#include "model/numtext.h"
#include "model/trajectory.h"
#include "output/clicklist.h"
#include "output/csvexport.h"
#include "settings/registry.h"

namespace vantorel::app {

namespace {

// The window's final size, and the design size the default placement is
// computed from (the load narrows the window to its final width after
// placing it, so it opens a little left of the exact centre).
constexpr double kDesignWidth = 8820;
constexpr double kDesignHeight = 6585;

// The notice after the caption on the copyright line. The line shares its
// height with the graph's title, so it is kept short enough to end clear of it.
constexpr const char* kCopyrightNotice = "  \xC2\xA9 2026 Morvale";

std::string RowControl(const char* array, size_t k) { return Element(array, static_cast<int>(k)); }

}  // namespace

std::string Element(const char* array, int index) { return std::string(array) + "(" + std::to_string(index) + ")"; }

Enabled EnabledIn(Phase phase, bool metric, std::optional<int> printerCount) {
  Enabled e;
  switch (phase) {
    case Phase::Loading:
    case Phase::Idle: {
      const bool output = printerCount.value_or(0) > 0;
      e.cbButton = {true, true, output, metric, !metric, output};
      e.btnControl = true;
      e.rows = true;
      break;
    }
    case Phase::WaitingForStore: e.btnControl = true; break;
    case Phase::Fitting:
    case Phase::Complete:
    case Phase::Ended: break;
  }
  return e;
}

std::string Caption(const std::string& exeName, int major, int minor, int patch) {
  return exeName + " V" + std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch);
}

std::string GraphDescription(const State& s) {
  const bool metric = s.MetricUnits;
  const ModelParams p = s.Params();
  std::string text = GraphTitle(metric) + ": the model's clicks";
  const int step = std::max(1, (s.MaxDataRange - s.MinDataRange) / 4);
  for (int r = s.MinDataRange; r <= s.MaxDataRange && r > 0; r += step)
    text += ", " + FormatNumber(ClicksToDial(p, r, metric), "0") + " at " + std::to_string(r);
  text += "; measured points";
  for (size_t k = 0; k < kRows; ++k)
    if (s.IsTicked(static_cast<int>(k)))
      text += ", " + std::to_string(s.DataClicks[k]) + " at " + std::to_string(s.DataRange[k]);
  return text + ".";
}

std::string StoreErrorText(const std::exception& e) {
  if (auto* r = dynamic_cast<const RegistryError*>(&e)) {
    return "Run-time error '" + std::to_string(r->number()) + "':\n\n" + r->description() +
           (r->detail().empty() ? std::string() : "\n\n" + r->detail()) + "\n\nSource: " + r->source();
  }
  return e.what();
}

MainWindow::Setup MainWindow::ProgramSetup(std::string exeName) {
  Setup setup;
  setup.exeName = std::move(exeName);
  setup.exportFolder = platform::ProgramExportFolder();
  setup.major = VANTOREL_VERSION_MAJOR;
  setup.minor = VANTOREL_VERSION_MINOR;
  setup.patch = VANTOREL_VERSION_PATCH;
  return setup;
}

MainWindow::MainWindow(State& s, platform::Store& store, MainView& view, Setup setup)
    : s_(s), store_(store), view_(view), setup_(std::move(setup)) {
  for (size_t k = 0; k < kRows; ++k) s_.Ticked[k] = 1;  // the boxes are ticked until the load sets them
}

void MainWindow::ApplyEnabled() {
  const Enabled e = EnabledIn(phase_, s_.MetricUnits, printerCount_);
  for (int i = 0; i < 6; ++i) view_.SetEnabled(Element("cbButton", i), e.cbButton[static_cast<size_t>(i)]);
  view_.SetEnabled("btnControl", e.btnControl);
  for (size_t k = 0; k < kRows; ++k) view_.SetEnabled(RowControl("RFrm", k), e.rows);
}

void MainWindow::Form_Load() {
  s_.FormReady = false;
  phase_ = Phase::Loading;
  // A store another program holds locked is waited for with the window
  // shown: the first read waits only a moment.
  loaded_ = LoadData(store_, s_, kFirstLoadWaitMs, setup_.decimalPoint);
  const bool waiting = loaded_.locked;
  PlaceFromSettings(waiting ? LoadResult{} : loaded_);  // centred until the settings are in
  LoadTicks();

  const std::string caption = Caption(setup_.exeName, setup_.major, setup_.minor, setup_.patch);
  view_.SetText("frmMain", caption);
  view_.SetText("AppTitle(0)", caption);
  view_.SetText("AppTitle(1)", caption);
  view_.SetText("Copyright", caption + kCopyrightNotice);
  platform::FontSpec small = MainWindowLayout().Control("Copyright").font;
  small.size = CopyrightPoints(view_.Measure(), caption + kCopyrightNotice);
  view_.SetFont("Copyright", small);
  Update_Boxes();
  // The two printing commands wait for the printer count, which is asked
  // for once the window shows.
  ApplyEnabled();
  if (waiting) {
    // Nothing can be used until the settings are in: the controls rest and
    // the status panel blinks "Waiting" while the lock is tried again.
    phase_ = Phase::WaitingForStore;
    ApplyEnabled();
    ShowPanel("Waiting");
    view_.SetTimer1(true);
  }
  view_.DrawOutline();
  view_.ShowWindow();
  view_.SetFocus("cbButton(0)");
  view_.Flush();
  if (waiting) {
    waitStart_ = std::chrono::steady_clock::now();
    view_.After(kLoadRetryMs, [this] { RetryLoad(); });
    return;
  }
  LoadFinished();
}

void MainWindow::PlaceFromSettings(const LoadResult& from) {
  auto position = [&](const char* name, double fallback) {
    const std::string text = from.Text(name, LocaleNumberText(fallback));
    const auto v = LocaleToDouble(text);
    // The saved value as a single-precision number, as it was always kept.
    return static_cast<double>(static_cast<float>(v && std::isfinite(*v) && std::fabs(*v) < 1e30 ? *v : fallback));
  };
  const double top = position("ADKTop", (setup_.screenHeight - kDesignHeight) / 2);
  const double left = position("ADKLeft", (setup_.screenWidth - kDesignWidth) / 2);
  view_.Place(left, top);
}

void MainWindow::RetryLoad() {
  if (phase_ != Phase::WaitingForStore) return;
  // Each try takes the lock only if it is free, so the window never waits on it.
  loaded_ = LoadData(store_, s_, 0, setup_.decimalPoint);
  const auto waited = std::chrono::steady_clock::now() - waitStart_;
  if (loaded_.locked && waited < std::chrono::milliseconds(setup_.lockWaitMs)) {
    view_.After(kLoadRetryMs, [this] { RetryLoad(); });
    return;
  }
  if (loaded_.locked) {
    loaded_.reason = store_.LockedReason(setup_.lockWaitMs);
    loaded_.notice = NotReadMessage(loaded_);
  }
  // The settings are in (or will not come): the window takes them and its place.
  phase_ = Phase::Idle;
  view_.SetTimer1(false);
  view_.SetVisible("Frame3", false);
  PlaceFromSettings(loaded_);
  LoadTicks();
  Update_Boxes();
  ApplyEnabled();
  LoadFinished();
}

void MainWindow::LoadFinished() {
  phase_ = Phase::Idle;
  s_.FormReady = true;
  // What happened to the store and every saved value that could not be
  // used, in one window, a blank line between one and the next.
  std::string told = loaded_.notice;
  size_t at = 0;
  while (at < loaded_.problems.size()) {
    size_t end = loaded_.problems.find("\r\n", at);
    if (end == std::string::npos) end = loaded_.problems.size();
    if (end > at) told += (told.empty() ? "" : "\n\n") + loaded_.problems.substr(at, end - at);
    at = end + 2;
  }
  if (!told.empty()) view_.ShowError("Saved Settings", told);
  if (Ended()) return;
  PseudoCalc();
}

void MainWindow::LoadTicks() {
  for (size_t k = 0; k < kRows; ++k) view_.SetTick(static_cast<int>(k), s_.Ticked[k]);
}

void MainWindow::Update_Boxes() {
  for (size_t k = 0; k < kRows; ++k) {
    view_.SetText(RowControl("RTxt", k), FormatNumber(s_.DataRange[k], "0"));
    view_.SetText(RowControl("CTxt", k), FormatNumber(s_.DataClicks[k], "0"));
  }
  RowStates();
}

void MainWindow::RowStates() {
  for (size_t k = 0; k < kRows; ++k) {
    const bool on = s_.IsTicked(static_cast<int>(k));
    view_.SetEnabled(RowControl("RTxt", k), on);
    view_.SetEnabled(RowControl("CTxt", k), on);
    view_.SetVisible(RowControl("ErrorInd", k), on);
  }
}

void MainWindow::Ticked_Click(int row, int value) {
  if (row < 0 || row >= kRows) return;
  s_.Ticked[static_cast<size_t>(row)] = static_cast<int16_t>(value);
  RowStates();
  if (auto refused = TickRefusal(s_, row, setup_.exeName)) {
    // The tick is back before the refusal shows, so that a program ended
    // while it shows (a signal, a logout) saves three ticked rows.
    view_.SetTick(row, 1);  // comes back here for the same row
    view_.ShowError(refused->title, refused->body);
  }
}

void MainWindow::RangeDone(int row) {
  if (row < 0 || row >= kRows) return;
  const std::string field = Element("RTxt", row);
  if (auto text = NormalisedRangeText(view_.Text(field))) view_.SetText(field, *text);
  for (size_t k = 0; k < kRows; ++k) view_.SetText(RowControl("ErrorInd", k), "(?)");
}

void MainWindow::PrinterCountKnown(int count) {
  printerCount_ = count;
  if (phase_ == Phase::Idle || phase_ == Phase::Loading) ApplyEnabled();
}

void MainWindow::PseudoCalc() {
  const Estimate e = vantorel::PseudoCalc(s_);
  modelUsable_ = !e.problem;
  for (size_t k = 0; k < kRows; ++k)
    if (e.labels[k]) view_.SetText(RowControl("ErrorInd", k), *e.labels[k]);
  Setup_P5();
  if (modelUsable_) Update_P5();
  Update_ClickList();
  if (e.problem) view_.ShowError(kModelErrorTitle, *e.problem + " Press Calculate to refit.");
}

void MainWindow::Setup_P5() {
  const platform::BoxGeometry p5{690, 450, 5460, 2595};  // in P0, border included
  vantorel::Setup_P5(s_, view_.P0(), view_.P5(), p5, 3540, graph_);
}

void MainWindow::Update_P5() {
  vantorel::Update_P5(s_, view_.P5(), graph_, 255);
  view_.SetDescription("P0", GraphDescription(s_));
}

void MainWindow::Update_ClickList() {
  view_.SetToolTip("ClickList", ClickListTooltip(s_));
  std::vector<std::string> lines = ClickListLines(s_);
  if (!modelUsable_) lines.resize(3);  // the heads only
  view_.SetText("ClickList", JoinLines(lines, "\n"));
}

void MainWindow::Do_Units_Stuff() {
  view_.SetEnabled("cbButton(3)", s_.MetricUnits);
  view_.SetEnabled("cbButton(4)", !s_.MetricUnits);
  Update_Boxes();
}

void MainWindow::ShowPanel(const char* text) {
  view_.SetText("Working", text);
  view_.SetVisible("Working", true);
  view_.CentreStatusPanel();
  view_.SetVisible("Frame3", true);
}

// What the window does at each step of a calculation: the rows take the
// collected texts, the controls go quiet while the search runs, the event
// loop turns once per candidate, and every better model is drawn at once.
class MainWindow::FitSteps : public CalculateSteps {
 public:
  explicit FitSteps(MainWindow& w) : w_(w) {}
  void Collected(const RowTexts& ranges, const RowTexts& clicks) override {
    for (size_t k = 0; k < kRows; ++k) {
      w_.view_.SetText(RowControl("RTxt", k), ranges[k]);
      w_.view_.SetText(RowControl("CTxt", k), clicks[k]);
    }
    w_.Update_Boxes();
  }
  void Started() override {
    w_.phase_ = Phase::Fitting;
    w_.ApplyEnabled();
    for (size_t k = 0; k < kRows; ++k) {
      w_.view_.SetText(RowControl("ErrorInd", k), "(?)");
      w_.view_.SetVisible(RowControl("ErrorInd", k), w_.s_.IsTicked(static_cast<int>(k)));
    }
    w_.ShowPanel("Working");
    w_.view_.SetTimer1(true);
    w_.Setup_P5();
  }
  bool Candidate() override {
    w_.view_.TurnEventLoop();
    return w_.afterFit_ == AfterFit::Nothing;
  }
  void Improved(const State&, double) override {
    w_.Setup_P5();
    w_.Update_P5();
  }

 private:
  MainWindow& w_;
};

void MainWindow::Calculate() {
  if (!s_.FormReady || phase_ != Phase::Idle) return;
  view_.SetTimer1(false);
  // The control that has the focus gets it back after the fit (the commands
  // lose it while they are disabled).
  focusBeforeFit_ = view_.Focused();
  RowTexts ranges, clicks;
  for (size_t k = 0; k < kRows; ++k) {
    ranges[k] = view_.Text(RowControl("RTxt", k));
    clicks[k] = view_.Text(RowControl("CTxt", k));
  }
  FitSteps steps(*this);
  const Calculation fit = CalculateModel(s_, ranges, clicks, steps);
  if (fit.refused) {
    view_.ShowError(fit.refused->title, fit.refused->body);
    return;
  }
  view_.SetTimer1(false);
  if (afterFit_ != AfterFit::Nothing) {
    // The window was closed (or reset) during the search: the model holds
    // the best candidate found so far, and the window ends from here.
    phase_ = Phase::Idle;
    if (afterFit_ == AfterFit::Reset)
      Reset();
    else
      Form_QueryUnload();
    return;
  }
  fitLabelsUsable_ = !fit.finish.problem;
  fitLabels_ = fit.finish.labels;
  fitProblem_ = fit.problem();
  modelUsable_ = !fit.finish.problem;
  // "Complete" stays a moment; the window then comes back to rest.
  phase_ = Phase::Complete;
  view_.SetText("Working", "Complete");
  view_.SetVisible("Working", true);
  view_.Repaint("Working");
  if (setup_.completePauseMs > 0)
    view_.After(setup_.completePauseMs, [this] { FinishCalculation(); });
  else
    FinishCalculation();
}

void MainWindow::FinishCalculation() {
  if (phase_ != Phase::Complete) return;
  view_.SetVisible("Frame3", false);
  if (fitLabelsUsable_)
    for (size_t k = 0; k < kRows; ++k) view_.SetText(RowControl("ErrorInd", k), fitLabels_[k]);
  Setup_P5();
  if (modelUsable_) Update_P5();
  Update_ClickList();
  phase_ = Phase::Idle;
  ApplyEnabled();
  view_.DrawOutline();
  if (afterFit_ != AfterFit::Nothing) {  // closed or reset while "Complete" showed
    if (afterFit_ == AfterFit::Reset)
      Reset();
    else
      Form_QueryUnload();
    return;
  }
  if (focusBeforeFit_.empty() || !view_.SetFocus(focusBeforeFit_)) view_.SetFocus("cbButton(1)");
  if (fitProblem_) view_.ShowError(kModelErrorTitle, *fitProblem_);
}

void MainWindow::cbButton_Click(int index) {
  if (phase_ != Phase::Idle) return;
  switch (index) {
    case kExit: CloseRequested(); break;
    case kCalculate:
      Calculate();
      if (phase_ == Phase::Idle) view_.DrawOutline();
      break;
    case kSaveCsv: Save_CSV(); break;
    case kImperial:
    case kMetric: {
      // The focus goes from the pressed button to the other one, which the switch enables.
      const std::string other = Element("cbButton", index == kMetric ? kImperial : kMetric);
      view_.SetEnabled(other, true);
      if (view_.Focused() == Element("cbButton", index)) view_.SetFocus(other);
      s_.MetricUnits = index == kMetric;
      Do_Units_Stuff();
      view_.Repaint("frmMain");
      cbButton_Click(kCalculate);
      break;
    }
    case kPrintList: Print_List(); break;
    default: break;
  }
}

bool MainWindow::Form_KeyDown(int keyCode, int shift) {
  if (keyCode == 27) {
    CloseRequested();
    return true;
  }
  if (keyCode == 80 && (shift & 2)) {
    // Only at rest, and only with a printer to print on.
    if (phase_ == Phase::Idle && printerCount_.value_or(0) > 0) Print_Window();
    return true;
  }
  return false;
}

void MainWindow::Timer1_Timer() {
  if (blink_ >= 32767)
    blink_ = 0;
  else
    ++blink_;
  view_.SetVisible("Working", blink_ % 2 == 0);
}

void MainWindow::Copyright_MouseDown(int button, int shift) {
  if (button != 2 || shift != 1 || Ended() || phase_ == Phase::WaitingForStore) return;
  if (phase_ == Phase::Fitting || phase_ == Phase::Complete) {  // the search stops first; the reset follows
    afterFit_ = AfterFit::Reset;
    return;
  }
  Reset();
}

void MainWindow::Reset() {
  phase_ = Phase::Ended;  // the window ends without its closing save
  view_.HideWindow();
  try {
    ResetSettings(store_, s_.SettingsPath);
  } catch (const std::exception& e) {
    ShowStoreError(e);
    End(1);
    return;
  }
  End(0);
}

bool MainWindow::CloseRequested() {
  if (Ended()) return true;
  if (phase_ == Phase::Fitting || phase_ == Phase::Complete) {
    // The search stops at its next candidate; the window then closes.
    if (afterFit_ == AfterFit::Nothing) afterFit_ = AfterFit::Close;
    return false;
  }
  Form_QueryUnload();
  return true;
}

void MainWindow::Form_QueryUnload() {
  const bool waiting = phase_ == Phase::WaitingForStore;
  phase_ = Phase::Ended;
  view_.SetTimer1(false);
  view_.HideWindow();
  if (waiting) {  // nothing was loaded, so nothing can have changed
    End(0);
    return;
  }
  if (!loaded_.MaySave()) {  // what could not be read is not written over
    view_.ShowBox(BoxKind::Critical, setup_.exeName, NotSavedMessage(loaded_));
    End(1);
    return;
  }
  try {
    SaveData(store_, s_, setup_.decimalPoint);
  } catch (const std::exception& e) {
    ShowStoreError(e);
    End(1);
    return;
  }
  End(0);
}

void MainWindow::SaveAtExit(const std::function<void(const std::string&)>& report) {
  if (Ended()) return;
  const bool waiting = phase_ == Phase::WaitingForStore;
  phase_ = Phase::Ended;
  if (waiting || !loaded_.MaySave()) return;  // what could not be read is not written over
  try {
    SaveData(store_, s_, setup_.decimalPoint);
  } catch (const RegistryError& e) {
    report(setup_.exeName + ": settings not saved: run-time error " + std::to_string(e.number()) + ": " +
           e.description() + " (source: " + e.source() + ") " + e.detail());
  } catch (const std::exception& e) {
    report(setup_.exeName + ": settings not saved: " + e.what());
  }
}

void MainWindow::ShowStoreError(const std::exception& e) {
  view_.ShowBox(BoxKind::Critical, setup_.exeName, StoreErrorText(e));
}

void MainWindow::End(int status) {
  phase_ = Phase::Ended;
  exitStatus_ = status;
  view_.End(status);
}

void MainWindow::Save_CSV() {
  const CsvSave saved = SaveCsv(s_, setup_.exportFolder);
  if (!saved.ok) {
    view_.ShowError("File Not Saved", saved.message);
    return;
  }
  FileSaved(saved.path);
}

void MainWindow::FileSaved(const std::string& path) {
  view_.ShowBox(BoxKind::Information, "File Saved", "File saved as\n" + path);
}

void MainWindow::Print_List() {
  const PrintNotices notices{[this](const std::string& why) { view_.ShowError("Print System", why); },
                             [this](const std::string& path) { FileSaved(path); }};
  if (auto problem = PrintListOnCurrentPrinter(s_, view_.Printers(), view_.Chooser(), setup_.exeName, notices))
    view_.ShowError("Printing Failed", *problem);
}

void MainWindow::Print_Window() {
  const PrintNotices notices{[this](const std::string& why) { view_.ShowError("Print System", why); },
                             [this](const std::string& path) { FileSaved(path); }};
  if (!PrinterReady(s_, view_.Chooser(), notices)) return;
  // The window as it looks now, outline included.
  const platform::Image picture = view_.WindowPicture();
  if (auto problem = PrintWindowPicture(view_.Printers(), picture, setup_.exeName, notices))
    view_.ShowError("Printing Failed", *problem);
}

}  // namespace vantorel::app
