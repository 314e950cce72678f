// Twips (1/1440 inch) are the program's unit for every position and size on
// windows, drawing boxes and paper. On screen, 15 twips make one
// device-independent pixel (96 dots per inch); Qt scales those pixels on
// high-density screens. This is the one place where twips become pixels.
#pragma once

#include <algorithm>
#include <cmath>

#include "model/numtext.h"

class QWidget;

namespace vantorel::platform {

inline constexpr double kTwipsPerPixel = 15.0;
inline constexpr double kTwipsPerInch = 1440.0;
// Far beyond any screen, yet small enough for the toolkit's integer geometry.
inline constexpr double kMaxPixels = 1.0e6;

// Whole pixels of a length in twips, halves away from zero. A length beyond
// what any screen shows is held to +/- kMaxPixels, one that is not a number is 0.
inline int TwipsToPixels(double twips) {
  const double px = twips / kTwipsPerPixel;
  if (std::isnan(px)) return 0;
  return static_cast<int>(RoundHalfAway(std::clamp(px, -kMaxPixels, kMaxPixels)));
}
inline double TwipsToPixelsF(double twips) { return twips / kTwipsPerPixel; }
inline double PixelsToTwips(double pixels) { return pixels * kTwipsPerPixel; }

// Places a widget at a position and size given in twips within its parent
// (a negative size is an empty one).
void PlaceTwips(QWidget* w, double left, double top, double width, double height);

}  // namespace vantorel::platform
