#include "model/fit.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "model/clicktable.h"
#include "model/trajectory.h"

namespace vantorel {

namespace {

constexpr double kStartError = 100000000.0;
constexpr double kGoodEnough = 0.5;
// No sensible loop of the search has more than a few dozen values; a loop
// that would exceed this (a step too small to move its counter, or bounds
// from a nonsensical saved model) is refused instead of running for ever.
constexpr int kMaxLoopValues = 1024;

// The values a counting loop visits: the counter starts at low, the body
// runs while it is at most high, and the step is added to it after each
// pass. The counter is never recomputed from low, so accumulated rounding
// decides whether the last nominal value is reached.
struct Loop {
  std::array<double, kMaxLoopValues> v{};
  int n = 0;
};

bool BuildLoop(double low, double high, double step, Loop& loop) {
  loop.n = 0;
  for (double counter = low; counter <= high; counter += step) {
    if (loop.n == kMaxLoopValues) return false;
    loop.v[static_cast<size_t>(loop.n++)] = counter;
  }
  return true;
}

struct PassGrid {
  Loop zr, mv, sh, bc, cpm;
};

// Everything the search needs, allocated once before the loops.
struct Workspace {
  PassGrid grid;
  int points = 0;
  std::array<double, kRows> range{};                                  // ticked ranges, in the current units
  std::array<double, kRows> rangeY{};                                 // the same in yards (metric ranges converted)
  std::array<double, kRows> clicks{};                                 // measured clicks
  std::array<std::array<double, kRows>, kMaxLoopValues> rangeTerm{};  // FlightTerm(range, bc) per bc
  std::array<double, kMaxLoopValues> zeroTerm{};                      // FlightTerm(zero range, bc) per bc
};

class Search {
 public:
  Search(State& s, FitObserver* obs, Workspace& w) : s_(s), obs_(obs), w_(w), metric_(s.MetricUnits) {}

  FitReport Run() {
    for (int i = 0; i < kRows; ++i) {
      if (!s_.IsTicked(i)) continue;
      const auto k = static_cast<size_t>(w_.points++);
      w_.range[k] = s_.DataRange[static_cast<size_t>(i)];
      w_.rangeY[k] = metric_ ? w_.range[k] * kYardsPerMetre : w_.range[k];
      w_.clicks[k] = s_.DataClicks[static_cast<size_t>(i)];
    }

    const ZeroRangeGrid z = FirstPassZeroRanges(s_);
    PassGrid& g = w_.grid;
    bool ok = BuildLoop(z.low, z.high, 1, g.zr);
    ok = ok && (metric_ ? BuildLoop(80, 400, 20, g.mv) : BuildLoop(200, 1000, 50, g.mv));
    ok = ok && BuildLoop(1, 3, 0.5, g.sh) && BuildLoop(0.01, 0.05, 0.01, g.bc) && BuildLoop(3, 9, 0.5, g.cpm);
    if (!ok) return Refuse();
    if (RunPass(0)) return report_;

    // The fine pass is centred on the model as it stands after the coarse pass.
    const ModelParams c = s_.Params();
    ok = BuildLoop(c.zr - 5, c.zr + 5, 1, g.zr);
    ok = ok && (metric_ ? BuildLoop(c.mv - 10, c.mv + 10, 5, g.mv) : BuildLoop(c.mv - 25, c.mv + 25, 5, g.mv));
    ok = ok && BuildLoop(c.sh - 0.25, c.sh + 0.25, 0.05, g.sh) && BuildLoop(c.bc - 0.005, c.bc + 0.005, 0.001, g.bc) &&
         BuildLoop(c.cpm - 0.2, c.cpm + 0.2, 0.1, g.cpm);
    if (!ok) return Refuse();
    RunPass(1);
    return report_;
  }

 private:
  FitReport& Refuse() {
    report_.problem = "The search cannot be set up around the current model; its values are too far out.";
    return report_;
  }

  // Visits one candidate; false when the observer stops the search there.
  bool Visit(int64_t& count) {
    ++count;
    return !obs_ || obs_->Candidate();
  }

  // Runs one pass; true when the search is over (a fit below 0.5 was found,
  // or the observer stopped it).
  bool RunPass(int pass) {
    const PassGrid& g = w_.grid;
    int64_t& count = report_.candidates[static_cast<size_t>(pass)];
    const int n = w_.points;

    // Flight terms depend on the ballistic coefficient and the range only.
    for (int b = 0; b < g.bc.n; ++b)
      for (int i = 0; i < n; ++i)
        w_.rangeTerm[static_cast<size_t>(b)][static_cast<size_t>(i)] =
            FlightTerm(w_.rangeY[static_cast<size_t>(i)], g.bc.v[static_cast<size_t>(b)]);

    std::array<double, kRows> angle{};
    for (int zi = 0; zi < g.zr.n; ++zi) {
      const double zr = g.zr.v[static_cast<size_t>(zi)];
      if (zr == 0) {
        const int64_t inner = static_cast<int64_t>(g.mv.n) * g.sh.n * g.bc.n * g.cpm.n;
        for (int64_t k = 0; k < inner; ++k)
          if (!Visit(count)) return true;
        continue;
      }
      const double zy = metric_ ? zr * kYardsPerMetre : zr;
      for (int b = 0; b < g.bc.n; ++b)
        w_.zeroTerm[static_cast<size_t>(b)] = FlightTerm(zy, g.bc.v[static_cast<size_t>(b)]);

      for (int mi = 0; mi < g.mv.n; ++mi) {
        const double mv = g.mv.v[static_cast<size_t>(mi)];
        const double mvf = metric_ ? mv * kFeetPerMetre : mv;
        for (int si = 0; si < g.sh.n; ++si) {
          const double sh = g.sh.v[static_cast<size_t>(si)];
          const double shi = metric_ ? sh * kInchesPerCm : sh;
          for (int b = 0; b < g.bc.n; ++b) {
            const double bc = g.bc.v[static_cast<size_t>(b)];
            if (mv == 0 || bc == 0) {
              for (int ci = 0; ci < g.cpm.n; ++ci)
                if (!Visit(count)) return true;
              continue;
            }
            // Everything but the clicks per MOA: the angle of each point.
            const double slope = SightSlope(w_.zeroTerm[static_cast<size_t>(b)], mvf, shi, zy);
            const auto& terms = w_.rangeTerm[static_cast<size_t>(b)];
            for (int i = 0; i < n; ++i) {
              const double h =
                  HeightAt(slope, w_.rangeY[static_cast<size_t>(i)], terms[static_cast<size_t>(i)], mvf, shi, metric_);
              angle[static_cast<size_t>(i)] = AngleMOA(w_.range[static_cast<size_t>(i)], h, metric_);
            }
            for (int ci = 0; ci < g.cpm.n; ++ci) {
              if (!Visit(count)) return true;
              const double cpm = g.cpm.v[static_cast<size_t>(ci)];
              double err = 0;
              for (int i = 0; i < n; ++i)
                err += std::fabs(w_.clicks[static_cast<size_t>(i)] + angle[static_cast<size_t>(i)] * cpm);
              if (err < report_.bestError) {
                report_.bestError = err;
                report_.improved = true;
                s_.SetParams({mv, bc, sh, zr, cpm});
                if (obs_) obs_->Improved(s_, err);
                if (err < kGoodEnough) {
                  report_.stoppedEarly = true;
                  return true;
                }
              }
            }
          }
        }
      }
    }
    return false;
  }

  State& s_;
  FitObserver* obs_;
  Workspace& w_;
  const bool metric_;
  FitReport report_;
};

}  // namespace

ZeroRangeGrid FirstPassZeroRanges(const State& s) {
  ZeroRangeGrid z;
  // A ticked point measured at zero clicks marks a range where the path
  // crosses the line of sight; the highest-numbered such point is taken.
  for (int i = kRows - 1; i >= 0; --i) {
    if (s.IsTicked(i) && s.DataClicks[static_cast<size_t>(i)] == 0) {
      z.trialZR = z.low = z.high = s.DataRange[static_cast<size_t>(i)];
      break;
    }
  }
  if (z.trialZR == 0) {
    // Otherwise search around the point, ticked or not, nearest to zero clicks.
    int smallest = 999;
    for (int i = 0; i < kRows; ++i) {
      const int a = std::abs(static_cast<int>(s.DataClicks[static_cast<size_t>(i)]));
      if (a < smallest) {
        smallest = a;
        const int range = s.DataRange[static_cast<size_t>(i)];
        z.trialZR = range;
        z.low = std::abs(range - 5);
        z.high = range + 5;
      }
    }
  }
  if (z.low == z.high) z.low = z.high = z.trialZR;
  return z;
}

FitReport RunSearch(State& s, FitObserver* observer) {
  auto workspace = std::make_unique<Workspace>();
  Search search(s, observer, *workspace);
  return search.Run();
}

void BeginFit(State& s) {
  s.MaxDataRange = 0;
  for (int i = 0; i < kRows; ++i)
    if (s.IsTicked(i) && s.DataRange[static_cast<size_t>(i)] > s.MaxDataRange)
      s.MaxDataRange = s.DataRange[static_cast<size_t>(i)];
}

FitFinish FinishFit(State& s) {
  FitFinish f;
  f.problem = Fill_Array(s);
  if (f.problem) return f;
  const ModelParams p = s.Params();
  for (int i = 0; i < kRows; ++i)
    f.labels[static_cast<size_t>(i)] =
        ErrorIndCaption(ClicksToDial(p, s.DataRange[static_cast<size_t>(i)], s.MetricUnits));
  return f;
}

}  // namespace vantorel
