// Pictures on the Windows clipboard, as device-independent bitmaps (CF_DIB),
// which every program that takes a picture can paste and which do not
// depend on the screen they were taken from.
#pragma once

#include <windows.h>

#include "platform/printing.h"

namespace vantorel::windows {

// The picture as a packed device-independent bitmap: a BITMAPINFOHEADER and
// 24-bit pixels (blue, green, red; rows padded to four bytes), the bottom row
// first, in a movable global block the caller owns. nullptr for a null
// picture, one too large for the format, or when memory runs out.
HGLOBAL PackedDib(const platform::Image& picture);

// Puts picture on the clipboard as CF_DIB, on behalf of owner, in place of
// what was there; false when the clipboard would not take it.
bool CopyToClipboard(HWND owner, const platform::Image& picture);

}  // namespace vantorel::windows
