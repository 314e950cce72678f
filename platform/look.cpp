#include "platform/look.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/twips.h"

namespace vantorel {

platform::Colour ComplementColour(platform::Colour c) {
  // Computed in 64 bits: the program only passes plain colours, and a value
  // outside them cannot overflow here.
  const int64_t d = int64_t{0xFFFFFF} - static_cast<int64_t>(c);
  return static_cast<platform::Colour>(d < 0 ? -d : d);
}

int OutlineBands(const Outline& o, int width, int height, std::array<platform::PixelRect, 4>& bands) {
  const int pen = std::clamp(o.pen, 1, 16);
  auto inset = [pen](double twips) {
    const double px = platform::TwipsToPixelsF(twips) - pen / 2.0;
    return std::isfinite(px) ? static_cast<int>(std::clamp(std::floor(px), 0.0, 1000.0)) : 0;
  };
  const int a = inset(o.nearEdge), b = inset(o.farEdge);
  const int w = width - a - b, h = height - a - b;
  if (w <= 0 || h <= 0) return 0;
  bands = {platform::PixelRect{a, a, w, pen}, platform::PixelRect{a, a + h - pen, w, pen},
           platform::PixelRect{a, a, pen, h}, platform::PixelRect{a + w - pen, a, pen, h}};
  return 4;
}

}  // namespace vantorel
