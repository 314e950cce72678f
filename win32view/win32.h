// What the Win32 windows share: texts as UTF-16, twips as pixels, the
// program's colours as GDI's, and the fonts made once.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>
#include <string_view>

#include "app/layout.h"
#include "platform/surface.h"
#include "platform/twips.h"

namespace vantorel::win32view {

// UTF-8 to UTF-16 (empty for text that is not UTF-8) and back.
std::wstring W(std::string_view utf8);
std::string U(std::wstring_view utf16);

// The program's colours are &H00BBGGRR, as COLORREF is.
inline COLORREF Gdi(platform::Colour c) { return static_cast<COLORREF>(c & 0x00FFFFFFu); }
inline int Px(double twips) { return platform::TwipsToPixels(twips); }

// One font per face, size and style, made on first use and kept.
HFONT FontFor(const platform::FontSpec& f);
// One solid brush per colour, kept.
HBRUSH BrushFor(platform::Colour c);

// A screen rectangle in twips.
inline app::Rect Twips(const RECT& r) {
  return {platform::PixelsToTwips(r.left), platform::PixelsToTwips(r.top), platform::PixelsToTwips(r.right - r.left),
          platform::PixelsToTwips(r.bottom - r.top)};
}

// A window's text as UTF-8.
std::string WindowText(HWND w);

// A window the system would not make: what it was, with the system's
// reason (GetLastError when thrown) when it gave one.
class WindowFailure : public std::runtime_error {
 public:
  explicit WindowFailure(const std::string& what);
};

}  // namespace vantorel::win32view
