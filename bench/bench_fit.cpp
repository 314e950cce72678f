// Speed of the fitting search and of one model evaluation.
#include <benchmark/benchmark.h>

#include "model/fit.h"
#include "model/trajectory.h"

using namespace vantorel;

namespace {

void Search(benchmark::State& bs, std::array<int16_t, kRows> clicks, long expected) {
  State start = DefaultState();
  start.DataClicks = clicks;
  for (auto _ : bs) {
    State s = start;
    const FitReport r = RunSearch(s);
    benchmark::DoNotOptimize(r.bestError);
    if (r.candidates[0] + r.candidates[1] != expected) bs.SkipWithError("unexpected candidate count");
  }
  bs.counters["candidates"] = static_cast<double>(expected);
}

// The default data points: a zero-click point fixes the coarse zero range.
void BM_SearchDefaultData(benchmark::State& bs) { Search(bs, {52, 0, 0, 12, 28, 44}, 72075); }
// No zero-click point: eleven coarse zero ranges.
void BM_SearchNoZeroClick(benchmark::State& bs) { Search(bs, {52, 1, 1, 12, 28, 44}, 127325); }

void BM_ModelEvaluation(benchmark::State& bs) {
  double range = 1;
  for (auto _ : bs) {
    const double h = PathHeight(790, 30, range, 0.033, 2, false);
    benchmark::DoNotOptimize(ModelClicks(range, h, 8, false));
    range = range >= 200 ? 1 : range + 1;
  }
}

}  // namespace

BENCHMARK(BM_SearchDefaultData)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchNoZeroClick)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModelEvaluation);
