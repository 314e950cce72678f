// Text printed at an angle on a drawing surface, in the surface's own font
// face, size and style. The graph writes its clicks-axis title "Scope Clicks"
// upwards with it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/surface.h"

namespace vantorel {

// The font description handed to the platform, field for field in the order
// and widths of the Windows logical-font structure.
struct LogFont {
  int32_t height = 0;       // negative: character height in pixels
  int32_t width = 0;        // 0: the platform chooses
  int32_t escapement = 0;   // tenths of a degree, counter-clockwise
  int32_t orientation = 0;  // the same angle: each character turns with the line
  int32_t weight = 400;     // 700 bold, 400 regular
  uint8_t italic = 0;
  uint8_t underline = 0;
  uint8_t strikeOut = 0;
  uint8_t charSet = 0;          // ANSI
  uint8_t outPrecision = 0;     // default
  uint8_t clipPrecision = 0;    // default
  uint8_t quality = 2;          // proof quality
  uint8_t pitchAndFamily = 33;  // 0x21
  // The face name and one NUL, padded with spaces and cut at 32 characters,
  // in 8-bit ANSI (Windows-1252) characters.
  std::array<char, 32> faceName{};
};

// A font size in points as a whole number, halves to the even neighbour
// (8.25 gives 8, 8.5 gives 8, 9.5 gives 10). Sizes that are not finite or
// lie outside 0 to 32767 are brought into that range (NaN gives 0).
int WholePoints(double points);

// a x b / c rounded to the nearest whole number, halves away from zero,
// without intermediate overflow; -1 when c is 0 or the result does not fit a
// signed 32-bit integer.
int32_t MulDiv(int32_t a, int32_t b, int32_t c);

// The rotated font for a surface font on a device with dpiY vertical dots
// per inch. At 96 dots per inch 8.25 points gives height -11.
LogFont RotatedFontFor(const platform::FontSpec& font, int dpiY, int16_t angle);

// The face name held in a description, up to its NUL (or all 32 characters
// when it has none), back in UTF-8.
std::string FaceNameOf(const LogFont& lf);

// Prints text on the surface rotated by angle tenths of a degree
// counter-clockwise about its starting point (900 reads upwards), in the
// surface's face and style at its size rounded to whole points. x and y,
// when given, first become the surface's current position. The print ends
// its line as an ordinary print does; the surface's own font is unchanged.
void PrintRotatedText(platform::Surface& surface, std::string_view text, int16_t angle, std::optional<double> x = {},
                      std::optional<double> y = {});

}  // namespace vantorel
