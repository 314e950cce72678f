// A drawing surface that draws nothing: fixed sizes, text 90 twips a
// character, for tests of what lies above the drawing.
#pragma once

#include "platform/printer.h"

namespace vantorel::test {

template <class Base = platform::Surface>
struct NullSurface : Base {
  double width = 5430, height = 2565;
  double ScaleWidth() const override { return width; }
  double ScaleHeight() const override { return height; }
  void Cls() override {}
  void Line(double, double, double, double, platform::Colour) override {}
  void Box(double, double, double, double, platform::Colour) override {}
  void PSet(double, double, platform::Colour) override {}
  void Circle(double, double, double, platform::Colour) override {}
  double TextWidth(std::string_view t) const override { return 90.0 * static_cast<double>(t.size()); }
  double TextHeight(std::string_view) const override { return 195; }
  void Print(std::string_view, bool) override {}
  void PrintRotated(std::string_view, const platform::FontSpec&, double, int) override {}
  int DpiY() const override { return 96; }
};

}  // namespace vantorel::test
