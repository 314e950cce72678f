// The saved settings: the six data points, their tick states, the model
// parameters and the unit choice, kept as text values in one key of the
// settings store (local-machine root, path "Software\Morvale Services\" +
// executable name + "\"). The load reads the whole key at once and says
// whether it could; a stored text that cannot be used gives its default and
// a message. A store that refuses a save or a reset raises RegistryError, which
// the window shows with its number, source and description before it ends.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "model/state.h"
#include "settings/registry.h"

namespace vantorel {

// "Software\\Morvale Services\\" + exeName + "\\"
std::string BuildSettingsPath(const std::string& exeName);

// Writes one text value into the settings key, creating the key (and its
// parents) when needed. Throws RegistryError.
void SaveRegSetting(const std::string& settingsPath, const std::string& name, const std::string& text);
// Reads one value as text; a missing key or value, or an empty text, gives
// defaultText. A number stored by something else reads as its decimal text.
std::string GetRegSetting(const std::string& settingsPath, const std::string& name, const std::string& defaultText);
// Deletes the settings key with all its values. Throws RegistryError (also
// when the key does not exist).
void DeleteRegSettings(const std::string& settingsPath);

// What a load found.
struct LoadResult {
  enum class Kind {
    Missing,     // no store or no settings key: the defaults, and a save may write over nothing
    Read,        // the key was read whole
    Unreadable,  // the store is there but could not be read: the defaults, and no save may follow
  };
  Kind kind = Kind::Missing;
  std::string reason;    // for Unreadable, in words
  std::string filePath;  // the store file
  // One message naming each stored value that could not be used, with its
  // text and the default used instead; empty when every value was usable.
  std::string problems;
  // Every text of the key, by case-folded name (for the window's place).
  std::map<std::string, std::string> texts;
  bool MaySave() const { return kind != Kind::Unreadable; }
  // A text of the key as GetRegSetting gives it: the default when missing or empty.
  std::string Text(const std::string& name, const std::string& defaultText) const;
};

// Fills DataRange, DataClicks, Ticked, ModelMV/BC/SH/ZR (as the texts read),
// ModelCPM and MetricUnits from the key at s.SettingsPath, read in one
// snapshot. Whatever could not be read or used takes its default.
LoadResult LoadData(State& s);
// What the user is told when the window closes without saving because the
// load could not read the store: why, and where the file is.
std::string NotSavedMessage(const LoadResult& r);
// Writes every value, in order: R(i), C(i), Tick(i) for i = 0 to 5, oMV,
// oBC, oSH, oZR, oCPM, Metric. Throws RegistryError; the values written
// before a failure stay written.
void SaveData(const State& s);
// Forgets all settings: "Dummy" = "99" (so that the key exists), then the
// key is deleted. Throws RegistryError.
void ResetSettings(const std::string& settingsPath);

// Number texts in the user's locale (QLocale's default, which is the system
// locale unless the program chose another):
// the general form (up to 15 significant digits, trailing zeros dropped,
// the locale's decimal separator, no group separators, "1E-05" style
// exponents), and the reverse conversion, which allows blanks around the
// number and gives nullopt for anything that is not a finite number. A text
// the user's locale cannot read is read with a decimal point, then with a
// decimal comma, so that a store saved under one locale loads under another.
std::string LocaleNumberText(double v);
std::optional<double> LocaleToDouble(const std::string& text);
// A text read into a 16-bit integer: the locale's number rounded half to
// even; nullopt when it is not a number or does not fit.
std::optional<int16_t> LocaleToInt16(const std::string& text);

// The text a read of the settings gives for the value the store returned:
// its text form, or defaultText when that is empty (a missing value reads
// as empty).
std::string SettingText(const RegValue& stored, const std::string& defaultText);

// The load rules applied to any source of setting texts: get(name) gives
// the stored text, or nullopt (or an empty text) when there is none.
// Returns the message about unusable values (empty when there were none).
using SettingReader = std::function<std::optional<std::string>(const std::string& name)>;
std::string LoadDataFrom(State& s, const SettingReader& get);

}  // namespace vantorel
