// The two-pass grid search that fits the five model parameters to the ticked
// data points. It knows nothing of windows: a window runs it as a job in
// slices between turns of its event loop, each slice ending when its budget
// is spent or at a strict improvement (the window redraws its graph there).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "model/state.h"

namespace vantorel {

class FitObserver {
 public:
  virtual ~FitObserver() = default;
  // Called after a strictly better candidate has been copied into the
  // model parameters of the state.
  virtual void Improved(const State& /*s*/, double /*fitError*/) {}
};

// How long a slice of the search may go on: asked before every candidate but
// a slice's first (a slice always visits one).
class SliceBudget {
 public:
  virtual ~SliceBudget() = default;
  virtual bool Spent() = 0;
};

class UnboundedBudget : public SliceBudget {
 public:
  bool Spent() override { return false; }
};

// The zero range the coarse pass is centred on, and that pass's zero-range loop.
struct ZeroRangeGrid {
  double trialZR = 0;
  double low = 0;
  double high = 0;
};
ZeroRangeGrid FirstPassZeroRanges(const State& s);

struct FitReport {
  std::array<int64_t, 2> candidates{0, 0};  // candidates visited in pass 1 and pass 2
  double bestError = 100000000.0;           // smallest fit error found
  bool improved = false;                    // some candidate beat the starting error
  bool stoppedEarly = false;                // a fit error below 0.5 ended the search
  std::optional<std::string> problem;       // the search grid could not be formed
};

// The search as a job run in slices. Between slices the job keeps its place:
// the slices together visit exactly the candidates of one uninterrupted run,
// in the same order, with the same result.
class FitJob {
 public:
  enum class Slice {
    Running,   // the budget was spent; more candidates remain
    Improved,  // a strictly better candidate is now the model in the state
    Done,      // the search is over (or was stopped, or could not start)
  };
  explicit FitJob(State& s);
  ~FitJob();
  FitJob(FitJob&&) noexcept;
  FitJob& operator=(FitJob&&) noexcept;

  Slice Run(SliceBudget& budget);
  // Ends the search where it stands: the model keeps the best candidate so far.
  void Stop();
  bool Done() const;
  const FitReport& report() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Runs the zero-range guess and both passes on the ticked points. Every strict
// improvement is copied into ModelMV, ModelBC, ModelSH, ModelZR and ModelCPM
// at once. Candidates with a zero range, muzzle velocity or ballistic
// coefficient of exactly 0 cannot be evaluated: they count as visited and are
// skipped. A fit error that is not a finite number never counts as better.
FitReport RunSearch(State& s, FitObserver* observer = nullptr);

// Before the search: MaxDataRange becomes the largest ticked range (0 with none).
void BeginFit(State& s);

// After the search: rebuilds the click table and returns the six ErrorInd
// captions from the fitted model, or a problem when it cannot be evaluated.
struct FitFinish {
  std::optional<std::string> problem;
  std::array<std::string, kRows> labels;
};
FitFinish FinishFit(State& s);

}  // namespace vantorel
