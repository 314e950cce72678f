// Text measured as Qt draws it, and the places Qt may break a line.
#pragma once

#include <QFontMetrics>
#include <QString>

#include "platform/textmeasure.h"

namespace vantorel::qtview {

class QtTextMeasure final : public platform::TextMeasure {
 public:
  int Width(const platform::FontSpec& font, std::string_view text) const override;
  int WrappedHeight(const platform::FontSpec& font, std::string_view text, int width) const override;
};

// The text with places to break after each "/" and inside every word too
// wide for a line of width pixels: after punctuation inside it ("_", "-",
// "." in a file name) and, in a part still too wide, after every character.
QString Breakable(QString text, const QFontMetrics& m, int width);

}  // namespace vantorel::qtview
