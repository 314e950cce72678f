#include "app/textfit.h"

#include <algorithm>

#include "app/layout.h"
#include "output/graph.h"
#include "platform/twips.h"

namespace vantorel::app {

using platform::TwipsToPixels;

double CopyrightPoints(const platform::TextMeasure& m, std::string_view notice, const WindowLayout& l) {
  const ControlLayout &line = l.Control(Id::Copyright), &p0 = l.Control(Id::P0), &p5 = l.Control(Id::P5);
  // The graph's title is centred over the inner panel, in the panel's font.
  const int titleHalf = std::max(m.Width(p0.font, GraphTitle(false)), m.Width(p0.font, GraphTitle(true))) / 2;
  const int titleEnd = TwipsToPixels(p0.left) + TwipsToPixels(p5.left) + TwipsToPixels(p5.width) / 2 + titleHalf;
  const int lineEnd = TwipsToPixels(line.left) + TwipsToPixels(line.width) - 1;
  const bool clear = line.top >= p0.top + p0.height || line.top + line.height <= p0.top;
  const int room = clear ? TwipsToPixels(line.width) - 1 : lineEnd - (titleEnd + 6);
  platform::FontSpec font = line.font;
  for (; font.size > 5; font.size -= 0.25)
    if (m.Width(font, notice) <= room) break;
  return font.size;
}

ErrorBodyFit FitErrorBody(const platform::TextMeasure& m, std::string_view body, int screenHeight, int scrollBarWidth) {
  constexpr double kSmallest = 9;
  const WindowLayout& l = ErrorWindowLayout();
  const ControlLayout &area = l.Control(Id::ErrBody), &close = l.Control(Id::cbClose);
  const int areaMin = TwipsToPixels(area.height);
  const int areaMax = std::max(areaMin, screenHeight - TwipsToPixels(l.height - area.height));
  ErrorBodyFit f;
  f.font = area.font;
  f.lineWidth = TwipsToPixels(area.width);
  for (;; f.font.size -= 0.5) {
    f.textHeight = m.WrappedHeight(f.font, body, f.lineWidth);
    if (f.textHeight <= areaMin || f.font.size - 0.5 < kSmallest) break;
  }
  f.scrolls = f.textHeight > areaMax;
  if (f.scrolls) {
    f.lineWidth -= scrollBarWidth;
    f.textHeight = m.WrappedHeight(f.font, body, f.lineWidth);
  }
  f.areaHeight = std::clamp(f.textHeight, areaMin, areaMax);
  const double extra = platform::PixelsToTwips(f.areaHeight - areaMin);
  f.areaTwips = area.height + extra;
  f.closeTopTwips = close.top + extra;
  f.windowTwips = l.height + extra;
  return f;
}

}  // namespace vantorel::app
