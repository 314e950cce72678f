// Drawing the outline every window of the program has.
#pragma once

#include <QSize>

#include "platform/look.h"

class QPainter;

namespace vantorel::qtview {

// Draws the outline of a surface of the given size in pixels, in the
// complement of its background colour. The pen is laid inside the
// rectangle's corners, so the band is the same on all four sides and never
// leaves the surface: with the program's corners it starts at the very edge.
void DrawOutline(QPainter& p, QSize size, const Outline& o, platform::Colour background);

}  // namespace vantorel::qtview
