#include "platform/pixelsurface.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>

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

// The run of pixels of row y whose centres lie strictly between lo and hi,
// cut to the area.
void RowRun(int y, double lo, double hi, PixelArea area, const RunSink& fill) {
  if (y < 0 || y >= area.height) return;
  // Pixel x has its centre at x + 0.5.
  const double first = std::max(std::floor(lo - 0.5) + 1, 0.0);
  const double last = std::min(std::ceil(hi - 0.5) - 1, area.width - 1.0);
  if (!(first <= last)) return;  // also NaN
  fill({static_cast<int>(first), y, static_cast<int>(last - first) + 1, 1});
}

// The rows a shape from top to bottom (pixel units) touches, in the area.
std::pair<int, int> Rows(double top, double bottom, PixelArea area) {
  return {static_cast<int>(std::clamp(std::floor(top), 0.0, static_cast<double>(area.height))),
          static_cast<int>(std::clamp(std::ceil(bottom), -1.0, area.height - 1.0))};
}

// A line one pixel wide: Bresenham's, start included, end left out, its
// pixels joined into runs along rows.
void ThinRuns(const PixelLine& l, PixelArea area, const RunSink& fill) {
  const int64_t dx = std::abs(int64_t{l.x2} - l.x1), dy = -std::abs(int64_t{l.y2} - l.y1);
  const int sx = l.x1 < l.x2 ? 1 : -1, sy = l.y1 < l.y2 ? 1 : -1;
  int64_t err = dx + dy;
  int x = l.x1, y = l.y1;
  int runY = y, runLo = x, runHi = x;  // the run being gathered
  bool any = false;
  while (x != l.x2 || y != l.y2) {
    if (any && y == runY) {
      runLo = std::min(runLo, x), runHi = std::max(runHi, x);
    } else {
      if (any) RowRun(runY, runLo, runHi + 1.0, area, fill);
      runY = y, runLo = x, runHi = x, any = true;
    }
    const int64_t twice = 2 * err;
    if (twice >= dy) err += dy, x += sx;
    if (twice <= dx) err += dx, y += sy;
  }
  if (any) RowRun(runY, runLo, runHi + 1.0, area, fill);
}

// A wider line: the pixels whose centres lie nearer than half the pen to
// the segment, row by row (the rows of a convex shape are single runs).
void WideRuns(const PixelLine& l, int pen, PixelArea area, const RunSink& fill) {
  const double off = pen % 2 == 0 ? 1.0 : 0.5, r = pen / 2.0;
  const double ax = l.x1 + off, ay = l.y1 + off, bx = l.x2 + off, by = l.y2 + off;
  const double dx = bx - ax, dy = by - ay, length2 = dx * dx + dy * dy, reach = r * std::sqrt(length2);
  const auto [top, bottom] = Rows(std::min(ay, by) - r, std::max(ay, by) + r, area);
  for (int y = top; y <= bottom; ++y) {
    const double yc = y + 0.5;
    double lo = HUGE_VAL, hi = -HUGE_VAL;
    for (auto [cx, cy] : {std::pair{ax, ay}, std::pair{bx, by}}) {  // the round ends
      const double h = r * r - (yc - cy) * (yc - cy);
      if (h > 0) lo = std::min(lo, cx - std::sqrt(h)), hi = std::max(hi, cx + std::sqrt(h));
    }
    // Along the segment: low < k * x + m < high for both the distance across
    // it and the position along it.
    double from = -HUGE_VAL, to = HUGE_VAL;
    auto within = [&](double k, double m, double low, double high) {
      if (k == 0) {
        if (!(m > low && m < high)) from = HUGE_VAL;
        return;
      }
      const double p = (low - m) / k, q = (high - m) / k;
      from = std::max(from, std::min(p, q));
      to = std::min(to, std::max(p, q));
    };
    if (length2 > 0) {
      within(dy, -ax * dy - (yc - ay) * dx, -reach, reach);
      within(dx, -ax * dx + (yc - ay) * dy, 0, length2);
      if (from < to) lo = std::min(lo, from), hi = std::max(hi, to);
    }
    RowRun(y, lo, hi, area, fill);
  }
}

}  // namespace

void LineRuns(const PixelLine& line, int pen, PixelArea area, const RunSink& fill) {
  if (pen <= 1)
    ThinRuns(line, area, fill);
  else
    WideRuns(line, pen, area, fill);
}

void RingRuns(const PixelCircle& ring, int pen, PixelArea area, const RunSink& fill) {
  const double cx = ring.cx + 0.5, cy = ring.cy + 0.5;
  const double outer = ring.radius + pen / 2.0, inner = ring.radius - pen / 2.0;
  const auto [top, bottom] = Rows(cy - outer, cy + outer, area);
  for (int y = top; y <= bottom; ++y) {
    const double across = (y + 0.5 - cy) * (y + 0.5 - cy);
    if (outer * outer - across <= 0) continue;
    const double wo = std::sqrt(outer * outer - across);
    if (inner <= 0 || inner * inner - across <= 0) {
      RowRun(y, cx - wo, cx + wo, area, fill);
    } else {
      const double wi = std::sqrt(inner * inner - across);
      RowRun(y, cx - wo, cx - wi, area, fill);
      RowRun(y, cx + wi, cx + wo, area, fill);
    }
  }
}

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
