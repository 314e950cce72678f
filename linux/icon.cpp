#include "linux/icon.h"

#include <QImage>
#include <QPainter>

#include <algorithm>

#include "model/numtext.h"
#include "platform/look.h"

namespace vantorel::platform {

namespace {

constexpr double kGrid = 32;  // the design's own units
constexpr double kPen = 2;    // every stroke's width in those units

struct Rgb {
  int r, g, b;
};
constexpr Rgb kBackground{kWindowColour & 0xFF, (kWindowColour >> 8) & 0xFF, (kWindowColour >> 16) & 0xFF};
constexpr Rgb kMark{255, 255, 255};     // the aiming mark
constexpr Rgb kOutline{255, 191, 191};  // the window's outline colour

struct Ring {
  double cx, cy, r;
};
struct Segment {
  double x1, y1, x2, y2;
};
struct Frame {
  double x, y, w, h;
};

constexpr Ring kRing{16, 16, 9};
constexpr Segment kCross[] = {{16, 3, 16, 12}, {16, 20, 16, 29}, {3, 16, 12, 16}, {20, 16, 29, 16}};
constexpr Frame kFrame{1, 1, 30, 30};

QColor ToQ(Rgb c) { return QColor(c.r, c.g, c.b); }

std::string Hex(Rgb c) {
  static const char* digits = "0123456789abcdef";
  std::string out = "#";
  for (int v : {c.r, c.g, c.b}) {
    out += digits[v >> 4];
    out += digits[v & 15];
  }
  return out;
}

std::string Num(double v) { return ShortestText(v); }

}  // namespace

QImage ProgramIconImage(int size) {
  size = std::clamp(size, 1, 4096);
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(ToQ(kBackground));
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / kGrid, size / kGrid);
  p.setPen(QPen(ToQ(kMark), kPen));
  p.drawEllipse(QPointF(kRing.cx, kRing.cy), kRing.r, kRing.r);
  for (const Segment& s : kCross) p.drawLine(QPointF(s.x1, s.y1), QPointF(s.x2, s.y2));
  p.setPen(QPen(ToQ(kOutline), kPen));
  p.drawRect(QRectF(kFrame.x, kFrame.y, kFrame.w, kFrame.h));
  p.end();
  return image;
}

std::string ProgramIconSvg() {
  // Qt's default pen: square caps, bevelled corners.
  const std::string stroke = "\" stroke-width=\"" + Num(kPen) +
                             "\" stroke-linecap=\"square\" stroke-linejoin=\"bevel\"";
  std::string svg =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
      Num(kGrid) + "\" height=\"" + Num(kGrid) + "\" viewBox=\"0 0 " + Num(kGrid) + " " + Num(kGrid) + "\">\n";
  svg += "  <rect width=\"" + Num(kGrid) + "\" height=\"" + Num(kGrid) + "\" fill=\"" + Hex(kBackground) + "\"/>\n";
  svg += "  <g fill=\"none\" stroke=\"" + Hex(kMark) + stroke + ">\n";
  svg += "    <circle cx=\"" + Num(kRing.cx) + "\" cy=\"" + Num(kRing.cy) + "\" r=\"" + Num(kRing.r) + "\"/>\n";
  for (const Segment& s : kCross)
    svg += "    <line x1=\"" + Num(s.x1) + "\" y1=\"" + Num(s.y1) + "\" x2=\"" + Num(s.x2) + "\" y2=\"" + Num(s.y2) +
           "\"/>\n";
  svg += "  </g>\n";
  svg += "  <rect x=\"" + Num(kFrame.x) + "\" y=\"" + Num(kFrame.y) + "\" width=\"" + Num(kFrame.w) + "\" height=\"" +
         Num(kFrame.h) + "\" fill=\"none\" stroke=\"" + Hex(kOutline) + stroke + "/>\n";
  svg += "</svg>\n";
  return svg;
}

}  // namespace vantorel::platform
