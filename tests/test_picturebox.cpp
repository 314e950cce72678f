// The picture box on the offscreen platform, and the graph drawn into real
// boxes. Coordinates are worked out in twips and turned into device pixels
// with the box's own density, so the same checks run on an ordinary screen
// and (built a second time) on one of twice the density.
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
using platform::FontSpec;
using platform::PictureBox;

namespace {

#ifdef VANTOREL_TEST_SCALE
const double kScale = std::atof(VANTOREL_TEST_SCALE);
#else
const double kScale = 1.0;
#endif
const int kPx = static_cast<int>(kScale);  // device pixels in one pixel
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

const QRgb kWhite = qRgb(255, 255, 255), kBlack = qRgb(0, 0, 0), kRed = qRgb(255, 0, 0), kGrey = qRgb(128, 128, 128);

// Device pixel of a length in twips.
int Dev(double twips) { return static_cast<int>(std::lround(twips / 15.0 * kScale)); }

QRgb Px(const QImage& im, int x, int y) { return im.pixel(x, y) | 0xFF000000u; }

// Whether a pixel of exactly this colour lies within reach of (x, y).
bool ColourNear(const QImage& im, int x, int y, QRgb colour, int reach) {
  for (int py = y - reach; py <= y + reach; ++py)
    for (int px = x - reach; px <= x + reach; ++px)
      if (im.rect().contains(px, py) && Px(im, px, py) == colour) return true;
  return false;
}

// Bounding rectangle of every pixel that differs from the background.
QRect InkBounds(const QImage& im, QRgb background = kWhite) {
  QRect r;
  for (int y = 0; y < im.height(); ++y)
    for (int x = 0; x < im.width(); ++x)
      if (Px(im, x, y) != background) r |= QRect(x, y, 1, 1);
  return r;
}

// A white box with black text and lines.
struct WhiteBox : PictureBox {
  explicit WhiteBox(double w = 1500, double h = 900, QWidget* parent = nullptr) : PictureBox(parent) {
    SetBackColor(0xFFFFFF);
    SetForeColor(0);
    SetFont(FontSpec{"Tahoma", 8.25});
    PlaceTwips(0, 0, w, h);
  }
};

// The graph panel P0 with the plotting box P5 inside, in a window.
struct GraphPanels {
  QWidget window;
  WhiteBox* p0 = new WhiteBox(6750, 3540, &window);
  WhiteBox* p5 = new WhiteBox(5460, 2595, p0);
  GraphScale g;
  GraphPanels() {
    window.resize(574, 439);  // 8610 by 6585 twips
    p0->PlaceTwips(60, 480, 6750, 3540);
    p5->SetBorder(true);
    p5->PlaceTwips(690, 450, 5460, 2595);
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

TEST(PictureBox, GeometryInTwipsWithAndWithoutBorder) {
  PictureBox box;
  EXPECT_EQ(box.ImageScale(), kScale);
  box.PlaceTwips(690, 450, 5460, 2595);
  EXPECT_EQ(box.ScaleWidth(), 5460);
  box.SetBorder(true);
  const auto g = box.OuterTwips();
  EXPECT_EQ((std::vector<double>{g.left, g.top, g.width, g.height}), (std::vector<double>{690, 450, 5460, 2595}));
  EXPECT_EQ(box.ScaleWidth(), 5430);
  EXPECT_EQ(box.ScaleHeight(), 2565);
  EXPECT_EQ(box.Image().size(), QSize(362 * kPx, 171 * kPx));
  EXPECT_EQ(box.DpiY(), 96);

  box.PlaceTwips(kNaN, -kInf, 1e300, kNaN);  // held in range, nothing to draw on
  EXPECT_EQ(box.OuterTwips().left, 0);
  EXPECT_EQ(box.ScaleHeight(), 0);
  box.Line(0, 0, 100, 100, 0xFF);
  box.Print("x");
}

TEST(PictureBox, TextPositionFollowsPrintsPointsAndLines) {
  WhiteBox box;
  const double h = box.TextHeight("Range"), w = box.TextWidth("Range");
  EXPECT_TRUE(h > 150 && h < 300) << h;  // about 11-pixel type
  EXPECT_TRUE(w > 300 && w < 800) << w;
  EXPECT_EQ(box.TextWidth(""), 0);
  EXPECT_DOUBLE_EQ(box.TextHeight("a\nb"), 2 * box.TextHeight("a"));
  EXPECT_DOUBLE_EQ(box.TextWidth("Range\nR"), w);

  box.SetCurrentX(300);
  box.SetCurrentY(150);
  box.Print("Range", false);
  EXPECT_EQ(std::make_pair(box.CurrentX(), box.CurrentY()), std::make_pair(300 + w, 150.0));
  box.Print("Range");
  EXPECT_EQ(std::make_pair(box.CurrentX(), box.CurrentY()), std::make_pair(0.0, 150 + h));
  box.Print("a\nb");
  EXPECT_DOUBLE_EQ(box.CurrentY(), 150 + 3 * h);
  box.PSet(120, 240, 0);
  EXPECT_EQ(std::make_pair(box.CurrentX(), box.CurrentY()), std::make_pair(120.0, 240.0));
  box.Line(0, 0, 450, 600, 0);
  EXPECT_EQ(std::make_pair(box.CurrentX(), box.CurrentY()), std::make_pair(450.0, 600.0));
  box.Cls();
  EXPECT_EQ(std::make_pair(box.CurrentX(), box.CurrentY()), std::make_pair(0.0, 0.0));
  EXPECT_EQ(InkBounds(box.Image()), QRect());

  // Text lands below and right of the position, in the box's font.
  box.SetFont(FontSpec{"Tahoma", 18});
  EXPECT_GT(box.TextWidth("Range"), 1.8 * w);
  box.SetCurrentX(450);
  box.SetCurrentY(300);
  box.Print("Range");
  const QRect ink = InkBounds(box.Image());
  EXPECT_GE(ink.left(), Dev(450) - 1);
  EXPECT_GE(ink.top(), Dev(300));
  EXPECT_LE(ink.bottom(), Dev(300 + box.TextHeight("Range")));
}

TEST(PictureBox, LinesAndPointsOnWholePixels) {
  WhiteBox box;
  box.Line(0, 150, 900, 150, 0x0000FF);  // 60 pixels, stopping short of the end
  box.PSet(300, 450, 0xFF0000);
  box.SetDrawWidth(2);
  box.PSet(900, 450, 0xFF0000);
  const QImage& im = box.Image();
  for (int x = 0; x < Dev(900); ++x)
    for (int k = 0; k < kPx; ++k) ASSERT_EQ(Px(im, x, Dev(150) + k), kRed) << x;
  EXPECT_EQ(Px(im, Dev(900), Dev(150)), kWhite);
  EXPECT_EQ(Px(im, 5, Dev(150) - 1), kWhite);
  EXPECT_EQ(Px(im, 5, Dev(150) + kPx), kWhite);
  EXPECT_EQ(InkBounds(im.copy(0, Dev(300), Dev(600), Dev(300))), QRect(Dev(300), Dev(150), kPx, kPx));
  const QRect wide = InkBounds(im.copy(Dev(600), Dev(300), Dev(900), Dev(300)));
  EXPECT_EQ(wide.size(), QSize(2 * kPx, 2 * kPx));
  EXPECT_EQ(Px(im, Dev(900), Dev(450)), qRgb(0, 0, 255));
}

TEST(PictureBox, OutlineOfTheStatusPanel) {
  // A 2-pixel pen from (15, 15) to (width - 15, height - 15) in the
  // complement of the dark teal, inside and clear of the edge.
  PictureBox box;
  box.PlaceTwips(9720, 4500, 3165, 1755);
  box.SetBackColor(0x404000);
  box.SetDrawWidth(2);
  box.Box(15, 15, box.ScaleWidth() - 15, box.ScaleHeight() - 15, ComplementColour(box.BackColor()));
  const QImage& im = box.Image();
  const QRgb outline = qRgb(0xFF, 0xBF, 0xBF), teal = qRgb(0, 0x40, 0x40);
  const int first = Dev(15), last = Dev(box.ScaleWidth() - 15) - 1, midY = im.height() / 2;
  for (int k = 0; k < 2 * kPx; ++k) {
    EXPECT_EQ(Px(im, first + k, midY), outline);
    EXPECT_EQ(Px(im, last - k, midY), outline);
    EXPECT_EQ(Px(im, im.width() / 2, first + k), outline);
  }
  EXPECT_EQ(Px(im, first - 1, midY), teal);
  EXPECT_EQ(Px(im, last + 1, midY), teal);
  EXPECT_EQ(Px(im, first + 2 * kPx, midY), teal);  // outline only
}

TEST(PictureBox, CircleIsARingAroundItsCentre) {
  WhiteBox box;
  box.Circle(600, 450, 300, 0x000000);  // 20 pixels in radius
  const QImage& im = box.Image();
  const int cx = Dev(600), cy = Dev(450), r = Dev(300);
  for (auto [x, y] : {std::pair{cx - r, cy}, {cx + r, cy}, {cx, cy - r}, {cx, cy + r}})
    EXPECT_TRUE(ColourNear(im, x, y, kBlack, kPx)) << x << "," << y;
  EXPECT_EQ(Px(im, cx, cy), kWhite);
  EXPECT_EQ(Px(im, cx - r / 2, cy), kWhite);
  EXPECT_NEAR(InkBounds(im).center().x(), cx, 1);
}

TEST(PictureBox, FarAndNonFiniteCoordinatesAreCutOrSkipped) {
  WhiteBox box;
  // A line to a point far off shows its part inside the box.
  box.Line(0, 300, 1e300, 300, 0x0000FF);
  EXPECT_EQ(Px(box.Image(), box.Image().width() - 1, Dev(300)), kRed);
  box.Line(600, 600, 600, kInf, 0x0000FF);
  EXPECT_EQ(Px(box.Image(), Dev(600), box.Image().height() - 1), kRed);
  box.Line(-1e308, 1e308, 1e308, -1e308, 0x0000FF);

  // What cannot be placed is skipped; the position still moves.
  const QImage before = box.Image().copy();
  box.Line(0, 0, kNaN, 100, 0x00FF00);
  EXPECT_TRUE(std::isnan(box.CurrentX()));
  box.Line(box.CurrentX(), box.CurrentY(), 300, 300, 0x00FF00);
  box.PSet(kNaN, 10, 0x00FF00);
  box.PSet(1e300, -1e300, 0x00FF00);
  box.Circle(kNaN, 100, 50, 0x00FF00);
  box.Circle(100, 100, kInf, 0x00FF00);
  box.Circle(100, 100, 1e200, 0x00FF00);
  box.Box(kNaN, 0, 100, 100, 0x00FF00);
  box.SetCurrentX(kNaN);
  box.Print("skipped");
  box.SetCurrentX(1e300);
  box.PrintRotated("skipped", FontSpec{}, 11, 900);
  box.SetCurrentY(kNaN);
  box.PrintRotated("x", FontSpec{}, kNaN, 900);
  EXPECT_EQ(box.Image(), before);
}

TEST(PictureBox, DrawingSurvivesHideShowRepaintAndGrowing) {
  QWidget window;
  window.resize(200, 120);
  auto* box = new WhiteBox(1500, 900, &window);
  box->PlaceTwips(150, 150, 1500, 900);
  box->SetBorder(true);
  box->Line(0, 300, 1500, 300, 0x0000FF);
  window.show();
  window.hide();
  window.show();
  box->repaint();
  QApplication::processEvents();
  QImage shot = box->grab().toImage();
  EXPECT_EQ(shot.width(), 100 * kPx);
  EXPECT_EQ(Px(shot, kPx + 3, kPx + Dev(300)), kRed);
  EXPECT_EQ(Px(shot, 0, 0), kBlack);      // the border
  EXPECT_EQ(Px(shot, kPx, kPx), kWhite);  // the drawing area inside it

  // Growing keeps what is there; the new area is background.
  box->PlaceTwips(150, 150, 2250, 1350);
  EXPECT_EQ(Px(box->Image(), 3, Dev(300)), kRed);
  EXPECT_EQ(Px(box->Image(), Dev(1800), Dev(300)), kWhite);
  EXPECT_EQ(Px(box->grab().toImage(), kPx + 3, kPx + Dev(300)), kRed);

  // A new background colour clears the box.
  box->SetBackColor(0x404000);
  EXPECT_EQ(InkBounds(box->Image(), qRgb(0, 0x40, 0x40)), QRect());
}

TEST(PictureBox, RotatedTextTurnsAboutItsStart) {
  WhiteBox box(6750, 3540);
  PrintRotatedText(box, "Scope Clicks", 900, 0.0, 2100.0);
  EXPECT_EQ(box.Font().size, 8.25);
  EXPECT_EQ(std::make_pair(box.CurrentX(), box.CurrentY()), std::make_pair(0.0, 2100 + box.TextHeight("")));
  // Upwards from the start in a narrow column, the first letter at the start.
  const QRect up = InkBounds(box.Image());
  const double length = Dev(box.TextWidth("Scope Clicks"));
  EXPECT_LE(up.right(), Dev(225));
  EXPECT_GT(up.height(), 4 * up.width());
  EXPECT_NEAR(up.height(), length, 0.25 * length);
  EXPECT_LE(up.bottom(), Dev(2100) + 1);
  EXPECT_GE(up.bottom(), Dev(2100) - 3 * kPx);

  box.Cls();
  PrintRotatedText(box, "Scope Clicks", 0, 300.0, 600.0);  // level: to the right
  const QRect level = InkBounds(box.Image());
  EXPECT_GT(level.width(), 4 * level.height());
  EXPECT_NEAR(level.left(), Dev(300), 2 * kPx);
  EXPECT_GE(level.top(), Dev(600));
}

TEST(GraphPixels, DefaultGraph) {
  GraphPanels gp;
  const State s = Estimated();
  gp.Draw(s);
  const QImage& im = gp.p5->Image();
  const double ys = 2565.0 / 90, xs = 5430.0 / 65;
  auto yOf = [&](double clicks) { return Dev(2565 - (clicks + 20) * ys); };

  // The zero line red, the other grid lines grey.
  EXPECT_EQ(Px(im, Dev(75), yOf(0)), kRed);
  EXPECT_EQ(Px(im, im.width() - 1, yOf(0)), kRed);
  EXPECT_EQ(Px(im, Dev(75), yOf(10)), kGrey);
  EXPECT_EQ(Px(im, Dev(75), yOf(-15)), kGrey);
  EXPECT_EQ(Px(im, Dev(5430 - 30 * xs), Dev(75)), kGrey);  // range 35
  EXPECT_EQ(Px(im, Dev(5430 - 60 * xs), Dev(75)), kGrey);  // range 5
  EXPECT_EQ(Px(im, Dev(180), Dev(356)), kWhite);

  // A ring around each data point.
  for (size_t i = 0; i < kRows; ++i) {
    const int cx = Dev(s.DataRange[i] * xs), cy = Dev(2595 - (s.DataClicks[i] + 20) * ys - 30), r = Dev(2 * ys);
    EXPECT_TRUE(ColourNear(im, cx, cy - r, kBlack, kPx) || ColourNear(im, cx, cy + r, kBlack, kPx)) << i;
  }

  // The red curve through the model's clicks, nothing of it left of range 5.
  for (int r : {10, 12, 16, 40, 50, 60})
    EXPECT_TRUE(ColourNear(im, Dev(r * xs), yOf(ClicksToDial(s.Params(), r, false)), kRed, 1 + kPx)) << r;
  for (int y = 0; y < im.height(); ++y) {
    if (std::abs(y - yOf(0)) > 1) {
      ASSERT_NE(Px(im, Dev(4 * xs), y), kRed) << y;
    }
  }

  // On P0: the title centred over the box, labels on both sides, the
  // clicks-axis title upwards along the left edge.
  const QImage& panel = gp.p0->Image();
  const QRect title = InkBounds(panel.copy(0, 0, panel.width(), Dev(400)));
  EXPECT_NEAR(title.center().x(), Dev(690 + 2730), 3 * kPx);
  EXPECT_GE(title.top(), Dev(90));
  const int row30 = Dev(450 + 40 * ys);
  EXPECT_FALSE(InkBounds(panel.copy(Dev(300), row30 - 3, Dev(300), 6)).isEmpty());
  EXPECT_FALSE(InkBounds(panel.copy(Dev(6150), row30 - 3, Dev(600), 6)).isEmpty());
  const QRect rotated = InkBounds(panel.copy(0, 0, Dev(300), panel.height()));
  EXPECT_GT(rotated.height(), 4 * rotated.width());
  EXPECT_LE(rotated.bottom(), Dev(2100) + 1);

  // The panel shown with the box on it, after being hidden and repainted.
  gp.window.show();
  gp.window.hide();
  gp.window.show();
  gp.p0->repaint();
  QApplication::processEvents();
  const QImage shot = gp.p0->grab().toImage();
  EXPECT_EQ(Px(shot, Dev(690) + kPx + Dev(75), Dev(450) + kPx + yOf(0)), kRed);
  EXPECT_EQ(Px(shot, Dev(690), Dev(450) + 10), kBlack);  // P5's border
  if (const char* path = std::getenv("VANTOREL_GRAPH_PNG")) shot.save(QString::fromLocal8Bit(path));
}

TEST(GraphPixels, RedrawReplacesTheGraphAndOddModelsKeepTheFrame) {
  GraphPanels gp;
  State s = Estimated();
  gp.Draw(s);
  const QImage first = gp.p5->Image().copy();
  s.MaxDataRange = 150;
  gp.Draw(s);
  s.MaxDataRange = 55;
  gp.Draw(s);
  EXPECT_EQ(gp.p5->Image(), first);

  // Models whose clicks are not finite or lie far beyond the axis.
  for (double mv : {kNaN, 1e-300, -1e-300}) {
    s.ModelMV = Variant::Number(mv);
    gp.Draw(s);
    EXPECT_EQ(Px(gp.p5->Image(), Dev(75), Dev(2565 - 20 * 28.5)), kRed) << mv;
  }
  s.ModelMV = Variant::Number(790);
  s.ModelBC = Variant::Number(-1e-3);
  gp.Draw(s);
}
