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

struct Recorder : FitObserver {
  long candidates = 0;
  std::vector<ModelParams> improvements;
  bool Candidate() override {
    ++candidates;
    return true;
  }
  void Improved(const State& s, double) override { improvements.push_back(s.Params()); }
};

// The search written exactly as the loops are described, with no shortcuts:
// used to prove that the fast engine visits and accepts the same candidates.
struct Reference {
  std::vector<ModelParams> improvements;
  double best = 100000000;
  std::array<long, 2> counts{0, 0};

  bool Pass(State& s, int pass, double zLo, double zHi, double mLo, double mHi, double mStep, double sLo, double sHi,
            double bLo, double bHi, double bStep, double cLo, double cHi, double sStep, double cStep) {
    for (double zr = zLo; zr <= zHi; zr += 1)
      for (double mv = mLo; mv <= mHi; mv += mStep)
        for (double sh = sLo; sh <= sHi; sh += sStep)
          for (double bc = bLo; bc <= bHi; bc += bStep)
            for (double cpm = cLo; cpm <= cHi; cpm += cStep) {
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
    if (Pass(s, 0, z.low, z.high, m ? 80 : 200, m ? 400 : 1000, m ? 20 : 50, 1, 3, 0.01, 0.05, 0.01, 3, 9, 0.5, 0.5))
      return;
    const ModelParams c = s.Params();
    Pass(s, 1, c.zr - 5, c.zr + 5, c.mv - (m ? 10 : 25), c.mv + (m ? 10 : 25), 5, c.sh - 0.25, c.sh + 0.25,
         c.bc - 0.005, c.bc + 0.005, 0.001, c.cpm - 0.2, c.cpm + 0.2, 0.05, 0.1);
  }
};

void ExpectParams(const State& s, ModelParams want) {
  const ModelParams p = s.Params();
  EXPECT_NEAR(p.mv, want.mv, 1e-12);
  EXPECT_NEAR(p.bc, want.bc, 1e-12);
  EXPECT_NEAR(p.sh, want.sh, 1e-12);
  EXPECT_NEAR(p.zr, want.zr, 1e-12);
  EXPECT_NEAR(p.cpm, want.cpm, 1e-12);
}

}  // namespace

TEST(Fit, DefaultDataImperial) {
  State s = DefaultState();
  Recorder rec;
  BeginFit(s);
  const FitReport r = RunSearch(s, &rec);
  EXPECT_EQ(r.candidates[0], 5525);
  EXPECT_EQ(r.candidates[1], 66550);
  EXPECT_EQ(rec.candidates, 5525 + 66550);
  EXPECT_FALSE(r.stoppedEarly);
  ExpectParams(s, {775, 0.034, 2.05, 31, 8});
  EXPECT_NEAR(r.bestError, 5.83, 0.005);
  const FitFinish f = FinishFit(s);
  ASSERT_FALSE(f.problem);
  const std::array<std::string, kRows> labels{"(52)", "(0)", "(-1)", "(12)", "(32)", "(43)"};
  EXPECT_EQ(f.labels, labels);
  EXPECT_EQ(s.MaxDataRange, 55);
}

TEST(Fit, DefaultDataMetric) {
  State s = WithData({10, 20, 30, 40, 50, 55}, {52, 0, 0, 12, 28, 44}, true);
  const FitReport r = RunSearch(s);
  EXPECT_EQ(r.candidates[0], 5525);
  EXPECT_EQ(r.candidates[1], 30250);
  ExpectParams(s, {390, 0.009, 3.25, 30, 9.1});
  EXPECT_NEAR(r.bestError, 20.80, 0.005);
}

TEST(Fit, NoZeroClickSearchesAroundTheSmallestClicks) {
  State s = WithData({10, 20, 30, 40, 50, 55}, {52, 1, 1, 12, 28, 44});
  const ZeroRangeGrid z = FirstPassZeroRanges(s);
  EXPECT_EQ(z.trialZR, 20);  // the first of two points with absolute clicks 1
  EXPECT_EQ(z.low, 15);
  EXPECT_EQ(z.high, 25);
  const FitReport r = RunSearch(s);
  EXPECT_EQ(r.candidates[0], 60775);
  EXPECT_EQ(r.candidates[1], 66550);
  ExpectParams(s, {820, 0.026, 1.95, 21, 8.1});
  EXPECT_NEAR(r.bestError, 6.48, 0.005);
}

TEST(Fit, ZeroRangeGuessRules) {
  // The highest-numbered ticked zero-click point fixes the zero range.
  State s = WithData({10, 20, 30, 40, 50, 55}, {0, 5, 0, 12, 0, 44});
  s.Ticked[4] = 0;
  ZeroRangeGrid z = FirstPassZeroRanges(s);
  EXPECT_EQ(z.trialZR, 30);
  EXPECT_EQ(z.low, 30);
  EXPECT_EQ(z.high, 30);

  // Without one, every point counts, ticked or not; |3 - 5| .. 3 + 5.
  s = WithData({40, 3, 30, 50, 60, 70}, {12, -2, 5, 9, 2, 20});
  s.Ticked[1] = 0;
  z = FirstPassZeroRanges(s);
  EXPECT_EQ(z.trialZR, 3);
  EXPECT_EQ(z.low, 2);
  EXPECT_EQ(z.high, 8);

  // Nothing below 999 clicks: no zero range at all.
  s = WithData({10, 20, 30, 40, 50, 60}, {999, -999, 1500, 2000, 3000, -32768});
  z = FirstPassZeroRanges(s);
  EXPECT_EQ(z.trialZR, 0);
  EXPECT_EQ(z.low, 0);
  EXPECT_EQ(z.high, 0);
}

TEST(Fit, ZeroRangeZeroCandidatesAreVisitedButNeverChosen) {
  // Smallest clicks at range 5: the coarse zero ranges run from 0 to 10.
  State s = WithData({5, 20, 30, 40, 50, 55}, {1, 3, 4, 12, 28, 44});
  Recorder rec;
  const FitReport r = RunSearch(s, &rec);
  EXPECT_EQ(r.candidates[0], 60775);
  EXPECT_EQ(rec.candidates, r.candidates[0] + r.candidates[1]);
  for (const ModelParams& p : rec.improvements) EXPECT_NE(p.zr, 0);
}

TEST(Fit, AFitBelowHalfAClickEndsTheSearchAtOnce) {
  // With no point ticked every candidate fits perfectly: the very first one wins.
  State s = DefaultState();
  s.Ticked = {0, 0, 0, 0, 0, 0};
  const FitReport r = RunSearch(s);
  EXPECT_TRUE(r.stoppedEarly);
  EXPECT_EQ(r.candidates[0], 1);
  EXPECT_EQ(r.candidates[1], 0);
  ExpectParams(s, {200, 0.01, 1, 15, 3});  // zero ranges from |20 - 5|: range 20 has 0 clicks

  // Data made from a coarse-grid model: found in the coarse pass, fine pass skipped.
  State made = DefaultState();
  made.Ticked = {1, 1, 1, 0, 0, 0};
  const ModelParams truth{850, 0.04, 1.5, 30, 6.5};
  for (size_t i = 0; i < 3; ++i)
    made.DataClicks[i] = static_cast<int16_t>(std::lround(ClicksToDial(truth, made.DataRange[i], false)));
  double rounding = 0;
  for (size_t i = 0; i < 3; ++i) rounding += std::fabs(made.DataClicks[i] - ClicksToDial(truth, made.DataRange[i], false));
  ASSERT_LT(rounding, 0.5);
  const FitReport r2 = RunSearch(made);
  EXPECT_TRUE(r2.stoppedEarly);
  EXPECT_EQ(r2.candidates[1], 0);
  EXPECT_LT(r2.candidates[0], 5525);
  EXPECT_LT(r2.bestError, 0.5);
}

TEST(Fit, MatchesTheLiteralLoopsBitForBit) {
  std::vector<State> cases = {
      DefaultState(),
      WithData({10, 20, 30, 40, 50, 55}, {52, 0, 0, 12, 28, 44}, true),
      WithData({10, 20, 30, 40, 50, 55}, {52, 1, 1, 12, 28, 44}),
      WithData({5, 20, 30, 40, 50, 55}, {1, 3, 4, 12, 28, 44}),
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
    for (size_t i = 0; i < ref.improvements.size(); ++i) {
      EXPECT_EQ(rec.improvements[i].mv, ref.improvements[i].mv);
      EXPECT_EQ(rec.improvements[i].bc, ref.improvements[i].bc);
      EXPECT_EQ(rec.improvements[i].sh, ref.improvements[i].sh);
      EXPECT_EQ(rec.improvements[i].zr, ref.improvements[i].zr);
      EXPECT_EQ(rec.improvements[i].cpm, ref.improvements[i].cpm);
    }
  }
}

TEST(Fit, NonsenseStartingModelIsRefusedNotLoopedOn) {
  // No coarse candidate at all (the nearest-zero point has a negative range),
  // so the fine pass would centre on a saved velocity its step cannot move.
  State s = WithData({-20, 20, 30, 40, 50, 55}, {0, 3, 4, 12, 28, 44});
  s.Ticked[0] = 0;
  s.ModelMV = Variant::Text("1e20", 1e20);
  const FitReport r = RunSearch(s);
  EXPECT_EQ(r.candidates[0], 0);
  EXPECT_FALSE(r.improved);
  ASSERT_TRUE(r.problem);
  EXPECT_NE(r.problem->find("cannot be set up"), std::string::npos);
}
