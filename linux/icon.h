// The program's icon: the aiming mark, a white ring and cross on the window's
// dark teal inside the window's pink outline, laid out on a 32 by 32 grid.
// The window's own icon, the installed PNG icons of every size and the
// scalable SVG icon are all drawn from the one description in icon.cpp.
#pragma once

#include <string>

class QImage;

namespace vantorel::platform {

// The icon drawn at size by size pixels (size 32 is the window's own icon).
QImage ProgramIconImage(int size);

// The icon as a scalable SVG document.
std::string ProgramIconSvg();

}  // namespace vantorel::platform
