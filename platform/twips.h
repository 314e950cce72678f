// Twips (1/1440 inch) are the program's unit for every position and size on
// windows, drawing boxes and paper. On screen, 15 twips make one
// device-independent pixel (96 dots per inch); Qt scales those pixels on
// high-density screens. This is the one place where twips become pixels.
#pragma once

#include <cmath>

class QWidget;

namespace vantorel::platform {

inline constexpr double kTwipsPerPixel = 15.0;

inline int TwipsToPixels(double twips) { return static_cast<int>(std::lround(twips / kTwipsPerPixel)); }
inline double TwipsToPixelsF(double twips) { return twips / kTwipsPerPixel; }
inline double PixelsToTwips(double pixels) { return pixels * kTwipsPerPixel; }

// Places a widget at a position and size given in twips within its parent.
void PlaceTwips(QWidget* w, double left, double top, double width, double height);

}  // namespace vantorel::platform
