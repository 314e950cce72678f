// A picture box's drawing surface: a kept GDI picture of the box's layout
// (colours, font, border, size), shown by its control whenever it changes.
#pragma once

#include <windows.h>

#include <memory>

#include "platform/surface.h"

namespace vantorel::win32view {

// The surface shows in box, which must outlive it.
std::unique_ptr<platform::Surface> MakePicture(HWND box);

}  // namespace vantorel::win32view
