// A rifle's settings as a small text file, to carry them between machines:
// "Save settings file" and "Open settings file" in the browser,
// vantorel-fit --export-settings and --import-settings on Linux and Windows.
//
//   Vantorel settings file 1
//   Program: Vantorel 1.0.0
//   Units: yards
//   R(0)=10
//   C(0)=52
//   Tick(0)=1
//   ...                      (the 24 values a save writes, by their names and
//   oCPM=8                    in its order, numbers with a "." decimal point)
//   Metric=0
//   Check=R(0)=1beb2a44;...  (the check a save writes beside them)
//
// UTF-8, lines ending in CR LF (LF alone is read too). The first line names
// the format; "Units" says in words what Metric says (yards or metres). A
// file edited by hand leaves the Check line out.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/state.h"

namespace vantorel {

inline constexpr char kSettingsFileHead[] = "Vantorel settings file ";
inline constexpr int kSettingsFileFormat = 1;
// A settings file is a few hundred bytes; anything this large is not one.
inline constexpr size_t kSettingsFileMax = 65536;

// The file for the rows, ticks, model and units of s; programVersion as "1.0.0".
std::string SettingsFileText(const State& s, const std::string& programVersion);

struct SettingsFileRead {
  // Why the file is refused, for the user; nullopt when it was read whole.
  std::optional<std::string> refusal;
  // The rows, ticks, model and units it holds (when not refused).
  State values;
};
// Reads a settings file. A file that is not one, one of a later format, or
// one that is damaged (a value missing, twice, unknown or unusable, the
// units and Metric disagreeing, a check that does not agree) is refused whole.
SettingsFileRead ReadSettingsFile(std::string_view text);

// Copies the rows, ticks, model and units of from into to.
void TakeSettings(State& to, const State& from);

}  // namespace vantorel
