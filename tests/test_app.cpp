// The main window's behaviour without any window system: a recording view
// stands in for the front end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "app/layout.h"
#include "app/mainwindow.h"
#include "app/textfit.h"
#include "entry/rows.h"
#include "fake_printers.h"
#include "memory_store.h"
#include "settings/settings.h"

using namespace vantorel;
using app::Phase;

namespace {

// Text as wide as its length times its size, every line of the size's height
// times two; the graph's title (8.25 points) 100 pixels wide.
struct FakeMeasure : platform::TextMeasure {
  std::function<int(double)> notice = [](double) { return 0; };
  int Width(const platform::FontSpec& f, std::string_view) const override { return f.size == 8.25 ? 100 : notice(f.size); }
  int WrappedHeight(const platform::FontSpec& f, std::string_view t, int width) const override {
    return static_cast<int>(static_cast<double>(t.size()) * f.size * 10 / width);
  }
};

using app::Id;
using app::Key;

struct FakeView : app::MainView {
  std::map<Id, std::string> text, tip, description;
  std::map<Id, std::vector<std::string>> lines;
  std::set<Id> disabled, hidden;
  std::map<Id, int> ticks;
  std::vector<std::string> told;  // "title|body" of every modal window
  std::vector<std::function<void()>> closeTold;  // closes the modal windows, oldest first
  std::vector<std::pair<int, std::function<void()>>> later;
  std::vector<std::function<void()>> turns;
  std::optional<Id> focus;
  int ended = -1, drags = 0, graphDescribed = 0;
  std::vector<std::string> heard;  // what a screen reader was told to say
  test::Fake printers;  // one printer, never asked for: a printer is chosen already
  State chosen;
  app::PrinterChooser chooser{printers, chosen, printers};
  int Pages() const { return static_cast<int>(std::count(printers.log.begin(), printers.log.end(), "end")); }
  bool timer = false, shown = false;
  platform::Colour closeBox = 0;
  test::NullSurface<> p0, p5;

  void SetText(Id c, const std::string& t) override { text[c] = t; }
  std::string Text(Id c) const override { return text.count(c) ? text.at(c) : ""; }
  void SetLines(Id c, const std::vector<std::string>& l) override { lines[c] = l; }
  void SetToolTip(Id c, const std::string& t) override { tip[c] = t; }
  void SetDescription(Id c, const std::string& t) override { description[c] = t, graphDescribed += c == Id::P0; }
  void Announce(const std::string& t) override { heard.push_back(t); }
  void SetEnabled(Id c, bool on) override { on ? (void)disabled.erase(c) : (void)disabled.insert(c); }
  void SetVisible(Id c, bool on) override { on ? (void)hidden.erase(c) : (void)hidden.insert(c); }
  void SetTick(Id c, int value) override { ticks[c] = value; }
  bool SetFocus(Id c) override { return !disabled.count(c) && (focus = c, true); }
  std::optional<Id> Focused() const override { return focus; }
  void SelectAll(Id c) override { told.push_back("select " + app::Name(c)); }
  void ShowStart(Id) override {}
  void Move(Id, const app::Rect&) override {}
  void SetBackColour(Id, platform::Colour c) override { closeBox = c; }
  void Place(double, double) override {}
  void ShowWindow() override { shown = true; }
  void HideWindow() override { shown = false; }
  void Flush() override {}
  void Repaint(Id) override {}
  void DrawOutline() override {}
  FakeMeasure measure;
  std::map<Id, double> points;
  const platform::TextMeasure& Measure() const override { return measure; }
  void SetFont(Id c, const platform::FontSpec& f) override { points[c] = f.size; }
  void SetTimer1(bool on) override { timer = on; }
  void After(int ms, std::function<void()> then) override { later.emplace_back(ms, std::move(then)); }
  void Turn(std::function<void()> then) override { turns.push_back(std::move(then)); }
  void StartDrag() override { ++drags; }
  platform::Surface& P0() override { return p0; }
  platform::Surface& P5() override { return p5; }
  void ShowError(const std::string& title, const std::string& body, std::function<void()> then) override {
    told.push_back(title + "|" + body), closeTold.push_back(std::move(then));
  }
  void ShowBox(app::BoxKind, const std::string& title, const std::string& t, std::function<void()> then) override {
    told.push_back(title + "|" + t), closeTold.push_back(std::move(then));
  }
  platform::PrintService& Printers() override { return printers; }
  app::PrinterChooser& Chooser() override { return chooser; }
  platform::Image WindowPicture() override { return {2, 2, 1.0, std::vector<uint32_t>(4, 0xFF0000FF)}; }
  void End(int status) override { ended = status; }
  bool Enabled(Id c) const { return !disabled.count(c); }

  // Runs the pending turns, each of which may ask for the next, up to limit of them; how many ran.
  int RunTurns(int limit = 1 << 30) {
    int n = 0;
    while (!turns.empty() && n < limit) {
      auto next = std::move(turns.front());
      turns.erase(turns.begin());
      next(), ++n;
    }
    return n;
  }
  // Closes every modal window shown so far, in order.
  void CloseAll() {
    for (size_t k = 0; k < closeTold.size(); ++k)
      if (auto then = std::exchange(closeTold[k], nullptr)) then();
  }
};

app::MainWindow::Setup WindowSetup(std::string exe, std::string folder, int major, int minor, int patch) {
  app::MainWindow::Setup setup;
  setup.exeName = std::move(exe), setup.exportFolder = std::move(folder);
  setup.major = major, setup.minor = minor, setup.patch = patch;
  // Every slice of the search is a single candidate; the clock never moves.
  setup.sliceMs = 0;
  setup.now = [] { return std::chrono::steady_clock::time_point{}; };
  return setup;
}

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() / ("vantorel-app-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(dir);
    s.SettingsPath = BuildSettingsPath("Vantorel");
    w = std::make_unique<app::MainWindow>(s, store, v, WindowSetup("Vantorel", dir.string(), 1, 2, 3));
    v.printers.names = {"Alpha", "Bravo"};
    w->Form_Load();
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::filesystem::path dir;
  State s;
  FakeView v;
  test::MemoryStore store;
  std::unique_ptr<app::MainWindow> w;
};

}  // namespace

TEST(AppRules, EnabledControlsInEveryPhase) {
  using E = app::Enabled;
  auto buttons = [](const E& e) { return std::vector<bool>(e.cbButton.begin(), e.cbButton.end()); };
  // At rest: every command but the unit in use, the outputs once a printer is known.
  EXPECT_EQ(buttons(app::EnabledIn(Phase::Idle, false, std::nullopt)), (std::vector<bool>{1, 1, 0, 0, 1, 0}));
  EXPECT_EQ(buttons(app::EnabledIn(Phase::Idle, true, 0)), (std::vector<bool>{1, 1, 0, 1, 0, 0}));
  EXPECT_EQ(buttons(app::EnabledIn(Phase::Loading, false, 2)), (std::vector<bool>{1, 1, 1, 0, 1, 1}));
  for (Phase p : {Phase::Fitting, Phase::Complete, Phase::WaitingForStore}) {
    const E e = app::EnabledIn(p, false, 2);
    EXPECT_EQ(buttons(e), std::vector<bool>(6, false));
    EXPECT_EQ(e.btnControl, p == Phase::WaitingForStore);  // only the close box while the store is awaited
    EXPECT_FALSE(e.rows);
  }
  EXPECT_EQ((std::vector<int>{NextTickValue(0), NextTickValue(1), NextTickValue(2)}), (std::vector<int>{1, 0, 0}));
}

TEST(AppRules, LayoutsNameEveryControlOnceInsideAKnownParent) {
  std::set<Id> all;
  for (const app::WindowLayout* l : {&app::MainWindowLayout(), &app::ErrorWindowLayout(), &app::PrinterChooserLayout()}) {
    std::set<Id> seen{l->id};
    for (const app::ControlLayout& c : l->controls) {
      EXPECT_EQ(std::pair(seen.count(c.parent), app::WindowOf(c.id)), std::pair(size_t{1}, l->id)) << c.name;
      EXPECT_EQ(std::pair(seen.insert(c.id).second, c.name), std::pair(true, app::Name(c.id))) << c.name;
    }
    all.insert(seen.begin(), seen.end());
  }
  EXPECT_EQ(all.size(), app::kIdCount);  // every id is a control of one window
  // The tab order: the user scenarios.
  EXPECT_THROW(app::Element(Id::RTxt0, 6), std::out_of_range);
  EXPECT_EQ(app::IndexIn(Id::CTxt0, Id::RTxt0), std::nullopt);
}

TEST(AppRules, PlacementStaysOnTheWorkArea) {
  const app::Rect screen{0, 0, 20490, 11520};  // 1366 x 768 pixels
  // Centred over the owner, then moved back onto the work area.
  EXPECT_EQ(app::PlaceOver(app::Rect{1000, 1000, 9000, 6000}, screen, 3000, 2000), (app::Rect{4000, 3000, 3000, 2000}));
  EXPECT_EQ(app::PlaceOver(app::Rect{18000, 10000, 2000, 1000}, screen, 3000, 2000), (app::Rect{17490, 9500, 3000, 2000}));
  EXPECT_EQ(app::PlaceOver(screen, screen, 17640, 13170), (app::Rect{1425, 0, 17640, 13170}));  // taller: the top shows
  EXPECT_EQ(app::KeepInside(app::Rect{-500, -840, 300, 200}, screen), (app::Rect{0, 0, 300, 200}));
}

TEST(AppRules, TextSizesFollowTheirText) {
  // The copyright line ends 6 pixels clear of the title's end: 446 - (232 + 50 + 6) = 158 pixels of room.
  FakeMeasure m;
  for (auto [at675, expected] : {std::pair{158, 6.75}, {159, 6.5}, {170, 6.5}, {171, 6.25}, {400, 5.0}}) {
    m.notice = [at = at675](double size) { return at - static_cast<int>((6.75 - size) * 48); };
    EXPECT_EQ(app::CopyrightPoints(m, "notice"), expected) << at675;
  }
  // The error body: 242 pixels wide and 73 high at 12 points; the window but
  // the body takes 105 pixels of the screen; a scroll bar 17. 148 characters fill the area exactly.
  using Case = std::tuple<size_t, int, double, int, int, bool>;  // length, screen, size, line width, area, scrolls
  for (const auto& [length, screen, size, width, area, scrolls] : {Case{148, 600, 12, 242, 73, false}, {160, 600, 11, 242, 73, false},
       {250, 600, 9, 242, 92, false}, {2000, 600, 9, 225, 495, true}, {2000, 100, 9, 225, 73, true}}) {
    const app::ErrorBodyFit f = app::FitErrorBody(m, std::string(length, 'x'), screen, 17);
    EXPECT_EQ(std::tuple(f.font.size, f.font.name, f.lineWidth, f.areaHeight, f.scrolls, f.areaTwips - 1095, f.closeTopTwips - 2010, f.windowTwips - 2670),
              std::tuple(size, std::string("Tahoma"), width, area, scrolls, (area - 73) * 15.0, (area - 73) * 15.0, (area - 73) * 15.0)) << length;
  }
}

TEST_F(AppTest, LoadShowsTheEstimateAndTheCaption) {
  EXPECT_EQ(v.text[Id::frmMain] + v.text[Id::AppTitle1] + v.text[Id::ErrorInd0] + v.text[Id::RTxt5], "Vantorel V1.2.3Vantorel V1.2.3(52)55");
  EXPECT_EQ(std::tuple(v.shown, v.focus, s.FormReady, v.told), std::tuple(true, Id::cbButton0, true, std::vector<std::string>{}));
  EXPECT_FALSE(v.Enabled(Id::cbButton5) || v.Enabled(Id::cbButton3));  // no printer count yet; imperial in use
  EXPECT_EQ(v.description[Id::P0].substr(0, 68), "Graph showing Clicks v. Range (Yard): the model's clicks, 52 at 10, ");
  EXPECT_EQ(v.lines[Id::ClickList].at(3), " 10:52  (52)");
  // The printer count is asked once the window shows, and looked for until known.
  ASSERT_FALSE(v.later.empty());
  EXPECT_EQ(v.later.back().first, app::MainWindow::kPrinterPollMs);
  w->PrinterCountKnown(1);
  EXPECT_EQ(std::pair(v.Enabled(Id::cbButton5), v.Enabled(Id::cbButton2)), std::pair(true, true));
}

// A store another program holds: the window shows, blinks "Waiting" with only
// the close box usable, and takes the settings once the lock is free.
TEST(AppWait, ALockedStoreIsTriedAgainUntilFree) {
  State s;
  s.SettingsPath = BuildSettingsPath("Vantorel");
  test::MemoryStore store;
  SaveRegSetting(store, s.SettingsPath, "R(5)", "60");
  store.lockedReads = 3;
  FakeView v;
  auto setup = WindowSetup("Vantorel", "", 1, 0, 0);
  int64_t clock = 0;
  setup.now = [&] { return std::chrono::steady_clock::time_point{} + std::chrono::milliseconds(clock); };
  app::MainWindow w(s, store, v, setup);
  w.Form_Load();
  EXPECT_EQ(std::tuple(w.phase(), v.shown, v.timer, v.text[Id::Working], v.Enabled(Id::cbButton0), v.Enabled(Id::btnControl)), std::tuple(Phase::WaitingForStore, true, true, "Waiting", false, true));
  for (size_t k = 0; k < v.later.size(); ++k) clock += 100, v.later[k].second();  // each retry schedules the next
  EXPECT_EQ(std::tuple(w.phase(), v.timer, v.hidden.count(Id::Frame3), v.Enabled(Id::cbButton0), v.told), std::tuple(Phase::Idle, false, 1u, true, std::vector<std::string>{}));
  EXPECT_EQ(v.text[Id::RTxt5], "60");
}

TEST_F(AppTest, CalculateRunsInSlicesThenShowsCompleteForAWhile) {
  w->PrinterCountKnown(1);
  v.focus = Id::RTxt2;
  v.later.clear();
  w->Clicked(Id::cbButton1);
  EXPECT_EQ(w->phase(), Phase::Fitting);
  for (Id c : {Id::cbButton0, Id::cbButton1, Id::btnControl, Id::RFrm0}) EXPECT_FALSE(v.Enabled(c)) << app::Name(c);
  EXPECT_EQ(std::tuple(v.text[Id::Working], v.timer, v.text[Id::ErrorInd0], v.focus, v.description[Id::RTxt0]),
            std::tuple("Working", true, "(?)", Id::frmMain, "Range #1. Model clicks here: not yet calculated."));
  const int described = v.graphDescribed;
  // Nothing prints, starts or presses meanwhile; the keys are taken all the same.
  EXPECT_EQ((std::pair{w->KeyDown(Id::frmMain, Key::P, app::kCtrl), w->KeyDown(std::nullopt, Key::Enter, 0)}), std::pair(true, false));  // braced: evaluated in order
  w->Clicked(Id::cbButton1);
  EXPECT_EQ(v.Pages(), 0);
  // The view's clock never moves: every slice is one look at the clock's worth of candidates.
  const int slices = v.RunTurns();
  EXPECT_GT(slices, 1000);
  // "Complete" stays half a second: a timed state, nothing waits.
  ASSERT_EQ(v.later.size(), 1u);
  EXPECT_EQ(v.later[0].first, 500);
  EXPECT_EQ(std::tuple(w->phase(), v.text[Id::Working], v.timer, v.Enabled(Id::cbButton1)), std::tuple(Phase::Complete, "Complete", false, false));
  w->Clicked(Id::cbButton1);  // nothing starts meanwhile
  EXPECT_EQ(std::pair(v.later.size(), v.turns.size()), std::pair(size_t{1}, size_t{0}));
  v.later[0].second();
  EXPECT_EQ(std::tuple(w->phase(), v.Enabled(Id::cbButton1), v.hidden.count(Id::Frame3), v.focus), std::tuple(Phase::Idle, true, 1u, Id::RTxt2));
  // Said once, at the end; the graph described once, at the end, not at each better model.
  EXPECT_EQ(std::tuple(v.text[Id::ErrorInd5], v.description[Id::CTxt5], v.graphDescribed - described, v.heard),
            std::tuple("(43)", "Clicks @ Range #6. Model clicks here: 43.", 1, std::vector<std::string>{
                "Complete: fit error 5.83; model clicks at 10, 20, 30, 40, 50 and 55 yards: 52, 0, -1, 12, 32 and 43."}));
  EXPECT_EQ(v.lines[Id::ClickList].at(3), " 10:52  (52)");
  s.PrinterChosen = true;
  EXPECT_EQ((std::pair{w->KeyDown(Id::RTxt2, Key::P, app::kCtrl), v.Pages()}), std::pair(true, 1));  // Ctrl+P at rest, with a printer; braced: evaluated in order
  w->Clicked(Id::cbButton5);
  EXPECT_EQ(v.Pages(), 2);
}

TEST_F(AppTest, ClosingDuringTheFitOrItsCompletePauseEndsOnceItStops) {
  w->Clicked(Id::cbButton1);
  v.RunTurns(3);
  // Esc with the focus nowhere (the focused button was disabled by the fit).
  EXPECT_TRUE(w->KeyDown(std::nullopt, Key::Escape, 0));
  EXPECT_FALSE(w->Ended());
  EXPECT_EQ(v.RunTurns(), 1);  // stopped at the next slice
  EXPECT_EQ(std::tuple(w->Ended(), v.ended, v.shown), std::tuple(true, 0, false));
  EXPECT_EQ(GetRegSetting(store, s.SettingsPath, "R(0)", "none"), "10");  // saved on the way out
}

TEST_F(AppTest, TicksRowsUnitsAndBlink) {
  for (int row : {0, 1, 2}) w->Clicked(app::Element(Id::Ticked0, row));
  EXPECT_EQ(std::tuple(v.told, v.Enabled(Id::RTxt0), v.hidden.count(Id::ErrorInd2), v.ticks[Id::Ticked2], v.description[Id::CTxt0]),
            std::tuple(std::vector<std::string>{}, false, 1u, 0, "Clicks @ Range #1. Not used in the fit."));
  w->Clicked(Id::Ticked3);  // a fourth would leave two: ticked again, and said
  EXPECT_EQ(v.told, std::vector<std::string>{"More Ranges Needed|Vantorel needs at least three enabled ranges to generate a list."});
  EXPECT_EQ(std::tuple(s.Ticked[3], v.ticks[Id::Ticked3], v.Enabled(Id::CTxt3)), std::tuple(1, 1, true));
  v.CloseAll();
  v.text[Id::RTxt4] = "-12.5abc";
  w->FocusLeft(Id::RTxt4, true);
  EXPECT_EQ(v.text[Id::RTxt4] + v.text[Id::ErrorInd0], "12(?)");
  w->FocusLeft(Id::RTxt3, false);  // another program took the focus: the range is left as typed
  for (bool shown : {false, true, false}) {
    w->Timer1_Timer();
    EXPECT_EQ(!v.hidden.count(Id::Working), shown);
  }
  w->MouseDown(Id::Copyright, 2, 3);  // not the reset: with Ctrl too
  w->MouseDown(Id::AppTitle1, app::kLeftButton, 0);
  EXPECT_EQ(std::pair(w->Ended(), v.drags), std::pair(false, 1));
  EXPECT_EQ((std::tuple{w->KeyDown(Id::cbButton3, Key::Escape, 0), w->Ended(), v.ended}), std::tuple(true, true, 0));  // braced: evaluated in order
}

// The keys the user scenarios do not press (the rest: the user scenarios).
TEST_F(AppTest, KeysTabAndTheCloseBox) {
  EXPECT_EQ((std::pair{w->KeyDown(Id::cbButton0, Key::Tab, 0), v.focus}), std::pair(true, std::optional(Id::cbButton1)));  // Print List waits for a printer; braced: evaluated in order
  EXPECT_FALSE(w->KeyDown(Id::RTxt0, Key::Tab, app::kCtrl) || w->KeyDown(Id::Ticked1, Key::Enter, 0));
  EXPECT_FALSE(w->KeyDown(Id::RTxt0, Key::Space, 0));
  EXPECT_TRUE(w->KeyDown(Id::CTxt2, Key::A, app::kCtrl) && v.told.back() == "select CTxt(2)");
  EXPECT_FALSE(w->KeyDown(Id::cbButton0, Key::A, app::kCtrl));
  EXPECT_EQ((std::pair{w->KeyDown(Id::btnControl, Key::Space, 0), w->Ended()}), std::pair(true, true));  // braced: evaluated in order
}

TEST_F(AppTest, ARefusedRangeChangesNothingAndTheWindowTakesNothingMeanwhile) {
  const auto list = v.lines[Id::ClickList];
  v.text[Id::RTxt3] = "201";  // refused (the words: the user scenarios)
  w->Clicked(Id::cbButton1);
  EXPECT_EQ(std::tuple(v.told.size(), v.lines[Id::ClickList], v.text[Id::ErrorInd1], w->phase(), v.turns.size()), std::tuple(1u, list, "(1)", Phase::Idle, 0u));
  // While the error window shows, the main window takes nothing.
  EXPECT_FALSE(w->KeyDown(Id::cbButton0, Key::Escape, 0));
  w->Clicked(Id::cbButton0), w->MouseDown(Id::Copyright, app::kRightButton, app::kShift);  // nor the reset
  EXPECT_FALSE(w->Ended());
  v.CloseAll();  // the reset itself: the user scenarios
}
