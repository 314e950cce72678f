// The drawing-surface model shared by the picture boxes and the printer.
// Lengths are in twips (1/1440 inch), measured from the top left of the
// surface's inner drawing area, y growing downwards. Colours are 32-bit
// values &H00BBGGRR.
//
// Text output follows one model everywhere: a current position; printing a
// text either stays on the line (the position moves to the end of the text)
// or ends it (the position moves to the left edge of the next line); setting
// a single point also moves the current position there. Everything drawn
// stays until the surface is cleared.
//
// This header is plain C++ so that the graph and the printed list can be
// drawn, and tested, through it without a window system.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vantorel::platform {

using Colour = uint32_t;  // &H00BBGGRR

// The classic 16-colour palette by number (0 black, 4 dark red, 8 grey,
// 12 bright red, 15 white, ...).
Colour QBColor(int n);

// Cuts the segment (x1, y1)-(x2, y2) to the rectangle [lo, hiX] x [lo, hiY]
// (Liang-Barsky), for drawing far-reaching lines on a device of bounded
// coordinates. False when nothing of it lies inside.
bool ClipSegment(double& x1, double& y1, double& x2, double& y2, double lo, double hiX, double hiY);

inline int RedOf(Colour c) { return static_cast<int>(c & 0xFF); }
inline int GreenOf(Colour c) { return static_cast<int>((c >> 8) & 0xFF); }
inline int BlueOf(Colour c) { return static_cast<int>((c >> 16) & 0xFF); }

struct FontSpec {
  std::string name = "Tahoma";
  double size = 8.25;  // points
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikethru = false;
};

// Outer position and size of a drawing box in its container's units,
// border included.
struct BoxGeometry {
  double left = 0;
  double top = 0;
  double width = 0;
  double height = 0;
};

class Surface {
 public:
  virtual ~Surface() = default;

  // Size of the inner drawing area.
  virtual double ScaleWidth() const = 0;
  virtual double ScaleHeight() const = 0;

  // Fills everything with the background colour; the current position goes
  // back to the top left.
  virtual void Cls() = 0;

  // Pen width in pixels for lines, rectangles and circles.
  virtual void SetDrawWidth(int pixels) { drawWidth_ = pixels; }
  virtual int DrawWidth() const { return drawWidth_; }

  // A straight line; the current position moves to its end.
  virtual void Line(double x1, double y1, double x2, double y2, Colour c) = 0;
  // A rectangle, outline only, between two corners.
  virtual void Box(double x1, double y1, double x2, double y2, Colour c) = 0;
  // A single point; the current position moves there.
  virtual void PSet(double x, double y, Colour c) = 0;
  // An unfilled circle in the given colour.
  virtual void Circle(double x, double y, double radius, Colour c) = 0;

  // The current position, the font and the fore colour are kept here for
  // every surface; a surface overrides these only to do more than keep them.
  virtual double CurrentX() const { return curX_; }
  virtual double CurrentY() const { return curY_; }
  virtual void SetCurrentX(double x) { curX_ = x; }
  virtual void SetCurrentY(double y) { curY_ = y; }

  virtual const FontSpec& Font() const { return surfaceFont_; }
  virtual void SetFont(const FontSpec& f) { surfaceFont_ = f; }
  virtual Colour ForeColor() const { return fore_; }
  virtual void SetForeColor(Colour c) { fore_ = c; }

  // Size of a text in the surface's font.
  virtual double TextWidth(std::string_view text) const = 0;
  virtual double TextHeight(std::string_view text) const = 0;

  // Prints text (UTF-8) at the current position in the surface's font and
  // fore colour. endLine: the position moves to the left edge of the next
  // line; otherwise to the end of the printed text on the same line.
  virtual void Print(std::string_view text, bool endLine = true) = 0;

  // Prints text at the current position in the given font, rotated by
  // angleTenths tenths of a degree counter-clockwise about its starting point
  // (900 reads upwards); the line then ends as for Print.
  virtual void PrintRotated(std::string_view text, const FontSpec& font, double pixelHeight, int angleTenths) = 0;

  // Vertical dots per inch of the device behind the surface.
  virtual int DpiY() const = 0;

 protected:
  double curX_ = 0;
  double curY_ = 0;
  FontSpec surfaceFont_;
  Colour fore_ = 0;
  int drawWidth_ = 1;
};

}  // namespace vantorel::platform
