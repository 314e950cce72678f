// A surface drawn in whole device pixels: what every such surface does
// alike, written once. The current position moves; lengths in twips become
// device pixels (15 twips to the pixel at 96 dots per inch, times the
// device's density); points that are not numbers draw nothing, points far
// off the device are brought in or left out; a line is cut to the drawing
// area; everything is rounded to whole pixels, halves away from zero. What
// is left for a back end is filling rectangles of pixels: lines and circles
// are made of runs of pixels here, so every back end shows the same pixels.
//
// A line one pixel wide covers the pixel of its start and stops short of its
// end; a level or upright one is exactly that run of pixels. A wider line
// covers every pixel whose centre lies nearer than half the pen to it, ends
// round. A circle's ring covers the pixels whose centres lie less than half
// the pen from the circle. A rectangle covers
// the pixels from its first corner up to, not including, its second, the pen
// inside them. A point is a dot as wide as the pen on its pixel (and right
// and below it for even widths).
#pragma once

#include <algorithm>
#include <array>
#include <functional>
#include <optional>

#include "platform/surface.h"
#include "platform/twips.h"

namespace vantorel::platform {

struct PixelArea {
  int width = 0;
  int height = 0;
};
struct PixelRect {
  int left = 0, top = 0, width = 0, height = 0;
};
struct PixelLine {
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};
struct PixelCircle {
  int cx = 0, cy = 0;
  double radius = 0;
};

// Nearest whole number of v (halves away from zero) held to [lo, hi]; NaN
// gives 0 held to the range.
int ClampRound(double v, int lo, int hi);

// Where each drawing lands on a device of the given area with a pen pen
// pixels wide; positions in device pixels, as fractions. Nothing (nullopt, or
// no bands) when none of it shows.
std::optional<PixelLine> LinePixels(double x1, double y1, double x2, double y2, int pen, PixelArea area);
// A line drawn one pixel wide at 96 dots per inch that runs level or
// upright: the run of pixels from its start up to its end, pen pixels across.
std::optional<PixelRect> RunPixels(const PixelLine& line, int pen, PixelArea area);
// The bands of a rectangle's outline (one band when the pen fills it); how
// many of bands are used.
int BoxBands(double x1, double y1, double x2, double y2, int pen, PixelArea area, std::array<PixelRect, 4>& bands);
std::optional<PixelRect> DotPixels(double x, double y, int pen, PixelArea area);
std::optional<PixelCircle> CirclePixels(double x, double y, double radius, int pen, PixelArea area);

// The pixels of a line or a ring inside the area, as runs along rows, each
// handed to fill. A line's ends and a ring's centre are on pixels; a line of
// an even pen runs through the corners right of and below them, as a dot of
// that pen lies.
using RunSink = std::function<void(const PixelRect&)>;
void LineRuns(const PixelLine& line, int pen, PixelArea area, const RunSink& fill);
void RingRuns(const PixelCircle& ring, int pen, PixelArea area, const RunSink& fill);

// Base is Surface or one of its interfaces (the printer's page).
template <class Base>
class PixelSurface : public Base {
 public:
  void SetDrawWidth(int pixels) override { this->drawWidth_ = std::clamp(pixels, 1, 32767); }

  void Line(double x1, double y1, double x2, double y2, Colour c) override {
    this->curX_ = x2;
    this->curY_ = y2;
    if (!BeginDrawing()) return;
    const int pen = PenPixels();
    const std::optional<PixelLine> at =
        LinePixels(DeviceX(x1), DeviceY(y1), DeviceX(x2), DeviceY(y2), pen, DrawingArea());
    if (!at) return;
    if (this->drawWidth_ == 1 && (at->x1 == at->x2 || at->y1 == at->y2)) {
      if (const auto run = RunPixels(*at, pen, DrawingArea())) FillPixels(*run, c), EndDrawing();
    } else {
      LineRuns(*at, pen, DrawingArea(), [this, c](const PixelRect& r) { FillPixels(r, c); });
      EndDrawing();
    }
  }

  void Box(double x1, double y1, double x2, double y2, Colour c) override {
    this->curX_ = x2;
    this->curY_ = y2;
    if (!BeginDrawing()) return;
    std::array<PixelRect, 4> bands;
    const int n = BoxBands(DeviceX(x1), DeviceY(y1), DeviceX(x2), DeviceY(y2), PenPixels(), DrawingArea(), bands);
    for (int i = 0; i < n; ++i) FillPixels(bands[static_cast<size_t>(i)], c);
    if (n > 0) EndDrawing();
  }

  void PSet(double x, double y, Colour c) override {
    this->curX_ = x;
    this->curY_ = y;
    if (!BeginDrawing()) return;
    if (const auto dot = DotPixels(DeviceX(x), DeviceY(y), PenPixels(), DrawingArea()))
      FillPixels(*dot, c), EndDrawing();
  }

  void Circle(double x, double y, double radius, Colour c) override {
    if (!BeginDrawing()) return;
    const int pen = PenPixels();
    if (const auto ring = CirclePixels(DeviceX(x), DeviceY(y), DeviceX(radius), pen, DrawingArea()))
      RingRuns(*ring, pen, DrawingArea(), [this, c](const PixelRect& r) { FillPixels(r, c); }), EndDrawing();
  }

 protected:
  // Device pixels per 96-dots-per-inch pixel, across and down.
  virtual double PixelScaleX() const = 0;
  virtual double PixelScaleY() const = 0;
  // The drawing area in device pixels from the origin.
  virtual PixelArea DrawingArea() const = 0;
  // Readies the device for one drawing; false when nothing can be drawn now
  // (the current position moves all the same).
  virtual bool BeginDrawing() = 0;
  // After something has been drawn.
  virtual void EndDrawing() = 0;
  // The one primitive, in whole device pixels inside the area.
  virtual void FillPixels(const PixelRect& r, Colour c) = 0;

  // Lengths in twips as device pixels.
  double DeviceX(double twips) const { return TwipsToPixelsF(twips) * PixelScaleX(); }
  double DeviceY(double twips) const { return TwipsToPixelsF(twips) * PixelScaleY(); }
  // The pen width in device pixels.
  int PenPixels() const { return ClampRound(this->drawWidth_ * PixelScaleX(), 1, 10000); }
};

}  // namespace vantorel::platform
