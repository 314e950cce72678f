// The program's icon (platform/icon.h) as a Qt image: the window's own icon
// and the installed PNG icons.
#pragma once

class QImage;

namespace vantorel::qtview {

// The icon drawn at size by size pixels (size 32 is the window's own icon).
QImage ProgramIconImage(int size);

}  // namespace vantorel::qtview
