// The click table and the start-up estimate: turning the current model
// parameters into whole clicks for ranges 1 to 200, the extents of the ticked
// data points, and the bracketed model clicks shown beside each point.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "model/state.h"

namespace vantorel {

// Title of the message shown when the model parameters cannot be evaluated.
inline constexpr const char* kModelErrorTitle = "Model Error";

// Rebuilds ClickTable for ranges 1 to 200 and MinTableClicks from the model
// parameters: each entry is the clicks to dial, rounded half away from zero.
// When the parameters cannot be evaluated, or an entry does not fit a 16-bit
// integer, returns a description and leaves the table and MinTableClicks as
// they were.
std::optional<std::string> Fill_Array(State& s);

// Caption of an ErrorInd label for a click value: "(52)", "(-1)".
std::string ErrorIndCaption(double clicks);

// Result of the start-up estimate.
struct Estimate {
  std::optional<std::string> problem;  // set when the model cannot be evaluated
  // New captions of the ErrorInd labels; nullopt leaves a label unchanged
  // (unticked points, and ticked points whose range has no table entry).
  std::array<std::optional<std::string>, kRows> labels;
};

// The start-up estimate without any search: sets MaxDataRange, MinDataRange
// and MaxDataClicks from the ticked points, rebuilds the click table and
// labels every ticked point with the table's clicks at its range. The caller
// then draws the graph and the list (not when a problem is reported).
Estimate PseudoCalc(State& s);

// The ClickTable entry for a range, or nullopt for a range outside 1 to 251.
std::optional<int> TableEntry(const TableExtents& s, int range);

}  // namespace vantorel
