// Until the GDI surface arrives: a surface of the box's size that keeps nothing.
#include "winshell/picture.h"

#include "platform/twips.h"

namespace vantorel::winshell {

namespace {

class Blank final : public platform::Surface {
 public:
  explicit Blank(HWND box) : box_(box) {}
  double ScaleWidth() const override { return Inner().right * platform::kTwipsPerPixel; }
  double ScaleHeight() const override { return Inner().bottom * platform::kTwipsPerPixel; }
  void Cls() override {}
  void Line(double, double, double, double, platform::Colour) override {}
  void Box(double, double, double, double, platform::Colour) override {}
  void PSet(double, double, platform::Colour) override {}
  void Circle(double, double, double, platform::Colour) override {}
  double TextWidth(std::string_view text) const override { return 90.0 * static_cast<double>(text.size()); }
  double TextHeight(std::string_view) const override { return 195; }
  void Print(std::string_view, bool) override {}
  void PrintRotated(std::string_view, const platform::FontSpec&, double, int) override {}
  int DpiY() const override { return 96; }

 private:
  RECT Inner() const {
    RECT r{};
    GetClientRect(box_, &r);
    return r;
  }
  HWND box_;
};

}  // namespace

std::unique_ptr<platform::Surface> MakePicture(HWND box) { return std::make_unique<Blank>(box); }

}  // namespace vantorel::winshell
