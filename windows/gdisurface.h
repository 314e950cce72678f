// The program's picture box on Windows: a drawing surface that keeps what is
// drawn on it in a bitmap of its own (a 32-bit DIB section in a memory
// device context), so the drawing survives the window being covered and
// repainted. The window that shows it paints the kept image with PaintTo on
// every WM_PAINT; nothing is drawn again.
//
// Positions and sizes are in twips. The box has a density in dots per inch
// (96, 15 twips to the pixel, unless the window's screen is denser): its
// bitmap holds one pixel per device pixel at that density and its text is
// made at it, while line widths count 96-dots-per-inch pixels.
#pragma once

#include <windows.h>

#include <functional>

#include "platform/printing.h"
#include "windows/gdidraw.h"

namespace vantorel::windows {

class GdiPicture : public GdiDrawing<platform::Surface> {
 public:
  // An empty box at the density of dpi dots per inch, in the system's window
  // colours, with a one-pixel pen, Tahoma 8.25 pt and no border.
  explicit GdiPicture(int dpi = 96);
  ~GdiPicture() override;

  // Background colour. Changing it erases everything drawn, and the position
  // goes back to the top left.
  void SetBackColor(platform::Colour c);
  platform::Colour BackColor() const { return back_; }

  // A thin single-line border in the system's window-text colour, one
  // pixel (at 96 dots per inch) on each side, inside the outer size.
  void SetBorder(bool on);
  bool Border() const { return border_; }

  // Outer position and size in twips in the container, border included. The
  // drawing is kept, anchored at the top left; new area is background.
  void PlaceTwips(double left, double top, double width, double height);
  platform::BoxGeometry OuterTwips() const;
  // The outer position and size in device pixels.
  RECT OuterPixels() const { return {left_, top_, left_ + width_, top_ + height_}; }
  int Width() const { return width_; }
  int Height() const { return height_; }

  // The memory device context holding the inner area's image (nullptr while
  // the inner area is empty).
  HDC Dc() const { return bitmap_ ? dc_ : nullptr; }
  // Paints the box, border and kept image, with its outer top left at (x, y)
  // device pixels of target.
  void PaintTo(HDC target, int x, int y) const;
  // The kept image of the inner area: one pixel per device pixel, 0xFFRRGGBB,
  // row by row from the top left; its pixel ratio is the density over 96.
  platform::Image Pixels() const;
  // Called after every change to the kept image, so that the window showing
  // it can ask for a repaint.
  void OnChange(std::function<void()> changed) { changed_ = std::move(changed); }

  // Surface.
  double ScaleWidth() const override { return TwipsX(innerW_); }
  double ScaleHeight() const override { return TwipsY(innerH_); }
  void Cls() override;

 protected:
  HDC DrawDc() override { return Dc(); }
  // Straight into the kept image's pixels.
  void FillPixels(const platform::PixelRect& r, platform::Colour c) override;
  HDC MeasureDc() const override { return dc_; }
  SIZE DeviceArea() const override { return {innerW_, innerH_}; }
  void Drawn() override;

 private:
  int BorderPixels() const;
  // Brings the bitmap to the inner size of the outer size and border.
  void SyncBitmap();

  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ firstBitmap_ = nullptr;  // the memory DC's own, put back before the end
  uint32_t* bits_ = nullptr;
  int innerW_ = 0, innerH_ = 0;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  platform::Colour back_ = 0xFFFFFF;
  bool border_ = false;
  std::function<void()> changed_;
};

}  // namespace vantorel::windows
