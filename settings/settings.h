// The saved settings: the six data points, their tick states, the model
// parameters and the unit choice, kept as text values in one key of the
// settings store (local-machine root, path "Software\Morvale Services\" +
// executable name + "\"). Every routine works on the store it is given
// (the one the program's start-up made). The load reads the whole key at
// once and says whether it could; a stored text that cannot be used gives
// its default and a message. A store that refuses a save or a reset raises
// RegistryError, which the window shows with its number, source and
// description before it ends.
//
// Numbers are written with the decimal point of the user's locale, which
// the front end passes in ("." unless told otherwise), and read whatever
// locale wrote them.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/state.h"
#include "settings/registry.h"

namespace vantorel {

// "Software\\Morvale Services\\" + exeName + "\\"
std::string BuildSettingsPath(const std::string& exeName);

// Writes one text value into the settings key, creating the key (and its
// parents) when needed. Throws RegistryError.
void SaveRegSetting(platform::Store& store, const std::string& settingsPath, const std::string& name,
                    const std::string& text);
// Reads one value as text; a missing key or value, or an empty text, gives
// defaultText. A number stored by something else reads as its decimal text.
std::string GetRegSetting(platform::Store& store, const std::string& settingsPath, const std::string& name,
                          const std::string& defaultText);
// Deletes the settings key with all its values. Throws RegistryError (also
// when the key does not exist).
void DeleteRegSettings(platform::Store& store, const std::string& settingsPath);

// What a load found.
struct LoadResult {
  enum class Kind {
    Missing,     // no store or no settings key: the defaults, and a save may write over nothing
    Read,        // the key was read whole
    Unreadable,  // the store is there but could not be read: the defaults (or what could be
                 // read of a damaged file), and no save may follow
  };
  Kind kind = Kind::Missing;
  std::string reason;    // for Unreadable, in words
  bool locked = false;   // Unreadable because another program held the store's lock past the wait
  std::string filePath;  // where the store is (its Location)
  // What the user is told as soon as the window shows, in one message: a
  // damaged or foreign store (what was wrong, which settings were
  // recovered, where the old file was kept), or a store that could not be
  // read (where and why, and that it will not be written over). Empty when
  // there is nothing to tell.
  std::string notice;
  // One message naming each stored value that could not be used, with its
  // text and the default used instead; empty when every value was usable.
  std::string problems;
  // Every text of the key, by case-folded name (for the window's place).
  std::map<std::string, std::string> texts;
  // The saved settings whose texts differ from the check the last save kept
  // beside them, in words ("range 1", "clicks per minute of angle"); empty
  // when they agree or the key holds no check (an older or hand-made store).
  // The notice names them too.
  std::vector<std::string> changed;
  bool MaySave() const { return kind != Kind::Unreadable; }
  // A text of the key as GetRegSetting gives it: the default when missing or empty.
  std::string Text(const std::string& name, const std::string& defaultText) const;
};

// Fills DataRange, DataClicks, Ticked, ModelMV/BC/SH/ZR (as the texts read),
// ModelCPM and MetricUnits from the key at s.SettingsPath, read in one
// snapshot, waiting up to waitMs for another program's lock. Whatever could
// not be read or used takes its default (a number's default text with
// decimalPoint).
LoadResult LoadData(platform::Store& from, State& s, int waitMs = platform::store::kLockWaitMs,
                    std::string_view decimalPoint = ".");
// What the user is told when the window closes without saving because the
// load could not read the store: why, and where the file is.
std::string NotSavedMessage(const LoadResult& r);
// What the user is told at start when the store could not be read.
std::string NotReadMessage(const LoadResult& r);
// Writes every value, in order: R(i), C(i), Tick(i) for i = 0 to 5, oMV,
// oBC, oSH, oZR, oCPM, Metric, and last kCheckName (a check of each of
// them, CheckText), in one transaction: the store holds all of them or,
// after a failure, none (the error names the first value that could not be
// written, and its detail the file and the reason). When the store already
// holds exactly these texts, and a check that agrees with them or none,
// nothing is written, so a save with nothing to change works on a store
// that cannot be written. Numbers that are not kept as texts are written
// with decimalPoint.
void SaveData(platform::Store& to, const State& s, std::string_view decimalPoint = ".");
// Forgets all settings: "Dummy" = "99" (so that the key exists), then the
// key is deleted. Throws RegistryError.
void ResetSettings(platform::Store& store, const std::string& settingsPath);

// The value a save writes last: "R(0)=89abcdef;C(0)=...;...;Metric=...",
// each saved setting's name with the FNV-1a hash (32 bits, 8 lower-case hex
// digits) of the text written, in the order written. One changed byte in a
// text always changes its hash.
inline constexpr const char* kCheckName = "Check";
// The settings a save writes, by value name, in the order it writes them
// (R(0), C(0), Tick(0), ... Metric), numbers with decimalPoint.
std::vector<std::pair<std::string, std::string>> SavedTexts(const State& s, std::string_view decimalPoint = ".");
std::string CheckText(const std::vector<std::pair<std::string, std::string>>& texts);

// Number texts of the settings: the general form (up to 15 significant
// digits, trailing zeros dropped, decimalPoint as the decimal separator, no
// group separators, "1E-05" style exponents), and the reverse conversion,
// which reads a number written under any locale (any decimal separator a
// locale writes, any locale's digits; ReadAnyLocaleNumber), so that a store
// saved under one locale loads under every other; nullopt for anything that
// is not a finite number.
std::string LocaleNumberText(double v, std::string_view decimalPoint = ".");
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
std::string LoadDataFrom(State& s, const SettingReader& get, std::string_view decimalPoint = ".");

}  // namespace vantorel
