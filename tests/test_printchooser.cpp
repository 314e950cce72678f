// The printer chooser's decisions and the print commands, over a print
// service, its pages and a chooser window of the test's own: no print
// system, no window system.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "app/layout.h"
#include "app/printcommands.h"
#include "app/printerchooser.h"
#include "model/clicktable.h"
#include "fake_printers.h"
#include "platform/detached.h"

using namespace vantorel;
using app::PrinterChooser;

namespace {

using test::Fake;
using test::Log;

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

// Whether printing may go ahead, once the chooser (if shown) has closed.
std::optional<bool> Ready(Rig& r, const app::PrintNotices& notices = {}) {
  std::optional<bool> ready;
  app::WhenPrinterReady(r.state, r.chooser, notices, [&](bool ok) { ready = ok; });
  return ready;
}

// Print List: the page goes out once a printer is confirmed.
std::optional<std::string> PrintList(Rig& r) {
  std::optional<std::string> result = "not printed";
  app::WhenPrinterReady(r.state, r.chooser, {}, [&](bool ok) {
    if (ok) result = app::PrintListOnCurrentPrinter(r.state, r.f, "Vantorel");
  });
  return result;
}

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
    EXPECT_EQ(PrintList(r), chosen ? std::nullopt : std::optional<std::string>("not printed"));
    EXPECT_EQ(std::tuple(r.state.PrinterChosen, r.f.current, Log(r.f.log.begin() + 1, r.f.log.end())),
              std::tuple(chosen, current, seen));
    r.f.log.clear();
    r.f.user = [&] { r.chooser.cbCancel_Click(); };
    const std::optional<bool> ready = Ready(r);
    EXPECT_EQ(std::pair(ready, r.f.log.empty()), std::pair(std::optional(chosen), chosen));
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
    const app::PrintNotices notices{[&](const std::string& why, std::function<void()> then) {
                                      r.f.log.push_back("unanswered " + why), then();
                                    },
                                    [&](const std::string& path) { r.f.log.push_back("saved " + path); }};
    ASSERT_EQ(Ready(r, notices), true);
    EXPECT_EQ(app::PrintWindowPicture(r.f, picture, "Vantorel", notices), result) << how;
    std::erase_if(r.f.log, [](const std::string& s) { return s.starts_with("list"); });
    EXPECT_EQ(r.f.log, seen) << how;
  }
}

// A print system that never answers leaves a bounded number of threads
// behind: past the bound an ask is done at once, without an answer.
TEST(PrintSystemAsks, HungAsksLeaveABoundedNumberOfThreads) {
  std::mutex m;
  std::condition_variable cv;
  bool release = false;
  const auto hung = [&] {
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [&] { return release; });
    return 1;
  };
  std::vector<std::unique_ptr<platform::Detached<int>>> asks;
  for (int k = 0; k < platform::kMaxDetached; ++k) asks.push_back(std::make_unique<platform::Detached<int>>(hung));
  EXPECT_EQ(platform::DetachedThreads().load(), platform::kMaxDetached);
  const platform::Detached<int> more([] { return 2; });
  EXPECT_TRUE(more.Done());
  EXPECT_EQ(more.Within(0), std::nullopt);
  {
    const std::lock_guard<std::mutex> lock(m);
    release = true;
  }
  cv.notify_all();
  for (const auto& ask : asks) EXPECT_EQ(ask->Within(600000), 1);
  // Each thread ends just after its answer is in.
  while (platform::DetachedThreads().load() != 0) std::this_thread::yield();
  EXPECT_EQ(platform::Detached<int>([] { return 3; }).Within(600000), 3);
}
