// The drawing operations of a surface on a Windows device context, written
// once for the picture box (a bitmap in memory) and the printer's page.
//
// Which device pixels lines, points, rectangles and circles cover is worked
// out by platform/pixelsurface.h at the device's dots per inch; line widths
// count 96-dots-per-inch pixels, so a line keeps its weight on a denser
// screen and on paper. They are filled here as rectangles, each in exactly
// its colour. Text is drawn
// with the surface font at the device's density, the current position at
// the top left of its cell.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/pixelsurface.h"
#include "platform/surface.h"
#include "platform/twips.h"

namespace vantorel::windows {

// The Windows description of a surface font: pixelHeight device pixels high
// (below 1 pixel, or not a number: the font's size in points at dpiY).
LOGFONTW SurfaceLogFont(const platform::FontSpec& font, int dpiY, double pixelHeight = 0);

// Virtual through Base (a Surface), which the check cannot see in the template.
template <class Base>
class GdiDrawing : public platform::PixelSurface<Base> {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
 public:
  GdiDrawing(const GdiDrawing&) = delete;
  GdiDrawing& operator=(const GdiDrawing&) = delete;
  ~GdiDrawing() override;

  void SetFont(const platform::FontSpec& f) override;
  // The widest line of the text, and the height of its lines, in the surface
  // font on this device.
  double TextWidth(std::string_view text) const override;
  double TextHeight(std::string_view text) const override;
  void Print(std::string_view text, bool endLine = true) override;
  // pixelHeight counts device pixels at DpiY().
  void PrintRotated(std::string_view text, const platform::FontSpec& font, double pixelHeight,
                    int angleTenths) override;
  int DpiY() const override { return dpiY_; }
  int DpiX() const { return dpiX_; }

 protected:
  GdiDrawing() = default;

  // The device context to draw on; nullptr when nothing can be drawn now
  // (the current position moves all the same). Called once per operation.
  virtual HDC DrawDc() = 0;
  // The device context text is measured on; never nullptr.
  virtual HDC MeasureDc() const = 0;
  // The drawing area in device pixels from the origin; drawing beyond it is
  // cut.
  virtual SIZE DeviceArea() const = 0;
  // After something has been drawn.
  virtual void Drawn() {}

  // The device's dots per inch across and down; fonts are made afresh.
  void SetDensity(int dpiX, int dpiY);
  // Device pixels per 96-dots-per-inch pixel, across and down.
  double ScaleX() const { return dpiX_ / 96.0; }
  double ScaleY() const { return dpiY_ / 96.0; }
  // Lengths in device pixels as twips.
  double TwipsX(double px) const { return px * platform::kTwipsPerInch / dpiX_; }
  double TwipsY(double px) const { return px * platform::kTwipsPerInch / dpiY_; }

  // Drawing in device pixels (platform/pixelsurface.h).
  double PixelScaleX() const override { return ScaleX(); }
  double PixelScaleY() const override { return ScaleY(); }
  platform::PixelArea DrawingArea() const override;
  bool BeginDrawing() override;
  void EndDrawing() override { Drawn(); }
  void FillPixels(const platform::PixelRect& r, platform::Colour c) override;

 private:
  // The surface font on this device, made when first needed.
  HFONT SurfaceFont() const;
  // The width of one line of text in twips.
  double LineWidth(const std::wstring& line) const;
  // The height of one line of text in device pixels.
  int LinePixels() const;
  void DrawTextAt(HDC dc, double x, double y, std::wstring_view text, HFONT font);

  int dpiX_ = 96, dpiY_ = 96;
  HDC dc_ = nullptr;  // the device context of the drawing in progress
  mutable HFONT font_ = nullptr;
};

}  // namespace vantorel::windows
