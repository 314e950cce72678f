#include "platform/icon.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "model/numtext.h"
#include "platform/look.h"

namespace vantorel::platform {

namespace {

constexpr double kGrid = 32;  // the drawing's own units
constexpr double kPen = 2;    // every stroke's width in those units
constexpr double kHalfPen = kPen / 2;

struct Rgb {
  std::uint32_t r, g, b;
};
constexpr Rgb kBackground{kWindowColour & 0xFF, (kWindowColour >> 8) & 0xFF, (kWindowColour >> 16) & 0xFF};
constexpr Rgb kMark{255, 255, 255};     // the aiming mark
constexpr Rgb kOutline{255, 191, 191};  // the window's outline colour (ComplementColour of the background)

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

// Whether the point (x, y) of the grid lies on each stroke.
bool OnRing(double x, double y) {
  const double dx = x - kRing.cx, dy = y - kRing.cy, d2 = dx * dx + dy * dy;
  const double inner = kRing.r - kHalfPen, outer = kRing.r + kHalfPen;
  return d2 >= inner * inner && d2 <= outer * outer;
}

// A square cap carries the stroke half a pen width past each end.
bool OnSegment(const Segment& s, double x, double y) {
  const double dx = s.x2 - s.x1, dy = s.y2 - s.y1, length = std::sqrt(dx * dx + dy * dy);
  if (length == 0) return std::abs(x - s.x1) <= kHalfPen && std::abs(y - s.y1) <= kHalfPen;
  const double along = ((x - s.x1) * dx + (y - s.y1) * dy) / length;
  const double across = ((x - s.x1) * dy - (y - s.y1) * dx) / length;
  return along >= -kHalfPen && along <= length + kHalfPen && std::abs(across) <= kHalfPen;
}

// The rectangle's stroke with bevelled corners: each outer corner is cut
// off along the line through the ends of its two sides' outer edges.
bool OnFrame(double x, double y) {
  const double left = kFrame.x, top = kFrame.y, right = kFrame.x + kFrame.w, bottom = kFrame.y + kFrame.h;
  if (x < left - kHalfPen || x > right + kHalfPen || y < top - kHalfPen || y > bottom + kHalfPen) return false;
  if (x > left + kHalfPen && x < right - kHalfPen && y > top + kHalfPen && y < bottom - kHalfPen) return false;
  const double beyondX = std::max(left - x, x - right), beyondY = std::max(top - y, y - bottom);
  return beyondX + beyondY <= kHalfPen;
}

// The colour the drawing has at the point: the outline over the mark over
// the background.
Rgb ColourAt(double x, double y) {
  if (OnFrame(x, y)) return kOutline;
  if (OnRing(x, y)) return kMark;
  for (const Segment& s : kCross)
    if (OnSegment(s, x, y)) return kMark;
  return kBackground;
}

std::string Hex(Rgb c) {
  static const char* digits = "0123456789abcdef";
  std::string out = "#";
  for (std::uint32_t v : {c.r, c.g, c.b}) {
    out += digits[(v >> 4) & 15];
    out += digits[v & 15];
  }
  return out;
}

std::string Num(double v) { return ShortestText(v); }

void Put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, (v >> 16) & 0xFFFF);
}

// One image of an icon file: a bitmap header, the colours bottom row first
// as blue, green, red and alpha, and the 1-bit mask (set where the image is
// transparent), its rows padded to whole 32-bit words.
std::string IconFileImage(const IconPixels& icon) {
  const auto size = static_cast<std::size_t>(icon.size);
  const std::size_t maskRow = (size + 31) / 32 * 4;
  const auto side = static_cast<std::uint32_t>(size);
  std::string out;
  Put32(out, 40);        // the header's size
  Put32(out, side);      // width
  Put32(out, 2 * side);  // height: the colours and the mask
  Put16(out, 1);         // planes
  Put16(out, 32);        // bits per pixel
  Put32(out, 0);         // no compression
  Put32(out, static_cast<std::uint32_t>(size * size * 4 + maskRow * size));
  for (int i = 0; i < 4; ++i) Put32(out, 0);  // resolution and palette: none
  for (std::size_t y = size; y-- > 0;)
    for (std::size_t x = 0; x < size; ++x) {
      const std::uint32_t p = icon.argb[y * size + x];
      Put16(out, p & 0xFFFF);
      Put16(out, p >> 16);
    }
  for (std::size_t y = size; y-- > 0;) {
    std::string row(maskRow, '\0');
    for (std::size_t x = 0; x < size; ++x)
      if ((icon.argb[y * size + x] >> 24) == 0) row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
    out += row;
  }
  return out;
}

}  // namespace

IconPixels ProgramIconPixels(int size) {
  IconPixels icon;
  icon.size = std::clamp(size, 1, 1024);
  const int side = icon.size;
  // Samples per pixel along each axis: enough for 256 shades of coverage
  // at the small sizes, where each pixel is a good part of a stroke.
  const int n = std::clamp(1024 / side, 2, 16);
  const double step = kGrid / side;
  icon.argb.reserve(static_cast<std::size_t>(side) * static_cast<std::size_t>(side));
  for (int py = 0; py < side; ++py)
    for (int px = 0; px < side; ++px) {
      std::uint32_t r = 0, g = 0, b = 0;
      for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
          const Rgb c = ColourAt((px + (i + 0.5) / n) * step, (py + (j + 0.5) / n) * step);
          r += c.r;
          g += c.g;
          b += c.b;
        }
      const auto count = static_cast<std::uint32_t>(n * n);
      const auto mean = [count](std::uint32_t sum) { return (sum + count / 2) / count; };
      icon.argb.push_back(0xFF000000u | (mean(r) << 16) | (mean(g) << 8) | mean(b));
    }
  return icon;
}

std::string ProgramIconSvg() {
  // Square caps, bevelled corners.
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

std::string ProgramIconFile() {
  constexpr auto count = static_cast<std::uint32_t>(std::size(kIconFileSizes));
  std::string head, images;
  Put16(head, 0);      // reserved
  Put16(head, 1);      // an icon (2 would be a cursor)
  Put16(head, count);  // images
  for (int size : kIconFileSizes) {
    const std::string image = IconFileImage(ProgramIconPixels(size));
    const auto bytes = static_cast<std::uint32_t>(image.size());
    // 256 is written as 0: the field is one byte.
    head += static_cast<char>(size & 0xFF);
    head += static_cast<char>(size & 0xFF);
    head += '\0';     // no palette
    head += '\0';     // reserved
    Put16(head, 1);   // planes
    Put16(head, 32);  // bits per pixel
    Put32(head, bytes);
    Put32(head, 6 + 16 * count + static_cast<std::uint32_t>(images.size()));
    images += image;
  }
  return head + images;
}

}  // namespace vantorel::platform
