#include "output/graph.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "model/numtext.h"
#include "model/trajectory.h"
#include "output/rotatedtext.h"

namespace vantorel {

namespace {

using platform::Colour;
using platform::QBColor;

// The extents come from 16-bit data points and table entries; held to that
// range here so that every loop below stays short whatever the state holds.
int64_t Extent(int v) { return std::clamp<int64_t>(v, INT16_MIN, INT16_MAX); }

// a / b, or 0 when b is 0 (the extents never allow that, but a box of no
// size must not give an infinite scale).
double Ratio(double a, double b) { return b != 0 ? a / b : 0.0; }

const char* UnitWord(bool metric) { return metric ? "m)" : "Yard)"; }

}  // namespace

std::string GraphTitle(bool metric) { return std::string("Graph showing Clicks v. Range (") + UnitWord(metric); }

std::string RangeAxisTitle(bool metric) { return std::string("Range (") + UnitWord(metric); }

void Setup_P5(const State& s, platform::Surface& p0, platform::Surface& p5, const platform::BoxGeometry& p5Outer,
              double p0OuterHeight, GraphScale& g) {
  p5.Cls();
  p0.Cls();

  // Title, centred over the plotting box rather than over the panel.
  const std::string title = GraphTitle(s.MetricUnits);
  p0.SetCurrentY(90);
  p0.SetCurrentX(p5Outer.left + (p5Outer.width - p0.TextWidth(title)) / 2);
  p0.Print(title);

  const int64_t maxRange = Extent(s.MaxDataRange);
  const int64_t xMax = maxRange + 10;
  g.GraphXMin = 0;
  g.GraphXMax = static_cast<double>(xMax);

  // Top: MaxDataClicks + 10 raised to a multiple of 10; bottom:
  // MinTableClicks - 10 lowered to one. Remainders truncate, as the integer
  // division does, so each loop ends within nine steps.
  int64_t yMax = Extent(s.MaxDataClicks) + 10;
  while (yMax % 10 != 0) ++yMax;
  int64_t yMin = Extent(s.MinTableClicks) - 10;
  while (yMin % 10 != 0) --yMin;
  g.GraphYMax = static_cast<double>(yMax);
  g.GraphYMin = static_cast<double>(yMin);

  const double width = p5.ScaleWidth();
  const double height = p5.ScaleHeight();
  g.GraphXScale = Ratio(width, g.GraphXMax - g.GraphXMin);
  g.GraphYScale = Ratio(height, g.GraphYMax - g.GraphYMin);

  p5.SetDrawWidth(1);

  // Horizontal grid every 5 clicks from the bottom edge up to just below the
  // top edge; the zero-click line is red.
  for (int64_t c = yMin; c <= yMax - 1; c += 5) {
    const double y = height - (static_cast<double>(c) - g.GraphYMin) * g.GraphYScale;
    p5.Line(0, y, width, y, c == 0 ? QBColor(12) : QBColor(8));
  }

  // Vertical grid every 5 range units, counted from the right-hand edge.
  for (int64_t k = 5; k <= xMax - 1; k += 5) {
    const double x = width - static_cast<double>(k) * g.GraphXScale;
    p5.Line(x, 0, x, height, QBColor(8));
  }

  // A small circle for each ticked data point, two clicks in radius. Its
  // height is measured from the box's outer height less 30 twips, which is
  // the inner height with a one-pixel border at 96 dots per inch.
  for (int i = 0; i < kRows; ++i) {
    if (!s.IsTicked(i)) continue;
    const auto k = static_cast<size_t>(i);
    const double cx = s.DataRange[k] * g.GraphXScale;
    const double cy = p5Outer.height - (s.DataClicks[k] - g.GraphYMin) * g.GraphYScale - 30;
    p5.Circle(cx, cy, 2 * g.GraphYScale, p5.ForeColor());
  }

  // Range labels under the box, centred on their range (30 twips to the
  // right, for the box's border and the label's own spacing).
  const int64_t step = maxRange <= 100 ? 10 : 20;
  for (int64_t r = 0; r <= xMax; r += step) {
    const std::string text = FormatNumber(static_cast<double>(r), "0");
    p0.SetCurrentY(p5Outer.top + p5Outer.height);
    p0.SetCurrentX(p5Outer.left + static_cast<double>(r) * g.GraphXScale - p0.TextWidth(text) / 2 + 30);
    p0.Print(text);
  }

  const std::string rangeTitle = RangeAxisTitle(s.MetricUnits);
  p0.SetCurrentY(p0OuterHeight - p0.TextHeight(rangeTitle) - 30);
  p0.SetCurrentX(p5Outer.left + (p5Outer.width - p0.TextWidth(rangeTitle)) / 2);
  p0.Print(rangeTitle);

  // Clicks labels every 10 clicks, right-aligned on both sides of the box:
  // ending 90 twips left of it, and 360 twips right of its right edge.
  for (int64_t c = yMin; c <= yMax; c += 10) {
    const std::string text = FormatNumber(static_cast<double>(c), "0");
    const double y = p5Outer.top + (g.GraphYMax - static_cast<double>(c)) * g.GraphYScale - p0.TextHeight(text) / 2;
    const double textWidth = p0.TextWidth(text);
    p0.SetCurrentY(y);
    p0.SetCurrentX(p5Outer.left - textWidth - 90);
    p0.Print(text);
    p0.SetCurrentY(y);
    p0.SetCurrentX(p5Outer.left + p5Outer.width + 360 - textWidth);
    p0.Print(text);
  }

  PrintRotatedText(p0, "Scope Clicks", 900, 0.0, 2100.0);
}

void Update_P5(const State& s, platform::Surface& p5, const GraphScale& g, platform::Colour colour) {
  p5.SetDrawWidth(2);
  const ModelParams params = s.Params();
  const double height = p5.ScaleHeight();
  // The model's clicks are not brought to whole numbers here. A model that
  // gives no finite value at some range leaves a gap there: the surface skips
  // what it cannot place.
  auto pointX = [&](int64_t r) { return static_cast<double>(r) * g.GraphXScale; };
  auto pointY = [&](int64_t r) {
    const double v = ClicksToDial(params, static_cast<double>(r), s.MetricUnits);
    return height - (v - g.GraphYMin) * g.GraphYScale;
  };

  p5.PSet(pointX(5), pointY(5), colour);
  const int64_t last = Extent(s.MaxDataRange) + 10;
  for (int64_t r = 5; r <= last; ++r) p5.Line(p5.CurrentX(), p5.CurrentY(), pointX(r), pointY(r), colour);
}

}  // namespace vantorel
