#include "linux/picturebox.h"

#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>

#include "linux/fonts.h"
#include "linux/window.h"
#include "platform/twips.h"

namespace vantorel::platform {

namespace {

// Device pixels beyond which nothing is drawn or measured: far outside any
// box, yet small enough for exact integer arithmetic and for the toolkit's
// fixed-point rasteriser.
constexpr double kFar = 1.0e6;

// Dots per metre of the kept image: 96 dots per inch, the density at which
// 15 twips make one pixel. Text drawn on the image and text measured for it
// both use this density, whatever the screen reports.
constexpr int kDotsPerMetre96 = 3780;

// Nearest whole number of v (halves away from zero) held to [lo, hi]; NaN
// gives 0 held to the range.
int ClampRound(double v, int lo, int hi) {
  if (std::isnan(v)) v = 0;
  if (v <= lo) return lo;
  if (v >= hi) return hi;
  return static_cast<int>(RoundHalfAway(v));
}

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

void PictureBox::SetBackColor(Colour c) {
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
  platform::PlaceTwips(this, left, top, width, height);
  SyncImage();
}

BoxGeometry PictureBox::OuterTwips() const {
  const QRect g = geometry();
  return {PixelsToTwips(g.x()), PixelsToTwips(g.y()), PixelsToTwips(g.width()), PixelsToTwips(g.height())};
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
  const int devW = ClampRound(innerW * dpr, 0, kMaxSide);
  const int devH = ClampRound(innerH * dpr, 0, kMaxSide);
  const bool empty = devW == 0 || devH == 0;
  if (dpr == scale_ && (empty ? image_.isNull() : image_.width() == devW && image_.height() == devH)) return;

  QImage old = image_;
  if (!old.isNull() && dpr != scale_) {
    // Moved to a screen of another density: the drawing keeps its size in
    // twips.
    const int w = ClampRound(old.width() * dpr / scale_, 1, kMaxSide);
    const int h = ClampRound(old.height() * dpr / scale_, 1, kMaxSide);
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

int PictureBox::PenPixels() const { return ClampRound(drawWidth_ * scale_, 1, 10000); }

double PictureBox::ToDevice(double twips) const { return TwipsToPixelsF(twips) * scale_; }

double PictureBox::ScaleWidth() const { return PixelsToTwips(std::max(0, width() - 2 * BorderPixels())); }

double PictureBox::ScaleHeight() const { return PixelsToTwips(std::max(0, height() - 2 * BorderPixels())); }

int PictureBox::DpiY() const { return static_cast<int>(RoundHalfAway(kTwipsPerInch / kTwipsPerPixel)); }

void PictureBox::Cls() {
  SyncImage();
  if (!image_.isNull()) image_.fill(ToQColor(back_));
  curX_ = 0;
  curY_ = 0;
  update();
}

void PictureBox::SetDrawWidth(int pixels) { drawWidth_ = std::clamp(pixels, 1, 32767); }

void PictureBox::Line(double x1, double y1, double x2, double y2, Colour c) {
  curX_ = x2;
  curY_ = y2;
  SyncImage();
  if (image_.isNull()) return;
  double dx1 = ToDevice(x1), dy1 = ToDevice(y1), dx2 = ToDevice(x2), dy2 = ToDevice(y2);
  if (std::isnan(dx1) || std::isnan(dy1) || std::isnan(dx2) || std::isnan(dy2)) return;
  // Endpoints at infinity, or absurdly far, are brought in along their axis;
  // the visible part of such a line is then cut to the image with a margin
  // for the pen.
  const double far = 1.0e12;
  dx1 = std::clamp(dx1, -far, far);
  dy1 = std::clamp(dy1, -far, far);
  dx2 = std::clamp(dx2, -far, far);
  dy2 = std::clamp(dy2, -far, far);
  const int pen = PenPixels();
  const double margin = pen + 2.0;
  if (!ClipSegment(dx1, dy1, dx2, dy2, -margin, image_.width() + margin, image_.height() + margin)) return;

  // Whole device pixels: a line covers the pixel of its start and stops
  // short of its end.
  const int limit = 2000000;
  const int ix1 = ClampRound(dx1, -limit, limit), iy1 = ClampRound(dy1, -limit, limit);
  const int ix2 = ClampRound(dx2, -limit, limit), iy2 = ClampRound(dy2, -limit, limit);
  const QColor colour = ToQColor(c);
  QPainter p(&image_);
  if (drawWidth_ == 1 && (ix1 == ix2 || iy1 == iy2)) {
    // A thin level or upright line (the grid): exactly the pixels from the
    // start up to the end, one pixel wide at any density.
    const int across = -(pen - 1) / 2;
    QRect run;
    if (iy1 == iy2 && ix1 != ix2)
      run = ix1 < ix2 ? QRect(ix1, iy1 + across, ix2 - ix1, pen) : QRect(ix2 + 1, iy1 + across, ix1 - ix2, pen);
    else if (ix1 == ix2 && iy1 != iy2)
      run = iy1 < iy2 ? QRect(ix1 + across, iy1, pen, iy2 - iy1) : QRect(ix1 + across, iy2 + 1, pen, iy1 - iy2);
    run = run.intersected(image_.rect());
    if (!run.isEmpty()) p.fillRect(run, colour);
  } else {
    // A pen of even width is set on the pixel centres, so that it covers
    // the pixel of the point and the one right or below it.
    const double shift = pen % 2 == 0 ? 0.5 : 0.0;
    p.setRenderHint(QPainter::Antialiasing, false);
    QPen qpen(colour);
    qpen.setWidth(pen);
    // A thin line ends square; wider ones end round, so that the pieces of
    // a curve join smoothly.
    qpen.setCapStyle(drawWidth_ == 1 ? Qt::FlatCap : Qt::RoundCap);
    qpen.setJoinStyle(Qt::RoundJoin);
    p.setPen(qpen);
    p.drawLine(QPointF(ix1 + shift, iy1 + shift), QPointF(ix2 + shift, iy2 + shift));
  }
  p.end();
  update();
}

void PictureBox::Box(double x1, double y1, double x2, double y2, Colour c) {
  curX_ = x2;
  curY_ = y2;
  SyncImage();
  if (image_.isNull()) return;
  const double dx1 = ToDevice(x1), dy1 = ToDevice(y1), dx2 = ToDevice(x2), dy2 = ToDevice(y2);
  if (std::isnan(dx1) || std::isnan(dy1) || std::isnan(dx2) || std::isnan(dy2)) return;
  const int pen = PenPixels();
  const int limit = 20000 + pen;
  // The rectangle covers the pixels from its first corner up to, not
  // including, its second; the pen is laid inside that area.
  const int left = ClampRound(std::min(dx1, dx2), -limit, limit);
  const int right = ClampRound(std::max(dx1, dx2), -limit, limit);
  const int top = ClampRound(std::min(dy1, dy2), -limit, limit);
  const int bottom = ClampRound(std::max(dy1, dy2), -limit, limit);
  const int w = right - left, h = bottom - top;
  if (w <= 0 || h <= 0) return;

  QPainter p(&image_);
  const QColor colour = ToQColor(c);
  if (w <= 2 * pen || h <= 2 * pen) {
    p.fillRect(QRect(left, top, w, h), colour);
  } else {
    p.fillRect(QRect(left, top, w, pen), colour);
    p.fillRect(QRect(left, bottom - pen, w, pen), colour);
    p.fillRect(QRect(left, top + pen, pen, h - 2 * pen), colour);
    p.fillRect(QRect(right - pen, top + pen, pen, h - 2 * pen), colour);
  }
  p.end();
  update();
}

void PictureBox::PSet(double x, double y, Colour c) {
  curX_ = x;
  curY_ = y;
  SyncImage();
  if (image_.isNull()) return;
  const double dx = ToDevice(x), dy = ToDevice(y);
  if (!(std::fabs(dx) < kFar) || !(std::fabs(dy) < kFar)) return;  // also NaN
  // A dot as wide as the pen, on the pixel of the point (and right and
  // below it for even widths).
  const int pen = PenPixels();
  const int left = ClampRound(dx, -2000000, 2000000) - (pen - 1) / 2;
  const int top = ClampRound(dy, -2000000, 2000000) - (pen - 1) / 2;
  const QRect dot = QRect(left, top, pen, pen).intersected(image_.rect());
  if (dot.isEmpty()) return;
  QPainter p(&image_);
  p.fillRect(dot, ToQColor(c));
  p.end();
  update();
}

void PictureBox::Circle(double x, double y, double radius, Colour c) {
  SyncImage();
  if (image_.isNull()) return;
  const double dx = ToDevice(x), dy = ToDevice(y), dr = std::fabs(ToDevice(radius));
  if (!(std::fabs(dx) < kFar) || !(std::fabs(dy) < kFar) || !(dr < kFar)) return;  // also NaN
  const int pen = PenPixels();
  const int cx = ClampRound(dx, -2000000, 2000000);
  const int cy = ClampRound(dy, -2000000, 2000000);
  const double reach = dr + pen;
  if (cx + reach < 0 || cy + reach < 0 || cx - reach > image_.width() || cy - reach > image_.height()) return;
  QPainter p(&image_);
  p.setRenderHint(QPainter::Antialiasing, false);
  QPen qpen(ToQColor(c));
  qpen.setWidth(pen);
  p.setPen(qpen);
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(cx, cy), dr, dr);
  p.end();
  update();
}

void PictureBox::SetFont(const FontSpec& f) {
  surfaceFont_ = f;
  font_ = MakeFont(f);
}

double PictureBox::TextWidth(std::string_view text) const {
  const QFontMetricsF fm(font_, &MetricsDevice());
  double widest = 0;
  for (const QString& line : TextLines(text)) widest = std::max(widest, fm.horizontalAdvance(line));
  return PixelsToTwips(widest);
}

double PictureBox::TextHeight(std::string_view text) const {
  const QFontMetricsF fm(font_, &MetricsDevice());
  return PixelsToTwips(fm.height() * static_cast<double>(TextLines(text).size()));
}

void PictureBox::DrawTextAt(double x, double y, const QString& text, const QFont& font, double angleDegrees) {
  SyncImage();
  if (image_.isNull() || text.isEmpty()) return;
  const double lx = TwipsToPixelsF(x), ly = TwipsToPixelsF(y);
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
  const double lineHeight = PixelsToTwips(fm.height());
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
    curX_ += PixelsToTwips(fm.horizontalAdvance(lines.back()));
  }
}

void PictureBox::PrintRotated(std::string_view text, const FontSpec& font, double pixelHeight, int angleTenths) {
  QFont f = MakeFont(font);
  if (std::isfinite(pixelHeight) && pixelHeight >= 1) f.setPixelSize(ClampRound(pixelHeight, 1, 4096));
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

}  // namespace vantorel::platform
