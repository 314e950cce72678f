// A drawing surface on one of the page's canvases: the pixels of
// platform/pixelsurface.h filled on the canvas, text drawn and measured by
// the browser in the surface's font. scale device pixels make one pixel at
// 96 dots per inch (1 on the screen; more for a printed page).
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/pixelsurface.h"
#include "platform/twips.h"
#include "web/bridge.h"

namespace vantorel::web {

// The lines of a text, a "\r" before each "\n" dropped.
std::vector<std::string> TextLines(std::string_view text);
// The font's size in CSS pixels at this scale.
inline double FontPixels(const platform::FontSpec& f, double scale) { return f.size * 96.0 / 72.0 * scale; }

// buffered: the pixels are kept here and the page copies them to the canvas
// once a frame (a fit redraws the graph at every better model, tens of
// thousands of runs of pixels); otherwise each run is filled on the canvas
// at once (a printed page: few runs on a large canvas).
template <class Base>
class CanvasSurface : public platform::PixelSurface<Base> {
 public:
  CanvasSurface(int canvas, double scale, bool buffered = false)
      : canvas_(canvas), scale_(scale), buffered_(buffered) {}

  // The drawing area's size in device pixels, before the canvas is made.
  void SetArea(int width, int height) { width_ = width, height_ = height; }
  // The same, the canvas made that size and cleared.
  void Resize(int width, int height) {
    SetArea(width, height);
    vtjs_canvas_size(canvas_, width, height);
    if (buffered_) {
      pixels_.assign(static_cast<size_t>(std::max(width, 0)) * static_cast<size_t>(std::max(height, 0)), 0);
      vtjs_buffer(canvas_, pixels_.data(), width, height, &dirty_);
    }
    Cls();
  }
  void SetBackColor(platform::Colour c) {
    back_ = c;
    Cls();
  }

  double ScaleWidth() const override { return platform::PixelsToTwips(width_ / scale_); }
  double ScaleHeight() const override { return platform::PixelsToTwips(height_ / scale_); }
  void Cls() override {
    FillPixels({0, 0, width_, height_}, back_);
    this->curX_ = this->curY_ = 0;
  }
  double TextWidth(std::string_view text) const override {
    double widest = 0;
    for (const std::string& line : TextLines(text)) widest = std::max(widest, Measured(line));
    return platform::PixelsToTwips(widest);
  }
  double TextHeight(std::string_view text) const override {
    return platform::PixelsToTwips(LineHeight() * static_cast<double>(TextLines(text).size()));
  }
  void Print(std::string_view text, bool endLine = true) override {
    const std::vector<std::string> lines = TextLines(text);
    const double lineHeight = platform::PixelsToTwips(LineHeight());
    for (size_t i = 0; i < lines.size(); ++i) {
      if (i > 0) this->curX_ = 0, this->curY_ += lineHeight;
      DrawText(lines[i], this->surfaceFont_, FontPixels(this->surfaceFont_, scale_), 0);
    }
    if (endLine) {
      this->curX_ = 0;
      this->curY_ += lineHeight;
    } else {
      this->curX_ += platform::PixelsToTwips(Measured(lines.back()));
    }
  }
  void PrintRotated(std::string_view text, const platform::FontSpec& font, double pixelHeight,
                    int angleTenths) override {
    const double px = std::isfinite(pixelHeight) && pixelHeight >= 1 ? platform::ClampRound(pixelHeight, 1, 4096)
                                                                     : FontPixels(font, 1);
    DrawText(std::string(text), font, px * scale_, angleTenths / 10.0);
    this->curX_ = 0;
    this->curY_ += TextHeight("");
  }
  int DpiY() const override { return platform::ClampRound(96 * scale_, 1, 100000); }

 protected:
  double PixelScaleX() const override { return scale_; }
  double PixelScaleY() const override { return scale_; }
  platform::PixelArea DrawingArea() const override { return {width_, height_}; }
  bool BeginDrawing() override { return width_ > 0 && height_ > 0; }
  void EndDrawing() override {}
  void FillPixels(const platform::PixelRect& r, platform::Colour c) override {
    if (!buffered_) return vtjs_fill(canvas_, r.left, r.top, r.width, r.height, c);
    // Bytes red, green, blue, alpha: &H00BBGGRR opaque, read as a little-endian word.
    const uint32_t rgba = 0xFF000000u | (c & 0xFFFFFFu);
    const int left = std::max(r.left, 0), right = std::min(r.left + r.width, width_);
    const int top = std::max(r.top, 0), bottom = std::min(r.top + r.height, height_);
    if (left >= right || top >= bottom) return;
    for (int y = top; y < bottom; ++y) {
      uint32_t* row = pixels_.data() + static_cast<size_t>(y) * static_cast<size_t>(width_);
      std::fill(row + left, row + right, rgba);
    }
    if (!dirty_) {
      dirty_ = 1;
      vtjs_dirty(canvas_);
    }
  }
  int Canvas() const { return canvas_; }
  double Scale() const { return scale_; }

 private:
  // Widths and heights in pixels at 96 dots per inch.
  double Measured(const std::string& line) const {
    const platform::FontSpec& f = this->surfaceFont_;
    return vtjs_text_width(f.name.c_str(), FontPixels(f, 1), f.bold, f.italic, line.c_str());
  }
  double LineHeight() const {
    const platform::FontSpec& f = this->surfaceFont_;
    return vtjs_line_height(f.name.c_str(), FontPixels(f, 1), f.bold, f.italic);
  }
  void DrawText(const std::string& line, const platform::FontSpec& f, double px, double angle) {
    if (line.empty()) return;
    const double x = this->DeviceX(this->curX_), y = this->DeviceY(this->curY_);
    if (!(std::fabs(x) < 1e6) || !(std::fabs(y) < 1e6)) return;  // also NaN
    vtjs_draw_text(canvas_, x, y, line.c_str(), f.name.c_str(), px, f.bold, f.italic, this->fore_, angle);
  }

  int canvas_;
  double scale_;
  bool buffered_;
  std::vector<uint32_t> pixels_;  // when buffered
  uint8_t dirty_ = 0;             // pixels changed since the page last copied them (the page clears it)
  int width_ = 0, height_ = 0;
  platform::Colour back_ = 0x00FFFFFF;
};

}  // namespace vantorel::web
