// Two complete sets of settings that differ in every saved value, shared by
// the settings tests and the helper program they start.
#pragma once

#include "model/state.h"
#include "shell/settings.h"

namespace storetest {

inline vantorel::State StateA() {
  vantorel::State s = vantorel::DefaultState();
  s.SettingsPath = vantorel::BuildSettingsPath("Vantorel");
  return s;
}

inline vantorel::State StateB() {
  vantorel::State s;
  s.SettingsPath = vantorel::BuildSettingsPath("Vantorel");
  s.DataRange = {12, 24, 36, 48, 60, 72};
  s.DataClicks = {-3, 5, 17, 29, -41, 53};
  s.Ticked = {0, 2, 1, 0, 2, 0};
  s.ModelMV = vantorel::Variant::Text("812.25", 812.25);
  s.ModelBC = vantorel::Variant::Text("0.0275", 0.0275);
  s.ModelSH = vantorel::Variant::Text("1.75", 1.75);
  s.ModelZR = vantorel::Variant::Text("27", 27);
  s.ModelCPM = 4;
  s.MetricUnits = true;
  return s;
}

// The saved texts of a state, by value name, in the order they are written.
inline std::vector<std::pair<std::string, std::string>> SavedTexts(const vantorel::State& s) {
  std::vector<std::pair<std::string, std::string>> v;
  for (size_t i = 0; i < 6; ++i) {
    const std::string n = std::to_string(i);
    v.emplace_back("R(" + n + ")", std::to_string(s.DataRange[i]));
    v.emplace_back("C(" + n + ")", std::to_string(s.DataClicks[i]));
    v.emplace_back("Tick(" + n + ")", std::to_string(s.Ticked[i]));
  }
  auto text = [](const vantorel::Variant& p) { return p.isText() ? p.text() : vantorel::LocaleNumberText(p.number()); };
  v.emplace_back("oMV", text(s.ModelMV));
  v.emplace_back("oBC", text(s.ModelBC));
  v.emplace_back("oSH", text(s.ModelSH));
  v.emplace_back("oZR", text(s.ModelZR));
  v.emplace_back("oCPM", vantorel::LocaleNumberText(s.ModelCPM));
  v.emplace_back("Metric", s.MetricUnits ? "1" : "0");
  return v;
}

}  // namespace storetest
