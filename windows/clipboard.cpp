#include "windows/clipboard.h"

#include <cstdint>
#include <cstring>

namespace vantorel::windows {

HGLOBAL PackedDib(const platform::Image& picture) {
  if (picture.Null()) return nullptr;
  const uint64_t width = static_cast<uint64_t>(picture.width), height = static_cast<uint64_t>(picture.height);
  const uint64_t stride = (width * 3 + 3) / 4 * 4;
  // The pixel bytes are counted in a 32-bit field.
  if (stride * height > UINT32_MAX - sizeof(BITMAPINFOHEADER)) return nullptr;
  const size_t pixelBytes = static_cast<size_t>(stride * height);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof(BITMAPINFOHEADER) + pixelBytes);
  if (!block) return nullptr;
  auto* bytes = static_cast<uint8_t*>(GlobalLock(block));
  if (!bytes) {
    GlobalFree(block);
    return nullptr;
  }
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = picture.width;
  header.biHeight = picture.height;  // positive: the bottom row comes first
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(pixelBytes);
  std::memcpy(bytes, &header, sizeof(header));
  uint8_t* rows = bytes + sizeof(header);
  for (uint64_t y = 0; y < height; ++y) {
    uint8_t* out = rows + (height - 1 - y) * stride;
    const uint32_t* in = picture.pixels.data() + y * width;
    for (uint64_t x = 0; x < width; ++x) {
      *out++ = static_cast<uint8_t>(in[x]);        // blue
      *out++ = static_cast<uint8_t>(in[x] >> 8);   // green
      *out++ = static_cast<uint8_t>(in[x] >> 16);  // red
    }
    std::memset(out, 0, static_cast<size_t>(rows + (height - y) * stride - out));  // the row's padding
  }
  GlobalUnlock(block);
  return block;
}

bool CopyToClipboard(HWND owner, const platform::Image& picture) {
  HGLOBAL block = PackedDib(picture);
  if (!block) return false;
  bool taken = false;
  if (OpenClipboard(owner)) {
    // Once SetClipboardData has it, the block is the clipboard's.
    taken = EmptyClipboard() && SetClipboardData(CF_DIB, block);
    CloseClipboard();
  }
  if (!taken) GlobalFree(block);
  return taken;
}

}  // namespace vantorel::windows
