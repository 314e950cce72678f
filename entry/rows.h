// The rules of the six data-point rows: the tick boxes' cycle and the
// minimum of ticked rows that the window and vantorel-fit share.
#pragma once

#include <optional>
#include <string>

#include "entry/validation.h"
#include "model/state.h"

namespace vantorel {

// A fit needs at least this many ticked rows.
inline constexpr int kMinimumTicked = 3;

// The value a user's click gives a tick box: a ticked or greyed box is
// cleared, a clear one ticked.
int NextTickValue(int value);

// After the box of row changed: the refusal when it was cleared and fewer
// than kMinimumTicked rows are left ticked (the box is then ticked again).
std::optional<Refusal> TickRefusal(const DataRows& s, int row, const std::string& exeName);

// The refusal when fewer than kMinimumTicked rows are ticked.
std::optional<Refusal> TooFewTicked(const DataRows& s, const std::string& exeName);

}  // namespace vantorel
