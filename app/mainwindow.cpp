#include "app/mainwindow.h"

#include <algorithm>
#include <cmath>

#include "app/printcommands.h"
#include "app/textfit.h"
#include "platform/files.h"
#include "entry/calculate.h"
#include "model/fit.h"
#include "platform/twips.h"
#include "entry/rows.h"
#include "model/clicktable.h"
#include "model/numtext.h"
#include "model/trajectory.h"
#include "output/clicklist.h"
#include "output/csvexport.h"
#include "settings/registry.h"
#include "settings/settingsfile.h"

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

// A slice of the search ends at this point of the clock. The clock is read
// every kCandidatesPerLook candidates: reading it costs more than a
// candidate does.
class Deadline : public SliceBudget {
 public:
  static constexpr int kCandidatesPerLook = 64;
  Deadline(const MainWindow::Clock& now, std::chrono::steady_clock::time_point end) : now_(now), end_(end) {}
  bool Spent() override { return ++asked_ % kCandidatesPerLook == 0 && now_() >= end_; }

 private:
  const MainWindow::Clock& now_;
  std::chrono::steady_clock::time_point end_;
  int64_t asked_ = 0;
};

// v with two decimals, halves away from zero ("5.83"); far beyond any fit
// error, or not finite, as a whole number.
std::string TwoDecimals(double v) {
  if (!(std::fabs(v) < 1e12)) return FormatNumber(v, "0");
  const auto hundredths = static_cast<int64_t>(RoundHalfAway(std::fabs(v) * 100));
  std::string text = v < 0 && hundredths != 0 ? "-" : "";
  text += std::to_string(hundredths / 100);
  text += hundredths % 100 < 10 ? ".0" : ".";
  text += std::to_string(hundredths % 100);
  return text;
}

}  // namespace

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

std::string NoWindowMessage(const std::string& exeName, const std::string& why) {
  return exeName + " needs a graphical display (" + why + "); vantorel-fit works without one.";
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

namespace {

// The clicks a bracketed label shows ("(52)": "52"); nullopt for "(?)" or
// anything else.
std::optional<std::string> LabelClicks(const std::string& label) {
  if (label.size() < 3 || label.front() != '(' || label.back() != ')' || label == "(?)") return std::nullopt;
  return label.substr(1, label.size() - 2);
}

}  // namespace

std::string RowDescription(const std::string& toolTip, const std::string& label, bool ticked) {
  std::string text = toolTip;
  while (!text.empty() && text.back() == ' ') text.pop_back();
  if (!ticked) return text + ". Not used in the fit.";
  return text + ". Model clicks here: " + LabelClicks(label).value_or("not yet calculated") + ".";
}

std::string FitAnnouncement(const State& s, double fitError, const std::array<std::string, kRows>& labels) {
  std::vector<size_t> rows;
  for (size_t k = 0; k < kRows; ++k)
    if (s.IsTicked(static_cast<int>(k))) rows.push_back(k);
  // "a, b and c"
  auto listed = [&rows](const std::function<std::string(size_t)>& item) {
    std::string text;
    for (size_t i = 0; i < rows.size(); ++i)
      text += (i == 0 ? "" : i + 1 == rows.size() ? " and " : ", ") + item(rows[i]);
    return text;
  };
  auto clicks = [&labels](size_t k) { return LabelClicks(labels[k]).value_or(labels[k]); };
  return "Complete: fit error " + TwoDecimals(fitError) + "; model clicks at " +
         listed([&s](size_t k) { return std::to_string(s.DataRange[k]); }) +
         (s.MetricUnits ? " metres: " : " yards: ") + listed(clicks) + ".";
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
  for (const ControlLayout& c : Layout().controls) {
    visible_[Index(c.id)] = c.visible;
    enabled_[Index(c.id)] = true;
  }
  enabled_[Index(Id::frmMain)] = visible_[Index(Id::frmMain)] = true;
}

MainWindow::~MainWindow() = default;

void MainWindow::SetEnabled(Id control, bool on) {
  enabled_[Index(control)] = on;
  // What lies inside the control follows it: each view is told the state
  // every control now has, whether or not its window system passes a
  // container's state on to what it holds.
  const WindowLayout& layout = Layout();
  for (const ControlLayout& c : layout.controls) {
    if (c.id != control && !layout.Inside(c.id, control)) continue;
    bool enabled = true;
    for (const ControlLayout* at = &c; at && enabled; at = layout.Find(at->parent)) enabled = enabled_[Index(at->id)];
    view_.SetEnabled(c.id, enabled);
  }
}

void MainWindow::SetVisible(Id control, bool on) {
  visible_[Index(control)] = on;
  view_.SetVisible(control, on);
}

bool MainWindow::Usable(Id control) const {
  const WindowLayout& layout = Layout();
  for (const ControlLayout* c = layout.Find(control); c; c = layout.Find(c->parent))
    if (!enabled_[Index(c->id)] || !visible_[Index(c->id)]) return false;
  return true;
}

void MainWindow::ApplyEnabled() {
  const Enabled e = EnabledIn(phase_, s_.MetricUnits, printerCount_);
  for (int i = 0; i < 6; ++i) SetEnabled(Element(Id::cbButton0, i), e.cbButton[static_cast<size_t>(i)]);
  SetEnabled(Id::btnControl, e.btnControl);
  for (size_t k = 0; k < kRows; ++k) SetEnabled(Element(Id::RFrm0, k), e.rows);
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
  view_.SetText(Id::frmMain, caption);
  view_.SetText(Id::AppTitle0, caption);
  view_.SetText(Id::AppTitle1, caption);
  SetCopyright(caption + kCopyrightNotice);
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
  view_.SetFocus(Id::cbButton0);
  view_.Flush();
  AskPrinterCount();
  if (waiting) {
    waitStart_ = setup_.now();
    view_.After(kLoadRetryMs, [this] { RetryLoad(); });
    return;
  }
  LoadFinished();
}

void MainWindow::SetCopyright(const std::string& text) {
  view_.SetText(Id::Copyright, text);
  const ControlLayout& layout = Layout().Control(Id::Copyright);
  platform::FontSpec small = layout.font;
  small.size = CopyrightPoints(view_.Measure(), text, Layout());
  view_.SetFont(Id::Copyright, small);
  view_.Move(Id::Copyright, AutoSized(layout, platform::PixelsToTwips(view_.Measure().Width(small, text))));
}

void MainWindow::AskPrinterCount() {
  // The count comes from a thread of its own that nothing waits for; the
  // window looks for the answer between its events.
  printerQuery_ = std::make_unique<platform::PrinterCountQuery>(view_.Printers().CountAsker());
  view_.After(kPrinterPollMs, [this] { PollPrinterCount(); });
}

void MainWindow::PollPrinterCount() {
  if (Ended() || !printerQuery_) return;
  if (!printerQuery_->Arrived()) {
    view_.After(kPrinterPollMs, [this] { PollPrinterCount(); });
    return;
  }
  PrinterCountKnown(printerQuery_->Count().value_or(0));
}

void MainWindow::PlaceFromSettings(const LoadResult& from) {
  const Rect& area = setup_.workArea;
  auto position = [&](const char* name, double fallback) {
    const std::string text = from.Text(name, LocaleNumberText(fallback));
    const auto v = LocaleToDouble(text);
    // The saved value as a single-precision number, as it was always kept.
    return static_cast<double>(static_cast<float>(v && std::isfinite(*v) && std::fabs(*v) < 1e30 ? *v : fallback));
  };
  const double top = position("ADKTop", area.top + (area.height - kDesignHeight) / 2);
  const double left = position("ADKLeft", area.left + (area.width - kDesignWidth) / 2);
  const WindowLayout& layout = Layout();
  Rect r{left, top, layout.width, layout.height};
  if (area.width > 0 && area.height > 0) r = KeepInside(r, area);  // the title and the close box always show
  view_.Place(r.left, r.top);
}

void MainWindow::RetryLoad() {
  if (phase_ != Phase::WaitingForStore) return;
  // Each try takes the lock only if it is free, so the window never waits on it.
  loaded_ = LoadData(store_, s_, 0, setup_.decimalPoint);
  const auto waited = setup_.now() - waitStart_;
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
  SetVisible(Id::Frame3, false);
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
  if (told.empty()) return PseudoCalc();
  ShowError("Saved Settings", told, [this] {
    if (!Ending()) PseudoCalc();
  });
}

void MainWindow::LoadTicks() {
  for (size_t k = 0; k < kRows; ++k) view_.SetTick(Element(Id::Ticked0, k), s_.Ticked[k]);
}

void MainWindow::Update_Boxes() {
  for (size_t k = 0; k < kRows; ++k) {
    view_.SetText(Element(Id::RTxt0, k), FormatNumber(s_.DataRange[k], "0"));
    view_.SetText(Element(Id::CTxt0, k), FormatNumber(s_.DataClicks[k], "0"));
  }
  RowStates();
}

void MainWindow::RowStates() {
  for (size_t k = 0; k < kRows; ++k) {
    const bool on = s_.IsTicked(static_cast<int>(k));
    SetEnabled(Element(Id::RTxt0, k), on);
    SetEnabled(Element(Id::CTxt0, k), on);
    SetVisible(Element(Id::ErrorInd0, k), on);
    DescribeRow(k);
  }
}

void MainWindow::ShowModelLabel(size_t row, const std::string& label) {
  view_.SetText(Element(Id::ErrorInd0, row), label);
  modelLabels_[row] = label;
  DescribeRow(row);
}

void MainWindow::DescribeRow(size_t row) {
  const bool ticked = s_.IsTicked(static_cast<int>(row));
  for (Id first : {Id::RTxt0, Id::CTxt0}) {
    const Id field = Element(first, row);
    view_.SetDescription(field, RowDescription(Layout().Control(field).toolTip, modelLabels_[row], ticked));
  }
}

void MainWindow::SetTickValue(int row, int value) {
  view_.SetTick(Element(Id::Ticked0, row), value);
  Ticked_Click(row, value);  // a tick box's handler runs whenever its value changes
}

void MainWindow::Ticked_Click(int row, int value) {
  if (row < 0 || row >= kRows) return;
  s_.Ticked[static_cast<size_t>(row)] = static_cast<int16_t>(value);
  RowStates();
  if (auto refused = TickRefusal(s_, row, setup_.exeName)) {
    // The tick is back before the refusal shows, so that a program ended
    // while it shows (a signal, a logout) saves three ticked rows.
    SetTickValue(row, 1);
    ShowError(refused->title, refused->body);
  }
}

void MainWindow::RangeDone(int row) {
  if (row < 0 || row >= kRows) return;
  const Id field = Element(Id::RTxt0, row);
  if (auto text = NormalisedRangeText(view_.Text(field))) view_.SetText(field, *text);
  for (size_t k = 0; k < kRows; ++k) ShowModelLabel(k, "(?)");
}

void MainWindow::PrinterCountKnown(int count) {
  printerCount_ = count;
  if (phase_ == Phase::Idle || phase_ == Phase::Loading) ApplyEnabled();
}

void MainWindow::PseudoCalc() {
  const Estimate e = vantorel::PseudoCalc(s_);
  modelUsable_ = !e.problem;
  for (size_t k = 0; k < kRows; ++k)
    if (e.labels[k]) ShowModelLabel(k, *e.labels[k]);
  Setup_P5();
  if (modelUsable_) {
    Update_P5();
    view_.SetDescription(Id::P0, GraphDescription(s_));
  }
  Update_ClickList();
  if (e.problem) ShowError(kModelErrorTitle, *e.problem + " Press Calculate to refit.");
}

void MainWindow::Setup_P5() {
  const ControlLayout &p0 = Layout().Control(Id::P0), &p5 = Layout().Control(Id::P5);
  vantorel::Setup_P5(s_, view_.P0(), view_.P5(), {p5.left, p5.top, p5.width, p5.height}, p0.height, graph_);
}

void MainWindow::Update_P5() { vantorel::Update_P5(s_, view_.P5(), graph_, 255); }

void MainWindow::Update_ClickList() {
  view_.SetToolTip(Id::ClickList, ClickListTooltip(s_));
  std::vector<std::string> lines = ClickListLines(s_);
  if (!modelUsable_) lines.resize(3);  // the heads only
  view_.SetLines(Id::ClickList, lines);
}

void MainWindow::Do_Units_Stuff() {
  SetEnabled(Id::cbButton3, s_.MetricUnits);
  SetEnabled(Id::cbButton4, !s_.MetricUnits);
  Update_Boxes();
}

void MainWindow::ShowPanel(const char* text) {
  view_.SetText(Id::Working, text);
  SetVisible(Id::Working, true);
  // In the middle of the window, over everything.
  const WindowLayout& layout = Layout();
  const ControlLayout& panel = layout.Control(Id::Frame3);
  view_.Move(Id::Frame3,
             Rect{(layout.width - panel.width) / 2, (layout.height - panel.height) / 2, panel.width, panel.height});
  SetVisible(Id::Frame3, true);
}

void MainWindow::Calculate() {
  if (!s_.FormReady || phase_ != Phase::Idle) return;
  view_.SetTimer1(false);
  // The control that has the focus gets it back after the fit (the commands
  // lose it while they are disabled, and the window keeps it meanwhile).
  focusBeforeFit_ = view_.Focused();
  RowTexts ranges, clicks;
  for (size_t k = 0; k < kRows; ++k) {
    ranges[k] = view_.Text(Element(Id::RTxt0, k));
    clicks[k] = view_.Text(Element(Id::CTxt0, k));
  }
  std::optional<Refusal> refused = CollectData(s_, ranges, clicks);
  if (!refused) {
    for (size_t k = 0; k < kRows; ++k) {
      view_.SetText(Element(Id::RTxt0, k), ranges[k]);
      view_.SetText(Element(Id::CTxt0, k), clicks[k]);
    }
    Update_Boxes();
    refused = Sanity_Check(s_);
  }
  if (refused) {
    ShowError(refused->title, refused->body);
    return;
  }
  if (setup_.saveOnFit) SaveQuietly([](const std::string&) {});
  BeginFit(s_);
  phase_ = Phase::Fitting;
  view_.SetFocus(Id::frmMain);
  ApplyEnabled();
  for (size_t k = 0; k < kRows; ++k) {
    ShowModelLabel(k, "(?)");
    SetVisible(Element(Id::ErrorInd0, k), s_.IsTicked(static_cast<int>(k)));
  }
  ShowPanel("Working");
  view_.SetTimer1(true);
  Setup_P5();
  fit_.emplace(s_);
  view_.Turn([this] { RunSlice(); });
}

void MainWindow::RunSlice() {
  if (!fit_) return;
  if (afterFit_ != AfterFit::Nothing) {
    // The window was closed (or reset) during the search: the model keeps
    // the best candidate found so far.
    fit_->Stop();
    return SearchEnded();
  }
  // Slices run back to back until this turn's time is up, and the window
  // system then gets its turn: a slice ends at every better model, and the
  // best of them is drawn once as the turn ends, so a turn that costs a lot
  // (Win32 under Wine, a browser) and the drawing are paid once per sliceMs
  // however many better models come.
  const auto turnEnds = setup_.now() + std::chrono::milliseconds(setup_.sliceMs);
  bool improved = false;
  for (;;) {
    Deadline budget(setup_.now, turnEnds);
    const FitJob::Slice slice = fit_->Run(budget);
    if (slice == FitJob::Slice::Improved) improved = true;
    if (slice == FitJob::Slice::Done || slice != FitJob::Slice::Improved || setup_.now() >= turnEnds) {
      if (improved) {
        Setup_P5();
        Update_P5();
      }
      if (slice == FitJob::Slice::Done) return SearchEnded();
      break;
    }
  }
  view_.Turn([this] { RunSlice(); });
}

void MainWindow::SearchEnded() {
  const FitReport report = fit_->report();
  fit_.reset();
  view_.SetTimer1(false);
  if (afterFit_ != AfterFit::Nothing) {
    // The window ends from here with the best model found so far.
    phase_ = Phase::Idle;
    if (afterFit_ == AfterFit::Reset)
      Reset();
    else
      Form_QueryUnload();
    return;
  }
  const FitFinish finish = FinishFit(s_);
  fitLabelsUsable_ = !finish.problem;
  fitLabels_ = finish.labels;
  fitError_ = report.bestError;
  fitProblem_ = report.problem ? report.problem : finish.problem;
  modelUsable_ = !finish.problem;
  // "Complete" stays a moment; the window then comes back to rest.
  phase_ = Phase::Complete;
  view_.SetText(Id::Working, "Complete");
  SetVisible(Id::Working, true);
  view_.Repaint(Id::Working);
  if (setup_.completePauseMs > 0)
    view_.After(setup_.completePauseMs, [this] { FinishCalculation(); });
  else
    FinishCalculation();
}

void MainWindow::FinishCalculation() {
  if (phase_ != Phase::Complete) return;
  SetVisible(Id::Frame3, false);
  if (fitLabelsUsable_)
    for (size_t k = 0; k < kRows; ++k) ShowModelLabel(k, fitLabels_[k]);
  Setup_P5();
  if (modelUsable_) {
    Update_P5();
    view_.SetDescription(Id::P0, GraphDescription(s_));
  }
  Update_ClickList();
  phase_ = Phase::Idle;
  ApplyEnabled();
  view_.DrawOutline();
  if (setup_.saveOnFit && afterFit_ == AfterFit::Nothing) SaveQuietly([](const std::string&) {});
  if (afterFit_ != AfterFit::Nothing) {  // closed or reset while "Complete" showed
    if (afterFit_ == AfterFit::Reset)
      Reset();
    else
      Form_QueryUnload();
    return;
  }
  if (!focusBeforeFit_ || *focusBeforeFit_ == Id::frmMain || !Usable(*focusBeforeFit_) ||
      !view_.SetFocus(*focusBeforeFit_))
    view_.SetFocus(Id::cbButton1);
  if (fitProblem_)
    ShowError(kModelErrorTitle, *fitProblem_);
  else if (fitLabelsUsable_)
    view_.Announce(FitAnnouncement(s_, fitError_, fitLabels_));
}

void MainWindow::cbButton_Click(int index) {
  if (phase_ != Phase::Idle || Modal()) return;
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
      const Id pressed = Element(Id::cbButton0, index);
      const Id other = Element(Id::cbButton0, index == kMetric ? kImperial : kMetric);
      SetEnabled(other, true);
      if (view_.Focused() == pressed) view_.SetFocus(other);
      s_.MetricUnits = index == kMetric;
      Do_Units_Stuff();
      view_.Repaint(Id::frmMain);
      cbButton_Click(kCalculate);
      break;
    }
    case kPrintList: Print_List(); break;
    default: break;
  }
}

void MainWindow::Clicked(Id control) {
  if (Ended() || Modal() || !Usable(control)) return;
  if (const auto i = IndexIn(control, Id::cbButton0)) return cbButton_Click(*i);
  if (const auto row = IndexIn(control, Id::Ticked0))
    return SetTickValue(*row, NextTickValue(s_.Ticked[static_cast<size_t>(*row)]));
  if (control == Id::btnControl) btnControl_Click();
}

bool MainWindow::KeyDown(std::optional<Id> focus, Key key, int shift) {
  if (Ended() || Modal()) return false;
  const bool plain = (shift & (kCtrl | kAlt)) == 0;
  switch (key) {
    case Key::Escape: CloseRequested(); return true;
    case Key::P:
      if (!(shift & kCtrl)) return false;
      // Only at rest, and only with a printer to print on.
      if (phase_ == Phase::Idle && printerCount_.value_or(0) > 0) Print_Window();
      return true;
    case Key::A:
      if (shift != kCtrl || !focus || !(IndexIn(*focus, Id::RTxt0) || IndexIn(*focus, Id::CTxt0))) return false;
      view_.SelectAll(*focus);
      return true;
    case Key::Tab:
      if (!plain) return false;
      Tab(focus, shift & kShift);
      return true;
    case Key::Enter:
    case Key::Space: {
      if (!plain || !focus) return false;
      const bool pressable = IndexIn(*focus, Id::cbButton0) || IndexIn(*focus, Id::Ticked0) || *focus == Id::btnControl;
      if (pressable) {
        // Enter acts on the focused button as Space does; Space also moves a tick box on.
        if (key == Key::Enter && IndexIn(*focus, Id::Ticked0)) return false;
        Clicked(*focus);
        return true;
      }
      if (key == Key::Space) return false;
      if (const auto row = IndexIn(*focus, Id::RTxt0)) RangeDone(*row);
      // Enter in a field moves nowhere and does not beep.
      return IndexIn(*focus, Id::RTxt0) || IndexIn(*focus, Id::CTxt0);
    }
    case Key::Other: break;
  }
  return false;
}

void MainWindow::Tab(std::optional<Id> from, bool back) {
  const std::vector<const ControlLayout*> stops = Layout().TabOrder();
  const int n = static_cast<int>(stops.size());
  int at = back ? n : -1;
  for (int i = 0; i < n; ++i)
    if (from && stops[static_cast<size_t>(i)]->id == *from) at = i;
  for (int step = 1; step <= n; ++step) {
    const int i = ((at + (back ? -step : step)) % n + n) % n;
    const Id id = stops[static_cast<size_t>(i)]->id;
    if (Usable(id) && view_.SetFocus(id)) return;
  }
}

void MainWindow::FocusLeft(Id field, bool toControl) {
  if (Ended()) return;
  // Leaving a field for another control tidies a range and shows the start
  // of the text; the window merely losing activation does neither.
  if (!toControl) return;
  if (const auto row = IndexIn(field, Id::RTxt0)) RangeDone(*row);
  if (IndexIn(field, Id::RTxt0) || IndexIn(field, Id::CTxt0)) view_.ShowStart(field);
}

void MainWindow::MouseDown(Id control, int button, int shift) {
  if (Ended() || Modal()) return;
  if ((control == Id::AppTitle0 || control == Id::AppTitle1) && button == kLeftButton) view_.StartDrag();
  if (control == Id::Copyright) Copyright_MouseDown(button, shift);
}

void MainWindow::MouseMove(Id over) {
  // The close box lights up under the mouse and rests everywhere else.
  SetCloseBox(over == Id::btnControl && Usable(Id::btnControl) ? kCloseBoxHover : kCloseBoxRest);
}

void MainWindow::SetCloseBox(platform::Colour c) {
  if (c == closeBox_) return;
  closeBox_ = c;
  view_.SetBackColour(Id::btnControl, c);
}

void MainWindow::Timer1_Timer() {
  if (blink_ >= 32767)
    blink_ = 0;
  else
    ++blink_;
  SetVisible(Id::Working, blink_ % 2 == 0);
}

void MainWindow::Copyright_MouseDown(int button, int shift) {
  if (button != kRightButton || shift != kShift || Ended() || phase_ == Phase::WaitingForStore) return;
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
    ShowStoreError(e, [this] { End(1); });
    return;
  }
  End(0);
}

bool MainWindow::CloseRequested() {
  if (Ended()) return true;
  if (phase_ == Phase::Fitting || phase_ == Phase::Complete) {
    // The search stops at its next slice; the window then closes.
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
    ShowBox(BoxKind::Critical, setup_.exeName, NotSavedMessage(loaded_), [this] { End(1); });
    return;
  }
  try {
    SaveData(store_, s_, setup_.decimalPoint);
  } catch (const std::exception& e) {
    ShowStoreError(e, [this] { End(1); });
    return;
  }
  End(0);
}

void MainWindow::SaveAtExit(const std::function<void(const std::string&)>& report) {
  if (Ended()) return;
  const bool waiting = phase_ == Phase::WaitingForStore;
  if (fit_) fit_->Stop();
  phase_ = Phase::Ended;
  if (!waiting) SaveQuietly(report);
}

void MainWindow::SaveNow(const std::function<void(const std::string&)>& report) {
  if (Ended() || phase_ == Phase::Loading || phase_ == Phase::WaitingForStore) return;
  if (fit_) {
    fit_->Stop();
    SearchEnded();
  }
  SaveQuietly(report);
}

void MainWindow::SaveFailed(const std::string& why) {
  if (Ended()) return;
  ShowBox(BoxKind::Critical, setup_.exeName,
          "The settings were not saved in " + store_.Location() + ":\n" + why +
              "\n\nThey are still in this window, and are saved again when you leave it.",
          {});
}

std::string MainWindow::SettingsFile() const {
  return SettingsFileText(s_, std::to_string(setup_.major) + "." + std::to_string(setup_.minor) + "." +
                                  std::to_string(setup_.patch));
}

void MainWindow::OpenSettingsFile(std::string_view text) {
  if (phase_ != Phase::Idle || Modal()) return;
  const SettingsFileRead read = ReadSettingsFile(text);
  if (read.refusal) return ShowError("Settings File", *read.refusal + " Nothing was changed.");
  TakeSettings(s_, read.values);
  LoadTicks();
  Do_Units_Stuff();
  ApplyEnabled();
  PseudoCalc();
  SaveQuietly([](const std::string&) {});
}

void MainWindow::SaveQuietly(const std::function<void(const std::string&)>& report) {
  if (!loaded_.MaySave()) return;  // what could not be read is not written over
  try {
    SaveData(store_, s_, setup_.decimalPoint);
  } catch (const RegistryError& e) {
    report(setup_.exeName + ": settings not saved: run-time error " + std::to_string(e.number()) + ": " +
           e.description() + " (source: " + e.source() + ") " + e.detail());
  } catch (const std::exception& e) {
    report(setup_.exeName + ": settings not saved: " + e.what());
  }
}

void MainWindow::ShowError(const std::string& title, const std::string& body, std::function<void()> then) {
  ++modals_;
  view_.ShowError(title, body, [this, then = std::move(then)] {
    --modals_;
    if (then) then();
  });
}

void MainWindow::ShowBox(BoxKind kind, const std::string& title, const std::string& text, std::function<void()> then) {
  ++modals_;
  view_.ShowBox(kind, title, text, [this, then = std::move(then)] {
    --modals_;
    if (then) then();
  });
}

void MainWindow::ShowStoreError(const std::exception& e, std::function<void()> then) {
  ShowBox(BoxKind::Critical, setup_.exeName, StoreErrorText(e), std::move(then));
}

void MainWindow::End(int status) {
  phase_ = Phase::Ended;
  exitStatus_ = status;
  view_.End(status);
}

void MainWindow::Save_CSV() {
  const CsvSave saved = SaveCsv(s_, setup_.exportFolder);
  if (!saved.ok) {
    ShowError("File Not Saved", saved.message);
    return;
  }
  FileSaved(saved.path, {});
}

void MainWindow::FileSaved(const std::string& path, std::function<void()> then) {
  ShowBox(BoxKind::Information, "File Saved", "File saved as\n" + path, std::move(then));
}

PrintNotices MainWindow::Notices() {
  return {[this](const std::string& why, std::function<void()> then) {
            ShowError("Print System", why, std::move(then));
          },
          [this](const std::string& path) { FileSaved(path, {}); }};
}

void MainWindow::Print_List() {
  ++modals_;  // the chooser may show; nothing else starts meanwhile
  WhenPrinterReady(s_, view_.Chooser(), Notices(), [this](bool ready) {
    --modals_;
    if (!ready || Ended()) return;
    if (auto problem = PrintListOnCurrentPrinter(s_, view_.Printers(), setup_.exeName, Notices()))
      ShowError("Printing Failed", *problem);
  });
}

void MainWindow::Print_Window() {
  ++modals_;
  WhenPrinterReady(s_, view_.Chooser(), Notices(), [this](bool ready) {
    --modals_;
    if (!ready || Ended()) return;
    // The window as it shows now, outline included.
    const platform::Image picture = view_.WindowPicture();
    if (auto problem = PrintWindowPicture(view_.Printers(), picture, setup_.exeName, Notices()))
      ShowError("Printing Failed", *problem);
  });
}

}  // namespace vantorel::app
