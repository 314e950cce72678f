// Two complete sets of settings for the tests of the saved settings, and
// their saved texts.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "model/state.h"
#include "settings/settings.h"

namespace vantorel::test {

inline const std::string kPath = BuildSettingsPath("Vantorel");

// Two sets that differ in every saved value but Tick(2).
inline State StateA() { State s = DefaultState(); s.SettingsPath = kPath; return s; }
inline State StateB() {
  State s = StateA();
  s.DataRange = {12, 24, 36, 48, 60, 72}, s.DataClicks = {-3, 5, 17, 29, -41, 53}, s.Ticked = {0, 2, 1, 0, 2, 0};
  s.ModelMV = Variant::Text("812.25", 812.25), s.ModelBC = Variant::Text("0.0275", 0.0275), s.ModelSH = Variant::Text("1.75", 1.75);
  s.ModelZR = Variant::Text("27", 27), s.ModelCPM = 4, s.MetricUnits = true;
  return s;
}
// The saved texts of a state in the order they are written, as one line: R(0)=12;C(0)=-3;...
inline std::string Joined(const State& s) {
  std::string line;
  for (size_t i = 0; i < 6; ++i)
    for (const auto& [name, row] : {std::pair{"R(", &s.DataRange}, {"C(", &s.DataClicks}, {"Tick(", &s.Ticked}})
      line += name + std::to_string(i) + ")=" + std::to_string((*row)[i]) + ";";
  for (auto [name, p] : {std::pair{"oMV", &s.ModelMV}, {"oBC", &s.ModelBC}, {"oSH", &s.ModelSH}, {"oZR", &s.ModelZR}})
    line += name + ("=" + (p->isText() ? p->text() : LocaleNumberText(p->number()))) + ";";
  return line + "oCPM=" + LocaleNumberText(s.ModelCPM) + ";Metric=" + (s.MetricUnits ? "1" : "0");
}

}  // namespace vantorel::test
