// The whole "Calculate" in the window on the offscreen platform, against the
// pure search plus the same number of empty event-loop turns.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "linux/printing.h"
#include "linux/sqlitestore.h"
#include "model/fit.h"
#include "platform/modal.h"
#include "shell/mainwindow.h"
#include "settings/settings.h"

using namespace vantorel;

namespace {

constexpr long kCandidates = 127325;  // clicks 52, 1, 1, 12, 28, 44

void BM_WindowCalculate(benchmark::State& bs) {
  State s;
  s.SettingsPath = BuildSettingsPath("VantorelBench");
  platform::SqliteStore store;
  frmMain w(s, "VantorelBench", store, std::make_unique<platform::SystemPrintService>());
  w.SetCompletePause(0);
  w.Form_Load();
  w.findChild<QLineEdit*>("CTxt(1)")->setText("1");
  w.findChild<QLineEdit*>("CTxt(2)")->setText("1");
  QPushButton* calculate = w.findChild<QPushButton*>("cbButton(1)");
  for (auto _ : bs) {
    s.SetParams({790, 0.033, 2, 30, 8});
    calculate->click();
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

void BM_EmptyEventLoopTurns(benchmark::State& bs) {
  for (auto _ : bs)
    for (long i = 0; i < kCandidates; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace

BENCHMARK(BM_WindowCalculate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PureSearch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EmptyEventLoopTurns)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  const auto dir = std::filesystem::temp_directory_path() / "vantorel-bench-window";
  std::filesystem::create_directories(dir);
  setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  QApplication app(argc, argv);
  platform::SetModalTestMode(true);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(dir);
  return 0;
}
