#include "model/clicktable.h"

#include <cmath>

#include "model/numtext.h"
#include "model/trajectory.h"

namespace vantorel {

std::optional<std::string> Fill_Array(State& s) {
  const ModelParams p = s.Params();
  if (auto problem = ModelProblem(p, s.MetricUnits)) return problem;

  std::array<int16_t, kTableFilled> fresh{};
  int minClicks = 0;
  for (int r = 1; r <= kTableFilled; ++r) {
    const double whole = RoundHalfAway(ClicksToDial(p, r, s.MetricUnits));
    if (!(whole >= -32768.0 && whole <= 32767.0)) {
      return "At range " + std::to_string(r) + " the model gives more clicks than the list can hold.";
    }
    fresh[static_cast<size_t>(r - 1)] = static_cast<int16_t>(whole);
    if (whole < minClicks) minClicks = static_cast<int>(whole);
  }
  for (size_t i = 0; i < fresh.size(); ++i) s.ClickTable[i] = fresh[i];
  s.MinTableClicks = minClicks;
  return std::nullopt;
}

std::string ErrorIndCaption(double clicks) {
  std::string caption = "(";
  caption += FormatNumber(clicks, "0)");
  return caption;
}

std::optional<int> TableEntry(const TableExtents& s, int range) {
  if (range < 1 || range > kTableSize) return std::nullopt;
  return s.ClickTable[static_cast<size_t>(range - 1)];
}

Estimate PseudoCalc(State& s) {
  Estimate e;
  s.MaxDataClicks = 0;
  s.MaxDataRange = 0;
  s.MinDataRange = 200;
  for (int i = 0; i < kRows; ++i) {
    if (!s.IsTicked(i)) continue;
    const int range = s.DataRange[static_cast<size_t>(i)];
    if (range > s.MaxDataRange) s.MaxDataRange = range;
    if (range < s.MinDataRange) s.MinDataRange = range;
    if (s.DataClicks[static_cast<size_t>(i)] > s.MaxDataClicks) s.MaxDataClicks = s.DataClicks[static_cast<size_t>(i)];
  }
  e.problem = Fill_Array(s);
  if (e.problem) return e;
  for (int i = 0; i < kRows; ++i) {
    if (!s.IsTicked(i)) continue;
    if (auto entry = TableEntry(s, s.DataRange[static_cast<size_t>(i)]))
      e.labels[static_cast<size_t>(i)] = ErrorIndCaption(*entry);
  }
  return e;
}

}  // namespace vantorel
