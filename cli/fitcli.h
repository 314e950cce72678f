// The command-line front end: fits the model to six rows given as arguments
// (or to the window's saved settings) and prints the click list or a JSON
// report, exactly as the window would show it; on request it also writes the
// CSV export and the printed list as a PDF file. It also carries the saved
// settings to and from a settings file (settings/settingsfile.h).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/store.h"

namespace vantorel {

inline constexpr int kExitRefused = 2;  // the data points were refused
inline constexpr int kExitFailure = 1;  // the model cannot be evaluated, or the output or a file cannot be written
inline constexpr int kExitUsage = 64;   // the command line is wrong

// --saved and --export-settings read the settings from store, which they
// never change; --import-settings saves a settings file's values there.
int RunFitCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, platform::Store& store);

}  // namespace vantorel
