#include "settings/settings.h"

#include <cmath>
#include <limits>

namespace vantorel {

namespace {

std::string Indexed(const char* stem, int i) { return std::string(stem) + "(" + std::to_string(i) + ")"; }

// One store object per access, pointed at a value of the settings key.
cRegistry SettingsValue(const std::string& settingsPath, const std::string& name) {
  cRegistry r;
  r.ClassKey(cRegistry::HKEY_LOCAL_MACHINE);
  r.SectionKey(settingsPath);
  r.ValueKey(name);
  r.ValueType(cRegistry::REG_SZ);
  return r;
}

// A 16-bit setting; the default when the text is not a number that fits.
int16_t Int16Setting(const SettingReader& get, const std::string& name, int16_t def) {
  return LocaleToInt16(get(name, std::to_string(def))).value_or(def);
}

// A model parameter keeps the text it was read from, with its number (NaN
// when the text is not a number in the user's locale).
Variant ParameterSetting(const SettingReader& get, const std::string& name, double def) {
  std::string text = get(name, LocaleNumberText(def));
  const double v = LocaleToDouble(text).value_or(std::numeric_limits<double>::quiet_NaN());
  return Variant::Text(std::move(text), v);
}

std::string ParameterText(const Variant& v) { return v.isText() ? v.text() : LocaleNumberText(v.number()); }

}  // namespace

std::string BuildSettingsPath(const std::string& exeName) { return "Software\\Morvale Services\\" + exeName + "\\"; }

void SaveRegSetting(const std::string& settingsPath, const std::string& name, const std::string& text) {
  cRegistry r = SettingsValue(settingsPath, name);
  r.Value(RegValue::Text(text));
}

std::string SettingText(const RegValue& stored, const std::string& defaultText) {
  std::string text = stored.ToText();
  return text.empty() ? defaultText : text;
}

std::string GetRegSetting(const std::string& settingsPath, const std::string& name, const std::string& defaultText) {
  cRegistry r = SettingsValue(settingsPath, name);
  return SettingText(r.Value(), defaultText);
}

void DeleteRegSettings(const std::string& settingsPath) {
  cRegistry r;
  r.ClassKey(cRegistry::HKEY_LOCAL_MACHINE);
  r.SectionKey(settingsPath);
  r.DeleteKey();
}

void LoadDataFrom(State& s, const SettingReader& get) {
  for (int i = 0; i < kRows; ++i) {
    const size_t k = static_cast<size_t>(i);
    s.DataRange[k] = Int16Setting(get, Indexed("R", i), kDefaultRanges[k]);
    s.DataClicks[k] = Int16Setting(get, Indexed("C", i), kDefaultClicks[k]);
  }
  for (int i = 0; i < kRows; ++i) {
    // A check box holds only 0 (clear), 1 (ticked) or 2 (greyed).
    const int16_t t = Int16Setting(get, Indexed("Tick", i), kDefaultTick);
    s.Ticked[static_cast<size_t>(i)] = t >= 0 && t <= 2 ? t : kDefaultTick;
  }
  s.ModelMV = ParameterSetting(get, "oMV", kDefaultModel.mv);
  s.ModelBC = ParameterSetting(get, "oBC", kDefaultModel.bc);
  s.ModelSH = ParameterSetting(get, "oSH", kDefaultModel.sh);
  s.ModelZR = ParameterSetting(get, "oZR", kDefaultModel.zr);
  s.ModelCPM = LocaleToDouble(get("oCPM", LocaleNumberText(kDefaultModel.cpm))).value_or(kDefaultModel.cpm);
  s.MetricUnits = Int16Setting(get, "Metric", 0) == 1;
}

void LoadData(State& s) {
  const std::string path = s.SettingsPath;
  LoadDataFrom(s, [&path](const std::string& name, const std::string& def) { return GetRegSetting(path, name, def); });
}

void SaveData(const State& s) {
  const std::string& path = s.SettingsPath;
  for (int i = 0; i < kRows; ++i) {
    const size_t k = static_cast<size_t>(i);
    SaveRegSetting(path, Indexed("R", i), std::to_string(s.DataRange[k]));
    SaveRegSetting(path, Indexed("C", i), std::to_string(s.DataClicks[k]));
    SaveRegSetting(path, Indexed("Tick", i), std::to_string(s.Ticked[k]));
  }
  SaveRegSetting(path, "oMV", ParameterText(s.ModelMV));
  SaveRegSetting(path, "oBC", ParameterText(s.ModelBC));
  SaveRegSetting(path, "oSH", ParameterText(s.ModelSH));
  SaveRegSetting(path, "oZR", ParameterText(s.ModelZR));
  SaveRegSetting(path, "oCPM", LocaleNumberText(s.ModelCPM));
  SaveRegSetting(path, "Metric", s.MetricUnits ? "1" : "0");
}

void ResetSettings(const std::string& settingsPath) {
  SaveRegSetting(settingsPath, "Dummy", "99");
  DeleteRegSettings(settingsPath);
}

}  // namespace vantorel
