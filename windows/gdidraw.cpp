#include "windows/gdidraw.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "model/numtext.h"
#include "platform/printing.h"
#include "windows/wintext.h"

namespace vantorel::platform {

namespace {

// Device pixels beyond which nothing is drawn: far outside any device, yet
// well inside GDI's coordinate range.
constexpr double kFar = 1.0e6;

// A GDI object selected into a device context for as long as this lives; the
// previous one goes back and the object is deleted (unless it is a stock or
// borrowed one).
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ obj, bool owned = true) : dc_(dc), obj_(obj), owned_(owned) {
    old_ = obj ? SelectObject(dc, obj) : nullptr;
  }
  ~Selected() {
    if (old_) SelectObject(dc_, old_);
    if (obj_ && owned_) DeleteObject(obj_);
  }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC dc_;
  HGDIOBJ obj_, old_ = nullptr;
  bool owned_;
};

COLORREF Ref(Colour c) { return static_cast<COLORREF>(c & 0xFFFFFF); }

// The lines of a text: split at line feeds, a carriage return before a line
// feed dropped. Text that is not UTF-8 gives one empty line.
std::vector<std::wstring> TextLines(std::string_view text) {
  std::vector<std::wstring> lines(1);
  for (wchar_t ch : Wide(std::string(text)).value_or(std::wstring())) {
    if (ch == L'\n') {
      if (!lines.back().empty() && lines.back().back() == L'\r') lines.back().pop_back();
      lines.emplace_back();
    } else {
      lines.back().push_back(ch);
    }
  }
  return lines;
}

int Length(std::wstring_view s) { return static_cast<int>(std::min<size_t>(s.size(), 32767)); }

void FillPixels(HDC dc, int left, int top, int w, int h, Colour c) {
  if (w <= 0 || h <= 0) return;
  const RECT r{left, top, left + w, top + h};
  HBRUSH brush = CreateSolidBrush(Ref(c));
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

}  // namespace

int ClampRound(double v, int lo, int hi) {
  if (std::isnan(v)) v = 0;
  if (v <= lo) return lo;
  if (v >= hi) return hi;
  return static_cast<int>(RoundHalfAway(v));
}

LOGFONTW SurfaceLogFont(const FontSpec& font, int dpiY, double pixelHeight) {
  LOGFONTW lf{};
  const double px = pixelHeight >= 1 ? pixelHeight : font.size * dpiY / 72.0;
  lf.lfHeight = -ClampRound(px, 1, 16384);  // negative: the character height
  lf.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = font.italic ? 1 : 0;
  lf.lfUnderline = font.underline ? 1 : 0;
  lf.lfStrikeOut = font.strikethru ? 1 : 0;
  lf.lfCharSet = DEFAULT_CHARSET;
  const std::wstring face = Wide(font.name).value_or(std::wstring());
  std::copy_n(face.begin(), std::min<size_t>(face.size(), LF_FACESIZE - 1), lf.lfFaceName);
  return lf;
}

template <class Base>
GdiDrawing<Base>::~GdiDrawing() {
  if (font_) DeleteObject(font_);
}

template <class Base>
void GdiDrawing<Base>::SetDensity(int dpiX, int dpiY) {
  dpiX_ = std::clamp(dpiX, 1, 100000);
  dpiY_ = std::clamp(dpiY, 1, 100000);
  SetFont(this->surfaceFont_);
}

template <class Base>
int GdiDrawing<Base>::PenPixels() const {
  return ClampRound(this->drawWidth_ * ScaleX(), 1, 10000);
}

template <class Base>
void GdiDrawing<Base>::SetDrawWidth(int pixels) {
  this->drawWidth_ = std::clamp(pixels, 1, 32767);
}

template <class Base>
void GdiDrawing<Base>::Line(double x1, double y1, double x2, double y2, Colour c) {
  this->curX_ = x2;
  this->curY_ = y2;
  HDC dc = DrawDc();
  if (!dc) return;
  double dx1 = TwipsToPixelsF(x1) * ScaleX(), dy1 = TwipsToPixelsF(y1) * ScaleY();
  double dx2 = TwipsToPixelsF(x2) * ScaleX(), dy2 = TwipsToPixelsF(y2) * ScaleY();
  if (std::isnan(dx1) || std::isnan(dy1) || std::isnan(dx2) || std::isnan(dy2)) return;
  // Endpoints at infinity, or absurdly far, are brought in along their axis;
  // the visible part of such a line is then cut to the device with a margin
  // for the pen.
  const double outer = 1.0e12;
  dx1 = std::clamp(dx1, -outer, outer);
  dy1 = std::clamp(dy1, -outer, outer);
  dx2 = std::clamp(dx2, -outer, outer);
  dy2 = std::clamp(dy2, -outer, outer);
  const int pen = PenPixels();
  const SIZE area = DeviceArea();
  const double margin = pen + 2.0;
  if (!ClipSegment(dx1, dy1, dx2, dy2, -margin, area.cx + margin, area.cy + margin)) return;
  const int limit = 2000000;
  const int ix1 = ClampRound(dx1, -limit, limit), iy1 = ClampRound(dy1, -limit, limit);
  const int ix2 = ClampRound(dx2, -limit, limit), iy2 = ClampRound(dy2, -limit, limit);

  // A one-pixel pen is the plain cosmetic one; wider pens end square for a
  // thin line and round for wider ones, so that the pieces of a curve join
  // smoothly.
  HPEN hpen;
  if (pen == 1) {
    hpen = CreatePen(PS_SOLID, 1, Ref(c));
  } else {
    const LOGBRUSH lb{BS_SOLID, Ref(c), 0};
    const DWORD ends = this->drawWidth_ == 1 ? PS_ENDCAP_FLAT : PS_ENDCAP_ROUND;
    hpen = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | ends | PS_JOIN_ROUND, static_cast<DWORD>(pen), &lb, 0, nullptr);
  }
  {
    const Selected use(dc, hpen);
    MoveToEx(dc, ix1, iy1, nullptr);
    LineTo(dc, ix2, iy2);
  }
  Drawn();
}

template <class Base>
void GdiDrawing<Base>::Box(double x1, double y1, double x2, double y2, Colour c) {
  this->curX_ = x2;
  this->curY_ = y2;
  HDC dc = DrawDc();
  if (!dc) return;
  const double dx1 = TwipsToPixelsF(x1) * ScaleX(), dy1 = TwipsToPixelsF(y1) * ScaleY();
  const double dx2 = TwipsToPixelsF(x2) * ScaleX(), dy2 = TwipsToPixelsF(y2) * ScaleY();
  if (std::isnan(dx1) || std::isnan(dy1) || std::isnan(dx2) || std::isnan(dy2)) return;
  const int pen = PenPixels();
  const SIZE area = DeviceArea();
  const int limitX = static_cast<int>(area.cx) + pen, limitY = static_cast<int>(area.cy) + pen;
  const int left = ClampRound(std::min(dx1, dx2), -pen, limitX), right = ClampRound(std::max(dx1, dx2), -pen, limitX);
  const int top = ClampRound(std::min(dy1, dy2), -pen, limitY), bottom = ClampRound(std::max(dy1, dy2), -pen, limitY);
  const int w = right - left, h = bottom - top;
  if (w <= 0 || h <= 0) return;
  if (w <= 2 * pen || h <= 2 * pen) {
    FillPixels(dc, left, top, w, h, c);
  } else {
    FillPixels(dc, left, top, w, pen, c);
    FillPixels(dc, left, bottom - pen, w, pen, c);
    FillPixels(dc, left, top + pen, pen, h - 2 * pen, c);
    FillPixels(dc, right - pen, top + pen, pen, h - 2 * pen, c);
  }
  Drawn();
}

template <class Base>
void GdiDrawing<Base>::PSet(double x, double y, Colour c) {
  this->curX_ = x;
  this->curY_ = y;
  HDC dc = DrawDc();
  const double dx = TwipsToPixelsF(x) * ScaleX(), dy = TwipsToPixelsF(y) * ScaleY();
  if (!dc || !(std::fabs(dx) < kFar) || !(std::fabs(dy) < kFar)) return;  // also NaN
  // On the pixel of the point, and right and below it for even widths.
  const int pen = PenPixels();
  FillPixels(dc, TwipsToPixels(x, ScaleX()) - (pen - 1) / 2, TwipsToPixels(y, ScaleY()) - (pen - 1) / 2, pen, pen, c);
  Drawn();
}

template <class Base>
void GdiDrawing<Base>::Circle(double x, double y, double radius, Colour c) {
  HDC dc = DrawDc();
  const double dx = TwipsToPixelsF(x) * ScaleX(), dy = TwipsToPixelsF(y) * ScaleY();
  const double dr = std::fabs(TwipsToPixelsF(radius) * ScaleX());
  if (!dc || !(std::fabs(dx) < kFar) || !(std::fabs(dy) < kFar) || !(dr < kFar)) return;  // also NaN
  const int pen = PenPixels();
  const int cx = TwipsToPixels(x, ScaleX()), cy = TwipsToPixels(y, ScaleY());
  const int r = ClampRound(dr, 0, 2000000);
  const SIZE area = DeviceArea();
  if (cx + r + pen < 0 || cy + r + pen < 0 || cx - r - pen > area.cx || cy - r - pen > area.cy) return;
  const LOGBRUSH lb{BS_SOLID, Ref(c), 0};
  HPEN hpen = pen == 1 ? CreatePen(PS_SOLID, 1, Ref(c))
                       : ExtCreatePen(PS_GEOMETRIC | PS_SOLID, static_cast<DWORD>(pen), &lb, 0, nullptr);
  {
    const Selected use(dc, hpen);
    const Selected hollow(dc, GetStockObject(NULL_BRUSH), false);
    // The box of a circle leaves out its right and bottom edge.
    Ellipse(dc, cx - r, cy - r, cx + r + 1, cy + r + 1);
  }
  Drawn();
}

template <class Base>
void GdiDrawing<Base>::SetFont(const FontSpec& f) {
  this->surfaceFont_ = f;
  if (font_) DeleteObject(font_);
  font_ = nullptr;
}

template <class Base>
HFONT GdiDrawing<Base>::SurfaceFont() const {
  if (!font_) {
    const LOGFONTW lf = SurfaceLogFont(this->surfaceFont_, dpiY_);
    font_ = CreateFontIndirectW(&lf);
  }
  return font_;
}

template <class Base>
int GdiDrawing<Base>::LinePixels() const {
  HDC dc = MeasureDc();
  const Selected use(dc, SurfaceFont(), false);
  TEXTMETRICW tm{};
  if (!GetTextMetricsW(dc, &tm)) return 0;
  return static_cast<int>(tm.tmHeight + tm.tmExternalLeading);
}

template <class Base>
double GdiDrawing<Base>::TextWidth(std::string_view text) const {
  double widest = 0;
  for (const std::wstring& line : TextLines(text)) widest = std::max(widest, LineWidth(line));
  return widest;
}

template <class Base>
double GdiDrawing<Base>::LineWidth(const std::wstring& line) const {
  HDC dc = MeasureDc();
  const Selected use(dc, SurfaceFont(), false);
  SIZE size{};
  return !line.empty() && GetTextExtentPoint32W(dc, line.c_str(), Length(line), &size) ? TwipsX(size.cx) : 0.0;
}

template <class Base>
double GdiDrawing<Base>::TextHeight(std::string_view text) const {
  return TwipsY(static_cast<double>(LinePixels()) * static_cast<double>(TextLines(text).size()));
}

template <class Base>
void GdiDrawing<Base>::DrawTextAt(HDC dc, double x, double y, std::wstring_view text, HFONT font) {
  const double dx = TwipsToPixelsF(x) * ScaleX(), dy = TwipsToPixelsF(y) * ScaleY();
  if (text.empty() || !(std::fabs(dx) < kFar) || !(std::fabs(dy) < kFar)) return;  // also NaN
  const Selected use(dc, font, false);
  SetTextColor(dc, Ref(this->fore_));
  SetBkMode(dc, TRANSPARENT);
  SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
  TextOutW(dc, TwipsToPixels(x, ScaleX()), TwipsToPixels(y, ScaleY()), text.data(), Length(text));
  Drawn();
}

template <class Base>
void GdiDrawing<Base>::Print(std::string_view text, bool endLine) {
  const std::vector<std::wstring> lines = TextLines(text);
  const double lineHeight = TwipsY(LinePixels());
  // Printing anything, even an empty line, opens the printer's page.
  HDC dc = DrawDc();
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) {
      this->curX_ = 0;
      this->curY_ += lineHeight;
    }
    if (dc) DrawTextAt(dc, this->curX_, this->curY_, lines[i], SurfaceFont());
  }
  if (endLine) {
    this->curX_ = 0;
    this->curY_ += lineHeight;
  } else {
    this->curX_ += LineWidth(lines.back());
  }
}

template <class Base>
void GdiDrawing<Base>::PrintRotated(std::string_view text, const FontSpec& font, double pixelHeight, int angleTenths) {
  LOGFONTW lf = SurfaceLogFont(font, dpiY_, pixelHeight);
  // Each character turns with the line; the rest as the rotated font's
  // description has it: ANSI characters, proof quality, fixed pitch, Swiss.
  lf.lfEscapement = angleTenths;
  lf.lfOrientation = angleTenths;
  lf.lfCharSet = ANSI_CHARSET;
  lf.lfQuality = PROOF_QUALITY;
  lf.lfPitchAndFamily = FIXED_PITCH | FF_SWISS;
  HFONT rotated = CreateFontIndirectW(&lf);
  if (HDC dc = DrawDc()) {
    // The advanced mode turns each character by the orientation.
    const int mode = SetGraphicsMode(dc, GM_ADVANCED);
    DrawTextAt(dc, this->curX_, this->curY_, TextLines(text).front(), rotated ? rotated : SurfaceFont());
    if (mode) SetGraphicsMode(dc, mode);
  }
  if (rotated) DeleteObject(rotated);
  // The line ends as after an ordinary print in the surface font.
  this->curX_ = 0;
  this->curY_ += TwipsY(LinePixels());
}

template class GdiDrawing<Surface>;
template class GdiDrawing<PrintJob>;

}  // namespace vantorel::platform
