// Text measured as GDI draws it on the screen.
#pragma once

#include "platform/textmeasure.h"

namespace vantorel::win32view {

class GdiTextMeasure final : public platform::TextMeasure {
 public:
  int Width(const platform::FontSpec& font, std::string_view text) const override;
  int WrappedHeight(const platform::FontSpec& font, std::string_view text, int width) const override;
};

}  // namespace vantorel::win32view
