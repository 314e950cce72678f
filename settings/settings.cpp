#include "settings/settings.h"

#include <QString>
#include <cmath>
#include <limits>
#include <map>

#include "model/trajectory.h"
#include "platform/store.h"

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

// The stored text as the user is shown it: quoted, and cut after 40
// characters when longer.
std::string Quoted(const std::string& text) {
  const QString q = QString::fromUtf8(text.data(), static_cast<qsizetype>(std::min<size_t>(text.size(), 4096)));
  const std::u32string chars = q.toStdU32String();
  if (chars.size() <= 24) return "\"" + text + "\"";
  return "\"" + QString::fromStdU32String(chars.substr(0, 24)).toStdString() + "\u2026\"";
}

// Collects the stored values that cannot be used, one line each.
class Loader {
 public:
  explicit Loader(const SettingReader& get) : get_(get) {}

  // A 16-bit setting within [lo, hi]; the default when the text is not such a number.
  int16_t Int16(const std::string& name, const std::string& words, int16_t def, int16_t lo = INT16_MIN,
                int16_t hi = INT16_MAX) {
    const auto text = Stored(name);
    if (!text) return def;
    const auto v = LocaleToInt16(*text);
    if (v && *v >= lo && *v <= hi) return *v;
    Unusable(words, *text, std::to_string(def));
    return def;
  }

  // A model parameter keeps the text it was read from, with its number. A
  // text that is not a number, or a number the model cannot work with (the
  // model's own checks, with the other parameters at their defaults), gives
  // the default.
  Variant Parameter(const std::string& name, const std::string& words, double def, double ModelParams::*field,
                    bool metric) {
    const std::string defText = LocaleNumberText(def);
    const auto text = Stored(name);
    if (!text) return Variant::Text(defText, def);
    const auto v = LocaleToDouble(*text);
    ModelParams p = kDefaults;
    if (v) p.*field = *v;
    if (v && !ModelProblem(p, metric)) return Variant::Text(*text, *v);
    Unusable(words, *text, defText);
    return Variant::Text(defText, def);
  }

  std::string Message() const { return message_; }

  static constexpr ModelParams kDefaults = kDefaultModel;

 private:
  std::optional<std::string> Stored(const std::string& name) {
    auto text = get_(name);
    if (text && text->empty()) text.reset();
    return text;
  }
  void Unusable(const std::string& words, const std::string& text, const std::string& def) {
    if (!message_.empty()) message_ += "\r\n";
    message_ += "The saved " + words + " " + Quoted(text) + " cannot be used; the default " + def + " was used.";
  }

  const SettingReader& get_;
  std::string message_;
};

std::string RowWords(const char* what, int i) { return std::string(what) + " of data point " + std::to_string(i + 1); }

}  // namespace

namespace {
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

std::string LoadDataFrom(State& s, const SettingReader& get) {
  Loader load(get);
  for (int i = 0; i < kRows; ++i) {
    const size_t k = static_cast<size_t>(i);
    s.DataRange[k] = load.Int16(Indexed("R", i), RowWords("range", i), kDefaultRanges[k]);
    s.DataClicks[k] = load.Int16(Indexed("C", i), RowWords("clicks", i), kDefaultClicks[k]);
  }
  // A check box holds only 0 (clear), 1 (ticked) or 2 (greyed).
  for (int i = 0; i < kRows; ++i)
    s.Ticked[static_cast<size_t>(i)] = load.Int16(Indexed("Tick", i), RowWords("tick", i), kDefaultTick, 0, 2);
  s.MetricUnits = load.Int16("Metric", "unit choice", 0) == 1;
  const ModelParams& d = Loader::kDefaults;
  s.ModelMV = load.Parameter("oMV", "muzzle velocity", d.mv, &ModelParams::mv, s.MetricUnits);
  s.ModelBC = load.Parameter("oBC", "ballistic coefficient", d.bc, &ModelParams::bc, s.MetricUnits);
  s.ModelSH = load.Parameter("oSH", "sight height", d.sh, &ModelParams::sh, s.MetricUnits);
  s.ModelZR = load.Parameter("oZR", "zero range", d.zr, &ModelParams::zr, s.MetricUnits);
  s.ModelCPM =
      load.Parameter("oCPM", "clicks per minute of angle", d.cpm, &ModelParams::cpm, s.MetricUnits).number();
  return load.Message();
}

LoadResult LoadData(State& s) {
  namespace store = platform::store;
  LoadResult r;
  r.filePath = store::FilePath();
  const store::KeyValues key = store::ReadKey(store::kLocalMachine, s.SettingsPath);
  for (const auto& [name, value] : key.values)
    r.texts.emplace(store::FoldName(name), DecodeStoredValue(value.type, value.data).ToText());
  r.problems = LoadDataFrom(s, [&r](const std::string& name) -> std::optional<std::string> {
    const auto it = r.texts.find(platform::store::FoldName(name));
    if (it == r.texts.end()) return std::nullopt;
    return it->second;
  });
  switch (key.status) {
    case store::KeyStatus::Read: r.kind = LoadResult::Kind::Read; break;
    case store::KeyStatus::Missing: r.kind = LoadResult::Kind::Missing; break;
    case store::KeyStatus::Unreadable:
      r.kind = LoadResult::Kind::Unreadable;
      r.reason = key.reason;
      break;
  }
  return r;
}

std::string LoadResult::Text(const std::string& name, const std::string& defaultText) const {
  const auto it = texts.find(platform::store::FoldName(name));
  return it == texts.end() || it->second.empty() ? defaultText : it->second;
}

std::string NotSavedMessage(const LoadResult& r) {
  return "The settings were not saved. When the program started it could not read them from\n" + r.filePath +
         "\n(" + r.reason +
         "), so it started with the default settings, and saving those would have replaced the saved ones. The file "
         "was left as it was.";
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
