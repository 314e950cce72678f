// "Calculate" in the Win32 window, timed from the press to the window at
// rest, against the pure search of the same build: the figures for the
// window's cost of running the search between turns of its event loop.
// Runs under Wine on a display (bench/calculate_wine.sh) or on Windows.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <memory>

#include "app/controlid.h"
#include "model/fit.h"
#include "settings/settings.h"
#include "win32view/controls.h"
#include "win32view/loop.h"
#include "win32view/mainwindow.h"
#include "../tests/fake_printers.h"
#include "../tests/memory_store.h"

using namespace vantorel;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

HWND Find(HWND window, app::Id id) {
  std::pair<app::Id, HWND> want{id, nullptr};
  EnumChildWindows(
      window,
      [](HWND c, LPARAM p) -> BOOL {
        auto* w = reinterpret_cast<std::pair<app::Id, HWND>*>(p);
        const win32view::ControlInfo* info = win32view::InfoOf(c);
        if (info && info->layout && info->layout->id == w->first) w->second = c;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&want));
  return want.second;
}

}  // namespace

int main() {
  constexpr int kRuns = 5;
  // The pure search on the no-zero-click data (127,325 candidates).
  State start = DefaultState();
  start.DataClicks = {52, 1, 1, 12, 28, 44};
  double pure = 1e300;
  for (int k = 0; k < kRuns; ++k) {
    State s = start;
    const auto t0 = Clock::now();
    RunSearch(s);
    pure = std::min(pure, Ms(Clock::now() - t0));
  }

  State state;
  state.SettingsPath = BuildSettingsPath("VantorelBench");
  test::MemoryStore store;
  win32view::MainFrame window(state, "VantorelBench", store, std::make_unique<test::Fake>());
  window.SetCompletePause(0);
  window.Form_Load();
  win32view::MessageLoop loop(window);
  for (int k = 0; k < 1000; ++k) loop.Step();
  SetWindowTextW(Find(window.Handle(), app::Id::CTxt1), L"1");
  SetWindowTextW(Find(window.Handle(), app::Id::CTxt2), L"1");
  double best = 1e300;
  int64_t turns = 0;
  for (int k = 0; k < kRuns; ++k) {
    state.SetParams({790, 0.033, 2, 30, 8});
    const auto t0 = Clock::now();
    SendMessageW(Find(window.Handle(), app::Id::cbButton1), BM_CLICK, 0, 0);
    int64_t n = 0;
    while (window.phase() != app::Phase::Idle && !window.Ended()) loop.Step(), ++n;
    const double ms = Ms(Clock::now() - t0);
    if (ms < best) best = ms, turns = n;
  }
  // Each loop step is one real turn: a slice of the search, and the graph
  // redrawn when the slice ended at a better model.
  std::printf("pure search %.1f ms; Calculate in the window %.1f ms, %lld real turns (%.2f ms a turn)\n", pure, best,
              static_cast<long long>(turns), turns > 0 ? (best - pure) / static_cast<double>(turns) : 0.0);
  return 0;
}
