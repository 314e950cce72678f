#include "qtview/outline.h"

#include <QPainter>
#include <array>

#include "qtview/qtcolour.h"

namespace vantorel::qtview {

void DrawOutline(QPainter& p, QSize size, const Outline& o, platform::Colour background) {
  std::array<platform::PixelRect, 4> bands;
  const QColor c = ToQColor(ComplementColour(background));
  for (int i = 0, n = OutlineBands(o, size.width(), size.height(), bands); i < n; ++i)
    p.fillRect(QRect(bands[i].left, bands[i].top, bands[i].width, bands[i].height), c);
}

}  // namespace vantorel::qtview
