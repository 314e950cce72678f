#include "output/clicklist.h"

#include "model/numtext.h"
#include "model/trajectory.h"

namespace vantorel {

std::string PadTo(std::string_view text, size_t width, int mode) {
  std::string out(text);
  if (out.size() >= width || (mode != 0 && mode != 1)) return out;
  const std::string pad(width - out.size(), ' ');
  return mode == 0 ? pad + out : out + pad;
}

std::string sFancy(std::string_view s, int x) { return PadTo(s, 3, x); }

// The tooltip has always said 1 - 100, even when the list runs on to 200.
std::string ClickListTooltip(const State& s) {
  return std::string("Range/Click List (1 - 100 ") + (s.MetricUnits ? "m)" : "Yard)");
}

std::vector<std::string> ClickListLines(const State& s) {
  std::vector<std::string> lines;
  lines.push_back(sFancy("R", 0) + " " + sFancy("C", 1));
  lines.push_back(sFancy(s.MetricUnits ? "m" : "Yd", 0) + " Clk");
  lines.emplace_back();
  const ModelParams p = s.Params();
  for (int r = s.MinDataRange; r <= s.MaxDataRange; ++r) {
    std::string line = sFancy(FormatNumber(r, "0"), 0) + ":" +
                       sFancy(FormatNumber(ClicksToDial(p, r, s.MetricUnits), "0"), 1);
    for (int k = 0; k < kRows; ++k)
      if (s.DataRange[static_cast<size_t>(k)] == r)
        line += " (" + FormatNumber(s.DataClicks[static_cast<size_t>(k)], "0)");
    lines.push_back(std::move(line));
  }
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines, std::string_view sep) {
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) out += sep;
    out += lines[i];
  }
  return out;
}

}  // namespace vantorel
