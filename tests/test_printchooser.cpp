// The printer chooser's decisions and the print commands, over a print
// service, its pages and a chooser window of the test's own: no print
// system, no window system.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>

#include "app/layout.h"
#include "app/printcommands.h"
#include "app/printerchooser.h"
#include "model/clicktable.h"
#include "null_surface.h"

using namespace vantorel;
using app::PrinterChooser;

namespace {

// What the service, its pages and the window were asked, in order.
using Log = std::vector<std::string>;

// The print service and the chooser's window in one.
struct Fake : platform::PrintService, app::PrinterChooserView {
  Log log;
  std::vector<std::string> names;
  int current = 1, selected = -1;
  std::function<void()> user;  // what the user does while the chooser shows
  std::optional<std::string> unanswered, endDoc;
  std::string savedAs;
  double pageWidth = 11180;  // by 16120 twips

  std::vector<std::string> Printers() const override { return names; }
  std::optional<std::string> Unanswered() const override { return unanswered; }
  std::function<int()> CountAsker() const override { return [] { return 0; }; }
  std::string CurrentDeviceName() const override { return current < 0 ? "" : names.at(static_cast<size_t>(current)); }
  void SetCurrent(int i) override { current = i >= 0 && i < std::ssize(names) ? i : current; }
  std::unique_ptr<platform::PrintJob> StartJob(const std::string&) override;

  void ShowPrinters(const std::vector<std::string>& shown, int sel) override {
    log.push_back("list " + std::to_string(shown.size()) + " " + std::to_string(selected = sel));
  }
  int SelectedPrinter() const override { return selected; }
  void Warn(const std::string& title, const std::string& text) override { log.push_back("warn " + title + "|" + text); }
  void SetCloseBoxColour(platform::Colour c) override { log.push_back("colour " + std::to_string(c)); }
  void RunModal() override {
    log.push_back("modal");
    if (user) user();
  }
  void Hide() override { log.push_back("hide"); }
};

// A page that notes the pictures drawn on it and its end.
class FakeJob : public test::NullSurface<platform::PrintJob> {
 public:
  explicit FakeJob(Fake& f) : f_(f) { width = f.pageWidth, height = 16120; }
  void DrawPicture(const platform::Image&, double x, double y, double w, double h) override {
    f_.log.push_back("picture " + std::to_string(std::array{x, y, w, h} == std::array{2590.0, 5810.0, 6000.0, 4500.0}));
  }
  std::optional<std::string> EndDoc() override { return f_.log.push_back("end"), f_.endDoc; }
  std::string SavedAs() const override { return f_.savedAs; }

 private:
  Fake& f_;
};

std::unique_ptr<platform::PrintJob> Fake::StartJob(const std::string&) {
  log.push_back("job");
  return std::make_unique<FakeJob>(*this);
}

struct Rig {
  Fake f;
  State state = [] {
    State s = DefaultState();
    PseudoCalc(s);
    return s;
  }();
  PrinterChooser chooser{f, state, f};
  explicit Rig(std::vector<std::string> names = {"Alpha", "Bravo", "Charlie"}, int current = 1) {
    f.names = std::move(names), f.current = current;
  }
};

}  // namespace

// Entry 0, then the current printer's entry, the last of equal names; its
// position is kept between showings until another current one is found.
TEST(PrinterChooser, ListsTheCollectionAndSelectsTheCurrentPrinter) {
  const std::tuple<std::vector<std::string>, int, std::string, int> cases[] = {
      {{"Alpha", "Bravo", "Charlie"}, 1, "list 3 1", 1},
      {{"Alpha", "Bravo", "Bravo", "Charlie"}, 1, "list 4 2", 2},
      {{"Alpha", "Bravo"}, -1, "list 2 0", 0},
      {{}, -1, "list 0 -1", 0},
  };
  for (const auto& [names, current, shown, start] : cases) {
    Rig r(names, current);
    r.chooser.Form_Activate();
    EXPECT_EQ(std::pair(r.f.log, r.chooser.StartPrinterIndex()), std::pair(Log{shown}, start)) << shown;
  }
  Rig r({"Alpha", "Bravo", "Charlie"}, 2);
  r.chooser.Form_Activate();
  r.f.current = -1;
  r.chooser.Form_Activate();
  EXPECT_EQ(r.chooser.StartPrinterIndex(), 2);
}

// Print List before a printer is confirmed: OK makes the selected printer
// current and prints, Cancel puts back the printer current when the chooser
// was shown and prints nothing. A confirmed printer is not asked for again.
TEST(PrinterChooser, OkChoosesAndPrintsCancelPutsTheStartPrinterBack) {
  const std::tuple<const char*, std::vector<std::string>, std::function<void(Rig&)>, bool, int, Log> ways[] = {
      {"OK", {"Alpha", "Bravo", "Charlie"}, [](Rig& r) { r.chooser.cbOK_Click(); }, true, 0, {"modal", "hide", "job", "end"}},
      {"OK on a name listed twice", {"Alpha", "Bravo", "Alpha"}, [](Rig& r) { r.chooser.cbOK_Click(); }, true, 2,
       {"modal", "hide", "job", "end"}},
      {"OK with nothing selected, then Cancel", {"Alpha", "Bravo", "Charlie"},
       [](Rig& r) { r.f.selected = -1, r.chooser.cbOK_Click(), r.chooser.cbCancel_Click(); }, false, 1,
       {"modal", "warn Oops ...|Select a Printer", "hide"}},
      {"Cancel", {"Alpha", "Bravo", "Charlie"}, [](Rig& r) { r.chooser.cbCancel_Click(); }, false, 1, {"modal", "hide"}},
  };
  for (const auto& [how, names, act, chosen, current, seen] : ways) {
    SCOPED_TRACE(how);
    Rig r(names, 1);
    r.f.user = [&, act = act] {
      r.f.selected = 0;  // the user selects the first; meanwhile another printer is made current
      r.f.current = 2;
      act(r);
    };
    EXPECT_EQ(app::PrintListOnCurrentPrinter(r.state, r.f, r.chooser, "Vantorel"), std::nullopt);
    EXPECT_EQ(std::tuple(r.state.PrinterChosen, r.f.current, Log(r.f.log.begin() + 1, r.f.log.end())),
              std::tuple(chosen, current, seen));
    r.f.log.clear();
    r.f.user = [&] { r.chooser.cbCancel_Click(); };
    const bool ready = app::PrinterReady(r.state, r.chooser);
    EXPECT_EQ(std::pair(ready, r.f.log.empty()), std::pair(chosen, chosen));
  }
}

TEST(PrintCommands, WindowPictureNoticesAndFailures) {
  const auto place = [](double w, double h) {
    const auto p = app::PlaceWindowPicture(11180, 16120, w, h);
    return p ? std::array{p->x, p->y, p->w, p->h} : std::array{-1.0, -1.0, -1.0, -1.0};
  };
  EXPECT_EQ(place(15000, 7500), (std::array{0.0, 5265.0, 11180.0, 5590.0}));  // wider than the page: scaled to its width
  EXPECT_EQ(place(11180, 3333.5), (std::array{0.0, 6393.0, 11180.0, 3334.0}));  // whole twips, halves up
  for (const double bad : {0.0, -1.0, std::nan(""), HUGE_VAL}) EXPECT_EQ(place(bad, 100)[0], -1) << bad;

  const platform::Image hiDpi{800, 600, 2.0, std::vector<uint32_t>(800 * 600)}, cut{400, 300, 1.0, std::vector<uint32_t>(400 * 299)};
  const std::tuple<const char*, std::function<void(Fake&)>, const platform::Image&, Log, std::optional<std::string>> cases[] = {
      {"the print system did not answer: said before the chooser", [](Fake& f) { f.unanswered = "no answer"; }, hiDpi,
       {"unanswered no answer", "modal", "hide", "job", "picture 1", "end"}, {}},
      {"the page saved as a file", [](Fake& f) { f.savedAs = "/VTL_0001.PDF"; }, hiDpi,
       {"modal", "hide", "job", "picture 1", "end", "saved /VTL_0001.PDF"}, {}},
      {"a refused page: its reason, nothing said saved", [](Fake& f) { f.endDoc = "refused", f.savedAs = "/VTL_0001.PDF"; },
       hiDpi, {"modal", "hide", "job", "picture 1", "end"}, "refused"},
      {"a page without a size", [](Fake& f) { f.pageWidth = 0; }, hiDpi, {"modal", "hide", "job", "end"},
       "The printer reports no usable page size."},
      {"no whole picture", [](Fake&) {}, cut, {"modal", "hide"}, "There is no picture of the window to print."},
  };
  for (const auto& [how, set, picture, seen, result] : cases) {
    Rig r;
    set(r.f);
    r.f.user = [&] { r.chooser.cbOK_Click(); };
    const app::PrintNotices notices{[&](const std::string& why) { r.f.log.push_back("unanswered " + why); },
                                    [&](const std::string& path) { r.f.log.push_back("saved " + path); }};
    ASSERT_TRUE(app::PrinterReady(r.state, r.chooser, notices));
    EXPECT_EQ(app::PrintWindowPicture(r.f, picture, "Vantorel", notices), result) << how;
    std::erase_if(r.f.log, [](const std::string& s) { return s.starts_with("list"); });
    EXPECT_EQ(r.f.log, seen) << how;
  }
}
