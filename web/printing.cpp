#include "web/printing.h"

#include "web/view.h"

namespace vantorel::web {

namespace {

class BrowserPrintJob final : public CanvasSurface<platform::PrintJob> {
 public:
  explicit BrowserPrintJob(PaperSize paper) : CanvasSurface(kPageCanvas, kPageDpi / 96.0) {
    SetArea(platform::ClampRound(paper.width * kPageDpi, 1, 20000),
            platform::ClampRound(paper.height * kPageDpi, 1, 20000));
  }

  void DrawPicture(const platform::Image& picture, double x, double y, double w, double h) override {
    Open();
    if (picture.Null()) return;
    vtjs_draw_picture(Canvas(), picture.pixels.data(), picture.width, picture.height, DeviceX(x), DeviceY(y),
                      DeviceX(w), DeviceY(h));
  }
  std::optional<std::string> EndDoc() override {
    if (!open_) return std::nullopt;
    open_ = false;
    vtjs_print_page(Canvas());
    return std::nullopt;
  }
  void Print(std::string_view text, bool endLine) override {
    Open();
    CanvasSurface::Print(text, endLine);
  }

 protected:
  bool BeginDrawing() override {
    Open();
    return CanvasSurface::BeginDrawing();
  }

 private:
  // The page is made on the first thing drawn.
  void Open() {
    if (open_) return;
    open_ = true;
    const platform::PixelArea area = DrawingArea();
    Resize(area.width, area.height);
  }
  bool open_ = false;
};

}  // namespace

PaperSize PaperFor(bool letter) {
  return letter ? PaperSize{8.0, 10.5} : PaperSize{210 / 25.4 - 0.5, 297 / 25.4 - 0.5};
}

std::unique_ptr<platform::PrintJob> BrowserPrintService::StartJob(const std::string&) {
  return std::make_unique<BrowserPrintJob>(paper_);
}

}  // namespace vantorel::web
