#include "model/state.h"

namespace vantorel {

State DefaultState() {
  State s;
  s.DataRange = kDefaultRanges;
  s.DataClicks = kDefaultClicks;
  s.Ticked.fill(kDefaultTick);
  s.SetParams(kDefaultModel);
  s.MetricUnits = false;
  return s;
}

}  // namespace vantorel
