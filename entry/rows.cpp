#include "entry/rows.h"

namespace vantorel {

int NextTickValue(int value) { return value == 0 ? 1 : 0; }

std::optional<Refusal> TooFewTicked(const DataRows& s, const std::string& exeName) {
  if (s.TickedCount() >= kMinimumTicked) return std::nullopt;
  return MoreRangesNeeded(exeName);
}

std::optional<Refusal> TickRefusal(const DataRows& s, int row, const std::string& exeName) {
  if (row < 0 || row >= kRows || s.Ticked[static_cast<size_t>(row)] != 0) return std::nullopt;
  return TooFewTicked(s, exeName);
}

}  // namespace vantorel
