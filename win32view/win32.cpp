#include "win32view/win32.h"

#include <map>
#include <tuple>

#include "model/numtext.h"
#include "windows/wintext.h"

namespace vantorel::win32view {

std::wstring W(std::string_view utf8) { return windows::Wide(std::string(utf8)).value_or(std::wstring()); }

std::string U(std::wstring_view utf16) { return windows::Narrow(utf16.data(), utf16.size()); }

namespace {
std::string WithReason(const std::string& what, DWORD error) {
  return error ? what + ": " + windows::ErrorText(error) : what;
}
}  // namespace

WindowFailure::WindowFailure(const std::string& what) : std::runtime_error(WithReason(what, GetLastError())) {}

HFONT FontFor(const platform::FontSpec& f) {
  static std::map<std::tuple<std::string, double, bool, bool, bool, bool>, HFONT> fonts;
  const auto key = std::tuple(f.name, f.size, f.bold, f.italic, f.underline, f.strikethru);
  if (auto it = fonts.find(key); it != fonts.end()) return it->second;
  LOGFONTW lf{};
  // Points at 96 dots to the inch; a negative height asks for the character height.
  const double pixels = f.size * 96.0 / 72.0;
  lf.lfHeight = -static_cast<LONG>(RoundHalfAway(pixels > 0 && pixels < 1000 ? pixels : 11));
  lf.lfWeight = f.bold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = f.italic;
  lf.lfUnderline = f.underline;
  lf.lfStrikeOut = f.strikethru;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = CLEARTYPE_QUALITY;
  const std::wstring face = W(f.name).substr(0, LF_FACESIZE - 1);
  face.copy(lf.lfFaceName, face.size());
  HFONT font = CreateFontIndirectW(&lf);
  fonts.emplace(key, font);
  return font;
}

HBRUSH BrushFor(platform::Colour c) {
  static std::map<platform::Colour, HBRUSH> brushes;
  auto [it, made] = brushes.try_emplace(c, nullptr);
  if (made) it->second = CreateSolidBrush(Gdi(c));
  return it->second;
}

std::string WindowText(HWND w) {
  const int n = GetWindowTextLengthW(w);
  if (n <= 0) return {};
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  const int got = GetWindowTextW(w, text.data(), n + 1);
  text.resize(static_cast<size_t>(got > 0 ? got : 0));
  return U(text);
}

}  // namespace vantorel::win32view
