// Conversion of the program's &H00BBGGRR colours to Qt colours and back.
#pragma once

#include <QColor>

#include "platform/surface.h"

namespace vantorel::platform {

inline QColor ToQColor(Colour c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }
inline Colour FromQColor(const QColor& q) {
  return static_cast<Colour>(q.red()) | (static_cast<Colour>(q.green()) << 8) | (static_cast<Colour>(q.blue()) << 16);
}
// A style-sheet colour text, "#rrggbb".
inline QString CssColour(Colour c) { return ToQColor(c).name(); }

}  // namespace vantorel::platform
