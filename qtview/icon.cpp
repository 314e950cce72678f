#include "qtview/icon.h"

#include <QImage>

#include <cstring>

#include "platform/icon.h"

namespace vantorel::qtview {

QImage ProgramIconImage(int size) {
  const platform::IconPixels icon = platform::ProgramIconPixels(size);
  // Format_ARGB32 holds each pixel as one 32-bit 0xAARRGGBB, as the pixels come.
  QImage image(icon.size, icon.size, QImage::Format_ARGB32);
  const auto row = static_cast<std::size_t>(icon.size);
  for (int y = 0; y < icon.size; ++y)
    std::memcpy(image.scanLine(y), icon.argb.data() + static_cast<std::size_t>(y) * row, row * sizeof icon.argb[0]);
  return image;
}

}  // namespace vantorel::qtview
