#include "output/rotatedtext.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "model/numtext.h"
#include "model/utf8.h"

namespace vantorel {

namespace {

// Characters 0x80 to 0x9F of Windows-1252; 0 marks the five unused codes.
constexpr std::array<char32_t, 32> kCp1252High = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                                  0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// One character in Windows-1252; '?' when it has no place there.
char ToAnsi(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(static_cast<unsigned char>(cp));
  for (size_t k = 0; k < kCp1252High.size(); ++k)
    if (kCp1252High[k] != 0 && kCp1252High[k] == cp) return static_cast<char>(0x80 + k);
  return '?';
}

char32_t FromAnsi(char c) {
  const auto b = static_cast<unsigned char>(c);
  if (b >= 0x80 && b <= 0x9F) {
    const char32_t cp = kCp1252High[b - 0x80u];
    return cp != 0 ? cp : 0xFFFD;
  }
  return b;
}

}  // namespace

int WholePoints(double points) {
  if (std::isnan(points) || points <= 0) return 0;
  if (points >= 32767.0) return 32767;
  return static_cast<int>(RoundHalfEven(points));
}

int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
  if (c == 0) return -1;
  const int64_t num = int64_t{a} * int64_t{b};  // at most 2^62 in magnitude
  const int64_t den = c;
  const bool negative = (num < 0) != (den < 0);
  const uint64_t n = num < 0 ? static_cast<uint64_t>(-(num + 1)) + 1 : static_cast<uint64_t>(num);
  const uint64_t d = den < 0 ? static_cast<uint64_t>(-(den + 1)) + 1 : static_cast<uint64_t>(den);
  uint64_t q = n / d;
  if ((n % d) * 2 >= d) ++q;  // halves away from zero
  if (!negative && q > 0x7FFFFFFFu) return -1;
  if (negative && q > 0x80000000u) return -1;
  return negative ? static_cast<int32_t>(-static_cast<int64_t>(q)) : static_cast<int32_t>(q);
}

LogFont RotatedFontFor(const platform::FontSpec& font, int dpiY, int16_t angle) {
  LogFont lf;
  const int32_t pixels = MulDiv(WholePoints(font.size), dpiY, 72);
  lf.height = pixels == INT32_MIN ? INT32_MAX : -pixels;
  lf.width = 0;
  lf.escapement = angle;
  lf.orientation = angle;
  lf.weight = font.bold ? 700 : 400;
  lf.italic = font.italic ? 1 : 0;
  lf.underline = font.underline ? 1 : 0;
  lf.strikeOut = font.strikethru ? 1 : 0;
  lf.charSet = 0;
  lf.outPrecision = 0;
  lf.clipPrecision = 0;
  lf.quality = 2;
  lf.pitchAndFamily = 33;

  // The name and a NUL, left-aligned in 32 characters, padded with spaces
  // and cut at 32; then each character in 8 bits.
  std::vector<char32_t> field = DecodeUtf8(font.name);
  field.push_back(0);
  field.resize(lf.faceName.size(), U' ');
  for (size_t k = 0; k < lf.faceName.size(); ++k) lf.faceName[k] = ToAnsi(field[k]);
  return lf;
}

std::string FaceNameOf(const LogFont& lf) {
  std::string out;
  for (char c : lf.faceName) {
    if (c == '\0') break;
    AppendUtf8(out, FromAnsi(c));
  }
  return out;
}

void PrintRotatedText(platform::Surface& surface, std::string_view text, int16_t angle, std::optional<double> x,
                      std::optional<double> y) {
  const platform::FontSpec& own = surface.Font();
  const LogFont lf = RotatedFontFor(own, surface.DpiY(), angle);

  platform::FontSpec rotated;
  rotated.name = FaceNameOf(lf);
  rotated.size = WholePoints(own.size);
  rotated.bold = lf.weight >= 700;
  rotated.italic = lf.italic != 0;
  rotated.underline = lf.underline != 0;
  rotated.strikethru = lf.strikeOut != 0;
  // A negative height is the character height in pixels; a positive one
  // (only from a failed scaling) leaves the size to the points.
  const double pixelHeight = lf.height < 0 ? -static_cast<double>(lf.height) : 0.0;

  if (x) surface.SetCurrentX(*x);
  if (y) surface.SetCurrentY(*y);
  surface.PrintRotated(text, rotated, pixelHeight, angle);
}

}  // namespace vantorel
