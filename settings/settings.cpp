#include "settings/settings.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "model/trajectory.h"
#include "model/utf8.h"
#include "platform/store.h"

namespace vantorel {

namespace {

std::string Indexed(const char* stem, int i) { return std::string(stem) + "(" + std::to_string(i) + ")"; }

// One store object per access, pointed at a value of the settings key.
cRegistry SettingsValue(platform::Store& store, const std::string& settingsPath, const std::string& name) {
  cRegistry r(store);
  r.ClassKey(cRegistry::HKEY_LOCAL_MACHINE);
  r.SectionKey(settingsPath);
  r.ValueKey(name);
  r.ValueType(cRegistry::REG_SZ);
  return r;
}

// The stored text as the user is shown it: quoted, and cut after 24
// characters when longer. Each byte that is not UTF-8 counts as one and is
// shown as U+FFFD, so the message is text every window can show.
std::string Quoted(const std::string& text) {
  constexpr size_t kShown = 24;
  const std::vector<char32_t> chars = DecodeUtf8(std::string_view(text).substr(0, 4 * (kShown + 1)));
  std::string shown;
  for (size_t k = 0; k < chars.size() && k < kShown; ++k) AppendUtf8(shown, chars[k]);
  return "\"" + shown + (chars.size() > kShown ? "\u2026\"" : "\"");
}

// Collects the stored values that cannot be used, one line each.
class Loader {
 public:
  Loader(const SettingReader& get, std::string_view decimalPoint) : get_(get), point_(decimalPoint) {}

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
    const std::string defText = LocaleNumberText(def, point_);
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
  std::string_view point_;
  std::string message_;
};

std::string RowWords(const char* what, int i) { return std::string(what) + " of data point " + std::to_string(i + 1); }

std::string ParameterText(const Variant& v, std::string_view point) {
  return v.isText() ? v.text() : LocaleNumberText(v.number(), point);
}

}  // namespace

std::string BuildSettingsPath(const std::string& exeName) { return "Software\\Morvale Services\\" + exeName + "\\"; }

void SaveRegSetting(platform::Store& store, const std::string& settingsPath, const std::string& name,
                    const std::string& text) {
  cRegistry r = SettingsValue(store, settingsPath, name);
  r.Value(RegValue::Text(text));
}

std::string SettingText(const RegValue& stored, const std::string& defaultText) {
  std::string text = stored.ToText();
  return text.empty() ? defaultText : text;
}

std::string GetRegSetting(platform::Store& store, const std::string& settingsPath, const std::string& name,
                          const std::string& defaultText) {
  cRegistry r = SettingsValue(store, settingsPath, name);
  return SettingText(r.Value(), defaultText);
}

void DeleteRegSettings(platform::Store& store, const std::string& settingsPath) {
  cRegistry r(store);
  r.ClassKey(cRegistry::HKEY_LOCAL_MACHINE);
  r.SectionKey(settingsPath);
  r.DeleteKey();
}

std::string LoadDataFrom(State& s, const SettingReader& get, std::string_view decimalPoint) {
  Loader load(get, decimalPoint);
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
  s.ModelCPM = load.Parameter("oCPM", "clicks per minute of angle", d.cpm, &ModelParams::cpm, s.MetricUnits).number();
  return load.Message();
}

std::vector<std::pair<std::string, std::string>> SavedTexts(const State& s, std::string_view point) {
  std::vector<std::pair<std::string, std::string>> texts;
  for (int i = 0; i < kRows; ++i) {
    const size_t k = static_cast<size_t>(i);
    texts.emplace_back(Indexed("R", i), std::to_string(s.DataRange[k]));
    texts.emplace_back(Indexed("C", i), std::to_string(s.DataClicks[k]));
    texts.emplace_back(Indexed("Tick", i), std::to_string(s.Ticked[k]));
  }
  texts.emplace_back("oMV", ParameterText(s.ModelMV, point));
  texts.emplace_back("oBC", ParameterText(s.ModelBC, point));
  texts.emplace_back("oSH", ParameterText(s.ModelSH, point));
  texts.emplace_back("oZR", ParameterText(s.ModelZR, point));
  texts.emplace_back("oCPM", LocaleNumberText(s.ModelCPM, point));
  texts.emplace_back("Metric", s.MetricUnits ? "1" : "0");
  return texts;
}

namespace {

// A saved setting in words: "range 1", "clicks 1", "tick 1", "muzzle velocity".
std::string SettingWords(const std::string& name) {
  static const std::pair<const char*, const char*> kWords[] = {{"R(", "range "},
                                                               {"C(", "clicks "},
                                                               {"Tick(", "tick "},
                                                               {"oMV", "muzzle velocity"},
                                                               {"oBC", "ballistic coefficient"},
                                                               {"oSH", "sight height"},
                                                               {"oZR", "zero range"},
                                                               {"oCPM", "clicks per minute of angle"},
                                                               {"Metric", "unit choice"}};
  for (const auto& [stem, words] : kWords)
    if (name.rfind(stem, 0) == 0)
      return name.back() == ')' ? words + std::to_string(name[name.size() - 2] - '0' + 1) : std::string(words);
  return name;
}

// Which of the saved settings a recovery got back.
std::string RecoveredWords(const std::map<std::string, std::string>& texts) {
  std::vector<std::string> lost;
  const auto all = SavedTexts(DefaultState(), ".");
  for (const auto& [name, text] : all)
    if (!texts.count(platform::store::FoldName(name))) lost.push_back(SettingWords(name));
  if (lost.empty()) return "All " + std::to_string(all.size()) + " saved settings were recovered.";
  if (lost.size() == all.size()) return "No saved setting could be recovered; the defaults are used.";
  std::string words;
  for (const std::string& w : lost) words += (words.empty() ? "" : ", ") + w;
  return std::to_string(all.size() - lost.size()) + " of " + std::to_string(all.size()) +
         " saved settings were recovered; these have their defaults: " + words + ".";
}

// The saved settings whose texts check (a save's CheckText) does not
// confirm, in words: a text that is missing or differs, and a setting the
// check does not list (a damaged check).
std::vector<std::string> Unconfirmed(const std::map<std::string, std::string>& texts, const std::string& check) {
  std::map<std::string, std::string> listed;  // folded name -> "=hash"
  for (size_t at = 0; at <= check.size();) {
    const size_t end = std::min(check.find(';', at), check.size());
    const std::string entry = check.substr(at, end - at);
    const size_t eq = std::min(entry.find('='), entry.size());
    listed.emplace(platform::store::FoldName(entry.substr(0, eq)), entry.substr(eq));
    at = end + 1;
  }
  std::vector<std::string> changed;
  for (const auto& [name, unused] : SavedTexts(DefaultState(), ".")) {
    const std::string folded = platform::store::FoldName(name);
    const auto text = texts.find(folded);
    const auto hash = listed.find(folded);
    if (text == texts.end() || hash == listed.end() || CheckText({{name, text->second}}) != name + hash->second)
      changed.push_back(SettingWords(name));
  }
  return changed;
}

}  // namespace

std::string CheckText(const std::vector<std::pair<std::string, std::string>>& texts) {
  static const char kHex[] = "0123456789abcdef";
  std::string check;
  for (const auto& [name, text] : texts) {
    uint32_t h = 2166136261u;  // FNV-1a
    for (const unsigned char c : text) h = (h ^ c) * 16777619u;
    check += (check.empty() ? "" : ";") + name + "=";
    for (int shift = 28; shift >= 0; shift -= 4) check += kHex[(h >> shift) & 15u];
  }
  return check;
}

LoadResult LoadData(platform::Store& from, State& s, int waitMs, std::string_view decimalPoint) {
  namespace store = platform::store;
  LoadResult r;
  const store::KeyValues key = from.ReadKey(store::kLocalMachine, s.SettingsPath, waitMs);
  r.filePath = from.Location();  // after the read: a store may name the place it read
  for (const auto& [name, value] : key.values)
    r.texts.emplace(store::FoldName(name), DecodeStoredValue(value.type, value.data).ToText());
  r.problems = LoadDataFrom(
      s,
      [&r](const std::string& name) -> std::optional<std::string> {
        const auto it = r.texts.find(platform::store::FoldName(name));
        if (it == r.texts.end()) return std::nullopt;
        return it->second;
      },
      decimalPoint);
  switch (key.status) {
    case store::KeyStatus::Read: r.kind = LoadResult::Kind::Read; break;
    case store::KeyStatus::Missing: r.kind = LoadResult::Kind::Missing; break;
    case store::KeyStatus::Unreadable:
      r.kind = LoadResult::Kind::Unreadable;
      r.reason = key.reason;
      r.locked = key.locked;
      break;
  }
  if (key.recovery) {
    const store::Recovery& rec = *key.recovery;
    r.notice = "The settings file was damaged: " + rec.problem + ". " + RecoveredWords(r.texts);
    if (!rec.keptAs.empty())
      r.notice += " The old file was kept as " + rec.keptAs;
    else
      r.notice += " The file " + r.filePath + " was left as it was and will not be written over.";
  } else if (r.kind == LoadResult::Kind::Unreadable) {
    r.notice = NotReadMessage(r);
  }
  const auto check = r.texts.find(store::FoldName(kCheckName));
  if (check != r.texts.end()) r.changed = Unconfirmed(r.texts, check->second);
  if (!r.changed.empty()) {
    std::string words;
    for (const std::string& w : r.changed) words.append(words.empty() ? "" : ", ").append(w);
    if (!r.notice.empty()) r.notice += ' ';
    r.notice.append("These saved settings are not what the program last saved: ")
        .append(words)
        .append(". The last save was cut off, or the settings were changed or damaged outside the program.");
  }
  return r;
}

std::string NotReadMessage(const LoadResult& r) {
  return "The saved settings could not be read from " + r.filePath + " (" + r.reason +
         "). The defaults are used, and the saved settings will not be written over.";
}

std::string LoadResult::Text(const std::string& name, const std::string& defaultText) const {
  const auto it = texts.find(platform::store::FoldName(name));
  return it == texts.end() || it->second.empty() ? defaultText : it->second;
}

std::string NotSavedMessage(const LoadResult& r) {
  return "The settings were not saved. When the program started it could not read them from\n" + r.filePath + "\n(" +
         r.reason +
         "), so it started with the default settings, and saving those would have replaced the saved ones. They "
         "were left as they were.";
}

void SaveData(platform::Store& to, const State& s, std::string_view decimalPoint) {
  namespace store = platform::store;
  auto texts = SavedTexts(s, decimalPoint);
  texts.emplace_back(kCheckName, CheckText(texts));
  // Nothing to change: nothing is written. A store without a check (an
  // older or hand-made one) needs none for that.
  const store::KeyValues now = to.ReadKey(store::kLocalMachine, s.SettingsPath, store::kLockWaitMs);
  if (now.status == store::KeyStatus::Read) {
    std::map<std::string, std::pair<int32_t, std::string>> stored;
    for (const auto& [name, value] : now.values)
      stored.emplace(store::FoldName(name), std::pair{value.type, value.data});
    const bool same = std::all_of(texts.begin(), texts.end(), [&](const auto& t) {
      const auto it = stored.find(store::FoldName(t.first));
      if (it == stored.end()) return t.first == kCheckName;
      return it->second.first == cRegistry::REG_SZ && it->second.second == t.second + '\0';
    });
    if (same) return;
  }
  store::Transaction whole(to);
  for (const auto& [name, text] : texts) SaveRegSetting(to, s.SettingsPath, name, text);
  if (!whole.Commit())
    throw SettingsValue(to, s.SettingsPath, texts.front().first)
        .WriteError(kRegErrWriteFailed, RegValue::Text(texts.front().second));
}

void ResetSettings(platform::Store& store, const std::string& settingsPath) {
  SaveRegSetting(store, settingsPath, "Dummy", "99");
  DeleteRegSettings(store, settingsPath);
}

}  // namespace vantorel
