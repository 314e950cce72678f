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

struct FakeView : app::MainView {
  std::map<std::string, std::string> text, tip;
  std::set<std::string> disabled, hidden;
  std::vector<std::string> told;  // "title|body" of every modal window
  std::vector<std::pair<int, std::function<void()>>> later;
  std::function<void()> onTurn;
  std::string focus;
  int turns = 0, ended = -1;
  test::Fake printers;  // one printer, never asked for: a printer is chosen already
  State chosen;
  app::PrinterChooser chooser{printers, chosen, printers};
  int Pages() const { return static_cast<int>(std::count(printers.log.begin(), printers.log.end(), "end")); }
  bool timer = false, shown = false;
  app::MainWindow* w = nullptr;
  test::NullSurface<> p0, p5;

  void SetText(const std::string& c, const std::string& t) override { text[c] = t; }
  std::string Text(const std::string& c) const override { return text.count(c) ? text.at(c) : ""; }
  void SetToolTip(const std::string& c, const std::string& t) override { tip[c] = t; }
  void SetDescription(const std::string& c, const std::string& t) override { tip[c + ".description"] = t; }
  void SetEnabled(const std::string& c, bool on) override { on ? (void)disabled.erase(c) : (void)disabled.insert(c); }
  void SetVisible(const std::string& c, bool on) override { on ? (void)hidden.erase(c) : (void)hidden.insert(c); }
  void SetTick(int row, int value) override { w->Ticked_Click(row, value); }
  bool SetFocus(const std::string& c) override { return !disabled.count(c) && (focus = c, true); }
  std::string Focused() const override { return focus; }
  void Place(double, double) override {}
  void CentreStatusPanel() override {}
  void ShowWindow() override { shown = true; }
  void HideWindow() override { shown = false; }
  void Flush() override {}
  void Repaint(const std::string&) override {}
  void DrawOutline() override {}
  FakeMeasure measure;
  std::map<std::string, double> points;
  const platform::TextMeasure& Measure() const override { return measure; }
  void SetFont(const std::string& c, const platform::FontSpec& f) override { points[c] = f.size; }
  void SetTimer1(bool on) override { timer = on; }
  void After(int ms, std::function<void()> then) override { later.emplace_back(ms, std::move(then)); }
  void TurnEventLoop() override {
    ++turns;
    if (onTurn) onTurn();
  }
  platform::Surface& P0() override { return p0; }
  platform::Surface& P5() override { return p5; }
  void ShowError(const std::string& title, const std::string& body) override { told.push_back(title + "|" + body); }
  void ShowBox(app::BoxKind, const std::string& title, const std::string& t) override { told.push_back(title + "|" + t); }
  platform::PrintService& Printers() override { return printers; }
  app::PrinterChooser& Chooser() override { return chooser; }
  platform::Image WindowPicture() override { return {2, 2, 1.0, std::vector<uint32_t>(4, 0xFF0000FF)}; }
  void End(int status) override { ended = status; }
  bool Enabled(const std::string& c) const { return !disabled.count(c); }
};

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() / ("vantorel-app-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(dir);
    s.SettingsPath = BuildSettingsPath("Vantorel");
    w = std::make_unique<app::MainWindow>(s, store, v, app::MainWindow::Setup{"Vantorel", dir.string(), 1, 2, 3, 19200, 14400});
    v.w = w.get();
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
  for (const app::WindowLayout* l : {&app::MainWindowLayout(), &app::ErrorWindowLayout()}) {
    std::set<std::string> seen;
    for (const app::ControlLayout& c : l->controls) {
      EXPECT_TRUE(c.parent.empty() || seen.count(c.parent)) << c.name;
      EXPECT_TRUE(seen.insert(c.name).second) << c.name;
    }
  }
  std::string order;
  for (const app::ControlLayout* c : app::MainWindowLayout().TabOrder()) order += c->name + " ";
  EXPECT_TRUE(order.starts_with("cbButton(0) cbButton(5) cbButton(1) cbButton(4) cbButton(3) RTxt(0) CTxt(0) RTxt(1) ")) << order;
  EXPECT_TRUE(order.ends_with("CTxt(5) Ticked(5) Ticked(4) Ticked(3) Ticked(2) Ticked(1) Ticked(0) ClickList cbButton(2) ")) << order;
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
  EXPECT_EQ(v.text["frmMain"] + v.text["AppTitle(1)"] + v.text["ErrorInd(0)"] + v.text["RTxt(5)"], "Vantorel V1.2.3Vantorel V1.2.3(52)55");
  EXPECT_TRUE(v.shown && v.focus == "cbButton(0)" && s.FormReady && v.told.empty());
  EXPECT_FALSE(v.Enabled("cbButton(5)") || v.Enabled("cbButton(3)"));  // no printer count yet; imperial in use
  EXPECT_EQ(v.tip["P0.description"].substr(0, 68), "Graph showing Clicks v. Range (Yard): the model's clicks, 52 at 10, ");
  w->PrinterCountKnown(1);
  EXPECT_TRUE(v.Enabled("cbButton(5)") && v.Enabled("cbButton(2)"));
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
  app::MainWindow w(s, store, v, app::MainWindow::Setup{"Vantorel", "", 1, 0, 0, 19200, 14400});
  v.w = &w;
  w.Form_Load();
  EXPECT_TRUE(w.phase() == Phase::WaitingForStore && v.shown && v.timer && v.text["Working"] == "Waiting" && !v.Enabled("cbButton(0)") && v.Enabled("btnControl"));
  for (size_t k = 0; k < v.later.size(); ++k) v.later[k].second();  // each retry schedules the next
  EXPECT_TRUE(w.phase() == Phase::Idle && !v.timer && v.hidden.count("Frame3") && v.Enabled("cbButton(0)") && v.told.empty());
  EXPECT_EQ(v.text["RTxt(5)"], "60");
}

TEST_F(AppTest, CalculateTurnsOncePerCandidateThenShowsCompleteForAWhile) {
  w->PrinterCountKnown(1);
  v.focus = "RTxt(2)";
  v.onTurn = [&] {
    if (v.turns > 1) return;
    EXPECT_EQ(w->phase(), Phase::Fitting);
    for (const char* c : {"cbButton(0)", "cbButton(1)", "btnControl", "RFrm(0)"}) EXPECT_FALSE(v.Enabled(c)) << c;
    EXPECT_TRUE(v.text["Working"] == "Working" && v.timer && v.text["ErrorInd(0)"] == "(?)");
    EXPECT_FALSE(w->Form_KeyDown(80, 2) && v.Pages());  // no printing meanwhile
  };
  w->cbButton_Click(kCalculate);
  EXPECT_GT(v.turns, 1000);
  // "Complete" stays half a second: a timed state, nothing waits.
  ASSERT_EQ(v.later.size(), 1u);
  EXPECT_EQ(v.later[0].first, 500);
  EXPECT_TRUE(w->phase() == Phase::Complete && v.text["Working"] == "Complete" && !v.timer && !v.Enabled("cbButton(1)"));
  w->cbButton_Click(kCalculate);  // nothing starts meanwhile
  EXPECT_EQ(v.later.size(), 1u);
  v.later[0].second();
  EXPECT_TRUE(w->phase() == Phase::Idle && v.Enabled("cbButton(1)") && v.hidden.count("Frame3") && v.focus == "RTxt(2)");
  EXPECT_EQ(v.text["ErrorInd(5)"], "(43)");
  EXPECT_EQ(v.text["ClickList"].substr(0, 28), "  R C  \n Yd Clk\n\n 10:52  (52");
  s.PrinterChosen = true;
  EXPECT_TRUE(w->Form_KeyDown(80, 2) && v.Pages() == 1);  // Ctrl+P at rest, with a printer
  w->cbButton_Click(kPrintList);
  EXPECT_EQ(v.Pages(), 2);
}

TEST_F(AppTest, ClosingDuringTheFitOrItsCompletePauseEndsOnceItStops) {
  v.onTurn = [&] { EXPECT_FALSE(w->CloseRequested()); };
  w->cbButton_Click(kCalculate);
  EXPECT_EQ(v.turns, 1);  // stopped at the next candidate
  EXPECT_TRUE(w->Ended() && v.ended == 0 && !v.shown);
  EXPECT_EQ(GetRegSetting(store, s.SettingsPath, "R(0)", "none"), "10");  // saved on the way out
}

TEST_F(AppTest, TicksRowsUnitsAndBlink) {
  for (int row : {0, 1, 2}) w->Ticked_Click(row, 0);
  EXPECT_TRUE(v.told.empty() && !v.Enabled("RTxt(0)") && v.hidden.count("ErrorInd(2)"));
  w->Ticked_Click(3, 0);  // a fourth would leave two: ticked again, and said
  EXPECT_EQ(v.told, std::vector<std::string>{"More Ranges Needed|Vantorel needs at least three enabled ranges to generate a list."});
  EXPECT_TRUE(s.Ticked[3] == 1 && v.Enabled("CTxt(3)"));
  v.text["RTxt(4)"] = "-12.5abc";
  w->RangeDone(4);
  EXPECT_EQ(v.text["RTxt(4)"] + v.text["ErrorInd(0)"], "12(?)");
  v.focus = "cbButton(4)";
  w->cbButton_Click(kMetric);
  ASSERT_EQ(v.later.size(), 1u);
  v.later[0].second();
  EXPECT_TRUE(s.MetricUnits && v.focus == "cbButton(3)" && !v.Enabled("cbButton(4)") && v.Enabled("cbButton(3)"));
  for (bool shown : {false, true, false}) {
    w->Timer1_Timer();
    EXPECT_EQ(!v.hidden.count("Working"), shown);
  }
  for (auto [button, shift] : {std::pair{2, 3}, {2, 0}, {1, 1}}) w->Copyright_MouseDown(button, shift);  // not the reset
  EXPECT_FALSE(w->Ended());
  EXPECT_TRUE(w->Form_KeyDown(27, 0) && w->Ended() && v.ended == 0);
}

TEST_F(AppTest, ARefusedRangeChangesNothingAndTheResetForgetsEverything) {
  const std::string list = v.text["ClickList"];
  v.text["RTxt(3)"] = "201";
  w->cbButton_Click(kCalculate);
  EXPECT_EQ(v.told, std::vector<std::string>{"Range Error|Ranges must be greater than zero but no greater than 100 Yards."});
  EXPECT_TRUE(v.text["ClickList"] == list && v.text["ErrorInd(1)"] == "(1)" && w->phase() == Phase::Idle && v.later.empty());
  SaveData(store, s);
  w->Copyright_MouseDown(2, 1);  // Shift with a right click: the settings go, nothing is saved
  EXPECT_TRUE(w->Ended() && v.ended == 0 && GetRegSetting(store, s.SettingsPath, "R(0)", "none") == "none");
}
