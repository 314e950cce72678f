#include "qtview/outline.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "qtview/qtcolour.h"
#include "platform/twips.h"

namespace vantorel::qtview {

void DrawOutline(QPainter& p, QSize size, const Outline& o, platform::Colour background) {
  // The pen's centre line runs through the corners; its band starts half a
  // pen outside them, held within the surface. Both sides use the same rule.
  const int pen = std::clamp(o.pen, 1, 16);
  auto inset = [pen](double twips) {
    const double px = platform::TwipsToPixelsF(twips) - pen / 2.0;
    return std::isfinite(px) ? static_cast<int>(std::clamp(std::floor(px), 0.0, 1000.0)) : 0;
  };
  const int a = inset(o.nearEdge), b = inset(o.farEdge);
  const int w = size.width() - a - b, h = size.height() - a - b;
  if (w <= 0 || h <= 0) return;
  const QColor c = ToQColor(ComplementColour(background));
  p.fillRect(QRect(a, a, w, pen), c);
  p.fillRect(QRect(a, a + h - pen, w, pen), c);
  p.fillRect(QRect(a, a, pen, h), c);
  p.fillRect(QRect(a + w - pen, a, pen, h), c);
}

}  // namespace vantorel::qtview
