#include "win32view/textmeasure.h"

#include "win32view/win32.h"

namespace vantorel::win32view {

namespace {

// The rectangle text takes in font, on the screen's device context.
RECT Extent(const platform::FontSpec& font, std::string_view text, int width, UINT flags) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, FontFor(font));
  const std::wstring w = W(text);
  RECT r{0, 0, width, 0};
  DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r, DT_CALCRECT | DT_NOPREFIX | flags);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return r;
}

}  // namespace

int GdiTextMeasure::Width(const platform::FontSpec& font, std::string_view text) const {
  return Extent(font, text, 0, DT_SINGLELINE).right;
}

int GdiTextMeasure::WrappedHeight(const platform::FontSpec& font, std::string_view text, int width) const {
  // DT_EDITCONTROL breaks a word wider than a line inside itself.
  return Extent(font, text, width, DT_WORDBREAK | DT_EDITCONTROL | DT_CENTER).bottom;
}

}  // namespace vantorel::win32view
