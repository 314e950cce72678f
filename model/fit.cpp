#include "model/fit.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "model/clicktable.h"
#include "model/trajectory.h"

namespace vantorel {

namespace {

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

}  // namespace

// The search as a resumable nest of loops: the cursor (pass, and the index of
// every loop) is kept between slices, so a slice resumes at the candidate
// after the last one it visited and visits exactly what one uninterrupted run
// would, in the same order.
struct FitJob::Impl {
  enum class Step { Start, Pass, SecondPass, Finished };

  Impl(State& s) : s(s), metric(s.MetricUnits) {}

  State& s;
  const bool metric;
  Workspace w;
  FitReport report;
  Step step = Step::Start;
  int pass = 0;
  int zi = 0, mi = 0, si = 0, b = 0, ci = 0;
  bool zeroReady = false;   // zeroTerm holds the terms of the current zero range
  bool angleReady = false;  // angle holds the angles of the current mv, sh and bc
  std::array<double, kRows> angle{};

  void Refuse() {
    report.problem = "The search cannot be set up around the current model; its values are too far out.";
    step = Step::Finished;
  }

  void Gather() {
    for (int i = 0; i < kRows; ++i) {
      if (!s.IsTicked(i)) continue;
      const auto k = static_cast<size_t>(w.points++);
      w.range[k] = s.DataRange[static_cast<size_t>(i)];
      w.rangeY[k] = metric ? w.range[k] * kYardsPerMetre : w.range[k];
      w.clicks[k] = s.DataClicks[static_cast<size_t>(i)];
    }
  }

  // Forms the grid of a pass; false when it cannot be formed.
  bool FirstGrid() {
    const ZeroRangeGrid z = FirstPassZeroRanges(s);
    PassGrid& g = w.grid;
    bool ok = BuildLoop(z.low, z.high, 1, g.zr);
    ok = ok && (metric ? BuildLoop(80, 400, 20, g.mv) : BuildLoop(200, 1000, 50, g.mv));
    return ok && BuildLoop(1, 3, 0.5, g.sh) && BuildLoop(0.01, 0.05, 0.01, g.bc) && BuildLoop(3, 9, 0.5, g.cpm);
  }

  // The fine pass is centred on the model as it stands after the coarse pass.
  bool SecondGrid() {
    const ModelParams c = s.Params();
    PassGrid& g = w.grid;
    bool ok = BuildLoop(c.zr - 5, c.zr + 5, 1, g.zr);
    ok = ok && (metric ? BuildLoop(c.mv - 10, c.mv + 10, 5, g.mv) : BuildLoop(c.mv - 25, c.mv + 25, 5, g.mv));
    return ok && BuildLoop(c.sh - 0.25, c.sh + 0.25, 0.05, g.sh) &&
           BuildLoop(c.bc - 0.005, c.bc + 0.005, 0.001, g.bc) && BuildLoop(c.cpm - 0.2, c.cpm + 0.2, 0.1, g.cpm);
  }

  void BeginPass(int p) {
    pass = p;
    zi = mi = si = b = ci = 0;
    zeroReady = angleReady = false;
    // Flight terms depend on the ballistic coefficient and the range only.
    const PassGrid& g = w.grid;
    for (int bi = 0; bi < g.bc.n; ++bi)
      for (int i = 0; i < w.points; ++i)
        w.rangeTerm[static_cast<size_t>(bi)][static_cast<size_t>(i)] =
            FlightTerm(w.rangeY[static_cast<size_t>(i)], g.bc.v[static_cast<size_t>(bi)]);
    step = Step::Pass;
  }

  // Runs the current pass until the budget is spent (Running), a candidate
  // improves on the best (Improved), or the pass ends (Done).
  Slice RunPass(SliceBudget& budget) {
    // A slice visits at least one candidate, however little budget it has.
    bool visited = false;
    const PassGrid& g = w.grid;
    int64_t& count = report.candidates[static_cast<size_t>(pass)];
    const int n = w.points;
    for (; zi < g.zr.n; ++zi, mi = 0, zeroReady = false) {
      const double zr = g.zr.v[static_cast<size_t>(zi)];
      if (zr == 0) {
        // Candidates at a zero range of 0 cannot be evaluated: they count as visited.
        count += static_cast<int64_t>(g.mv.n) * g.sh.n * g.bc.n * g.cpm.n;
        continue;
      }
      const double zy = metric ? zr * kYardsPerMetre : zr;
      if (!zeroReady) {
        for (int bi = 0; bi < g.bc.n; ++bi)
          w.zeroTerm[static_cast<size_t>(bi)] = FlightTerm(zy, g.bc.v[static_cast<size_t>(bi)]);
        zeroReady = true;
      }
      for (; mi < g.mv.n; ++mi, si = 0) {
        const double mv = g.mv.v[static_cast<size_t>(mi)];
        const double mvf = metric ? mv * kFeetPerMetre : mv;
        for (; si < g.sh.n; ++si, b = 0) {
          const double sh = g.sh.v[static_cast<size_t>(si)];
          const double shi = metric ? sh * kInchesPerCm : sh;
          for (; b < g.bc.n; ++b, ci = 0, angleReady = false) {
            const double bc = g.bc.v[static_cast<size_t>(b)];
            if (mv == 0 || bc == 0) {
              count += g.cpm.n - ci;
              continue;
            }
            if (!angleReady) {
              // Everything but the clicks per MOA: the angle of each point.
              const double slope = SightSlope(w.zeroTerm[static_cast<size_t>(b)], mvf, shi, zy);
              const auto& terms = w.rangeTerm[static_cast<size_t>(b)];
              for (int i = 0; i < n; ++i) {
                const double h =
                    HeightAt(slope, w.rangeY[static_cast<size_t>(i)], terms[static_cast<size_t>(i)], mvf, shi, metric);
                angle[static_cast<size_t>(i)] = AngleMOA(w.range[static_cast<size_t>(i)], h, metric);
              }
              angleReady = true;
            }
            while (ci < g.cpm.n) {
              if (visited && budget.Spent()) return Slice::Running;
              visited = true;
              ++count;
              const double cpm = g.cpm.v[static_cast<size_t>(ci++)];
              double err = 0;
              for (int i = 0; i < n; ++i)
                err += std::fabs(w.clicks[static_cast<size_t>(i)] + angle[static_cast<size_t>(i)] * cpm);
              if (err < report.bestError) {
                report.bestError = err;
                report.improved = true;
                s.SetParams({mv, bc, sh, zr, cpm});
                if (err < kGoodEnough) {
                  report.stoppedEarly = true;
                  step = Step::Finished;
                }
                return Slice::Improved;
              }
            }
          }
        }
      }
    }
    return Slice::Done;
  }

  Slice Run(SliceBudget& budget) {
    for (;;) {
      switch (step) {
        case Step::Start:
          Gather();
          if (!FirstGrid()) {
            Refuse();
            return Slice::Done;
          }
          BeginPass(0);
          break;
        case Step::Pass: {
          const Slice slice = RunPass(budget);
          if (slice != Slice::Done) return slice;
          if (pass == 1) {
            step = Step::Finished;
            return Slice::Done;
          }
          step = Step::SecondPass;
          break;
        }
        case Step::SecondPass:
          if (!SecondGrid()) {
            Refuse();
            return Slice::Done;
          }
          BeginPass(1);
          break;
        case Step::Finished: return Slice::Done;
      }
    }
  }
};

FitJob::FitJob(State& s) : impl_(std::make_unique<Impl>(s)) {}
FitJob::~FitJob() = default;
FitJob::FitJob(FitJob&&) noexcept = default;
FitJob& FitJob::operator=(FitJob&&) noexcept = default;

FitJob::Slice FitJob::Run(SliceBudget& budget) { return impl_->Run(budget); }
void FitJob::Stop() { impl_->step = Impl::Step::Finished; }
bool FitJob::Done() const { return impl_->step == Impl::Step::Finished; }
const FitReport& FitJob::report() const { return impl_->report; }

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
  UnboundedBudget budget;
  FitJob job(s);
  while (job.Run(budget) != FitJob::Slice::Done)
    if (observer) observer->Improved(s, job.report().bestError);
  return job.report();
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
