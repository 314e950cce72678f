// Two complete sets of settings that differ in every saved value but Tick(2),
// shared by the settings tests and the helper program they start.
#pragma once

#include "model/state.h"
#include "settings/settings.h"

namespace storetest {

inline vantorel::State StateA() {
  vantorel::State s = vantorel::DefaultState();
  s.SettingsPath = vantorel::BuildSettingsPath("Vantorel");
  return s;
}

inline vantorel::State StateB() {
  vantorel::State s = StateA();
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
  for (size_t i = 0; i < 6; ++i)
    for (const auto& [name, row] : {std::pair{"R(", &s.DataRange}, {"C(", &s.DataClicks}, {"Tick(", &s.Ticked}})
      v.emplace_back(name + std::to_string(i) + ")", std::to_string((*row)[i]));
  auto text = [](const vantorel::Variant& p) { return p.isText() ? p.text() : vantorel::LocaleNumberText(p.number()); };
  for (auto [name, p] : {std::pair{"oMV", &s.ModelMV}, {"oBC", &s.ModelBC}, {"oSH", &s.ModelSH}, {"oZR", &s.ModelZR}})
    v.emplace_back(name, text(*p));
  v.emplace_back("oCPM", vantorel::LocaleNumberText(s.ModelCPM));
  v.emplace_back("Metric", s.MetricUnits ? "1" : "0");
  return v;
}

// The saved texts as one line: R(0)=12;C(0)=-3;...
inline std::string Joined(const vantorel::State& s) {
  std::string line;
  for (const auto& [name, text] : SavedTexts(s)) line += (line.empty() ? "" : ";") + name + "=" + text;
  return line;
}

}  // namespace storetest
