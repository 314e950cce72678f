// The program's icon: the aiming mark, a white ring and cross on the window's
// dark teal inside the window's pink outline, laid out on a 32 by 32 grid
// with a pen two units wide and square caps. The window's own icon, the
// installed PNG icons of every size, the scalable SVG icon and the Windows
// icon file are all drawn from the one description in icon.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantorel::platform {

// The icon at size by size pixels: row by row from the top, each pixel
// 0xAARRGGBB. Every edge is smoothed by the share of the pixel the shape
// covers.
struct IconPixels {
  int size = 0;
  std::vector<std::uint32_t> argb;
};

// The icon drawn at size pixels; a size outside 1 to 1024 is taken as the
// nearer of the two.
IconPixels ProgramIconPixels(int size);

// The icon as a scalable SVG document.
std::string ProgramIconSvg();

// The sizes a Windows icon file holds, smallest first.
inline constexpr int kIconFileSizes[] = {16, 24, 32, 48, 256};

// The icon as the bytes of a Windows icon file (.ico): one 32-bit image with
// its transparency mask for each of kIconFileSizes.
std::string ProgramIconFile();

}  // namespace vantorel::platform
