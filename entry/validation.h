// Turning the six rows' texts into data points, and the rules that guard a
// set of data points before it is fitted.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "model/state.h"

namespace vantorel {

// A refused input: the error window's title and body.
struct Refusal {
  std::string title;
  std::string body;
};

using RowTexts = std::array<std::string, kRows>;

// Body of the range-band message for the current units.
std::string RangeErrorBody(bool metric);

// Reads the six range and clicks texts by the leading-number rule, rounding
// halves to even, into DataRange and DataClicks, and rewrites both texts as
// plain digits. A value that does not fit a 16-bit field refuses the whole
// collection (a range with the "Range Error" message); nothing changes then.
std::optional<Refusal> CollectData(State& s, RowTexts& rangeTexts, RowTexts& clickTexts);

// The range band (all six rows, 1 to 200) and no equal ranges in two
// neighbouring ticked rows; the first rule broken is returned.
std::optional<Refusal> Sanity_Check(const State& s);

// The message shown when a cleared tick would leave fewer than three rows.
Refusal MoreRangesNeeded(const std::string& exeName);

// A range field's text after Enter or leaving it: the absolute value, rounded
// half to even, as plain digits when it is 200 or less; nullopt when the text
// must stay exactly as typed (above 200, or too large to hold).
std::optional<std::string> NormalisedRangeText(const std::string& text);

}  // namespace vantorel
