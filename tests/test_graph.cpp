// The graph and the rotated text, drawn on a surface that records every call.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "model/clicktable.h"
#include "model/trajectory.h"
#include "output/graph.h"
#include "output/rotatedtext.h"

using namespace vantorel;
using platform::Colour;
using platform::FontSpec;

namespace {

// One call on a surface, with the pen width at the time.
struct Call {
  enum Kind { Cls, Line, Box, PSet, Circle, Print, Rotated };
  Call(Kind k, double a = 0, double b = 0, double c = 0, double d = 0, Colour col = 0, std::string t = {})
      : kind(k), x1(a), y1(b), x2(c), y2(d), colour(col), text(std::move(t)) {}
  Kind kind;
  double x1, y1, x2, y2;  // Circle: x1, y1 centre, x2 radius
  Colour colour;
  std::string text;
  int width = 0;
  FontSpec font;  // Rotated: the font handed over
  double pixelHeight = 0;
  int angle = 0;
};

// A surface with fixed text metrics (45 twips a character, 195 a line) that
// keeps the text position as the program's surfaces do.
class RecordingSurface : public platform::Surface {
 public:
  RecordingSurface(double w, double h, std::vector<std::pair<const RecordingSurface*, Call>>* log = nullptr)
      : w_(w), h_(h), log_(log) {}

  std::vector<Call> calls;

  std::vector<Call> Of(Call::Kind k) const {
    std::vector<Call> out;
    for (const Call& c : calls)
      if (c.kind == k) out.push_back(c);
    return out;
  }

  double ScaleWidth() const override { return w_; }
  double ScaleHeight() const override { return h_; }
  void Cls() override {
    x_ = y_ = 0;
    Add({Call::Cls});
  }
  void SetDrawWidth(int p) override { width_ = p; }
  int DrawWidth() const override { return width_; }
  void Line(double x1, double y1, double x2, double y2, Colour c) override {
    x_ = x2;
    y_ = y2;
    Add({Call::Line, x1, y1, x2, y2, c});
  }
  void Box(double x1, double y1, double x2, double y2, Colour c) override { Add({Call::Box, x1, y1, x2, y2, c}); }
  void PSet(double x, double y, Colour c) override {
    x_ = x;
    y_ = y;
    Add({Call::PSet, x, y, 0, 0, c});
  }
  void Circle(double x, double y, double r, Colour c) override { Add({Call::Circle, x, y, r, 0, c}); }
  double CurrentX() const override { return x_; }
  double CurrentY() const override { return y_; }
  void SetCurrentX(double x) override { x_ = x; }
  void SetCurrentY(double y) override { y_ = y; }
  const FontSpec& Font() const override { return font_; }
  void SetFont(const FontSpec& f) override { font_ = f; }
  Colour ForeColor() const override { return fore_; }
  void SetForeColor(Colour c) override { fore_ = c; }
  double TextWidth(std::string_view t) const override { return 45.0 * static_cast<double>(t.size()); }
  double TextHeight(std::string_view) const override { return 195.0; }
  void Print(std::string_view t, bool endLine) override {
    Add({Call::Print, x_, y_, 0, 0, fore_, std::string(t)});
    if (endLine) {
      x_ = 0;
      y_ += 195;
    } else {
      x_ += TextWidth(t);
    }
  }
  void PrintRotated(std::string_view t, const FontSpec& f, double px, int angle) override {
    Call c{Call::Rotated, x_, y_, 0, 0, fore_, std::string(t)};
    c.font = f;
    c.pixelHeight = px;
    c.angle = angle;
    Add(c);
    x_ = 0;
    y_ += 195;
  }
  int DpiY() const override { return dpi_; }

  int dpi_ = 96;
  Colour fore_ = 0x000000;

 private:
  void Add(Call c) {
    c.width = width_;
    calls.push_back(c);
    if (log_) log_->push_back({this, c});
  }
  double w_, h_;
  std::vector<std::pair<const RecordingSurface*, Call>>* log_;
  double x_ = 0, y_ = 0;
  int width_ = 1;
  FontSpec font_;
};

constexpr platform::BoxGeometry kP5Outer{690, 450, 5460, 2595};
constexpr double kP0Height = 3540;
constexpr Colour kGrey = 0x808080;
constexpr Colour kRed = 0x0000FF;

// P0 and P5 at their sizes at 96 dots per inch, sharing one log of calls.
struct Graph {
  std::vector<std::pair<const RecordingSurface*, Call>> log;
  RecordingSurface p0{6750, 3540, &log};
  RecordingSurface p5{5430, 2565, &log};
  GraphScale g;

  void Setup(const State& s) { Setup_P5(s, p0, p5, kP5Outer, kP0Height, g); }
  void Draw(const State& s) {
    Setup(s);
    Update_P5(s, p5, g, 255);
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const Call& c : p0.Of(Call::Print)) out.push_back(c.text);
    return out;
  }
  // The ranges at which the vertical grid lines stand.
  std::vector<double> VerticalGridRanges() const {
    std::vector<double> out;
    for (const Call& c : p5.Of(Call::Line))
      if (c.x1 == c.x2 && c.colour == kGrey) out.push_back(c.x1 / g.GraphXScale);
    return out;
  }
  // Horizontal grid lines as (clicks, colour).
  std::vector<std::pair<double, Colour>> HorizontalGrid() const {
    std::vector<std::pair<double, Colour>> out;
    for (const Call& c : p5.Of(Call::Line))
      if (c.y1 == c.y2 && c.width == 1) out.push_back({(p5.ScaleHeight() - c.y1) / g.GraphYScale + g.GraphYMin, c.colour});
    return out;
  }
};

State Estimated() {
  State s = DefaultState();
  PseudoCalc(s);
  return s;
}

std::vector<std::string> Numbers(int from, int to, int step) {
  std::vector<std::string> out;
  for (int v = from; v <= to; v += step) out.push_back(std::to_string(v));
  return out;
}

std::vector<double> Ranges(int from, int to, int step) {
  std::vector<double> out;
  for (int v = from; step > 0 ? v <= to : v >= to; v += step) out.push_back(v);
  return out;
}

void ExpectNear(const std::vector<double>& got, const std::vector<double>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-9) << "at " << i;
}

}  // namespace

// ---------------------------------------------------------------------------
// The graph for the default data: six ticked points, MaxDataRange 55,
// MaxDataClicks 52, MinTableClicks -2.

TEST(GraphDefault, ExtentsAndScales) {
  const State s = Estimated();
  ASSERT_EQ(s.MaxDataRange, 55);
  ASSERT_EQ(s.MaxDataClicks, 52);
  ASSERT_EQ(s.MinTableClicks, -2);
  Graph gr;
  gr.Setup(s);
  EXPECT_EQ(gr.g.GraphXMin, 0);
  EXPECT_EQ(gr.g.GraphXMax, 65);
  EXPECT_EQ(gr.g.GraphYMax, 70);
  EXPECT_EQ(gr.g.GraphYMin, -20);
  EXPECT_DOUBLE_EQ(gr.g.GraphXScale, 5430.0 / 65);
  EXPECT_DOUBLE_EQ(gr.g.GraphYScale, 2565.0 / 90);
}

TEST(GraphDefault, ClearsP5ThenP0BeforeDrawingAnything) {
  Graph gr;
  gr.Setup(Estimated());
  ASSERT_GE(gr.log.size(), 2u);
  EXPECT_EQ(gr.log[0].first, &gr.p5);
  EXPECT_EQ(gr.log[0].second.kind, Call::Cls);
  EXPECT_EQ(gr.log[1].first, &gr.p0);
  EXPECT_EQ(gr.log[1].second.kind, Call::Cls);
  EXPECT_EQ(gr.p5.Of(Call::Cls).size(), 1u);
  EXPECT_EQ(gr.p0.Of(Call::Cls).size(), 1u);
}

TEST(GraphDefault, GridLinesWithTheZeroLineRed) {
  Graph gr;
  gr.Setup(Estimated());
  const auto grid = gr.HorizontalGrid();
  ASSERT_EQ(grid.size(), 18u);  // -20, -15, ..., 65: the top edge gets none
  for (size_t i = 0; i < grid.size(); ++i) {
    const double c = -20 + 5.0 * static_cast<double>(i);
    EXPECT_NEAR(grid[i].first, c, 1e-9);
    EXPECT_EQ(grid[i].second, c == 0 ? kRed : kGrey) << "clicks " << c;
  }
  for (const Call& c : gr.p5.Of(Call::Line)) {
    EXPECT_EQ(c.width, 1);
    if (c.y1 == c.y2) {
      EXPECT_EQ(c.x1, 0);
      EXPECT_EQ(c.x2, 5430);
    } else {
      EXPECT_EQ(c.y1, 0);
      EXPECT_EQ(c.y2, 2565);
    }
  }
  // The zero line sits 20 clicks above the bottom edge.
  EXPECT_DOUBLE_EQ(gr.p5.Of(Call::Line)[4].y1, 2565 - 20 * 28.5);
  // Vertical lines are counted from the right-hand edge.
  ExpectNear(gr.VerticalGridRanges(), Ranges(60, 5, -5));
}

TEST(GraphDefault, MarkersOnTheOuterHeightLessThirty) {
  const State s = Estimated();
  Graph gr;
  gr.p5.fore_ = 0x123456;
  gr.Setup(s);
  const auto circles = gr.p5.Of(Call::Circle);
  ASSERT_EQ(circles.size(), 6u);
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_DOUBLE_EQ(circles[i].x1, s.DataRange[i] * (5430.0 / 65));
    EXPECT_DOUBLE_EQ(circles[i].y1, 2595 - (s.DataClicks[i] + 20) * 28.5 - 30);
    EXPECT_DOUBLE_EQ(circles[i].x2, 57);  // two clicks
    EXPECT_EQ(circles[i].colour, 0x123456u);
    EXPECT_EQ(circles[i].width, 1);
  }

  // The height comes from the outer box, not the inner one: on a box whose
  // border is not one pixel the two part.
  RecordingSurface p0(6750, 3540), thickP5(5430, 2555);
  GraphScale g;
  Setup_P5(s, p0, thickP5, kP5Outer, kP0Height, g);
  EXPECT_DOUBLE_EQ(thickP5.Of(Call::Circle)[0].y1, 2595 - (52 + 20) * (2555.0 / 90) - 30);
}

TEST(GraphDefault, TitlesAndTickLabelsOnP0) {
  Graph gr;
  gr.Setup(Estimated());
  const auto prints = gr.p0.Of(Call::Print);

  std::vector<std::string> want = {"Graph showing Clicks v. Range (Yard)"};
  for (const auto& r : Numbers(0, 60, 10)) want.push_back(r);
  want.push_back("Range (Yard)");
  for (const auto& c : Numbers(-20, 70, 10)) {
    want.push_back(c);
    want.push_back(c);
  }
  EXPECT_EQ(gr.Texts(), want);

  // The title is centred over the plotting box, not over the panel.
  const Call& title = prints[0];
  EXPECT_EQ(title.y1, 90);
  EXPECT_DOUBLE_EQ(title.x1 + 45.0 * title.text.size() / 2, 690 + 5460 / 2.0);

  // Range labels just below the box, centred on their range plus 30 twips.
  for (int i = 0; i <= 6; ++i) {
    const Call& label = prints[static_cast<size_t>(1 + i)];
    EXPECT_EQ(label.y1, 450 + 2595);
    EXPECT_DOUBLE_EQ(label.x1 + 45.0 * label.text.size() / 2, 690 + 10 * i * (5430.0 / 65) + 30);
  }

  const Call& rangeTitle = prints[8];
  EXPECT_EQ(rangeTitle.y1, 3540 - 195 - 30);
  EXPECT_DOUBLE_EQ(rangeTitle.x1 + 45.0 * rangeTitle.text.size() / 2, 690 + 5460 / 2.0);

  // Clicks labels: right-aligned 90 twips left of the box and at 360 twips
  // past its right edge, centred on their height.
  for (int i = 0; i < 10; ++i) {
    const Call& left = prints[static_cast<size_t>(9 + 2 * i)];
    const Call& right = prints[static_cast<size_t>(10 + 2 * i)];
    const double c = -20 + 10 * i;
    const double y = 450 + (70 - c) * 28.5 - 195 / 2.0;
    EXPECT_DOUBLE_EQ(left.y1, y);
    EXPECT_DOUBLE_EQ(right.y1, y);
    EXPECT_DOUBLE_EQ(left.x1 + 45.0 * left.text.size(), 690 - 90);
    EXPECT_DOUBLE_EQ(right.x1 + 45.0 * right.text.size(), 690 + 5460 + 360);
  }
}

TEST(GraphDefault, ClicksAxisTitleReadsUpwardsFromTheLeftEdge) {
  Graph gr;
  gr.Setup(Estimated());
  const auto rotated = gr.p0.Of(Call::Rotated);
  ASSERT_EQ(rotated.size(), 1u);
  EXPECT_EQ(rotated[0].text, "Scope Clicks");
  EXPECT_EQ(rotated[0].angle, 900);
  EXPECT_EQ(rotated[0].x1, 0);
  EXPECT_EQ(rotated[0].y1, 2100);
  EXPECT_EQ(rotated[0].font.name, "Tahoma");
  EXPECT_EQ(rotated[0].font.size, 8);
  EXPECT_EQ(rotated[0].pixelHeight, 11);
  EXPECT_EQ(gr.log.back().second.kind, Call::Rotated);  // the last thing drawn
}

TEST(GraphDefault, CurveFromRangeFiveToGraphXMax) {
  const State s = Estimated();
  Graph gr;
  gr.Draw(s);
  const auto all = gr.p5.calls;
  const auto psets = gr.p5.Of(Call::PSet);
  ASSERT_EQ(psets.size(), 1u);
  EXPECT_EQ(psets[0].width, 2);
  EXPECT_EQ(psets[0].colour, 255u);

  auto expected = [&](int r) {
    const double v = ClicksToDial(s.Params(), r, false);
    return std::pair{r * (5430.0 / 65), 2565 - (v + 20) * 28.5};
  };
  EXPECT_DOUBLE_EQ(psets[0].x1, expected(5).first);
  EXPECT_DOUBLE_EQ(psets[0].y1, expected(5).second);

  // After the PSet: one segment per range from 5 to 65, each starting where
  // the last one ended, the first of zero length.
  size_t at = 0;
  while (all[at].kind != Call::PSet) ++at;
  ASSERT_EQ(all.size() - at - 1, 61u);
  double px = psets[0].x1, py = psets[0].y1;
  for (int r = 5; r <= 65; ++r) {
    const Call& seg = all[at + 1 + static_cast<size_t>(r - 5)];
    ASSERT_EQ(seg.kind, Call::Line);
    EXPECT_EQ(seg.width, 2);
    EXPECT_EQ(seg.colour, 255u);
    EXPECT_EQ(seg.x1, px);
    EXPECT_EQ(seg.y1, py);
    EXPECT_DOUBLE_EQ(seg.x2, expected(r).first);
    EXPECT_DOUBLE_EQ(seg.y2, expected(r).second);
    px = seg.x2;
    py = seg.y2;
  }
  EXPECT_DOUBLE_EQ(all.back().x2, 5430);
}

TEST(GraphDefault, SetupPutsTheLineWidthBackAfterACurve) {
  const State s = Estimated();
  Graph gr;
  gr.Draw(s);
  EXPECT_EQ(gr.p5.DrawWidth(), 2);
  gr.Setup(s);
  EXPECT_EQ(gr.p5.DrawWidth(), 1);
}

// ---------------------------------------------------------------------------
// Other data.

TEST(GraphCases, NoPointTicked) {
  State s = DefaultState();
  s.Ticked = {0, 0, 0, 0, 0, 0};
  PseudoCalc(s);
  Graph gr;
  gr.Draw(s);
  EXPECT_EQ(gr.g.GraphXMax, 10);
  EXPECT_EQ(gr.g.GraphYMax, 10);
  const auto texts = gr.Texts();
  EXPECT_EQ(texts[1], "0");
  EXPECT_EQ(texts[2], "10");
  EXPECT_EQ(texts[3], "Range (Yard)");
  ExpectNear(gr.VerticalGridRanges(), {5});
  EXPECT_TRUE(gr.p5.Of(Call::Circle).empty());
  const auto lines = gr.p5.Of(Call::Line);
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const Call& c) { return c.width == 2; }), 6);  // 5 to 10
  EXPECT_DOUBLE_EQ(lines.back().x2, 5430);
}

TEST(GraphCases, OnlyTickValueOneDrawsAMarker) {
  State s = Estimated();
  s.Ticked = {1, 0, 2, 1, -1, 0};
  Graph gr;
  gr.Setup(s);
  const auto circles = gr.p5.Of(Call::Circle);
  ASSERT_EQ(circles.size(), 2u);
  EXPECT_DOUBLE_EQ(circles[0].x1, 10 * gr.g.GraphXScale);
  EXPECT_DOUBLE_EQ(circles[1].x1, 40 * gr.g.GraphXScale);
}

TEST(GraphCases, RangeLabelStepFollowsMaxDataRange) {
  struct Case {
    int maxRange;
    std::vector<std::string> labels;
  } cases[] = {
      {100, Numbers(0, 110, 10)},
      {101, Numbers(0, 100, 20)},
      {150, Numbers(0, 160, 20)},
      {200, Numbers(0, 200, 20)},
  };
  for (const Case& c : cases) {
    State s = Estimated();
    s.MaxDataRange = c.maxRange;
    Graph gr;
    gr.Setup(s);
    const auto texts = gr.Texts();
    const std::vector<std::string> labels(texts.begin() + 1, texts.begin() + 1 + static_cast<long>(c.labels.size()));
    EXPECT_EQ(labels, c.labels) << "MaxDataRange " << c.maxRange;
    EXPECT_EQ(texts[1 + c.labels.size()], "Range (Yard)") << "MaxDataRange " << c.maxRange;
  }
}

TEST(GraphCases, VerticalGridCountsFromTheRightEdge) {
  State s = Estimated();
  s.MaxDataRange = 53;
  Graph gr;
  gr.Draw(s);
  EXPECT_EQ(gr.g.GraphXMax, 63);
  ExpectNear(gr.VerticalGridRanges(), Ranges(58, 3, -5));
  const auto texts = gr.Texts();
  EXPECT_EQ(std::vector<std::string>(texts.begin() + 1, texts.begin() + 8), Numbers(0, 60, 10));
  // The curve follows MaxDataRange: ranges 5 to 63.
  const auto lines = gr.p5.Of(Call::Line);
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const Call& c) { return c.width == 2; }), 59);
}

TEST(GraphCases, ClicksAxisEndsOnMultiplesOfTen) {
  struct Case {
    int maxClicks, minTable;
    double yMax, yMin;
  } cases[] = {
      {52, -2, 70, -20},  {0, 0, 10, -10},    {50, -10, 60, -20},        {1, -1, 20, -20},
      {9, -9, 20, -20},   {30, 35, 40, 20},   {32767, -32768, 32780, -32780},
  };
  for (const Case& c : cases) {
    State s = Estimated();
    s.MaxDataClicks = c.maxClicks;
    s.MinTableClicks = c.minTable;
    Graph gr;
    gr.Setup(s);
    EXPECT_EQ(gr.g.GraphYMax, c.yMax) << c.maxClicks;
    EXPECT_EQ(gr.g.GraphYMin, c.yMin) << c.minTable;
    EXPECT_DOUBLE_EQ(gr.g.GraphYScale, 2565 / (c.yMax - c.yMin));
  }
}

TEST(GraphCases, MetricTitlesEndInMetres) {
  State s = Estimated();
  s.MetricUnits = true;
  Graph gr;
  gr.Setup(s);
  const auto texts = gr.Texts();
  EXPECT_EQ(texts.front(), "Graph showing Clicks v. Range (m)");
  EXPECT_EQ(texts[8], "Range (m)");
  EXPECT_EQ(GraphTitle(false), "Graph showing Clicks v. Range (Yard)");
  EXPECT_EQ(RangeAxisTitle(false), "Range (Yard)");
}

TEST(GraphCases, OddStateStaysBoundedAndPassesNonFiniteCurvePointsOn) {
  // Extents far outside what 16-bit data can give are held to that range,
  // so the loops stay short; a model with no finite clicks still draws its
  // (skipped) points without failing.
  State s = Estimated();
  s.MaxDataRange = INT_MAX;
  s.MaxDataClicks = INT_MAX;
  s.MinTableClicks = INT_MIN;
  s.ModelMV = Variant::Number(std::numeric_limits<double>::quiet_NaN());
  Graph gr;
  gr.Draw(s);
  EXPECT_EQ(gr.g.GraphXMax, 32767 + 10);
  EXPECT_EQ(gr.g.GraphYMax, 32780);
  EXPECT_EQ(gr.g.GraphYMin, -32780);
  EXPECT_LT(gr.p5.calls.size(), 60000u);
  const auto psets = gr.p5.Of(Call::PSet);
  ASSERT_EQ(psets.size(), 1u);
  EXPECT_TRUE(std::isnan(psets[0].y1));
}

// ---------------------------------------------------------------------------
// The rotated font description and PrintRotatedText.

TEST(RotatedFont, WholePointsRoundHalvesToEven) {
  EXPECT_EQ(WholePoints(8.25), 8);
  EXPECT_EQ(WholePoints(8.5), 8);
  EXPECT_EQ(WholePoints(9.5), 10);
  EXPECT_EQ(WholePoints(10.5), 10);
  EXPECT_EQ(WholePoints(14.25), 14);
  EXPECT_EQ(WholePoints(std::nan("")), 0);
  EXPECT_EQ(WholePoints(-3), 0);
  EXPECT_EQ(WholePoints(1e300), 32767);
  EXPECT_EQ(WholePoints(std::numeric_limits<double>::infinity()), 32767);
}

TEST(RotatedFont, MulDivRoundsToNearestAndReportsFailure) {
  EXPECT_EQ(MulDiv(8, 96, 72), 11);    // 10.67
  EXPECT_EQ(MulDiv(10, 96, 72), 13);   // 13.33
  EXPECT_EQ(MulDiv(3, 1, 2), 2);       // halves away from zero
  EXPECT_EQ(MulDiv(-3, 1, 2), -2);
  EXPECT_EQ(MulDiv(3, -1, -2), 2);
  EXPECT_EQ(MulDiv(5, 5, 0), -1);
  EXPECT_EQ(MulDiv(INT32_MAX, INT32_MAX, INT32_MAX), INT32_MAX);  // no intermediate overflow
  EXPECT_EQ(MulDiv(INT32_MIN, INT32_MIN, INT32_MIN), INT32_MIN);
  EXPECT_EQ(MulDiv(INT32_MAX, 2, 1), -1);
}

TEST(RotatedFont, FieldsForTheGraphPanel) {
  const LogFont lf = RotatedFontFor(FontSpec{"Tahoma", 8.25}, 96, 900);
  EXPECT_EQ(lf.height, -11);
  EXPECT_EQ(lf.width, 0);
  EXPECT_EQ(lf.escapement, 900);
  EXPECT_EQ(lf.orientation, 900);
  EXPECT_EQ(lf.weight, 400);
  EXPECT_EQ(lf.italic, 0);
  EXPECT_EQ(lf.underline, 0);
  EXPECT_EQ(lf.strikeOut, 0);
  EXPECT_EQ(lf.charSet, 0);
  EXPECT_EQ(lf.outPrecision, 0);
  EXPECT_EQ(lf.clipPrecision, 0);
  EXPECT_EQ(lf.quality, 2);
  EXPECT_EQ(lf.pitchAndFamily, 33);
  EXPECT_EQ(std::string(lf.faceName.data(), lf.faceName.size()), std::string("Tahoma") + '\0' + std::string(25, ' '));
  EXPECT_EQ(FaceNameOf(lf), "Tahoma");
}

TEST(RotatedFont, StyleSizeAndDensity) {
  FontSpec f{"Tahoma", 9.5, true, true, true, true};
  LogFont lf = RotatedFontFor(f, 96, -450);
  EXPECT_EQ(lf.height, -13);  // 10 points: 13.33 pixels
  EXPECT_EQ(lf.weight, 700);
  EXPECT_EQ(lf.italic, 1);
  EXPECT_EQ(lf.underline, 1);
  EXPECT_EQ(lf.strikeOut, 1);
  EXPECT_EQ(lf.escapement, -450);
  EXPECT_EQ(lf.orientation, -450);
  EXPECT_EQ(RotatedFontFor(FontSpec{"Tahoma", 8.25}, 120, 0).height, -13);  // 13.33
  EXPECT_EQ(RotatedFontFor(FontSpec{"Tahoma", 8.25}, 144, 0).height, -16);
  EXPECT_EQ(RotatedFontFor(FontSpec{"Tahoma", 8.25}, 0, 0).height, 0);
  EXPECT_EQ(RotatedFontFor(FontSpec{"Tahoma", std::nan("")}, 96, 0).height, 0);
}

TEST(RotatedFont, FaceNameIsCutPaddedAndAnsi) {
  const std::string longName(40, 'x');
  LogFont lf = RotatedFontFor(FontSpec{longName, 8}, 96, 0);
  EXPECT_EQ(std::string(lf.faceName.data(), 32), std::string(32, 'x'));  // no room for the NUL
  EXPECT_EQ(FaceNameOf(lf), std::string(32, 'x'));

  lf = RotatedFontFor(FontSpec{std::string(31, 'y'), 8}, 96, 0);
  EXPECT_EQ(lf.faceName[30], 'y');
  EXPECT_EQ(lf.faceName[31], '\0');

  // Characters count, not bytes; those outside Windows-1252 become '?'.
  lf = RotatedFontFor(FontSpec{"Caf\xC3\xA9 \xE2\x82\xAC \xE6\x97\xA5", 8}, 96, 0);
  EXPECT_EQ(lf.faceName[3], '\xE9');
  EXPECT_EQ(lf.faceName[5], '\x80');
  EXPECT_EQ(lf.faceName[7], '?');
  EXPECT_EQ(lf.faceName[8], '\0');
  EXPECT_EQ(lf.faceName[9], ' ');
  EXPECT_EQ(FaceNameOf(lf), "Caf\xC3\xA9 \xE2\x82\xAC ?");
}

TEST(RotatedText, PrintsAtTheGivenPositionInTheRoundedFont) {
  RecordingSurface s(1000, 1000);
  FontSpec own{"Tahoma", 8.25, true, false, true, false};
  s.SetFont(own);
  s.SetCurrentX(5);
  s.SetCurrentY(7);
  PrintRotatedText(s, "Scope Clicks", 900, 0.0, 2100.0);
  ASSERT_EQ(s.calls.size(), 1u);
  const Call& c = s.calls[0];
  EXPECT_EQ(c.kind, Call::Rotated);
  EXPECT_EQ(c.x1, 0);
  EXPECT_EQ(c.y1, 2100);
  EXPECT_EQ(c.angle, 900);
  EXPECT_EQ(c.pixelHeight, 11);
  EXPECT_EQ(c.font.name, "Tahoma");
  EXPECT_EQ(c.font.size, 8);
  EXPECT_TRUE(c.font.bold);
  EXPECT_TRUE(c.font.underline);
  EXPECT_FALSE(c.font.italic);
  // The surface's own font is untouched and the line has ended.
  EXPECT_EQ(s.Font().size, 8.25);
  EXPECT_TRUE(s.Font().bold);
  EXPECT_EQ(s.CurrentX(), 0);
  EXPECT_EQ(s.CurrentY(), 2100 + 195);
}

TEST(RotatedText, OmittedCoordinatesKeepTheCurrentPosition) {
  RecordingSurface s(1000, 1000);
  s.SetCurrentX(300);
  s.SetCurrentY(400);
  PrintRotatedText(s, "a", 0);
  PrintRotatedText(s, "b", 0, 50.0);
  PrintRotatedText(s, "c", 0, std::nullopt, 60.0);
  ASSERT_EQ(s.calls.size(), 3u);
  EXPECT_EQ(s.calls[0].x1, 300);
  EXPECT_EQ(s.calls[0].y1, 400);
  EXPECT_EQ(s.calls[1].x1, 50);
  EXPECT_EQ(s.calls[1].y1, 400 + 195);
  EXPECT_EQ(s.calls[2].x1, 0);
  EXPECT_EQ(s.calls[2].y1, 60);
}

TEST(RotatedText, DensityComesFromTheSurface) {
  RecordingSurface s(1000, 1000);
  s.dpi_ = 120;
  s.SetFont(FontSpec{"Tahoma", 14.25});
  PrintRotatedText(s, "x", 900);
  EXPECT_EQ(s.calls[0].pixelHeight, 23);  // 14 x 120 / 72 = 23.3
  EXPECT_EQ(s.calls[0].font.size, 14);
}
