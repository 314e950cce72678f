#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "model/clicktable.h"
#include "model/fit.h"
#include "model/trajectory.h"

using namespace vantorel;

namespace {

State WithData(std::array<int16_t, kRows> ranges, std::array<int16_t, kRows> clicks, bool metric = false) {
  State s = DefaultState();
  s.DataRange = ranges;
  s.DataClicks = clicks;
  s.MetricUnits = metric;
  return s;
}

auto Tie(const ModelParams& p) { return std::tuple(p.mv, p.bc, p.sh, p.zr, p.cpm); }

struct Recorder : FitObserver {
  std::vector<double> errors;
  ModelParams last{};
  void Improved(const State& s, double error) override { errors.push_back(error), last = s.Params(); }
};

}  // namespace

TEST(Fit, DefaultImperialMetricAndNoZeroClick) {
  const struct {
    State s;
    std::array<int64_t, 2> candidates;
    ModelParams found;
    double error;
    size_t improvements;
  } cases[] = {
      {DefaultState(), {5525, 66550}, {775, 0.034, 2.05, 31, 8}, 5.83, 94},
      {WithData({10, 20, 30, 40, 50, 55}, {52, 0, 0, 12, 28, 44}, true), {5525, 30250}, {390, 0.009, 3.25, 30, 9.1}, 20.80, 123},
      // No zero click: zero ranges 15 to 25 around the first point with the smallest clicks.
      {WithData({10, 20, 30, 40, 50, 55}, {52, 1, 1, 12, 28, 44}), {60775, 66550}, {820, 0.026, 1.95, 21, 8.1}, 6.48, 111},
      // Zero ranges from 0: the candidates at 0 are counted, never chosen.
      {WithData({5, 20, 30, 40, 50, 55}, {1, 3, 4, 12, 28, 44}), {60775, 60500}, {585, 0.031, 0.75, 5, 2.8}, 26.03, 58},
  };
  for (const auto& c : cases) {
    State s = c.s;
    Recorder rec;
    const FitReport r = RunSearch(s, &rec);
    EXPECT_EQ(r.candidates, c.candidates);
    EXPECT_FALSE(r.stoppedEarly);
    const auto [mv, bc, sh, zr, cpm] = Tie(s.Params());
    EXPECT_EQ(std::tuple(mv, std::fabs(bc - c.found.bc) < 1e-12, std::fabs(sh - c.found.sh) < 1e-12, zr, std::fabs(cpm - c.found.cpm) < 1e-12),
              std::tuple(c.found.mv, true, true, c.found.zr, true)) << mv << " " << bc << " " << sh << " " << zr << " " << cpm;
    EXPECT_NEAR(r.bestError, c.error, 0.005);
    // Each improvement is strictly better than the one before; the last is the model found.
    EXPECT_EQ(rec.errors.size(), c.improvements);
    EXPECT_TRUE(std::ranges::adjacent_find(rec.errors, std::less_equal<>()) == rec.errors.end());
    EXPECT_EQ(std::pair(rec.errors.back(), Tie(rec.last)), std::pair(r.bestError, Tie(s.Params())));
  }
}

TEST(Fit, ZeroRangeSeedRules) {
  State tickedZero = WithData({10, 20, 30, 40, 50, 55}, {0, 5, 0, 12, 0, 44});
  tickedZero.Ticked[4] = 0;  // the highest-numbered ticked zero-click point fixes it
  State nearest = WithData({40, 3, 30, 50, 60, 70}, {12, -2, 5, 9, 2, 20});
  nearest.Ticked[1] = 0;  // without one every point counts, ticked or not: |3 - 5| .. 3 + 5
  const std::tuple<State, int, int, int> cases[] = {
      {tickedZero, 30, 30, 30},
      {nearest, 3, 2, 8},
      {WithData({10, 20, 30, 40, 50, 60}, {999, -999, 1500, 2000, 3000, -32768}), 0, 0, 0},  // none below 999
  };
  for (const auto& [s, trial, low, high] : cases) {
    const ZeroRangeGrid z = FirstPassZeroRanges(s);
    EXPECT_EQ(std::tuple(z.trialZR, z.low, z.high), std::tuple(trial, low, high));
  }
}

TEST(Fit, AFitBelowHalfAClickEndsTheSearchAtOnce) {
  // With no point ticked every candidate fits perfectly: the very first one wins.
  State s = DefaultState();
  s.Ticked = {0, 0, 0, 0, 0, 0};
  const FitReport r = RunSearch(s);
  EXPECT_EQ(std::tuple(r.stoppedEarly, r.candidates[0], r.candidates[1]), std::tuple(true, 1, 0));
  EXPECT_EQ(Tie(s.Params()), Tie({200, 0.01, 1, 15, 3}));  // zero ranges from |20 - 5|
}

TEST(Fit, NonsenseStartingModelIsRefusedNotLoopedOn) {
  // No coarse candidate at all (the nearest-zero point has a negative range),
  // so the fine pass would centre on a saved velocity its step cannot move.
  State s = WithData({-20, 20, 30, 40, 50, 55}, {0, 3, 4, 12, 28, 44});
  s.Ticked[0] = 0;
  s.ModelMV = Variant::Text("1e20", 1e20);
  const FitReport r = RunSearch(s);
  EXPECT_EQ(std::pair(r.candidates[0], r.improved), std::pair(int64_t{0}, false));
  ASSERT_TRUE(r.problem);
  EXPECT_NE(r.problem->find("cannot be set up"), std::string::npos);
}

// A budget spent after every few candidates: the slices resume where the
// last one ended, so a sliced search is the uninterrupted one exactly.
struct EveryFew : SliceBudget {
  explicit EveryFew(int few) : few(few) {}
  bool Spent() override { return ++asked % few == 0; }
  int few;
  int64_t asked = 0;
};

TEST(FitJob, SlicedSearchIsTheWholeSearchExactly) {
  for (const State& start : {DefaultState(), WithData({5, 20, 30, 40, 50, 55}, {1, 3, 4, 12, 28, 44}),
                             WithData({10, 20, 30, 40, 50, 55}, {52, 0, 0, 12, 28, 44}, true)}) {
    State whole = start;
    Recorder rec;
    const FitReport expected = RunSearch(whole, &rec);
    for (int few : {1, 7, 1000}) {
      State s = start;
      FitJob job(s);
      EveryFew budget(few);
      std::vector<double> improvements;
      int64_t running = 0;
      for (FitJob::Slice slice; !job.Done() && (slice = job.Run(budget)) != FitJob::Slice::Done;)
        slice == FitJob::Slice::Improved ? improvements.push_back(job.report().bestError) : (void)++running;
      const FitReport& r = job.report();
      EXPECT_EQ(std::tuple(job.Done(), r.candidates, r.bestError), std::tuple(true, expected.candidates, expected.bestError));
      EXPECT_EQ(std::pair(Tie(s.Params()), improvements), std::pair(Tie(whole.Params()), rec.errors));
      // Each spent budget ends its slice before the candidate it was asked
      // for, which the next slice visits.
      EXPECT_EQ(running, budget.asked / few) << few;
    }
  }
}

TEST(FitJob, StopKeepsTheBestSoFarAndEndsAtOnce) {
  State s = DefaultState();
  FitJob job(s);
  UnboundedBudget budget;
  ASSERT_EQ((std::pair{job.Run(budget), job.Run(budget)}), std::pair(FitJob::Slice::Improved, FitJob::Slice::Improved));  // braced: evaluated in order
  const auto second = Tie(s.Params());
  const FitReport before = job.report();
  job.Stop();
  EXPECT_EQ((std::pair{job.Done(), job.Run(budget)}), std::pair(true, FitJob::Slice::Done));  // braced: evaluated in order
  EXPECT_EQ(std::tuple(Tie(s.Params()), job.report().candidates, before.candidates[0] > 0), std::tuple(second, before.candidates, true));
}
