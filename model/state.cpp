#include "model/state.h"

namespace vantorel {

State DefaultState() {
  State s;
  s.DataRange = {10, 20, 30, 40, 50, 55};
  s.DataClicks = {52, 0, 0, 12, 28, 44};
  s.Ticked = {1, 1, 1, 1, 1, 1};
  s.SetParams({790, 0.033, 2, 30, 8});
  s.MetricUnits = false;
  return s;
}

}  // namespace vantorel
