// What a screen reader reads for the program's controls. Each control answers
// the accessibility services (WM_GETOBJECT) with the system's own accessible
// object for it, except for what the program says about it: the name its
// layout gives it, the description the window keeps current, a picture box
// read as a graphic, and a copy that must not be read twice marked invisible.
#pragma once

#include <windows.h>

namespace vantorel::win32view {

// Makes control answer the accessibility services as above, from its
// ControlInfo (its layout, and the description kept there).
void MakeReadable(HWND control);

}  // namespace vantorel::win32view
