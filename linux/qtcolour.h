// Conversion of the program's &H00BBGGRR colours to Qt colours and back.
#pragma once

#include <QColor>

#include "platform/surface.h"

namespace vantorel::platform {

QColor ToQColor(Colour c);
Colour FromQColor(const QColor& c);

}  // namespace vantorel::platform
