// The program's font faces on Linux. Tahoma, MS Sans Serif, Trebuchet MS and
// Courier New are seldom installed there: each is mapped to an installed face
// of the same kind (Courier New to a monospace face, so that the columns of
// the click list line up).
#pragma once

#include <thread>

#include <QFont>

#include "platform/surface.h"

namespace vantorel::qtview {

// A QFont for the face name, size in points and style.
QFont MakeFont(const platform::FontSpec& face);

// Reads the font configuration in a thread of its own, the largest single
// part of the start-up, so that it runs beside the connection to the window
// system; Wait (or the end of the object) joins it.
class FontConfigLoader {
 public:
  FontConfigLoader();
  ~FontConfigLoader();
  FontConfigLoader(const FontConfigLoader&) = delete;
  FontConfigLoader& operator=(const FontConfigLoader&) = delete;
  void Wait();

 private:
  std::thread thread_;
};
QFont MakeFont(const std::string& face, double points, bool bold = false);

}  // namespace vantorel::qtview
