#include <gtest/gtest.h>

#include <cmath>
#include <random>
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
  long candidates = 0;
  std::vector<ModelParams> improvements;
  bool Candidate() override { return ++candidates; }
  void Improved(const State& s, double) override { improvements.push_back(s.Params()); }
};

// The search written as plain nested loops with no shortcuts: the fast engine
// must visit and accept exactly the same candidates.
struct Reference {
  std::vector<ModelParams> improvements;
  double best = 100000000;
  std::array<long, 2> counts{0, 0};

  using Axis = std::array<double, 3>;  // from, to, step
  bool Pass(State& s, int pass, Axis z, Axis m, Axis h, Axis b, Axis c) {
    for (double zr = z[0]; zr <= z[1]; zr += z[2])
      for (double mv = m[0]; mv <= m[1]; mv += m[2])
        for (double sh = h[0]; sh <= h[1]; sh += h[2])
          for (double bc = b[0]; bc <= b[1]; bc += b[2])
            for (double cpm = c[0]; cpm <= c[1]; cpm += c[2]) {
              ++counts[static_cast<size_t>(pass)];
              if (zr == 0) continue;
              double err = 0;
              for (int i = 0; i < kRows; ++i) {
                if (!s.IsTicked(i)) continue;
                const double range = s.DataRange[static_cast<size_t>(i)];
                const double h = PathHeight(mv, zr, range, bc, sh, s.MetricUnits);
                err += std::fabs(s.DataClicks[static_cast<size_t>(i)] + ModelClicks(range, h, cpm, s.MetricUnits));
              }
              if (err < best) {
                best = err;
                s.SetParams({mv, bc, sh, zr, cpm});
                improvements.push_back(s.Params());
                if (best < 0.5) return true;
              }
            }
    return false;
  }

  void Run(State& s) {
    const ZeroRangeGrid z = FirstPassZeroRanges(s);
    const bool m = s.MetricUnits;
    if (Pass(s, 0, {z.low, z.high, 1}, {m ? 80. : 200, m ? 400. : 1000, m ? 20. : 50}, {1, 3, 0.5}, {0.01, 0.05, 0.01}, {3, 9, 0.5}))
      return;
    const ModelParams c = s.Params();
    const double mr = m ? 10 : 25;
    Pass(s, 1, {c.zr - 5, c.zr + 5, 1}, {c.mv - mr, c.mv + mr, 5}, {c.sh - 0.25, c.sh + 0.25, 0.05},
         {c.bc - 0.005, c.bc + 0.005, 0.001}, {c.cpm - 0.2, c.cpm + 0.2, 0.1});
  }
};

}  // namespace

TEST(Fit, DefaultImperialMetricAndNoZeroClick) {
  const struct {
    State s;
    std::array<long, 2> candidates;
    ModelParams found;
    double error;
  } cases[] = {
      {DefaultState(), {5525, 66550}, {775, 0.034, 2.05, 31, 8}, 5.83},
      {WithData({10, 20, 30, 40, 50, 55}, {52, 0, 0, 12, 28, 44}, true), {5525, 30250}, {390, 0.009, 3.25, 30, 9.1}, 20.80},
      // No zero click: zero ranges 15 to 25 around the first point with the smallest clicks.
      {WithData({10, 20, 30, 40, 50, 55}, {52, 1, 1, 12, 28, 44}), {60775, 66550}, {820, 0.026, 1.95, 21, 8.1}, 6.48},
  };
  for (const auto& c : cases) {
    State s = c.s;
    Recorder rec;
    const FitReport r = RunSearch(s, &rec);
    EXPECT_EQ(r.candidates, c.candidates);
    EXPECT_EQ(rec.candidates, c.candidates[0] + c.candidates[1]);
    EXPECT_FALSE(r.stoppedEarly);
    const auto [mv, bc, sh, zr, cpm] = Tie(s.Params());
    EXPECT_TRUE(mv == c.found.mv && std::fabs(bc - c.found.bc) < 1e-12 && std::fabs(sh - c.found.sh) < 1e-12 &&
                zr == c.found.zr && std::fabs(cpm - c.found.cpm) < 1e-12) << mv << " " << bc << " " << sh << " " << cpm;
    EXPECT_NEAR(r.bestError, c.error, 0.005);
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
      {WithData({10, 20, 30, 40, 50, 55}, {52, 1, 1, 12, 28, 44}), 20, 15, 25},  // the first of two
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

TEST(Fit, MatchesTheLiteralLoopsBitForBit) {
  std::vector<State> cases = {
      DefaultState(),
      WithData({10, 20, 30, 40, 50, 55}, {52, 0, 0, 12, 28, 44}, true),
      WithData({10, 20, 30, 40, 50, 55}, {52, 1, 1, 12, 28, 44}),
      WithData({5, 20, 30, 40, 50, 55}, {1, 3, 4, 12, 28, 44}),  // zero range 0 visited, never chosen
  };
  std::mt19937 rng(7);
  for (int k = 0; k < 4; ++k) {
    State s = DefaultState();
    s.MetricUnits = k % 2;
    for (size_t i = 0; i < kRows; ++i) {
      s.DataRange[i] = static_cast<int16_t>(5 + rng() % 90);
      s.DataClicks[i] = static_cast<int16_t>(static_cast<int>(rng() % 80) - 10);
    }
    s.Ticked[rng() % kRows] = 0;
    cases.push_back(s);
  }
  for (size_t c = 0; c < cases.size(); ++c) {
    SCOPED_TRACE(c);
    State fast = cases[c], slow = cases[c];
    Recorder rec;
    const FitReport r = RunSearch(fast, &rec);
    Reference ref;
    ref.Run(slow);
    EXPECT_EQ(r.candidates, ref.counts);
    EXPECT_EQ(r.bestError, ref.best);
    ASSERT_EQ(rec.improvements.size(), ref.improvements.size());
    for (size_t i = 0; i < ref.improvements.size(); ++i) EXPECT_EQ(Tie(rec.improvements[i]), Tie(ref.improvements[i]));
  }
}

TEST(Fit, NonsenseStartingModelIsRefusedNotLoopedOn) {
  // No coarse candidate at all (the nearest-zero point has a negative range),
  // so the fine pass would centre on a saved velocity its step cannot move.
  State s = WithData({-20, 20, 30, 40, 50, 55}, {0, 3, 4, 12, 28, 44});
  s.Ticked[0] = 0;
  s.ModelMV = Variant::Text("1e20", 1e20);
  const FitReport r = RunSearch(s);
  EXPECT_EQ(std::pair(r.candidates[0], r.improved), std::pair(0L, false));
  ASSERT_TRUE(r.problem);
  EXPECT_NE(r.problem->find("cannot be set up"), std::string::npos);
}
