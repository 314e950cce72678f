#include "windows/gdidraw.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "model/numtext.h"
#include "platform/printing.h"
#include "windows/wintext.h"

namespace vantorel::windows {

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

COLORREF Ref(platform::Colour c) { return static_cast<COLORREF>(c & 0xFFFFFF); }

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

void FillPixels(HDC dc, int left, int top, int w, int h, platform::Colour c) {
  if (w <= 0 || h <= 0) return;
  const RECT r{left, top, left + w, top + h};
  HBRUSH brush = CreateSolidBrush(Ref(c));
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

}  // namespace

LOGFONTW SurfaceLogFont(const platform::FontSpec& font, int dpiY, double pixelHeight) {
  LOGFONTW lf{};
  const double px = pixelHeight >= 1 ? pixelHeight : font.size * dpiY / 72.0;
  lf.lfHeight = -platform::ClampRound(px, 1, 16384);  // negative: the character height
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
platform::PixelArea GdiDrawing<Base>::DrawingArea() const {
  const SIZE area = DeviceArea();
  return {static_cast<int>(area.cx), static_cast<int>(area.cy)};
}

template <class Base>
bool GdiDrawing<Base>::BeginDrawing() {
  dc_ = DrawDc();
  return dc_ != nullptr;
}

template <class Base>
void GdiDrawing<Base>::FillPixels(const platform::PixelRect& r, platform::Colour c) {
  windows::FillPixels(dc_, r.left, r.top, r.width, r.height, c);
}

template <class Base>
void GdiDrawing<Base>::SetFont(const platform::FontSpec& f) {
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
  const double dx = platform::TwipsToPixelsF(x) * ScaleX(), dy = platform::TwipsToPixelsF(y) * ScaleY();
  if (text.empty() || !(std::fabs(dx) < kFar) || !(std::fabs(dy) < kFar)) return;  // also NaN
  const Selected use(dc, font, false);
  SetTextColor(dc, Ref(this->fore_));
  SetBkMode(dc, TRANSPARENT);
  SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
  TextOutW(dc, platform::TwipsToPixels(x, ScaleX()), platform::TwipsToPixels(y, ScaleY()), text.data(), Length(text));
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
void GdiDrawing<Base>::PrintRotated(std::string_view text, const platform::FontSpec& font, double pixelHeight,
                                    int angleTenths) {
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

template class GdiDrawing<platform::Surface>;
template class GdiDrawing<platform::PrintJob>;

}  // namespace vantorel::windows
