// The look every window of the program shares: a one-colour outline just
// inside the window's edge in the complement of its background colour.
#pragma once

#include "platform/surface.h"

namespace vantorel {

// Each of the three colour bytes replaced by 255 minus itself:
// |&HFFFFFF - c|. &H00404000 (the windows' dark teal) gives &H00BFBFFF.
platform::Colour ComplementColour(platform::Colour c);

}  // namespace vantorel
