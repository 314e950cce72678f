// A widget that keeps what is drawn on it: the program's picture box. Every
// drawing operation goes at once into a kept image of the box's inner area
// and the widget only shows that image, so the drawing survives the window
// being covered, hidden or repainted without being drawn again.
//
// Positions and sizes are in twips (15 to a device-independent pixel). The
// kept image has one pixel per device pixel, so drawing stays sharp on
// high-density screens; line widths are in device-independent pixels. Lines,
// points, rectangles and circles are drawn without smoothing, so that each
// lands on whole pixels in exactly its colour; text is smoothed.
//
// The box serves as a graph panel, as the status panel, and as the
// background surface of a whole window (placed behind the window's controls
// to hold its outline). Mouse events it does not use pass on to its parent.
#pragma once

#include <QFont>
#include <QImage>
#include <QWidget>

#include <functional>

#include "qtview/qtcolour.h"
#include "platform/pixelsurface.h"

namespace vantorel::qtview {

class PictureBox : public QWidget, public platform::PixelSurface<platform::Surface> {
  Q_OBJECT

 public:
  // Starts with the system's window colours, a one-pixel pen, Tahoma 8.25 pt
  // and no border.
  explicit PictureBox(QWidget* parent = nullptr);

  // Background colour. Changing it erases everything drawn, as on any
  // picture box, and the position goes back to the top left.
  void SetBackColor(platform::Colour c);
  platform::Colour BackColor() const { return back_; }

  // A thin single-line border, one pixel wide on each side. The inner
  // (drawing) area is then the box less that pixel on every side.
  void SetBorder(bool on);

  // Outer position and size in twips within the parent, border included.
  void PlaceTwips(double left, double top, double width, double height);
  platform::BoxGeometry OuterTwips() const;

  // The kept image of the inner area, one pixel per device pixel, and how
  // many device pixels make one device-independent pixel.
  const QImage& Image();
  double ImageScale() const { return scale_; }
  // Paints into the kept image in the box's own pixels (inner area).
  void PaintKept(const std::function<void(QPainter&, QSize)>& paint);

  // Surface.
  double ScaleWidth() const override;
  double ScaleHeight() const override;
  void Cls() override;
  void SetFont(const platform::FontSpec& f) override;
  double TextWidth(std::string_view text) const override;
  double TextHeight(std::string_view text) const override;
  void Print(std::string_view text, bool endLine = true) override;
  void PrintRotated(std::string_view text, const platform::FontSpec& font, double pixelHeight,
                    int angleTenths) override;
  int DpiY() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

  // Drawing in the kept image's pixels.
  double PixelScaleX() const override { return scale_; }
  double PixelScaleY() const override { return scale_; }
  platform::PixelArea DrawingArea() const override;
  bool BeginDrawing() override;
  void EndDrawing() override;
  void FillPixels(const platform::PixelRect& r, platform::Colour c) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  int BorderPixels() const { return border_ ? 1 : 0; }
  // Brings the kept image to the current inner size and pixel density,
  // keeping what is drawn (top left anchored; new area in the background).
  void SyncImage();
  void DrawTextAt(double x, double y, const QString& text, const QFont& font, double angleDegrees);

  QImage image_;  // device pixels, RGB32
  double scale_ = 1.0;
  platform::Colour back_ = 0xFFFFFF;
  QFont font_;
  bool border_ = false;
};

}  // namespace vantorel::qtview
