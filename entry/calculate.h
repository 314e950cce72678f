// The calculate sequence that the window and vantorel-fit share: the rows'
// texts collected into data points and checked, the two-pass search, then
// the click table and the labels of the fitted model. What a front end shows
// along the way it does in the steps' hooks.
#pragma once

#include <optional>
#include <string>

#include "entry/validation.h"
#include "model/fit.h"

namespace vantorel {

class CalculateSteps : public FitObserver {
 public:
  // The texts as collected (plain digits), before the data points are checked.
  virtual void Collected(const RowTexts& /*ranges*/, const RowTexts& /*clicks*/) {}
  // The data points passed the checks and MaxDataRange is set: the search
  // starts next.
  virtual void Started() {}
};

struct Calculation {
  std::optional<Refusal> refused;  // the data points were refused; nothing else ran
  FitReport fit;
  FitFinish finish;
  // Why the model cannot be evaluated, from the search or from its finish.
  std::optional<std::string> problem() const { return fit.problem ? fit.problem : finish.problem; }
};

Calculation CalculateModel(State& s, RowTexts ranges, RowTexts clicks, CalculateSteps& steps);

}  // namespace vantorel
