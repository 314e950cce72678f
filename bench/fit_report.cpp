// The fit's figures as exact numbers, for comparing two builds of the model
// (scripts/crosscheck.py runs the Linux and the Windows build of this).
// Reads one data set a line, in vantorel-fit's words: [--metric] and six
// rows RANGE:CLICKS or RANGE:CLICKS:off. For each it runs the estimate and
// the fit and prints the fitted parameters, the fit error ("%.17g"), the
// candidate counts, the labels and the whole click table, then (on a line
// of its own, "raw") the unrounded clicks of the fitted model at every range
// of the table; a line it cannot read gives "unreadable".
#include <cinttypes>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

#include "model/clicktable.h"
#include "model/fit.h"
#include "model/trajectory.h"

using namespace vantorel;

namespace {

// A whole number in -32768..32767 and nothing else.
bool ReadInt16(const std::string& text, int16_t& out) {
  if (text.empty() || text.size() > 6) return false;
  int v = 0;
  size_t i = text[0] == '-' ? 1 : 0;
  if (i == text.size()) return false;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (text[i] - '0');
  }
  v = text[0] == '-' ? -v : v;
  if (v < -32768 || v > 32767) return false;
  out = static_cast<int16_t>(v);
  return true;
}

bool ReadSet(const std::string& line, State& s) {
  std::istringstream words(line);
  std::string w;
  int row = 0;
  while (words >> w) {
    if (w == "--metric") {
      s.MetricUnits = true;
      continue;
    }
    if (row == kRows) return false;
    const size_t colon = w.find(':'), second = w.find(':', colon + 1);
    const auto k = static_cast<size_t>(row++);
    if (colon == std::string::npos || !ReadInt16(w.substr(0, colon), s.DataRange[k]) ||
        !ReadInt16(w.substr(colon + 1, second == std::string::npos ? second : second - colon - 1), s.DataClicks[k]))
      return false;
    s.Ticked[k] = second == std::string::npos ? 1 : 0;
  }
  return row == kRows;
}

}  // namespace

int main() {
  for (std::string line; std::getline(std::cin, line);) {
    State s = DefaultState();
    if (!ReadSet(line, s)) {
      std::printf("unreadable\n\n\n\nraw\n");
      continue;
    }
    PseudoCalc(s);
    BeginFit(s);
    const FitReport r = RunSearch(s);
    const FitFinish f = FinishFit(s);
    const ModelParams p = s.Params();
    std::printf("model %.17g %.17g %.17g %.17g %.17g\n", p.mv, p.bc, p.sh, p.zr, p.cpm);
    std::printf("error %.17g candidates %" PRId64 " %" PRId64 " early %d\n", r.bestError, r.candidates[0],
                r.candidates[1], r.stoppedEarly ? 1 : 0);
    std::printf("labels");
    for (const std::string& l : f.labels) std::printf(" %s", l.c_str());
    std::printf("\ntable %s min %d:", f.problem ? f.problem->c_str() : "ok", s.MinTableClicks);
    for (int i = 0; i < kTableFilled; ++i) std::printf(" %d", s.ClickTable[static_cast<size_t>(i)]);
    std::printf("\nraw");
    for (int r = 1; r <= kTableFilled; ++r) std::printf(" %.17g", ClicksToDial(p, r, s.MetricUnits));
    std::printf("\n");
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
