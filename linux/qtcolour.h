// Conversion of the program's &H00BBGGRR colours to Qt colours and back.
#pragma once

#include <QColor>

#include "platform/surface.h"

namespace vantorel::platform {

inline QColor ToQColor(Colour c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }

inline Colour FromQColor(const QColor& c) {
  const QColor rgb = c.toRgb();
  return static_cast<Colour>(rgb.red()) | (static_cast<Colour>(rgb.green()) << 8) |
         (static_cast<Colour>(rgb.blue()) << 16);
}

}  // namespace vantorel::platform
