#include "platform/surface.h"

#include <algorithm>
#include <array>

namespace vantorel::platform {

Colour QBColor(int n) {
  // &H00BBGGRR values of the classic palette.
  static constexpr std::array<Colour, 16> palette = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                                     0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                                     0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  return palette[static_cast<size_t>(n & 15)];
}

bool ClipSegment(double& x1, double& y1, double& x2, double& y2, double lo, double hiX, double hiY) {
  const double dx = x2 - x1, dy = y2 - y1;
  double t0 = 0, t1 = 1;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x1 - lo, hiX - x1, y1 - lo, hiY - y1};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) {
      if (t > t1) return false;
      t0 = std::max(t0, t);
    } else {
      if (t < t0) return false;
      t1 = std::min(t1, t);
    }
  }
  const double ox = x1, oy = y1;
  if (t1 < 1) {
    x2 = ox + t1 * dx;
    y2 = oy + t1 * dy;
  }
  if (t0 > 0) {
    x1 = ox + t0 * dx;
    y1 = oy + t0 * dy;
  }
  return true;
}

}  // namespace vantorel::platform
