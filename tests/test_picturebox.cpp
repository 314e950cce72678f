// The picture box on the offscreen platform, and the graph drawn into real
// boxes. Coordinates are worked out in twips and turned into device pixels
// with the box's own density, so the same checks run on an ordinary screen
// and (built a second time) on a screen of twice the density.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPixmap>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "model/clicktable.h"
#include "model/trajectory.h"
#include "output/graph.h"
#include "output/rotatedtext.h"
#include "platform/picturebox.h"
#include "shell/look.h"

using namespace vantorel;
using platform::BoxGeometry;
using platform::FontSpec;
using platform::PictureBox;

namespace {

double ExpectedScale() {
#ifdef VANTOREL_TEST_SCALE
  return std::atof(VANTOREL_TEST_SCALE);
#else
  return 1.0;
#endif
}

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kGrey = qRgb(128, 128, 128);

// Device pixel of a length in twips on a box.
int Dev(const PictureBox& b, double twips) { return static_cast<int>(std::lround(twips / 15.0 * b.ImageScale())); }

QRgb Px(const QImage& im, int x, int y) { return im.pixel(x, y) | 0xFF000000u; }

// Whether a pixel of exactly this colour lies within reach of (x, y).
bool ColourNear(const QImage& im, int x, int y, QRgb colour, int reach) {
  for (int dy = -reach; dy <= reach; ++dy)
    for (int dx = -reach; dx <= reach; ++dx) {
      const int px = x + dx, py = y + dy;
      if (im.rect().contains(px, py) && Px(im, px, py) == colour) return true;
    }
  return false;
}

// Bounding rectangle of every pixel that is not the background.
QRect InkBounds(const QImage& im, QRgb background) {
  QRect r;
  for (int y = 0; y < im.height(); ++y)
    for (int x = 0; x < im.width(); ++x)
      if (Px(im, x, y) != background) r |= QRect(x, y, 1, 1);
  return r;
}

// A plain white box with black text and lines, 100 by 60 pixels.
struct PlainBox {
  PictureBox box;
  PlainBox(double w = 1500, double h = 900) {
    box.SetBackColor(0xFFFFFF);
    box.SetForeColor(0);
    box.PlaceTwips(0, 0, w, h);
  }
};

// The main window's graph panel P0 with the plotting box P5 inside, at their
// places and sizes, white with black text.
struct GraphPanels {
  QWidget window;
  PictureBox* p0;
  PictureBox* p5;
  GraphScale g;

  GraphPanels() {
    window.resize(574, 439);  // 8610 by 6585 twips
    p0 = new PictureBox(&window);
    p0->PlaceTwips(60, 480, 6750, 3540);
    p5 = new PictureBox(p0);
    p5->SetBorder(true);
    p5->PlaceTwips(690, 450, 5460, 2595);
    for (PictureBox* b : {p0, p5}) {
      b->SetBackColor(0xFFFFFF);
      b->SetForeColor(0);
      b->SetFont(FontSpec{"Tahoma", 8.25});
    }
  }
  void Draw(const State& s) {
    Setup_P5(s, *p0, *p5, p5->OuterTwips(), p0->OuterTwips().height, g);
    Update_P5(s, *p5, g, 255);
  }
};

State Estimated() {
  State s = DefaultState();
  PseudoCalc(s);
  return s;
}

}  // namespace

// ---------------------------------------------------------------------------
// Geometry and the text model.

TEST(PictureBoxGeometry, TwipsOutsideInnerAreaWithoutTheBorder) {
  PictureBox box;
  box.PlaceTwips(690, 450, 5460, 2595);
  const BoxGeometry g = box.OuterTwips();
  EXPECT_EQ(g.left, 690);
  EXPECT_EQ(g.top, 450);
  EXPECT_EQ(g.width, 5460);
  EXPECT_EQ(g.height, 2595);
  EXPECT_EQ(box.ScaleWidth(), 5460);
  EXPECT_EQ(box.ScaleHeight(), 2595);
  box.SetBorder(true);
  EXPECT_EQ(box.ScaleWidth(), 5430);
  EXPECT_EQ(box.ScaleHeight(), 2565);
  EXPECT_EQ(box.OuterTwips().width, 5460);  // the border is inside the outer size

  EXPECT_EQ(box.ImageScale(), ExpectedScale());
  EXPECT_EQ(box.Image().width(), std::lround(362 * ExpectedScale()));
  EXPECT_EQ(box.Image().height(), std::lround(171 * ExpectedScale()));
  EXPECT_EQ(box.DpiY(), 96);
}

TEST(PictureBoxGeometry, OddPlacementsAreHeldInRange) {
  PictureBox box;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  box.PlaceTwips(nan, -inf, 1e300, nan);
  EXPECT_EQ(box.OuterTwips().left, 0);
  EXPECT_EQ(box.OuterTwips().height, 0);
  EXPECT_EQ(box.ScaleHeight(), 0);
  box.Line(0, 0, 100, 100, 0xFF);  // no image: nothing to draw on, no failure
  box.Print("x");
  box.PlaceTwips(0, 0, -50, 300);
  EXPECT_EQ(box.OuterTwips().width, 0);
}

TEST(PictureBoxText, PositionFollowsPrintPointsAndLines) {
  PlainBox b;
  PictureBox& box = b.box;
  box.SetFont(FontSpec{"Tahoma", 8.25});
  const double h = box.TextHeight("Range");
  const double w = box.TextWidth("Range");
  EXPECT_GT(h, 150);  // about 11-pixel type
  EXPECT_LT(h, 300);
  EXPECT_GT(w, 300);
  EXPECT_LT(w, 800);
  EXPECT_EQ(box.TextWidth(""), 0);
  EXPECT_DOUBLE_EQ(box.TextHeight("a\nb"), 2 * box.TextHeight("a"));
  EXPECT_DOUBLE_EQ(box.TextWidth("Range\nR"), w);

  box.SetCurrentX(300);
  box.SetCurrentY(150);
  box.Print("Range", false);
  EXPECT_DOUBLE_EQ(box.CurrentX(), 300 + w);
  EXPECT_DOUBLE_EQ(box.CurrentY(), 150);
  box.Print("Range");
  EXPECT_EQ(box.CurrentX(), 0);
  EXPECT_DOUBLE_EQ(box.CurrentY(), 150 + h);
  box.Print("a\nb");
  EXPECT_DOUBLE_EQ(box.CurrentY(), 150 + 3 * h);

  box.PSet(120, 240, 0);
  EXPECT_EQ(box.CurrentX(), 120);
  EXPECT_EQ(box.CurrentY(), 240);
  box.Line(0, 0, 450, 600, 0);
  EXPECT_EQ(box.CurrentX(), 450);
  EXPECT_EQ(box.CurrentY(), 600);
  box.Box(15, 15, 90, 75, 0);
  EXPECT_EQ(box.CurrentX(), 90);
  box.Cls();
  EXPECT_EQ(box.CurrentX(), 0);
  EXPECT_EQ(box.CurrentY(), 0);
  EXPECT_EQ(InkBounds(box.Image(), kWhite), QRect());

  // A larger face measures larger; the text lands where the position was.
  box.SetFont(FontSpec{"Tahoma", 18});
  EXPECT_GT(box.TextWidth("Range"), 1.8 * w);
  box.SetCurrentX(450);
  box.SetCurrentY(300);
  box.Print("Range");
  const QRect ink = InkBounds(box.Image(), kWhite);
  EXPECT_GE(ink.left(), Dev(box, 450) - 1);
  EXPECT_GE(ink.top(), Dev(box, 300));
  EXPECT_LE(ink.bottom(), Dev(box, 300 + box.TextHeight("Range")));
}

// ---------------------------------------------------------------------------
// Exact pixels of lines, rectangles, points and circles.

TEST(PictureBoxPixels, OnePixelLineStopsShortOfItsEnd) {
  PlainBox b;
  PictureBox& box = b.box;
  const double s = box.ImageScale();
  box.Line(0, 150, 1500 * 0.6, 150, 0x0000FF);  // 60 pixels long
  const QImage& im = box.Image();
  const int row = Dev(box, 150), end = Dev(box, 900);
  for (int x = 0; x < end; ++x)
    for (int k = 0; k < static_cast<int>(s); ++k) ASSERT_EQ(Px(im, x, row + k), kRed) << x << "," << row + k;
  EXPECT_EQ(Px(im, end, row), kWhite);
  EXPECT_EQ(Px(im, 5, row - 1), kWhite);
  EXPECT_EQ(Px(im, 5, row + static_cast<int>(s)), kWhite);
}

TEST(PictureBoxPixels, OutlineOfTheStatusPanel) {
  // The status panel's outline: a 2-pixel pen from (15, 15) to
  // (width - 15, height - 15) in the complement of the dark teal.
  PictureBox box;
  box.PlaceTwips(9720, 4500, 3165, 1755);
  box.SetBackColor(0x404000);
  box.SetDrawWidth(2);
  box.Box(15, 15, box.ScaleWidth() - 15, box.ScaleHeight() - 15, ComplementColour(box.BackColor()));
  const QImage& im = box.Image();
  const int pen = static_cast<int>(2 * box.ImageScale());
  const int first = Dev(box, 15), lastX = Dev(box, box.ScaleWidth() - 15) - 1;
  const QRgb outline = qRgb(0xFF, 0xBF, 0xBF), teal = qRgb(0, 0x40, 0x40);
  const int midY = im.height() / 2;
  EXPECT_EQ(Px(im, first - 1, midY), teal);
  for (int k = 0; k < pen; ++k) {
    EXPECT_EQ(Px(im, first + k, midY), outline);
    EXPECT_EQ(Px(im, lastX - k, midY), outline);
    EXPECT_EQ(Px(im, im.width() / 2, first + k), outline);
  }
  EXPECT_EQ(Px(im, first + pen, midY), teal);
  EXPECT_EQ(Px(im, lastX + 1, midY), teal);
  EXPECT_EQ(Px(im, im.width() / 2, midY), teal);  // outline only
}

TEST(PictureBoxPixels, PointsAreAsWideAsThePen) {
  PlainBox b;
  PictureBox& box = b.box;
  box.PSet(300, 300, 0x0000FF);
  box.SetDrawWidth(2);
  box.PSet(900, 300, 0xFF0000);
  const QImage& im = box.Image();
  const int s = static_cast<int>(box.ImageScale());
  EXPECT_EQ(InkBounds(im.copy(0, 0, Dev(box, 600), im.height()), kWhite),
            QRect(Dev(box, 300), Dev(box, 300), s, s));
  const QRect big = InkBounds(im.copy(Dev(box, 600), 0, im.width() - Dev(box, 600), im.height()), kWhite);
  EXPECT_EQ(big.width(), 2 * s);
  EXPECT_EQ(big.height(), 2 * s);
  EXPECT_EQ(Px(im, Dev(box, 900), Dev(box, 300)), qRgb(0, 0, 255));
}

TEST(PictureBoxPixels, CircleIsARingAroundItsCentre) {
  PlainBox b;
  PictureBox& box = b.box;
  box.Circle(600, 450, 300, 0x000000);  // 20 pixels in radius
  const QImage& im = box.Image();
  const int cx = Dev(box, 600), cy = Dev(box, 450), r = Dev(box, 300);
  const int reach = static_cast<int>(box.ImageScale());
  EXPECT_TRUE(ColourNear(im, cx - r, cy, kBlack, reach));
  EXPECT_TRUE(ColourNear(im, cx + r, cy, kBlack, reach));
  EXPECT_TRUE(ColourNear(im, cx, cy - r, kBlack, reach));
  EXPECT_TRUE(ColourNear(im, cx, cy + r, kBlack, reach));
  EXPECT_EQ(Px(im, cx, cy), kWhite);
  EXPECT_EQ(Px(im, cx - r / 2, cy), kWhite);  // not filled
  const QRect ink = InkBounds(im, kWhite);
  EXPECT_NEAR(ink.center().x(), cx, 1);
  EXPECT_NEAR(ink.width(), 2 * r, 2 * reach + 1);
}

TEST(PictureBoxPixels, FarAndNonFiniteCoordinatesAreCutOrSkipped) {
  PlainBox b;
  PictureBox& box = b.box;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();

  // A line to a point far off still shows its part inside the box.
  box.Line(0, 300, 1e300, 300, 0x0000FF);
  const QImage& im = box.Image();
  EXPECT_EQ(Px(im, im.width() - 1, Dev(box, 300)), kRed);
  box.Line(600, 600, 600, inf, 0x0000FF);
  EXPECT_EQ(Px(box.Image(), Dev(box, 600), box.Image().height() - 1), kRed);
  EXPECT_EQ(box.CurrentY(), inf);
  box.Line(-1e308, 1e308, 1e308, -1e308, 0x0000FF);  // a diagonal through the box

  // What cannot be placed is skipped; the position still moves.
  const QImage before = box.Image().copy();
  box.Line(0, 0, nan, 100, 0x00FF00);
  EXPECT_TRUE(std::isnan(box.CurrentX()));
  box.Line(box.CurrentX(), box.CurrentY(), 300, 300, 0x00FF00);
  box.PSet(nan, 10, 0x00FF00);
  box.PSet(1e300, -1e300, 0x00FF00);
  box.Circle(nan, 100, 50, 0x00FF00);
  box.Circle(100, 100, inf, 0x00FF00);
  box.Circle(100, 100, 1e200, 0x00FF00);
  box.Box(nan, 0, 100, 100, 0x00FF00);
  box.SetCurrentX(nan);
  box.Print("skipped");
  box.SetCurrentX(1e300);
  box.PrintRotated("skipped", FontSpec{}, 11, 900);
  box.SetCurrentY(nan);
  box.PrintRotated("x", FontSpec{}, nan, 900);
  EXPECT_EQ(box.Image(), before);
}

// ---------------------------------------------------------------------------
// What is drawn is kept.

TEST(PictureBoxKeeps, DrawingSurvivesHideShowRepaintAndGrowing) {
  QWidget window;
  window.resize(200, 120);
  auto* box = new PictureBox(&window);
  box->SetBackColor(0xFFFFFF);
  box->PlaceTwips(150, 150, 1500, 900);
  box->SetBorder(true);
  box->Line(0, 300, 1500, 300, 0x0000FF);
  window.show();
  window.hide();
  window.show();
  box->repaint();
  QApplication::processEvents();

  const auto grabbed = [&] { return box->grab().toImage(); };
  QImage shot = grabbed();
  const double s = box->ImageScale();
  const int border = static_cast<int>(s);
  const int row = border + Dev(*box, 300);
  EXPECT_EQ(Px(shot, border + 3, row), kRed);
  EXPECT_EQ(Px(shot, 0, 0), kBlack);                    // the border
  EXPECT_EQ(Px(shot, border, border), kWhite);          // the inner area starts inside it
  EXPECT_EQ(shot.width(), static_cast<int>(100 * s));  // 1500 twips

  // Growing keeps what is there; the new area is background.
  box->PlaceTwips(150, 150, 2250, 1350);
  const QImage& im = box->Image();
  EXPECT_EQ(Px(im, 3, Dev(*box, 300)), kRed);
  EXPECT_EQ(Px(im, Dev(*box, 1800), Dev(*box, 300)), kWhite);
  EXPECT_EQ(Px(im, 3, Dev(*box, 1200)), kWhite);
  shot = grabbed();
  EXPECT_EQ(Px(shot, border + 3, row), kRed);

  // A new background colour clears the box.
  box->SetBackColor(0x404000);
  EXPECT_EQ(InkBounds(box->Image(), qRgb(0, 0x40, 0x40)), QRect());
}

// ---------------------------------------------------------------------------
// Rotated text.

TEST(PictureBoxRotated, UpwardTextRisesFromItsStartInANarrowColumn) {
  PlainBox b(6750, 3540);
  PictureBox& box = b.box;
  const FontSpec own{"Tahoma", 8.25};
  box.SetFont(own);
  PrintRotatedText(box, "Scope Clicks", 900, 0.0, 2100.0);
  EXPECT_EQ(box.Font().size, 8.25);
  EXPECT_EQ(box.CurrentX(), 0);
  EXPECT_DOUBLE_EQ(box.CurrentY(), 2100 + box.TextHeight(""));

  const QRect ink = InkBounds(box.Image(), kWhite);
  ASSERT_FALSE(ink.isEmpty());
  const double textLength = box.TextWidth("Scope Clicks") / 15 * box.ImageScale();
  EXPECT_GE(ink.left(), 0);
  EXPECT_LE(ink.right(), Dev(box, 15 * 15));       // within the height of the letters
  EXPECT_LE(ink.bottom(), Dev(box, 2100) + 1);    // nothing below the start
  EXPECT_GT(ink.height(), 4 * ink.width());
  EXPECT_NEAR(ink.height(), textLength, 0.25 * textLength);
  EXPECT_NEAR(ink.bottom(), Dev(box, 2100), 3 * box.ImageScale());  // the first letter sits at the start
}

TEST(PictureBoxRotated, LevelTextRunsRightFromItsStart) {
  PlainBox b(6750, 3540);
  PictureBox& box = b.box;
  box.SetFont(FontSpec{"Tahoma", 8.25});
  PrintRotatedText(box, "Scope Clicks", 0, 300.0, 600.0);
  const QRect ink = InkBounds(box.Image(), kWhite);
  ASSERT_FALSE(ink.isEmpty());
  EXPECT_GT(ink.width(), 4 * ink.height());
  EXPECT_NEAR(ink.left(), Dev(box, 300), 2 * box.ImageScale());
  EXPECT_GE(ink.top(), Dev(box, 600));
  EXPECT_LE(ink.bottom(), Dev(box, 600 + box.TextHeight("S")));
}

// ---------------------------------------------------------------------------
// The default graph drawn into the two boxes.

TEST(GraphPixels, DefaultGraph) {
  GraphPanels gp;
  const State s = Estimated();
  gp.Draw(s);
  PictureBox& p5 = *gp.p5;
  const QImage& im = p5.Image();
  ASSERT_EQ(p5.ScaleWidth(), 5430);
  ASSERT_EQ(p5.ScaleHeight(), 2565);
  const double ys = 2565.0 / 90, xs = 5430.0 / 65;
  auto yOf = [&](double clicks) { return 2565 - (clicks + 20) * ys; };

  // The zero line red and the other grid lines grey, across the box.
  EXPECT_EQ(Px(im, Dev(p5, 75), Dev(p5, yOf(0))), kRed);
  EXPECT_EQ(Px(im, im.width() - 1, Dev(p5, yOf(0))), kRed);
  EXPECT_EQ(Px(im, Dev(p5, 75), Dev(p5, yOf(10))), kGrey);
  EXPECT_EQ(Px(im, Dev(p5, 75), Dev(p5, yOf(-15))), kGrey);
  EXPECT_EQ(Px(im, Dev(p5, 5430 - 30 * xs), Dev(p5, 75)), kGrey);  // range 35
  EXPECT_EQ(Px(im, Dev(p5, 5430 - 60 * xs), Dev(p5, 75)), kGrey);  // range 5
  EXPECT_EQ(Px(im, Dev(p5, 180), Dev(p5, 356)), kWhite);

  // A ring around each data point.
  for (int i = 0; i < kRows; ++i) {
    const auto k = static_cast<size_t>(i);
    const int cx = Dev(p5, s.DataRange[k] * xs), cy = Dev(p5, 2595 - (s.DataClicks[k] + 20) * ys - 30);
    const int r = Dev(p5, 2 * ys);
    EXPECT_TRUE(ColourNear(im, cx, cy - r, kBlack, static_cast<int>(p5.ImageScale())) ||
                ColourNear(im, cx, cy + r, kBlack, static_cast<int>(p5.ImageScale())))
        << "point " << i;
  }

  // The red curve through the model's clicks; nothing left of range 5.
  for (int r : {10, 12, 16, 40, 50, 60}) {  // inside the clicks axis
    const double v = ClicksToDial(s.Params(), r, false);
    const int reach = 1 + static_cast<int>(p5.ImageScale());
    EXPECT_TRUE(ColourNear(im, std::min(Dev(p5, r * xs), im.width() - 1), Dev(p5, yOf(v)), kRed, reach))
        << "range " << r;
  }
  for (int y = 0; y < im.height(); ++y) {
    if (std::abs(y - Dev(p5, yOf(0))) > 1) {
      ASSERT_NE(Px(im, Dev(p5, 4 * xs) - 1, y), kRed) << y;
    }
  }

  // Text on P0: the title over the box, the labels either side of it.
  const QImage& panel = gp.p0->Image();
  const QRect title = InkBounds(panel.copy(0, 0, panel.width(), Dev(*gp.p0, 400)), kWhite);
  EXPECT_NEAR(title.center().x(), Dev(*gp.p0, 690 + 5460 / 2.0), 3 * p5.ImageScale());
  EXPECT_GE(title.top(), Dev(*gp.p0, 90));
  const int labelRow = Dev(*gp.p0, 450 + (70 - 30) * ys);  // the "30" labels
  const QRect leftLabels = InkBounds(panel.copy(Dev(*gp.p0, 300), labelRow - 3, Dev(*gp.p0, 300), 6), kWhite);
  const QRect rightLabels = InkBounds(panel.copy(Dev(*gp.p0, 6150), labelRow - 3, Dev(*gp.p0, 600), 6), kWhite);
  EXPECT_FALSE(leftLabels.isEmpty());
  EXPECT_FALSE(rightLabels.isEmpty());
  const QRect rotated = InkBounds(panel.copy(0, 0, Dev(*gp.p0, 300), panel.height()), kWhite);
  EXPECT_GT(rotated.height(), 4 * rotated.width());
  EXPECT_LE(rotated.bottom(), Dev(*gp.p0, 2100) + 1);

  // The panel shown with the box on it, after being hidden and repainted.
  gp.window.show();
  gp.window.hide();
  gp.window.show();
  gp.p0->repaint();
  QApplication::processEvents();
  const QImage shot = gp.p0->grab().toImage();
  const double sc = p5.ImageScale();
  const int ox = Dev(p5, 690) + static_cast<int>(sc), oy = Dev(p5, 450) + static_cast<int>(sc);
  EXPECT_EQ(Px(shot, ox + Dev(p5, 75), oy + Dev(p5, yOf(0))), kRed);
  EXPECT_EQ(Px(shot, ox - static_cast<int>(sc), oy + 10), kBlack);  // P5's border
  if (const char* path = std::getenv("VANTOREL_GRAPH_PNG")) shot.save(QString::fromLocal8Bit(path));
}

TEST(GraphPixels, RedrawReplacesTheOldGraph) {
  GraphPanels gp;
  State s = Estimated();
  gp.Draw(s);
  const QImage first = gp.p5->Image().copy();
  s.MaxDataRange = 150;
  gp.Draw(s);
  s.MaxDataRange = 55;
  gp.Draw(s);
  EXPECT_EQ(gp.p5->Image(), first);
}

TEST(GraphPixels, OddModelLeavesTheFrameIntact) {
  GraphPanels gp;
  State s = Estimated();
  s.ModelMV = Variant::Number(std::numeric_limits<double>::quiet_NaN());
  gp.Draw(s);
  EXPECT_EQ(Px(gp.p5->Image(), Dev(*gp.p5, 75), Dev(*gp.p5, 2565 - 20 * 28.5)), kRed);
  s.ModelMV = Variant::Number(1e-300);  // clicks beyond any scale
  gp.Draw(s);
  s.ModelMV = Variant::Number(790);
  s.ModelBC = Variant::Number(-1e-3);  // the path runs off to infinity
  gp.Draw(s);
}
