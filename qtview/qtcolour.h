// Conversion of the program's &H00BBGGRR colours to Qt colours and back.
#pragma once

#include <QColor>

#include "platform/surface.h"

namespace vantorel::qtview {

inline QColor ToQColor(platform::Colour c) {
  return QColor(platform::RedOf(c), platform::GreenOf(c), platform::BlueOf(c));
}

inline platform::Colour FromQColor(const QColor& c) {
  const QColor rgb = c.toRgb();
  return static_cast<platform::Colour>(rgb.red()) | (static_cast<platform::Colour>(rgb.green()) << 8) |
         (static_cast<platform::Colour>(rgb.blue()) << 16);
}

}  // namespace vantorel::qtview
