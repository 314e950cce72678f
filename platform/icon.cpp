#include "platform/icon.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <vector>

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

// How much of a box of the grid (the smallest box round a block of sample
// points) a stroke covers. All and None are only said when no point of the
// box is within kSure of the stroke's edge, so that rounding cannot make a
// sample in it come out otherwise; near an edge the answer is Part.
enum class Cover { None, All, Part };
struct Box {
  double x0, y0, x1, y1;
};
constexpr double kSure = 1e-9;

Cover RingCover(const Box& b) {
  const double nearX = std::max({b.x0 - kRing.cx, kRing.cx - b.x1, 0.0});
  const double nearY = std::max({b.y0 - kRing.cy, kRing.cy - b.y1, 0.0});
  const double farX = std::max(std::abs(b.x0 - kRing.cx), std::abs(b.x1 - kRing.cx));
  const double farY = std::max(std::abs(b.y0 - kRing.cy), std::abs(b.y1 - kRing.cy));
  const double near2 = nearX * nearX + nearY * nearY, far2 = farX * farX + farY * farY;
  const auto squared = [](double v) { return v * v; };
  const double inner = kRing.r - kHalfPen, outer = kRing.r + kHalfPen;
  if (far2 < squared(inner - kSure) || near2 > squared(outer + kSure)) return Cover::None;
  if (near2 > squared(inner + kSure) && far2 < squared(outer - kSure)) return Cover::All;
  return Cover::Part;
}

// The cross's strokes run across or down the grid, so each, square caps
// included, is a rectangle with the grid's sides.
constexpr bool AlongTheGrid(const Segment& s) { return s.x1 == s.x2 || s.y1 == s.y2; }
static_assert(std::all_of(std::begin(kCross), std::end(kCross), AlongTheGrid));

Cover SegmentCover(const Segment& s, const Box& b) {
  const double left = std::min(s.x1, s.x2) - kHalfPen, right = std::max(s.x1, s.x2) + kHalfPen;
  const double top = std::min(s.y1, s.y2) - kHalfPen, bottom = std::max(s.y1, s.y2) + kHalfPen;
  if (b.x1 < left - kSure || b.x0 > right + kSure || b.y1 < top - kSure || b.y0 > bottom + kSure) return Cover::None;
  if (b.x0 > left + kSure && b.x1 < right - kSure && b.y0 > top + kSure && b.y1 < bottom - kSure) return Cover::All;
  return Cover::Part;
}

// The frame's stroke is the bevelled outer shape (convex: the box is inside
// it when its corners are) less the open rectangle inside the stroke.
Cover FrameCover(const Box& b) {
  const double left = kFrame.x, top = kFrame.y, right = kFrame.x + kFrame.w, bottom = kFrame.y + kFrame.h;
  if (b.x1 < left - kHalfPen - kSure || b.x0 > right + kHalfPen + kSure || b.y1 < top - kHalfPen - kSure ||
      b.y0 > bottom + kHalfPen + kSure)
    return Cover::None;
  const bool inHole = b.x0 > left + kHalfPen + kSure && b.x1 < right - kHalfPen - kSure &&
                      b.y0 > top + kHalfPen + kSure && b.y1 < bottom - kHalfPen - kSure;
  if (inHole) return Cover::None;
  const bool clearOfHole = b.x1 < left + kHalfPen - kSure || b.x0 > right - kHalfPen + kSure ||
                           b.y1 < top + kHalfPen - kSure || b.y0 > bottom - kHalfPen + kSure;
  const auto inOuter = [&](double x, double y) {
    if (x < left - kHalfPen + kSure || x > right + kHalfPen - kSure || y < top - kHalfPen + kSure ||
        y > bottom + kHalfPen - kSure)
      return false;
    return std::max(left - x, x - right) + std::max(top - y, y - bottom) < kHalfPen - kSure;
  };
  if (clearOfHole && inOuter(b.x0, b.y0) && inOuter(b.x1, b.y0) && inOuter(b.x0, b.y1) && inOuter(b.x1, b.y1))
    return Cover::All;
  return Cover::Part;
}

// What each stroke covers of a block of samples: the frame, the ring, then
// the cross's segments.
constexpr std::size_t kStrokes = 2 + std::size(kCross);
using Covers = std::array<Cover, kStrokes>;

Cover StrokeCover(std::size_t stroke, const Box& b) {
  if (stroke == 0) return FrameCover(b);
  if (stroke == 1) return RingCover(b);
  return SegmentCover(kCross[stroke - 2], b);
}

// The covers of a box inside a block whose covers are known: only a stroke
// whose edge crosses the block can cross the box.
Covers Narrow(Covers covers, const Box& b) {
  for (std::size_t stroke = 0; stroke < kStrokes; ++stroke)
    if (covers[stroke] == Cover::Part) covers[stroke] = StrokeCover(stroke, b);
  return covers;
}

// The one colour every point of a block has, if the covers leave it one;
// the layers as in ColourAt.
std::optional<Rgb> UniformColour(const Covers& covers) {
  if (covers[0] == Cover::All) return kOutline;
  if (covers[0] == Cover::Part) return std::nullopt;
  bool part = false;
  for (std::size_t stroke = 1; stroke < kStrokes; ++stroke) {
    if (covers[stroke] == Cover::All) return kMark;
    part = part || covers[stroke] == Cover::Part;
  }
  if (part) return std::nullopt;
  return kBackground;
}

// The samples of the whole icon, n by n to a pixel, added up pixel by
// pixel. A block of samples that no edge crosses has one colour and is
// counted at once; one that an edge crosses is halved (along pixel edges
// while it spans more than one pixel) until its parts have one colour or are
// single samples. The sums are those of taking every sample.
class SampleSums {
 public:
  SampleSums(int side, int n)
      : side_(side),
        n_(n),
        step_(kGrid / side),
        sums_(static_cast<std::size_t>(side) * static_cast<std::size_t>(side)) {
    Covers unknown;
    unknown.fill(Cover::Part);
    AddBlock(0, side * n, 0, side * n, unknown);
  }

  // The mean colour of the pixel at index, rounded to the nearest shade.
  std::uint32_t Mean(std::size_t pixel) const {
    const auto count = static_cast<std::uint32_t>(n_ * n_);
    const auto mean = [count](std::uint32_t sum) { return (sum + count / 2) / count; };
    const Rgb& sum = sums_[pixel];
    return 0xFF000000u | (mean(sum.r) << 16) | (mean(sum.g) << 8) | mean(sum.b);
  }

 private:
  // The grid coordinate of sample i along either axis: sample i % n of pixel i / n.
  double At(int i) const {
    const int pixel = i / n_;
    return (pixel + (i % n_ + 0.5) / n_) * step_;
  }

  // The samples i0 to i1 - 1 across and j0 to j1 - 1 down, inside a block
  // with the given covers.
  void AddBlock(int i0, int i1, int j0, int j1, const Covers& outer) {
    const Covers covers = Narrow(outer, {At(i0), At(j0), At(i1 - 1), At(j1 - 1)});
    if (const std::optional<Rgb> c = UniformColour(covers)) {
      Add(*c, i0, i1, j0, j1);
      return;
    }
    if (i1 - i0 == 1 && j1 - j0 == 1) {
      Add(ColourAt(At(i0), At(j0)), i0, i1, j0, j1);
      return;
    }
    const auto middle = [this](int from, int to) {
      const int pixels = (to - from) / n_;
      return pixels >= 2 ? from + pixels / 2 * n_ : from + (to - from) / 2;
    };
    if (i1 - i0 >= j1 - j0) {
      const int mid = middle(i0, i1);
      AddBlock(i0, mid, j0, j1, covers);
      AddBlock(mid, i1, j0, j1, covers);
    } else {
      const int mid = middle(j0, j1);
      AddBlock(i0, i1, j0, mid, covers);
      AddBlock(i0, i1, mid, j1, covers);
    }
  }

  // The colour for every sample of the block, into each pixel it overlaps.
  void Add(Rgb c, int i0, int i1, int j0, int j1) {
    for (int py = j0 / n_; py <= (j1 - 1) / n_; ++py)
      for (int px = i0 / n_; px <= (i1 - 1) / n_; ++px) {
        const int across = std::min(i1, (px + 1) * n_) - std::max(i0, px * n_);
        const int down = std::min(j1, (py + 1) * n_) - std::max(j0, py * n_);
        const auto count = static_cast<std::uint32_t>(across * down);
        Rgb& sum = sums_[static_cast<std::size_t>(py) * static_cast<std::size_t>(side_) + static_cast<std::size_t>(px)];
        sum.r += c.r * count;
        sum.g += c.g * count;
        sum.b += c.b * count;
      }
  }

  int side_, n_;
  double step_;
  std::vector<Rgb> sums_;
};

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
  const SampleSums sums(side, n);
  const std::size_t pixels = static_cast<std::size_t>(side) * static_cast<std::size_t>(side);
  icon.argb.reserve(pixels);
  for (std::size_t pixel = 0; pixel < pixels; ++pixel) icon.argb.push_back(sums.Mean(pixel));
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
