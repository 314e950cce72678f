// The whole "Calculate" in the window on the offscreen platform, against the
// pure search, and the search in the slices a window runs it in.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "qtview/printing.h"
#include "sqlite/sqlitestore.h"
#include "model/fit.h"
#include "qtview/modal.h"
#include "qtview/mainwindow.h"
#include "settings/settings.h"

using namespace vantorel;
using namespace vantorel::qtview;

namespace {

constexpr long kCandidates = 127325;  // clicks 52, 1, 1, 12, 28, 44

void BM_WindowCalculate(benchmark::State& bs) {
  State s;
  s.SettingsPath = BuildSettingsPath("VantorelBench");
  sqlite::SqliteStore store;
  frmMain w(s, "VantorelBench", store, std::make_unique<qtview::SystemPrintService>());
  w.SetCompletePause(0);
  w.Form_Load();
  w.findChild<QLineEdit*>("CTxt(1)")->setText("1");
  w.findChild<QLineEdit*>("CTxt(2)")->setText("1");
  QPushButton* calculate = w.findChild<QPushButton*>("cbButton(1)");
  for (auto _ : bs) {
    s.SetParams({790, 0.033, 2, 30, 8});
    calculate->click();
    // The search runs in slices between turns of the event loop.
    while (w.phase() != app::Phase::Idle) QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
  bs.counters["candidates"] = kCandidates;
}

void BM_PureSearch(benchmark::State& bs) {
  State start = DefaultState();
  start.DataClicks = {52, 1, 1, 12, 28, 44};
  for (auto _ : bs) {
    State s = start;
    benchmark::DoNotOptimize(RunSearch(s).bestError);
  }
}

// The search in slices of at most 10 ms that also end at every improvement,
// with one empty event-loop turn between two slices.
void BM_SlicedSearchWithTurns(benchmark::State& bs) {
  struct Deadline : SliceBudget {
    std::chrono::steady_clock::time_point end;
    int asked = 0;
    bool Spent() override { return ++asked % 64 == 0 && std::chrono::steady_clock::now() >= end; }
  };
  State start = DefaultState();
  start.DataClicks = {52, 1, 1, 12, 28, 44};
  int64_t slices = 0;
  for (auto _ : bs) {
    State s = start;
    FitJob job(s);
    for (;;) {
      Deadline budget;
      budget.end = std::chrono::steady_clock::now() + std::chrono::milliseconds(10);
      ++slices;
      if (job.Run(budget) == FitJob::Slice::Done) break;
      QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    benchmark::DoNotOptimize(job.report().bestError);
  }
  bs.counters["slices"] = benchmark::Counter(static_cast<double>(slices), benchmark::Counter::kAvgIterations);
}

}  // namespace

BENCHMARK(BM_WindowCalculate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PureSearch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SlicedSearchWithTurns)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  const auto dir = std::filesystem::temp_directory_path() / "vantorel-bench-window";
  std::filesystem::create_directories(dir);
  setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  QApplication app(argc, argv);
  qtview::SetModalTestMode(true);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(dir);
  return 0;
}
