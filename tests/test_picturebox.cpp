// The picture box on the offscreen platform, and the graph drawn into real boxes. Lengths in twips
// become device pixels at the box's density: the same checks run at 1x and, built again, at 2x.
#include <gtest/gtest.h>

#include <QPixmap>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "model/clicktable.h"
#include "output/graph.h"
#include "output/rotatedtext.h"
#include "qtview/picturebox.h"

using namespace vantorel;
using namespace vantorel::qtview;
using platform::FontSpec;
using qtview::PictureBox;

namespace {

#ifndef VANTOREL_TEST_SCALE
#define VANTOREL_TEST_SCALE "1"
#endif
const int kPx = std::atoi(VANTOREL_TEST_SCALE);  // device pixels in one pixel
const double kNaN = std::numeric_limits<double>::quiet_NaN(), kInf = std::numeric_limits<double>::infinity();
const QRgb kWhite = qRgb(255, 255, 255), kBlack = qRgb(0, 0, 0), kRed = qRgb(255, 0, 0), kGrey = qRgb(128, 128, 128);

int Dev(double twips) { return static_cast<int>(std::lround(twips / 15.0 * kPx)); }  // twips to device pixels
QRgb Px(const QImage& im, int x, int y) { return im.pixel(x, y) | 0xFF000000u; }

// The pixels of the area in exactly this colour (or, with `other`, in any
// other): how many, and their bounding rectangle.
std::pair<int, QRect> Find(const QImage& im, QRect area, QRgb colour, bool other = false) {
  std::pair<int, QRect> found;
  area &= im.rect();
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if ((Px(im, x, y) == colour) != other) found = {found.first + 1, found.second | QRect(x, y, 1, 1)};
  return found;
}
int Count(const QImage& im, QRect area, QRgb colour) { return Find(im, area, colour).first; }
QRect Ink(const QImage& im, QRect area) { return Find(im, area, kWhite, true).second; }  // all not white

// A white box with black text and lines, in Tahoma 8.25 pt.
struct WhiteBox : PictureBox {
  WhiteBox(double left, double top, double w, double h, QWidget* parent = nullptr) : PictureBox(parent) {
    SetBackColor(0xFFFFFF);
    SetForeColor(0);
    PlaceTwips(left, top, w, h);
  }
};

}  // namespace

TEST(PictureBox, TextAndShapesOnWholeDevicePixels) {
  WhiteBox box(690, 450, 5460, 2595);
  box.SetBorder(true);  // a pixel each side, inside the outer size
  EXPECT_EQ(std::tuple(box.ScaleWidth(), box.ScaleHeight(), box.Image().size(), box.ImageScale()),
            std::tuple(5430.0, 2565.0, QSize(362 * kPx, 171 * kPx), double(kPx)));
  // Text lies below and right of where it starts.
  box.SetCurrentX(450);
  box.SetCurrentY(300);
  box.Print("Range");
  const QRect text = Ink(box.Image(), box.Image().rect());
  EXPECT_EQ(std::tuple(text.left() >= Dev(450) - 1, text.top() >= Dev(300), text.bottom() <= Dev(300 + box.TextHeight("R"))),
            std::tuple(true, true, true)) << text.top() << " " << text.bottom();
  // Lines stopping short of their ends, either way; points of 1 and 2 pixels.
  box.Cls();
  box.Line(0, 150, 900, 150, 0x0000FF);
  box.Line(900, 750, 0, 750, 0x0000FF);
  box.PSet(300, 450, 0xFF0000);
  box.SetDrawWidth(2);
  box.PSet(900, 450, 0xFF0000);
  const QImage im = box.Image();
  EXPECT_EQ(Find(im, QRect(0, 0, Dev(1200), Dev(300)), kRed),
            std::pair(Dev(900) * kPx, QRect(0, Dev(150), Dev(900), kPx)));
  EXPECT_EQ(Find(im, QRect(0, Dev(700), Dev(1200), Dev(100)), kRed), std::pair(Dev(900) * kPx, QRect(1, Dev(750), Dev(900), kPx)));
  EXPECT_EQ(Ink(im, QRect(0, Dev(300), Dev(600), Dev(300))), QRect(Dev(300), Dev(450), kPx, kPx));
  EXPECT_EQ(std::pair(Ink(im, QRect(Dev(600), Dev(300), Dev(600), Dev(300))).size(), Px(im, Dev(900), Dev(450))),
            std::pair(QSize(2 * kPx, 2 * kPx), qRgb(0, 0, 255)));  // covering the point's own pixel
}

TEST(PictureBox, FarAndNonFiniteCoordinatesAreCutOrSkipped) {
  WhiteBox box(0, 0, 1500, 900);
  box.Line(0, 300, 1e300, 300, 0x0000FF);  // to far off: the part inside the box shows
  box.Line(600, 600, 600, kInf, 0x0000FF);
  EXPECT_EQ(std::pair(Px(box.Image(), Dev(1500) - 1, Dev(300)), Px(box.Image(), Dev(600), Dev(900) - 1)),
            std::pair(kRed, kRed));
  // What cannot be placed is skipped; the position still moves.
  const QImage before = box.Image().copy();
  box.Line(0, 0, kNaN, 100, 0x00FF00);
  EXPECT_TRUE(std::isnan(box.CurrentX()));
  box.Circle(100, 100, 1e200, 0x00FF00);
  box.SetCurrentX(1e300);
  box.PrintRotated("skipped", FontSpec{}, 11, 900);
  EXPECT_EQ(box.Image(), before);
  box.PlaceTwips(kNaN, -kInf, 1e300, kNaN);  // held in range, nothing to draw on
  EXPECT_EQ(std::pair(box.OuterTwips().left, box.ScaleHeight()), std::pair(0.0, 0.0));
}

// The graph panel P0 with the plotting box P5 on it.
TEST(GraphPixels, DefaultGraphDrawnAgainAsBeforeAndShownOnItsPanel) {
  WhiteBox panel(60, 480, 6750, 3540), *p0 = &panel;
  auto* p5 = new WhiteBox(690, 450, 5460, 2595, p0);
  p5->SetBorder(true);
  GraphScale g;
  auto draw = [&](const State& s) {
    Setup_P5(s, *p0, *p5, p5->OuterTwips(), p0->OuterTwips().height, g);
    Update_P5(s, *p5, g, 255);
  };
  State s = DefaultState();
  PseudoCalc(s);
  draw(s);
  const QImage im = p5->Image().copy();
  const int zero = Dev(2565 - 20 * 2565.0 / 90);

  // The zero line red from edge to edge, the curve red from range 5 on.
  EXPECT_EQ(std::pair(Px(im, Dev(75), zero), Px(im, im.width() - 1, zero)), std::pair(kRed, kRed));
  EXPECT_GT(Count(im, QRect(Dev(5 * 5430.0 / 65), 0, im.width(), zero - 1), kRed), 50 * kPx);
  // On P0, the clicks-axis title reads upwards from (0, 2100) along the left edge.
  const QRect up = Ink(p0->Image(), QRect(0, 0, Dev(225), Dev(3540)));
  const double length = Dev(p0->TextWidth("Scope Clicks"));
  EXPECT_EQ(std::pair(up.height() > 4 * up.width(), std::abs(up.height() - length) < 0.25 * length), std::pair(true, true)) << up.height();
  EXPECT_EQ(std::pair(up.bottom() <= Dev(2100) + 1, up.bottom() >= Dev(2100) - 3 * kPx), std::pair(true, true)) << up.bottom();

  // Drawn again after a longer axis, the default graph is as before; P0 shows the box on it as drawn.
  State longer = s;
  longer.MaxDataRange = 150;
  draw(longer);
  draw(s);
  const QImage shot = p0->grab().toImage();
  EXPECT_EQ(Px(shot, Dev(690), Dev(450) + 10), kBlack);  // P5's border
  EXPECT_EQ(shot.copy(Dev(690) + kPx, Dev(450) + kPx, im.width(), im.height()).convertToFormat(im.format()), im);
}
