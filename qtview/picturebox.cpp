#include "qtview/picturebox.h"

#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>

#include "qtview/fonts.h"
#include "qtview/window.h"
#include "platform/twips.h"

namespace vantorel::qtview {

namespace {

// Device pixels beyond which nothing is drawn or measured: far outside any
// box, yet small enough for exact integer arithmetic and for the toolkit's
// fixed-point rasteriser.
constexpr double kFar = 1.0e6;

// Dots per metre of the kept image: 96 dots per inch, the density at which
// 15 twips make one pixel. Text drawn on the image and text measured for it
// both use this density, whatever the screen reports.
constexpr int kDotsPerMetre96 = 3780;

QString ToQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// The device on which the box's text is measured: 96 dots per inch.
const QImage& MetricsDevice() {
  static const QImage device = [] {
    QImage d(1, 1, QImage::Format_RGB32);
    d.setDotsPerMeterX(kDotsPerMetre96);
    d.setDotsPerMeterY(kDotsPerMetre96);
    return d;
  }();
  return device;
}

// The lines of a text: split at line feeds, a carriage return before a line
// feed dropped.
QStringList TextLines(std::string_view text) {
  QStringList lines = ToQString(text).split(QLatin1Char('\n'));
  for (QString& l : lines)
    if (l.endsWith(QLatin1Char('\r'))) l.chop(1);
  return lines;
}

}  // namespace

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
  back_ = FromQColor(palette().color(QPalette::Base));
  fore_ = FromQColor(palette().color(QPalette::Text));
  font_ = MakeFont(surfaceFont_);
  // The kept image covers every pixel of the box, so nothing needs erasing
  // before a paint.
  setAttribute(Qt::WA_OpaquePaintEvent);
  SyncImage();
}

void PictureBox::SetBackColor(platform::Colour c) {
  back_ = c & 0xFFFFFF;
  Cls();
}

void PictureBox::SetBorder(bool on) {
  if (border_ == on) return;
  border_ = on;
  SyncImage();
  update();
}

void PictureBox::PlaceTwips(double left, double top, double width, double height) {
  qtview::PlaceTwips(this, left, top, width, height);
  SyncImage();
}

platform::BoxGeometry PictureBox::OuterTwips() const {
  const QRect g = geometry();
  return {platform::PixelsToTwips(g.x()), platform::PixelsToTwips(g.y()), platform::PixelsToTwips(g.width()),
          platform::PixelsToTwips(g.height())};
}

const QImage& PictureBox::Image() {
  SyncImage();
  return image_;
}

void PictureBox::PaintKept(const std::function<void(QPainter&, QSize)>& paint) {
  SyncImage();
  if (image_.isNull()) return;
  QPainter p(&image_);
  p.scale(scale_, scale_);
  paint(p, QSize(std::max(0, width() - 2 * BorderPixels()), std::max(0, height() - 2 * BorderPixels())));
  update();
}

void PictureBox::SyncImage() {
  double dpr = devicePixelRatioF();
  if (!std::isfinite(dpr) || dpr < 0.25 || dpr > 16) dpr = 1.0;
  constexpr int kMaxSide = 16384;
  const int innerW = std::max(0, width() - 2 * BorderPixels());
  const int innerH = std::max(0, height() - 2 * BorderPixels());
  const int devW = platform::ClampRound(innerW * dpr, 0, kMaxSide);
  const int devH = platform::ClampRound(innerH * dpr, 0, kMaxSide);
  const bool empty = devW == 0 || devH == 0;
  if (dpr == scale_ && (empty ? image_.isNull() : image_.width() == devW && image_.height() == devH)) return;

  QImage old = image_;
  if (!old.isNull() && dpr != scale_) {
    // Moved to a screen of another density: the drawing keeps its size in
    // twips.
    const int w = platform::ClampRound(old.width() * dpr / scale_, 1, kMaxSide);
    const int h = platform::ClampRound(old.height() * dpr / scale_, 1, kMaxSide);
    old = old.scaled(w, h, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  }
  scale_ = dpr;
  if (devW == 0 || devH == 0) {
    image_ = QImage();
    return;
  }
  QImage fresh(devW, devH, QImage::Format_RGB32);
  fresh.setDotsPerMeterX(kDotsPerMetre96);
  fresh.setDotsPerMeterY(kDotsPerMetre96);
  fresh.fill(ToQColor(back_));
  if (!old.isNull()) {
    QPainter p(&fresh);
    p.drawImage(0, 0, old);
  }
  image_ = fresh;
}

double PictureBox::ScaleWidth() const { return platform::PixelsToTwips(std::max(0, width() - 2 * BorderPixels())); }

double PictureBox::ScaleHeight() const { return platform::PixelsToTwips(std::max(0, height() - 2 * BorderPixels())); }

int PictureBox::DpiY() const {
  return static_cast<int>(RoundHalfAway(platform::kTwipsPerInch / platform::kTwipsPerPixel));
}

void PictureBox::Cls() {
  SyncImage();
  if (!image_.isNull()) image_.fill(ToQColor(back_));
  curX_ = 0;
  curY_ = 0;
  update();
}

platform::PixelArea PictureBox::DrawingArea() const { return {image_.width(), image_.height()}; }

bool PictureBox::BeginDrawing() {
  SyncImage();
  return !image_.isNull();
}

void PictureBox::EndDrawing() { update(); }

void PictureBox::FillPixels(const platform::PixelRect& r, platform::Colour c) {
  // The kept image has 32 bits a pixel: the pixels are set directly (a
  // painter for each of the many runs of a curve would cost more).
  const QRect area = QRect(r.left, r.top, r.width, r.height) & image_.rect();
  const QRgb rgb = ToQColor(c).rgb();
  for (int y = area.top(); y <= area.bottom(); ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(image_.scanLine(y)) + area.left();
    std::fill(line, line + area.width(), rgb);
  }
}

void PictureBox::SetFont(const platform::FontSpec& f) {
  surfaceFont_ = f;
  font_ = MakeFont(f);
}

double PictureBox::TextWidth(std::string_view text) const {
  const QFontMetricsF fm(font_, &MetricsDevice());
  double widest = 0;
  for (const QString& line : TextLines(text)) widest = std::max(widest, fm.horizontalAdvance(line));
  return platform::PixelsToTwips(widest);
}

double PictureBox::TextHeight(std::string_view text) const {
  const QFontMetricsF fm(font_, &MetricsDevice());
  return platform::PixelsToTwips(fm.height() * static_cast<double>(TextLines(text).size()));
}

void PictureBox::DrawTextAt(double x, double y, const QString& text, const QFont& font, double angleDegrees) {
  SyncImage();
  if (image_.isNull() || text.isEmpty()) return;
  const double lx = platform::TwipsToPixelsF(x), ly = platform::TwipsToPixelsF(y);
  if (!(std::fabs(lx * scale_) < kFar) || !(std::fabs(ly * scale_) < kFar)) return;  // also NaN
  QPainter p(&image_);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  p.scale(scale_, scale_);
  p.translate(lx, ly);
  if (angleDegrees != 0) p.rotate(-angleDegrees);  // counter-clockwise on a y-down surface
  p.setFont(font);
  p.setPen(ToQColor(fore_));
  // The position is the top left of the text's cell.
  const QFontMetricsF fm(font, &MetricsDevice());
  p.drawText(QPointF(0, fm.ascent()), text);
  p.end();
  update();
}

void PictureBox::Print(std::string_view text, bool endLine) {
  const QFontMetricsF fm(font_, &MetricsDevice());
  const double lineHeight = platform::PixelsToTwips(fm.height());
  const QStringList lines = TextLines(text);
  for (qsizetype i = 0; i < lines.size(); ++i) {
    if (i > 0) {
      curX_ = 0;
      curY_ += lineHeight;
    }
    DrawTextAt(curX_, curY_, lines[i], font_, 0);
  }
  if (endLine) {
    curX_ = 0;
    curY_ += lineHeight;
  } else {
    curX_ += platform::PixelsToTwips(fm.horizontalAdvance(lines.back()));
  }
}

void PictureBox::PrintRotated(std::string_view text, const platform::FontSpec& font, double pixelHeight,
                              int angleTenths) {
  QFont f = MakeFont(font);
  if (std::isfinite(pixelHeight) && pixelHeight >= 1) f.setPixelSize(platform::ClampRound(pixelHeight, 1, 4096));
  DrawTextAt(curX_, curY_, ToQString(text), f, angleTenths / 10.0);
  // The line ends as after an ordinary print in the box's own font.
  curX_ = 0;
  curY_ += TextHeight("");
}

void PictureBox::resizeEvent(QResizeEvent* event) {
  SyncImage();
  QWidget::resizeEvent(event);
}

void PictureBox::paintEvent(QPaintEvent*) {
  SyncImage();
  QPainter p(this);
  const int b = BorderPixels();
  if (b) {
    const QColor frame = palette().color(QPalette::WindowText);
    const int w = width(), h = height();
    p.fillRect(QRect(0, 0, w, b), frame);
    p.fillRect(QRect(0, h - b, w, b), frame);
    p.fillRect(QRect(0, b, b, h - 2 * b), frame);
    p.fillRect(QRect(w - b, b, b, h - 2 * b), frame);
  }
  const QRectF inner(b, b, std::max(0, width() - 2 * b), std::max(0, height() - 2 * b));
  if (image_.isNull())
    p.fillRect(inner, ToQColor(back_));
  else
    p.drawImage(inner, image_);
}

}  // namespace vantorel::qtview
