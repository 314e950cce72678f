// The look every window of the program shares: a one-colour outline just
// inside the window's edge in the complement of its background colour.
#pragma once

#include <array>

#include "platform/pixelsurface.h"
#include "platform/surface.h"

namespace vantorel {

// Each of the three colour bytes replaced by 255 minus itself:
// |&HFFFFFF - c|. &H00404000 (the windows' dark teal) gives &H00BFBFFF.
platform::Colour ComplementColour(platform::Colour c);

// Every window's background, dark teal.
inline constexpr platform::Colour kWindowColour = 0x00404000;

// An outline: the pen width in pixels and its rectangle's corners in twips,
// the far corner given as its distance from the right and bottom edges.
struct Outline {
  int pen;
  double nearEdge, farEdge;
};
inline constexpr Outline kMainOutline{2, 15, 15};    // the main window and its status panel
inline constexpr Outline kErrorOutline{1, 15, 15};   // the error window
inline constexpr Outline kChooserOutline{2, 8, 16};  // the printer chooser

// The outline's four bands (top, bottom, left, right) on a window of width
// by height pixels: the pen's centre line runs through the corners, its band
// starting half a pen outside them, held within the window. Nothing (0) when
// it does not fit; else 4.
int OutlineBands(const Outline& o, int width, int height, std::array<platform::PixelRect, 4>& bands);

}  // namespace vantorel
