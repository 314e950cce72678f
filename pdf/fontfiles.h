// The TrueType files behind the program's font faces on Linux, found through
// fontconfig. Tahoma, MS Sans Serif, Trebuchet MS and Courier New are seldom
// installed there: each face is looked for among installed faces of the same
// kind, in the order the windows' fonts try them, so that a page drawn from
// these files is laid out as the windows lay it out.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/surface.h"

namespace vantorel::pdf {

// The families tried for a face, best first. The last one is fontconfig's
// generic name for the kind ("monospace", "sans-serif"), which any installed
// face of that kind answers.
std::vector<std::string> FamiliesFor(const platform::FontSpec& face);

// A TrueType font: its file and the face's number within it (0 but in a
// collection).
struct FontFile {
  std::string path;
  unsigned index = 0;
};

// The TrueType file of the first family of FamiliesFor(face) that is
// installed, in the face's weight and slant (or the nearest installed);
// nullopt when not even the generic family has a TrueType face.
std::optional<FontFile> FindFontFile(const platform::FontSpec& face);

}  // namespace vantorel::pdf
