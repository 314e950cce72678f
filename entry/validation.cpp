#include "entry/validation.h"

#include <cmath>

#include "model/numtext.h"

namespace vantorel {

// The message has always said 100 while the rule allows 200: shooters know it by these words.
std::string RangeErrorBody(bool metric) {
  return std::string("Ranges must be greater than zero but no greater than 100 ") + (metric ? "Metres." : "Yards.");
}

std::optional<Refusal> CollectData(State& s, RowTexts& rangeTexts, RowTexts& clickTexts) {
  std::array<int16_t, kRows> ranges{}, clicks{};
  for (size_t i = 0; i < kRows; ++i) {
    const auto r = ToInt16HalfEven(LeadingNumber(rangeTexts[i]));
    if (!r) return Refusal{"Range Error", RangeErrorBody(s.MetricUnits)};
    const auto c = ToInt16HalfEven(LeadingNumber(clickTexts[i]));
    if (!c)
      return Refusal{"Clicks Error", "Clicks must be whole numbers from -32768 to 32767:\r\n(Clicks @ Range #" +
                                         std::to_string(i + 1) + " ?)"};
    ranges[i] = *r;
    clicks[i] = *c;
  }
  for (size_t i = 0; i < kRows; ++i) {
    s.DataRange[i] = ranges[i];
    s.DataClicks[i] = clicks[i];
    rangeTexts[i] = FormatNumber(ranges[i], "0");
    clickTexts[i] = FormatNumber(clicks[i], "0");
  }
  return std::nullopt;
}

std::optional<Refusal> Sanity_Check(const State& s) {
  for (size_t i = 0; i < kRows; ++i)
    if (s.DataRange[i] <= 0 || s.DataRange[i] > 200) return Refusal{"Range Error", RangeErrorBody(s.MetricUnits)};
  for (int j = 0; j + 1 < kRows; ++j) {
    if (s.IsTicked(j) && s.IsTicked(j + 1) &&
        s.DataRange[static_cast<size_t>(j)] == s.DataRange[static_cast<size_t>(j) + 1]) {
      // "be be", and the blank before "?)", are the message as it has always read.
      return Refusal{"Same Ranges Specified", "Ranges must be be unique:\r\n(Range #" + std::to_string(j + 1) +
                                                  " = Range #" + std::to_string(j + 2) + " ?)"};
    }
  }
  return std::nullopt;
}

Refusal MoreRangesNeeded(const std::string& exeName) {
  return {"More Ranges Needed", exeName + " needs at least three enabled ranges to generate a list."};
}

std::optional<std::string> NormalisedRangeText(const std::string& text) {
  const double v = RoundHalfEven(std::fabs(LeadingNumber(text)));
  if (!(v <= 200)) return std::nullopt;
  return FormatNumber(v, "0");
}

}  // namespace vantorel
