// The program's icon: the pixels follow the drawing at every size (strokes,
// square caps, bevelled corners, smoothing), the Windows icon file is laid
// out as Windows reads it, and the Qt image has the very same pixels.
#include <gtest/gtest.h>

#include <QImage>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "qtview/icon.h"
#include "platform/icon.h"

using namespace vantorel::platform;
using namespace vantorel::qtview;

namespace {

constexpr uint32_t kTeal = 0xFF004040, kWhite = 0xFFFFFFFF, kPink = 0xFFFFBFBF;

uint32_t At(const IconPixels& icon, int x, int y) { return icon.argb[static_cast<size_t>(y * icon.size + x)]; }
int Channel(uint32_t p, int shift) { return static_cast<int>((p >> shift) & 0xFF); }
uint32_t Le(const std::string& s, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s.at(at + i));
  return v;
}

}  // namespace

TEST(Icon, PixelsFollowTheDrawing) {
  const IconPixels icon = ProgramIconPixels(32);
  ASSERT_EQ(icon.size, 32);
  ASSERT_EQ(icon.argb.size(), 32u * 32u);
  EXPECT_EQ(At(icon, 5, 5), kTeal);     // the background
  EXPECT_EQ(At(icon, 22, 9), kWhite);   // on the ring
  EXPECT_EQ(At(icon, 15, 2), kWhite);   // the square cap of the upper line: half a pen past its end at 3...
  EXPECT_EQ(At(icon, 15, 13), kTeal);   // ...and no more past its other end at 12
  EXPECT_EQ(At(icon, 16, 0), kPink);    // the outline
  EXPECT_EQ(At(icon, 31, 16), kPink);
  // The bevelled corner cuts off half the corner pixel: about midway between pink and teal.
  for (int shift : {0, 8, 16}) EXPECT_NEAR(Channel(At(icon, 0, 0), shift), 128, 10) << shift;
  // The ring's edge is smoothed: neither white nor teal.
  EXPECT_NE(At(icon, 23, 22), kWhite);
  EXPECT_NE(At(icon, 23, 22), kTeal);

  // The drawing is symmetric about both middle lines at every size: no pixel is drawn half a pixel off.
  for (int size : {16, 24, 32, 48, 256}) {
    const IconPixels s = ProgramIconPixels(size);
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        ASSERT_EQ(At(s, x, y), At(s, size - 1 - x, y)) << size << ": " << x << "," << y;
        ASSERT_EQ(At(s, x, y), At(s, x, size - 1 - y)) << size << ": " << x << "," << y;
        ASSERT_EQ(At(s, x, y) >> 24, 0xFFu);
      }
  }

  // 256 pixels draw the same picture: each 8 by 8 block averages to the 32-pixel icon's pixel.
  const IconPixels big = ProgramIconPixels(256);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      for (int shift : {0, 8, 16}) {
        int sum = 0;
        for (int j = 0; j < 8; ++j)
          for (int i = 0; i < 8; ++i) sum += Channel(At(big, 8 * x + i, 8 * y + j), shift);
        ASSERT_NEAR(sum / 64, Channel(At(icon, x, y), shift), 16) << x << "," << y;
      }
}

TEST(Icon, WindowsIconFile) {
  const std::string ico = ProgramIconFile();
  ASSERT_EQ(Le(ico, 0, 2), 0u);
  ASSERT_EQ(Le(ico, 2, 2), 1u);  // an icon
  ASSERT_EQ(Le(ico, 4, 2), 5u);
  size_t next = 6 + 16 * 5;  // the images follow the directory, one after the other
  int i = 0;
  for (int size : {16, 24, 32, 48, 256}) {
    SCOPED_TRACE(size);
    const size_t entry = 6 + 16 * static_cast<size_t>(i++);
    EXPECT_EQ(Le(ico, entry, 1), static_cast<uint32_t>(size % 256));  // 256 is written as 0
    EXPECT_EQ(Le(ico, entry + 1, 1), static_cast<uint32_t>(size % 256));
    EXPECT_EQ(Le(ico, entry + 4, 2), 1u);
    EXPECT_EQ(Le(ico, entry + 6, 2), 32u);
    const size_t bytes = Le(ico, entry + 8, 4), at = Le(ico, entry + 12, 4);
    ASSERT_EQ(at, next);
    // A bitmap twice as high as wide (colours, then mask), 32 bits a pixel, the mask's rows whole 32-bit words.
    const size_t maskRow = size <= 32 ? 4 : size <= 64 ? 8 : 32;
    ASSERT_EQ(bytes, 40 + 4u * size * size + maskRow * size);
    EXPECT_EQ(Le(ico, at, 4), 40u);
    EXPECT_EQ(Le(ico, at + 4, 4), static_cast<uint32_t>(size));
    EXPECT_EQ(Le(ico, at + 8, 4), static_cast<uint32_t>(2 * size));
    EXPECT_EQ(Le(ico, at + 14, 2), 32u);
    EXPECT_EQ(std::pair(Le(ico, at + 16, 4), Le(ico, at + 20, 4) + 40), std::pair(0u, static_cast<uint32_t>(bytes)));  // BI_RGB, its size
    // The colours as blue, green, red, alpha, bottom row first; the mask clear (every pixel opaque).
    const IconPixels icon = ProgramIconPixels(size);
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x)
        ASSERT_EQ(Le(ico, at + 40 + 4 * static_cast<size_t>((size - 1 - y) * size + x), 4), At(icon, x, y)) << x << "," << y;
    EXPECT_EQ(ico.substr(at + 40 + 4u * size * size, maskRow * size), std::string(maskRow * size, '\0'));
    next = at + bytes;
  }
  EXPECT_EQ(ico.size(), next);
}

TEST(Icon, QtImageHasTheSamePixels) {
  const IconPixels icon = ProgramIconPixels(48);
  const QImage image = ProgramIconImage(48);
  ASSERT_EQ(image.width(), 48);
  ASSERT_EQ(image.height(), 48);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 48; ++x) ASSERT_EQ(image.pixel(x, y), At(icon, x, y)) << x << "," << y;
}
