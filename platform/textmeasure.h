// Measuring text as a front end draws it, for the choices of size that
// depend on it: the copyright line's size, the error window's body.
#pragma once

#include <string_view>

#include "platform/surface.h"

namespace vantorel::platform {

class TextMeasure {
 public:
  virtual ~TextMeasure() = default;
  // The pixels text takes across on one line in font.
  virtual int Width(const FontSpec& font, std::string_view text) const = 0;
  // The pixels text takes down, broken into lines no wider than width pixels
  // the way the front end breaks them (a word wider than a line inside itself).
  virtual int WrappedHeight(const FontSpec& font, std::string_view text, int width) const = 0;
};

}  // namespace vantorel::platform
