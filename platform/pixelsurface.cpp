#include "platform/pixelsurface.h"

#include <cmath>

#include "model/numtext.h"

namespace vantorel::platform {

namespace {

// Device pixels beyond which a point, a circle or a dot is not drawn: far
// outside any device, yet small enough for exact integer arithmetic and for
// any rasteriser.
constexpr double kFar = 1.0e6;
// Line ends further off than this are brought in along their axis before
// the line is cut to the area.
constexpr double kOuter = 1.0e12;
constexpr int kLimit = 2000000;

bool AnyNan(double a, double b, double c, double d) {
  return std::isnan(a) || std::isnan(b) || std::isnan(c) || std::isnan(d);
}

std::optional<PixelRect> Within(PixelRect r, PixelArea area) {
  const int left = std::max(r.left, 0), top = std::max(r.top, 0);
  const int right = std::min(r.left + r.width, area.width), bottom = std::min(r.top + r.height, area.height);
  if (right <= left || bottom <= top) return std::nullopt;
  return PixelRect{left, top, right - left, bottom - top};
}

}  // namespace

int ClampRound(double v, int lo, int hi) {
  if (std::isnan(v)) v = 0;
  if (v <= lo) return lo;
  if (v >= hi) return hi;
  return static_cast<int>(RoundHalfAway(v));
}

std::optional<PixelLine> LinePixels(double x1, double y1, double x2, double y2, int pen, PixelArea area) {
  if (AnyNan(x1, y1, x2, y2)) return std::nullopt;
  x1 = std::clamp(x1, -kOuter, kOuter);
  y1 = std::clamp(y1, -kOuter, kOuter);
  x2 = std::clamp(x2, -kOuter, kOuter);
  y2 = std::clamp(y2, -kOuter, kOuter);
  // The visible part, with a margin for the pen.
  const double margin = pen + 2.0;
  if (!ClipSegment(x1, y1, x2, y2, -margin, area.width + margin, area.height + margin)) return std::nullopt;
  return PixelLine{ClampRound(x1, -kLimit, kLimit), ClampRound(y1, -kLimit, kLimit), ClampRound(x2, -kLimit, kLimit),
                   ClampRound(y2, -kLimit, kLimit)};
}

std::optional<PixelRect> RunPixels(const PixelLine& l, int pen, PixelArea area) {
  const int across = -(pen - 1) / 2;
  PixelRect run;
  if (l.y1 == l.y2 && l.x1 != l.x2)
    run = l.x1 < l.x2 ? PixelRect{l.x1, l.y1 + across, l.x2 - l.x1, pen}
                      : PixelRect{l.x2 + 1, l.y1 + across, l.x1 - l.x2, pen};
  else if (l.x1 == l.x2 && l.y1 != l.y2)
    run = l.y1 < l.y2 ? PixelRect{l.x1 + across, l.y1, pen, l.y2 - l.y1}
                      : PixelRect{l.x1 + across, l.y2 + 1, pen, l.y1 - l.y2};
  else
    return std::nullopt;
  return Within(run, area);
}

int BoxBands(double x1, double y1, double x2, double y2, int pen, PixelArea area, std::array<PixelRect, 4>& bands) {
  if (AnyNan(x1, y1, x2, y2)) return 0;
  const int limitX = area.width + pen, limitY = area.height + pen;
  const int left = ClampRound(std::min(x1, x2), -pen, limitX), right = ClampRound(std::max(x1, x2), -pen, limitX);
  const int top = ClampRound(std::min(y1, y2), -pen, limitY), bottom = ClampRound(std::max(y1, y2), -pen, limitY);
  const int w = right - left, h = bottom - top;
  if (w <= 0 || h <= 0) return 0;
  if (w <= 2 * pen || h <= 2 * pen) {
    bands[0] = {left, top, w, h};
    return 1;
  }
  bands = {PixelRect{left, top, w, pen}, PixelRect{left, bottom - pen, w, pen},
           PixelRect{left, top + pen, pen, h - 2 * pen}, PixelRect{right - pen, top + pen, pen, h - 2 * pen}};
  return 4;
}

std::optional<PixelRect> DotPixels(double x, double y, int pen, PixelArea area) {
  if (!(std::fabs(x) < kFar) || !(std::fabs(y) < kFar)) return std::nullopt;  // also NaN
  const int left = ClampRound(x, -kLimit, kLimit) - (pen - 1) / 2;
  const int top = ClampRound(y, -kLimit, kLimit) - (pen - 1) / 2;
  return Within({left, top, pen, pen}, area);
}

std::optional<PixelCircle> CirclePixels(double x, double y, double radius, int pen, PixelArea area) {
  const double r = std::fabs(radius);
  if (!(std::fabs(x) < kFar) || !(std::fabs(y) < kFar) || !(r < kFar)) return std::nullopt;  // also NaN
  const int cx = ClampRound(x, -kLimit, kLimit), cy = ClampRound(y, -kLimit, kLimit);
  const double reach = r + pen;
  if (cx + reach < 0 || cy + reach < 0 || cx - reach > area.width || cy - reach > area.height) return std::nullopt;
  return PixelCircle{cx, cy, r};
}

}  // namespace vantorel::platform
