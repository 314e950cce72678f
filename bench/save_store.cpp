// Saves one set of settings, different from the defaults in every value,
// into the program's store under ${XDG_CONFIG_HOME}, as the window's close
// does (scripts/flipstore.py damages copies of the file it makes). With
// --show, loads them as `vantorel-fit --saved` does (only reading) and
// prints every loaded value on one line, as name=text;...
#include <exception>
#include <iostream>
#include <string>

#include "platform/store.h"
#include "settings/settings.h"

namespace {

std::string Shown(const vantorel::Variant& v) { return v.isText() ? v.text() : std::to_string(v.number()); }

}  // namespace

int main(int argc, char** argv) {
  using namespace vantorel;
  if (argc == 2 && std::string(argv[1]) == "--show") {
    const auto store = platform::OpenProgramStore();
    platform::store::AccessScope readOnly(*store, platform::store::Access::ReadOnly);
    State s = DefaultState();
    s.SettingsPath = BuildSettingsPath("Vantorel");
    LoadData(*store, s);
    for (size_t i = 0; i < kRows; ++i)
      std::cout << "R(" << i << ")=" << s.DataRange[i] << ";C(" << i << ")=" << s.DataClicks[i] << ";Tick(" << i
                << ")=" << s.Ticked[i] << ";";
    std::cout << "oMV=" << Shown(s.ModelMV) << ";oBC=" << Shown(s.ModelBC) << ";oSH=" << Shown(s.ModelSH)
              << ";oZR=" << Shown(s.ModelZR) << ";oCPM=" << std::to_string(s.ModelCPM) << ";Metric=" << s.MetricUnits
              << "\n";
    return 0;
  }
  State s = DefaultState();
  s.SettingsPath = BuildSettingsPath("Vantorel");
  s.DataRange = {12, 24, 36, 48, 60, 72};
  s.DataClicks = {-3, 5, 17, 29, -41, 53};
  s.Ticked = {1, 2, 1, 0, 1, 1};
  s.ModelMV = Variant::Text("812.25", 812.25);
  s.ModelBC = Variant::Text("0.0275", 0.0275);
  s.ModelSH = Variant::Text("1.75", 1.75);
  s.ModelZR = Variant::Text("27", 27);
  s.ModelCPM = 4;
  s.MetricUnits = true;
  try {
    const auto store = platform::OpenProgramStore();
    SaveData(*store, s);
  } catch (const std::exception& e) {
    std::cerr << "save_store: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
