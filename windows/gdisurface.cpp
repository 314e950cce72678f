#include "windows/gdisurface.h"

#include <algorithm>
#include <cstring>

namespace vantorel::windows {

namespace {

// The largest side of a kept image, in device pixels.
constexpr int kMaxSide = 16384;

platform::Colour SystemColour(int index) { return static_cast<platform::Colour>(GetSysColor(index)) & 0xFFFFFF; }

}  // namespace

GdiPicture::GdiPicture(int dpi) : dc_(CreateCompatibleDC(nullptr)) {
  SetDensity(dpi, dpi);
  back_ = SystemColour(COLOR_WINDOW);
  fore_ = SystemColour(COLOR_WINDOWTEXT);
}

GdiPicture::~GdiPicture() {
  if (firstBitmap_) SelectObject(dc_, firstBitmap_);
  if (bitmap_) DeleteObject(bitmap_);
  if (dc_) DeleteDC(dc_);
}

int GdiPicture::BorderPixels() const { return border_ ? platform::ClampRound(ScaleX(), 1, 16) : 0; }

void GdiPicture::SetBackColor(platform::Colour c) {
  back_ = c & 0xFFFFFF;
  Cls();
}

void GdiPicture::SetBorder(bool on) {
  border_ = on;
  SyncBitmap();
}

void GdiPicture::PlaceTwips(double left, double top, double width, double height) {
  left_ = platform::TwipsToPixels(left, ScaleX());
  top_ = platform::TwipsToPixels(top, ScaleY());
  width_ = std::clamp(platform::TwipsToPixels(width, ScaleX()), 0, kMaxSide);
  height_ = std::clamp(platform::TwipsToPixels(height, ScaleY()), 0, kMaxSide);
  SyncBitmap();
}

platform::BoxGeometry GdiPicture::OuterTwips() const {
  return {TwipsX(left_), TwipsY(top_), TwipsX(width_), TwipsY(height_)};
}

void GdiPicture::SyncBitmap() {
  const int w = std::max(0, width_ - 2 * BorderPixels()), h = std::max(0, height_ - 2 * BorderPixels());
  if (w == innerW_ && h == innerH_) return;
  HBITMAP fresh = nullptr;
  void* bits = nullptr;
  if (dc_ && w > 0 && h > 0) {
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = w;
    bmi.bmiHeader.biHeight = -h;  // top-down: row 0 is the top
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    fresh = CreateDIBSection(dc_, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  }
  if (bitmap_) SelectObject(dc_, firstBitmap_);
  HDC old = nullptr;
  HGDIOBJ oldSelected = nullptr;
  if (bitmap_ && fresh) {  // what is drawn moves over, top left anchored
    old = CreateCompatibleDC(dc_);
    oldSelected = SelectObject(old, bitmap_);
  }
  HGDIOBJ previous = fresh ? SelectObject(dc_, fresh) : nullptr;
  if (!firstBitmap_) firstBitmap_ = previous;
  bits_ = fresh ? static_cast<uint32_t*>(bits) : nullptr;
  innerW_ = fresh ? w : 0;
  innerH_ = fresh ? h : 0;
  if (fresh) {
    const RECT all{0, 0, w, h};
    HBRUSH brush = CreateSolidBrush(back_);
    FillRect(dc_, &all, brush);
    DeleteObject(brush);
    if (old) BitBlt(dc_, 0, 0, w, h, old, 0, 0, SRCCOPY);
  }
  if (old) {
    SelectObject(old, oldSelected);
    DeleteDC(old);
  }
  if (bitmap_) DeleteObject(bitmap_);
  bitmap_ = fresh;
  Drawn();
}

void GdiPicture::Cls() {
  if (HDC dc = Dc()) {
    const RECT all{0, 0, innerW_, innerH_};
    HBRUSH brush = CreateSolidBrush(back_);
    FillRect(dc, &all, brush);
    DeleteObject(brush);
  }
  curX_ = 0;
  curY_ = 0;
  Drawn();
}

void GdiPicture::FillPixels(const platform::PixelRect& r, platform::Colour c) {
  if (!bits_) return;
  // What GDI drew is in the pixels (each drawing ends with a flush); they
  // hold 0x00RRGGBB, the colour 0x00BBGGRR.
  const uint32_t rgb = (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
  const int left = std::max(r.left, 0), right = std::min(r.left + r.width, innerW_);
  for (int y = std::max(r.top, 0); y < std::min(r.top + r.height, innerH_) && left < right; ++y) {
    uint32_t* line = bits_ + static_cast<size_t>(y) * static_cast<size_t>(innerW_);
    std::fill(line + left, line + right, rgb);
  }
}

void GdiPicture::Drawn() {
  GdiFlush();  // the bitmap's pixels are read directly
  if (changed_) changed_();
}

void GdiPicture::PaintTo(HDC target, int x, int y) const {
  const int b = BorderPixels();
  if (b) {
    HBRUSH frame = CreateSolidBrush(SystemColour(COLOR_WINDOWTEXT));
    const RECT sides[4] = {{x, y, x + width_, y + b},
                           {x, y + height_ - b, x + width_, y + height_},
                           {x, y + b, x + b, y + height_ - b},
                           {x + width_ - b, y + b, x + width_, y + height_ - b}};
    for (const RECT& r : sides) FillRect(target, &r, frame);
    DeleteObject(frame);
  }
  if (bitmap_) BitBlt(target, x + b, y + b, innerW_, innerH_, dc_, 0, 0, SRCCOPY);
}

platform::Image GdiPicture::Pixels() const {
  platform::Image out;
  if (!bits_) return out;
  GdiFlush();
  out.width = innerW_;
  out.height = innerH_;
  out.pixelRatio = ScaleX();
  out.pixels.assign(bits_, bits_ + static_cast<size_t>(innerW_) * static_cast<size_t>(innerH_));
  for (uint32_t& p : out.pixels) p |= 0xFF000000u;
  return out;
}

}  // namespace vantorel::windows
