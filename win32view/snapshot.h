// A picture of a window as it shows, drawn by the window and each of its
// controls into memory (WM_PRINTCLIENT), never read back from the screen:
// a window that is covered, off the screen or not yet painted gives the
// same picture.
#pragma once

#include <windows.h>

#include "platform/printing.h"

namespace vantorel::win32view {

// The window's client area, every visible control drawn over its parent in
// the order the window system stacks them. Empty when it cannot be drawn.
platform::Image Snapshot(HWND window);

}  // namespace vantorel::win32view
