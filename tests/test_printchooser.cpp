// The printer chooser's decisions and the print commands, over a print
// service and a chooser window of the test's own: no print system, no
// window system.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>

#include "app/layout.h"
#include "app/printcommands.h"
#include "app/printerchooser.h"
#include "model/clicktable.h"

using namespace vantorel;
using app::PrinterChooser;

namespace {

// What happened, in order: "job", "picture x y w h", "end", "list a,b|1",
// "warn title|text", "modal", "hide", "colour c", "unanswered why", "saved path".
using Log = std::vector<std::string>;

std::string Num(double v) { return std::to_string(static_cast<int64_t>(v)); }

// A page 11180 by 16120 twips (unless told otherwise) that writes down pictures and its end.
class FakeJob : public platform::PrintJob {
 public:
  FakeJob(Log& log, double w, double h, std::optional<std::string> end, std::string saved)
      : log_(log), w_(w), h_(h), end_(std::move(end)), saved_(std::move(saved)) {}
  double ScaleWidth() const override { return w_; }
  double ScaleHeight() const override { return h_; }
  void Cls() override {}
  void Line(double, double, double, double, platform::Colour) override {}
  void Box(double, double, double, double, platform::Colour) override {}
  void PSet(double x, double y, platform::Colour) override { curX_ = x, curY_ = y; }
  void Circle(double, double, double, platform::Colour) override {}
  double TextWidth(std::string_view t) const override { return 120.0 * static_cast<double>(t.size()); }
  double TextHeight(std::string_view) const override { return 240; }
  void Print(std::string_view, bool) override {}
  void PrintRotated(std::string_view, const platform::FontSpec&, double, int) override {}
  int DpiY() const override { return 600; }
  void DrawPicture(const platform::Image&, double x, double y, double w, double h) override {
    log_.push_back("picture " + Num(x) + " " + Num(y) + " " + Num(w) + " " + Num(h));
  }
  std::optional<std::string> EndDoc() override { return log_.push_back("end"), end_; }
  std::string SavedAs() const override { return saved_; }

 private:
  Log& log_;
  double w_, h_;
  std::optional<std::string> end_;
  std::string saved_;
};

class FakeService : public platform::PrintService {
 public:
  FakeService(Log& log, std::vector<std::string> names, int current) : log_(log), names_(std::move(names)), current_(current) {}
  std::vector<std::string> Printers() const override { return names_; }
  std::optional<std::string> Unanswered() const override { return unanswered; }
  std::function<int()> CountAsker() const override {
    return [n = static_cast<int>(names_.size())] { return n; };
  }
  std::string CurrentDeviceName() const override {
    return current_ >= 0 && current_ < static_cast<int>(names_.size()) ? names_[static_cast<size_t>(current_)] : "";
  }
  void SetCurrent(int i) override {
    if (i >= 0 && i < static_cast<int>(names_.size())) current_ = i;
  }
  std::unique_ptr<platform::PrintJob> StartJob(const std::string&) override {
    log_.push_back("job");
    return std::make_unique<FakeJob>(log_, page[0], page[1], endDoc, savedAs);
  }
  int current() const { return current_; }

  std::optional<std::string> unanswered;
  std::array<double, 2> page{11180, 16120};
  std::optional<std::string> endDoc;
  std::string savedAs;

 private:
  Log& log_;
  std::vector<std::string> names_;
  int current_;
};

// The window: user acts on the chooser while it is shown, as a user would.
class FakeView : public app::PrinterChooserView {
 public:
  explicit FakeView(Log& log) : log_(log) {}
  void ShowPrinters(const std::vector<std::string>& names, int sel) override {
    std::string all;
    for (const std::string& n : names) all += (all.empty() ? "" : ",") + n;
    log_.push_back("list " + all + "|" + std::to_string(sel));
    selected = sel;
  }
  int SelectedPrinter() const override { return selected; }
  void Warn(const std::string& title, const std::string& text) override { log_.push_back("warn " + title + "|" + text); }
  void SetCloseBoxColour(platform::Colour c) override { log_.push_back("colour " + std::to_string(c)); }
  void RunModal() override {
    log_.push_back("modal");
    if (user) user();
  }
  void Hide() override { log_.push_back("hide"); }

  int selected = -1;
  std::function<void()> user;

 private:
  Log& log_;
};

struct Rig {
  Log log;
  State state = [] {
    State s = DefaultState();
    PseudoCalc(s);
    return s;
  }();
  FakeService service;
  FakeView view{log};
  PrinterChooser chooser{service, state, view};
  explicit Rig(std::vector<std::string> names = {"Alpha", "Bravo", "Charlie"}, int current = 1)
      : service(log, std::move(names), current) {}
};

}  // namespace

TEST(PrinterChooser, ListsTheCollectionAndSelectsTheCurrentPrinter) {
  const struct {
    std::vector<std::string> names;
    int current;
    std::string shown;
    int start;
  } cases[] = {
      {{"Alpha", "Bravo", "Charlie"}, 1, "list Alpha,Bravo,Charlie|1", 1},
      {{"Alpha", "Bravo", "Bravo", "Charlie"}, 1, "list Alpha,Bravo,Bravo,Charlie|2", 2},  // the last of equal names
      {{"Alpha", "Bravo"}, -1, "list Alpha,Bravo|0", 0},  // no current printer: entry 0, the start stays 0
      {{}, -1, "list |-1", 0},
  };
  for (const auto& c : cases) {
    Rig r(c.names, c.current);
    r.chooser.Form_Activate();
    EXPECT_EQ(r.log, Log{c.shown});
    EXPECT_EQ(r.chooser.StartPrinterIndex(), c.start) << c.shown;
  }
  // The start printer is kept between showings until another current one is found.
  Rig r({"Alpha", "Bravo", "Charlie"}, 2);
  r.chooser.Form_Activate();
  r.service.SetCurrent(-1);
  r.chooser.Form_Activate();
  EXPECT_EQ(r.chooser.StartPrinterIndex(), 2);
}

// Print List before a printer is confirmed: the chooser shows; OK makes the
// selected printer current and prints, Cancel puts back the printer current
// when the chooser was shown and prints nothing.
TEST(PrinterChooser, OkChoosesAndPrintsCancelPutsTheStartPrinterBack) {
  const struct {
    const char* how;
    std::vector<std::string> names;
    std::function<void(Rig&)> user;
    bool chosen;
    int current;
    Log seen;  // after the list is shown
  } ways[] = {
      {"OK", {"Alpha", "Bravo", "Charlie"}, [](Rig& r) { r.view.selected = 0, r.chooser.cbOK_Click(); }, true, 0,
       {"modal", "hide", "job", "end"}},
      {"OK on a name listed twice", {"Alpha", "Bravo", "Alpha"}, [](Rig& r) { r.view.selected = 0, r.chooser.cbOK_Click(); },
       true, 2, {"modal", "hide", "job", "end"}},
      {"OK with nothing selected, then Cancel", {"Alpha", "Bravo", "Charlie"},
       [](Rig& r) { r.view.selected = -1, r.chooser.cbOK_Click(), r.chooser.cbCancel_Click(); }, false, 1,
       {"modal", "warn Oops ...|Select a Printer", "hide"}},
      {"Cancel", {"Alpha", "Bravo", "Charlie"}, [](Rig& r) { r.view.selected = 0, r.chooser.cbCancel_Click(); }, false, 1,
       {"modal", "hide"}},
  };
  for (const auto& w : ways) {
    SCOPED_TRACE(w.how);
    Rig r(w.names, 1);
    r.view.user = [&] {
      r.service.SetCurrent(2);  // meanwhile another printer is made current
      w.user(r);
    };
    EXPECT_EQ(app::PrintListOnCurrentPrinter(r.state, r.service, r.chooser, "Vantorel"), std::nullopt);
    EXPECT_EQ(std::tuple(r.state.PrinterChosen, r.service.current()), std::tuple(w.chosen, w.current));
    EXPECT_EQ(Log(r.log.begin() + 1, r.log.end()), w.seen);
    // A confirmed printer is not asked for again; without one the chooser shows again.
    r.log.clear();
    r.view.user = [&] { r.chooser.cbCancel_Click(); };
    EXPECT_TRUE(app::PrinterReady(r.state, r.chooser) == w.chosen && r.log.empty() == w.chosen);
  }
}

TEST(PrinterChooser, CloseBoxLightsUnderTheMouseOnly) {
  Rig r;
  for (auto move : {&PrinterChooser::btnControl_MouseMove, &PrinterChooser::btnControl_MouseMove,
                    &PrinterChooser::Form_MouseMove, &PrinterChooser::Form_MouseMove, &PrinterChooser::btnControl_MouseMove})
    (r.chooser.*move)();
  EXPECT_EQ(r.log, (Log{"colour 255", "colour 128", "colour 255"}));  // a colour already shown is not set again
  EXPECT_EQ(app::PrinterChooserLayout().Control("btnControl").backColour, PrinterChooser::kCloseBoxRest);
}

TEST(PrintCommands, NoticesAndFailuresOfAJob) {
  const struct {
    const char* how;
    std::optional<std::string> unanswered, endDoc;
    std::string savedAs;
    Log seen;
    std::optional<std::string> result;
  } cases[] = {
      {"the print system did not answer: said before the chooser", "no answer", {}, "",
       {"unanswered no answer", "modal", "hide", "job", "end"}, {}},
      {"a page saved as a file", {}, {}, "/docs/VTL_0001.PDF", {"modal", "hide", "job", "end", "saved /docs/VTL_0001.PDF"}, {}},
      {"a refused page: its reason, and nothing said saved", {}, "refused", "/docs/VTL_0001.PDF",
       {"modal", "hide", "job", "end"}, "refused"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    Rig r;
    r.service.unanswered = c.unanswered, r.service.endDoc = c.endDoc, r.service.savedAs = c.savedAs;
    r.view.user = [&] { r.chooser.cbOK_Click(); };
    const app::PrintNotices notices{[&](const std::string& why) { r.log.push_back("unanswered " + why); },
                                    [&](const std::string& path) { r.log.push_back("saved " + path); }};
    EXPECT_EQ(app::PrintListOnCurrentPrinter(r.state, r.service, r.chooser, "Vantorel", notices), c.result);
    std::erase_if(r.log, [](const std::string& s) { return s.starts_with("list"); });
    EXPECT_EQ(r.log, c.seen);
  }
}

// Twips: a window narrower than the page at its own size, a wider one scaled
// to the page width; centred both ways; the picture's size in
// device-independent pixels, whatever its device pixels.
TEST(PrintCommands, WindowPictureCentredAtItsOwnSizeOrScaledToThePageWidth) {
  const auto place = [](double w, double h) {
    const auto p = app::PlaceWindowPicture(11180, 16120, w, h);
    return p ? std::array{p->x, p->y, p->w, p->h} : std::array{-1.0, -1.0, -1.0, -1.0};
  };
  EXPECT_EQ(place(6000, 4500), (std::array{2590.0, 5810.0, 6000.0, 4500.0}));
  EXPECT_EQ(place(15000, 7500), (std::array{0.0, 5265.0, 11180.0, 5590.0}));
  EXPECT_EQ(place(11180, 3333.5), (std::array{0.0, 6393.0, 11180.0, 3334.0}));  // whole twips, halves up
  for (const double bad : {0.0, -1.0, std::nan(""), HUGE_VAL}) EXPECT_EQ(place(bad, 100)[0], -1) << bad;

  const struct {
    const char* how;
    platform::Image picture;
    std::array<double, 2> page;
    Log seen;
    std::optional<std::string> result;
  } cases[] = {
      {"400 by 300", {400, 300, 1.0, std::vector<uint32_t>(400 * 300)}, {11180, 16120}, {"job", "picture 2590 5810 6000 4500", "end"}, {}},
      {"the same on a screen of 2 device pixels to the pixel", {800, 600, 2.0, std::vector<uint32_t>(800 * 600)}, {11180, 16120},
       {"job", "picture 2590 5810 6000 4500", "end"}, {}},
      {"a page without a size", {400, 300, 1.0, std::vector<uint32_t>(400 * 300)}, {0, 16120}, {"job", "end"},
       "The printer reports no usable page size."},
      {"no picture", {400, 300, 1.0, std::vector<uint32_t>(400 * 299)}, {11180, 16120}, {},
       "There is no picture of the window to print."},
  };
  for (const auto& c : cases) {
    Rig r;
    r.service.page = c.page;
    EXPECT_EQ(app::PrintWindowPicture(r.service, c.picture, "Vantorel"), c.result) << c.how;
    EXPECT_EQ(r.log, c.seen) << c.how;
  }
}
