#include "entry/calculate.h"

namespace vantorel {

Calculation CalculateModel(State& s, RowTexts ranges, RowTexts clicks, CalculateSteps& steps) {
  Calculation c;
  if ((c.refused = CollectData(s, ranges, clicks))) return c;
  steps.Collected(ranges, clicks);
  if ((c.refused = Sanity_Check(s))) return c;
  BeginFit(s);
  steps.Started();
  c.fit = RunSearch(s, &steps);
  c.finish = FinishFit(s);
  return c;
}

}  // namespace vantorel
