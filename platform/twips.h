// Twips (1/1440 inch) are the program's unit for every position and size on
// windows, drawing boxes and paper. On screen, 15 twips make one
// device-independent pixel (96 dots per inch); the window system scales
// those pixels on high-density screens. This is the one place where twips become pixels.
#pragma once

#include <algorithm>
#include <cmath>

#include "model/numtext.h"

namespace vantorel::platform {

inline constexpr double kTwipsPerPixel = 15.0;
inline constexpr double kTwipsPerInch = 1440.0;
// Far beyond any screen, yet small enough for the toolkit's integer geometry.
inline constexpr double kMaxPixels = 1.0e6;

// Whole device pixels of a length in twips on a device with `scale` device
// pixels to the 96-dots-per-inch pixel (1.5 at 144 dots per inch, 6.25 on a
// 600 dpi printer), halves away from zero. A length beyond what any device
// shows is held to +/- kMaxPixels, one that is not a number is 0.
inline int TwipsToPixels(double twips, double scale) {
  const double px = twips / kTwipsPerPixel * scale;
  if (std::isnan(px)) return 0;
  return static_cast<int>(RoundHalfAway(std::clamp(px, -kMaxPixels, kMaxPixels)));
}
inline int TwipsToPixels(double twips) { return TwipsToPixels(twips, 1.0); }
inline double TwipsToPixelsF(double twips) { return twips / kTwipsPerPixel; }
inline double PixelsToTwips(double pixels) { return pixels * kTwipsPerPixel; }

}  // namespace vantorel::platform
