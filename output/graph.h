// The graph of clicks against range on the main window: an outer panel P0
// (title, tick labels, axis titles) and the plotting box P5 inside it (grid,
// data-point markers, the model's click curve).
//
// What the window passes:
// - p0: the outer panel's surface (no border; Tahoma 8.25 pt; system window
//   colours). It is 6750 by 3540 twips, at (60, 480) in the window.
// - p5: the plotting box's surface (thin one-pixel border, the same colours;
//   its inner area is its drawing area, 5430 by 2565 twips at 96 dots per
//   inch). It lies inside P0.
// - p5Outer: P5's outer position and size in P0's twips, border included:
//   left 690, top 450, width 5460, height 2595.
// - p0OuterHeight: P0's outer height in twips, 3540.
// - The GraphScale that Setup_P5 fills is kept by the window and handed to
//   the Update_P5 that follows.
//
// Setup_P5 clears both boxes and draws everything but the curve; Update_P5
// then draws the curve over it in the given colour (the program passes 255,
// bright red). Update_P5 draws on top of what is there and clears nothing.
#pragma once

#include "model/state.h"
#include "platform/surface.h"

namespace vantorel {

// The graph's axis extents and scale factors, written by Setup_P5 and read
// by Update_P5.
struct GraphScale {
  double GraphXMin = 0;    // range at P5's left edge: 0
  double GraphXMax = 0;    // range at the right edge: MaxDataRange + 10
  double GraphXScale = 0;  // twips per range unit
  double GraphYMax = 0;    // clicks at the top edge: a multiple of 10
  double GraphYMin = 0;    // clicks at the bottom edge: a multiple of 10
  double GraphYScale = 0;  // twips per click
};

// Title texts for the unit system: "Graph showing Clicks v. Range (Yard)" or
// "... (m)", and "Range (Yard)" or "Range (m)".
std::string GraphTitle(bool metric);
std::string RangeAxisTitle(bool metric);

// Clears P5 and P0, works out the scale from MaxDataRange, MaxDataClicks and
// MinTableClicks, and draws the title, the grid, a circle for every ticked
// data point, the tick labels on both clicks axes and under the range axis,
// the range axis title and the clicks axis title (upwards along P0's left
// edge). Leaves P5's line width at 1.
void Setup_P5(const State& s, platform::Surface& p0, platform::Surface& p5, const platform::BoxGeometry& p5Outer,
              double p0OuterHeight, GraphScale& g);

// Draws the model's click curve on P5 from range 5 to MaxDataRange + 10 in
// the colour, 2 pixels wide, on the scale of the preceding Setup_P5. Leaves
// P5's line width at 2.
void Update_P5(const State& s, platform::Surface& p5, const GraphScale& g, platform::Colour colour);

}  // namespace vantorel
