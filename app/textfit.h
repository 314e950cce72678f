// Sizes that follow the text: the copyright line shrinks until it clears the
// graph's title; the error window's body shrinks, then the window grows,
// then the body scrolls, so that a message can always be read whole.
#pragma once

#include <string_view>

#include "app/layout.h"
#include "platform/surface.h"
#include "platform/textmeasure.h"

namespace vantorel::app {

// The copyright line's size in points: its laid-out size, or a quarter point
// smaller at a time down to 5, until its text ends clear of the graph's title
// (either unit's wording) where the two lines meet; in an arrangement where
// the line lies clear of the graph (above or below it), until it fits its
// own width.
double CopyrightPoints(const platform::TextMeasure& m, std::string_view notice,
                       const WindowLayout& layout = MainWindowLayout());

// Where the error window's body, its Close button and its bottom go.
struct ErrorBodyFit {
  platform::FontSpec font;  // the body's font: its laid-out one, down to 9 points
  int lineWidth = 0;        // pixels: the width its lines break at
  int textHeight = 0;       // pixels: the height of its broken text
  int areaHeight = 0;       // pixels: the height it is shown in
  bool scrolls = false;     // the text is taller than its area; the lines leave room for a scroll bar
  double areaTwips = 0;     // the body area's height
  double closeTopTwips = 0;
  double windowTwips = 0;  // the window's height
};

// The body set at its laid-out size, smaller by half points down to 9 while
// it is taller than its area, then in a taller window up to screenHeight
// pixels, beyond which it scrolls; scrollBarWidth: a scroll bar's pixels.
ErrorBodyFit FitErrorBody(const platform::TextMeasure& m, std::string_view body, int screenHeight, int scrollBarWidth);

}  // namespace vantorel::app
