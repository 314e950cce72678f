// A picture box's drawing surface: what is drawn on it is kept and shown by
// its control (a window of the picture class).
#pragma once

#include <windows.h>

#include <memory>

#include "platform/surface.h"

namespace vantorel::winshell {

std::unique_ptr<platform::Surface> MakePicture(HWND box);

}  // namespace vantorel::winshell
