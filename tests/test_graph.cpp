// The graph and the rotated text, drawn on a surface that records every call.
#include <gtest/gtest.h>

#include <algorithm>
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

struct Call {
  enum Kind { Cls, Line, PSet, Circle, Print, Rotated } kind;
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // Circle: centre and radius in x2
  Colour colour = 0;
  std::string text{};
  int width = 0;  // pen width at the time
  FontSpec font{};
  double pixelHeight = 0;
  int angle = 0;
};

// A surface with fixed text metrics (45 twips a character, 195 a line) that
// keeps the text position as the program's surfaces do. Calls on several
// surfaces may share one log, to check their order.
class RecordingSurface : public platform::Surface {
 public:
  RecordingSurface(double w, double h, std::vector<std::pair<const void*, Call::Kind>>* log = nullptr)
      : w_(w), h_(h), log_(log) {}
  std::vector<Call> calls;
  int dpi = 96;
  Colour fore = 0;

  std::vector<Call> Of(Call::Kind k) const {
    std::vector<Call> out;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(out), [k](const Call& c) { return c.kind == k; });
    return out;
  }
  double ScaleWidth() const override { return w_; }
  double ScaleHeight() const override { return h_; }
  void Cls() override {
    Add({Call::Cls});
    x_ = y_ = 0;
  }
  void SetDrawWidth(int p) override { width_ = p; }
  int DrawWidth() const override { return width_; }
  void Line(double x1, double y1, double x2, double y2, Colour c) override {
    Add({Call::Line, x1, y1, x2, y2, c});
    x_ = x2;
    y_ = y2;
  }
  void Box(double, double, double, double, Colour) override { ADD_FAILURE() << "the graph draws no rectangle"; }
  void PSet(double x, double y, Colour c) override {
    Add({Call::PSet, x, y, 0, 0, c});
    x_ = x;
    y_ = y;
  }
  void Circle(double x, double y, double r, Colour c) override { Add({Call::Circle, x, y, r, 0, c}); }
  double CurrentX() const override { return x_; }
  double CurrentY() const override { return y_; }
  void SetCurrentX(double x) override { x_ = x; }
  void SetCurrentY(double y) override { y_ = y; }
  const FontSpec& Font() const override { return font_; }
  void SetFont(const FontSpec& f) override { font_ = f; }
  Colour ForeColor() const override { return fore; }
  void SetForeColor(Colour c) override { fore = c; }
  double TextWidth(std::string_view t) const override { return 45.0 * static_cast<double>(t.size()); }
  double TextHeight(std::string_view) const override { return 195.0; }
  void Print(std::string_view t, bool endLine) override {
    Add({Call::Print, x_, y_, 0, 0, fore, std::string(t)});
    x_ = endLine ? 0 : x_ + TextWidth(t);
    y_ += endLine ? 195 : 0;
  }
  void PrintRotated(std::string_view t, const FontSpec& f, double px, int angle) override {
    Add({Call::Rotated, x_, y_, 0, 0, fore, std::string(t), 0, f, px, angle});
    x_ = 0;
    y_ += 195;
  }
  int DpiY() const override { return dpi; }

 private:
  void Add(Call c) {
    c.width = width_;
    calls.push_back(c);
    if (log_) log_->push_back({this, c.kind});
  }
  double w_, h_;
  std::vector<std::pair<const void*, Call::Kind>>* log_;
  double x_ = 0, y_ = 0;
  int width_ = 1;
  FontSpec font_;
};

constexpr Colour kGrey = 0x808080, kRed = 0x0000FF;

// P0 and P5 at their sizes at 96 dots per inch.
struct Graph {
  std::vector<std::pair<const void*, Call::Kind>> log;
  RecordingSurface p0{6750, 3540, &log};
  RecordingSurface p5{5430, 2565, &log};
  GraphScale g;

  explicit Graph(const State& s, bool curve = true) {
    Setup_P5(s, p0, p5, {690, 450, 5460, 2595}, 3540, g);
    if (curve) Update_P5(s, p5, g, 255);
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const Call& c : p0.Of(Call::Print)) out.push_back(c.text);
    return out;
  }
  // Grid lines: vertical ones as ranges, horizontal ones as (clicks, colour).
  std::vector<double> VerticalRanges() const {
    std::vector<double> out;
    for (const Call& c : p5.Of(Call::Line))
      if (c.width == 1 && c.x1 == c.x2) out.push_back(c.x1 / g.GraphXScale);
    return out;
  }
  std::vector<std::pair<double, Colour>> Horizontal() const {
    std::vector<std::pair<double, Colour>> out;
    for (const Call& c : p5.Of(Call::Line))
      if (c.width == 1 && c.y1 == c.y2) out.push_back({(2565 - c.y1) / g.GraphYScale + g.GraphYMin, c.colour});
    return out;
  }
  int CurveSegments() const {
    const auto lines = p5.Of(Call::Line);
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [](const Call& c) { return c.width == 2; }));
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

void ExpectRanges(const std::vector<double>& got, int from, int to) {  // from, from - 5, ..., to
  ASSERT_EQ(got.size(), static_cast<size_t>((from - to) / 5 + 1));
  for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], from - 5.0 * static_cast<double>(i), 1e-9);
}

}  // namespace

// ---------------------------------------------------------------------------
// The default data: six ticked points, MaxDataRange 55, MaxDataClicks 52,
// MinTableClicks -2.

TEST(GraphDefault, ExtentsScalesAndClearing) {
  const State s = Estimated();
  ASSERT_EQ(s.MaxDataRange, 55);
  ASSERT_EQ(s.MaxDataClicks, 52);
  ASSERT_EQ(s.MinTableClicks, -2);
  Graph gr(s, false);
  EXPECT_EQ(gr.g.GraphXMin, 0);
  EXPECT_EQ(gr.g.GraphXMax, 65);
  EXPECT_EQ(gr.g.GraphYMax, 70);
  EXPECT_EQ(gr.g.GraphYMin, -20);
  EXPECT_DOUBLE_EQ(gr.g.GraphXScale, 5430.0 / 65);
  EXPECT_DOUBLE_EQ(gr.g.GraphYScale, 2565.0 / 90);
  // P5 is cleared, then P0, before anything is drawn; each once.
  ASSERT_GE(gr.log.size(), 3u);
  EXPECT_EQ(gr.log[0], std::make_pair(static_cast<const void*>(&gr.p5), Call::Cls));
  EXPECT_EQ(gr.log[1], std::make_pair(static_cast<const void*>(&gr.p0), Call::Cls));
  EXPECT_EQ(gr.p5.Of(Call::Cls).size() + gr.p0.Of(Call::Cls).size(), 2u);
}

TEST(GraphDefault, GridWithTheZeroLineRed) {
  Graph gr(Estimated(), false);
  const auto grid = gr.Horizontal();
  ASSERT_EQ(grid.size(), 18u);  // -20, -15, ..., 65: the top edge gets none
  for (size_t i = 0; i < grid.size(); ++i) {
    const double c = -20 + 5.0 * static_cast<double>(i);
    EXPECT_NEAR(grid[i].first, c, 1e-9);
    EXPECT_EQ(grid[i].second, c == 0 ? kRed : kGrey) << "clicks " << c;
  }
  ExpectRanges(gr.VerticalRanges(), 60, 5);  // counted from the right-hand edge
  for (const Call& c : gr.p5.Of(Call::Line)) {
    EXPECT_EQ(c.width, 1);
    if (c.y1 == c.y2) {
      EXPECT_TRUE(c.x1 == 0 && c.x2 == 5430);
    } else {
      EXPECT_TRUE(c.y1 == 0 && c.y2 == 2565 && c.colour == kGrey);
    }
  }
}

TEST(GraphDefault, MarkersForTickedPointsOnTheOuterHeight) {
  State s = Estimated();
  {
    Graph gr(s, false);
    const auto circles = gr.p5.Of(Call::Circle);
    ASSERT_EQ(circles.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
      EXPECT_DOUBLE_EQ(circles[i].x1, s.DataRange[i] * (5430.0 / 65));
      EXPECT_DOUBLE_EQ(circles[i].y1, 2595 - (s.DataClicks[i] + 20) * 28.5 - 30);
      EXPECT_DOUBLE_EQ(circles[i].x2, 57);  // two clicks
      EXPECT_EQ(circles[i].width, 1);
    }
  }
  // Only a tick value of 1 counts; the circle takes the box's fore colour;
  // its height comes from the outer box even when the inner one differs.
  s.Ticked = {1, 0, 2, 1, -1, 0};
  RecordingSurface p0(6750, 3540), p5(5430, 2555);
  p5.fore = 0x123456;
  GraphScale g;
  Setup_P5(s, p0, p5, {690, 450, 5460, 2595}, 3540, g);
  const auto circles = p5.Of(Call::Circle);
  ASSERT_EQ(circles.size(), 2u);
  EXPECT_DOUBLE_EQ(circles[1].x1, 40 * g.GraphXScale);
  EXPECT_DOUBLE_EQ(circles[0].y1, 2595 - (52 + 20) * (2555.0 / 90) - 30);
  EXPECT_EQ(circles[0].colour, 0x123456u);
}

TEST(GraphDefault, TitlesAndLabelsOnP0) {
  Graph gr(Estimated(), false);
  std::vector<std::string> want = {"Graph showing Clicks v. Range (Yard)"};
  for (const auto& r : Numbers(0, 60, 10)) want.push_back(r);
  want.push_back("Range (Yard)");
  for (const auto& c : Numbers(-20, 70, 10)) want.insert(want.end(), {c, c});
  EXPECT_EQ(gr.Texts(), want);

  const auto prints = gr.p0.Of(Call::Print);
  auto centre = [](const Call& c) { return c.x1 + 45.0 * static_cast<double>(c.text.size()) / 2; };
  auto end = [](const Call& c) { return c.x1 + 45.0 * static_cast<double>(c.text.size()); };
  // The titles are centred over the plotting box, not over the panel.
  EXPECT_EQ(prints[0].y1, 90);
  EXPECT_DOUBLE_EQ(centre(prints[0]), 690 + 2730);
  EXPECT_EQ(prints[8].y1, 3540 - 195 - 30);
  EXPECT_DOUBLE_EQ(centre(prints[8]), 690 + 2730);
  // Range labels just below the box, centred on their range plus 30.
  for (int i = 0; i <= 6; ++i) {
    EXPECT_EQ(prints[static_cast<size_t>(1 + i)].y1, 450 + 2595);
    EXPECT_DOUBLE_EQ(centre(prints[static_cast<size_t>(1 + i)]), 690 + 10 * i * (5430.0 / 65) + 30);
  }
  // Clicks labels centred on their height, right-aligned 90 twips left of
  // the box and 360 twips past its right edge.
  for (int i = 0; i < 10; ++i) {
    const Call& left = prints[static_cast<size_t>(9 + 2 * i)];
    const Call& right = prints[static_cast<size_t>(10 + 2 * i)];
    const double y = 450 + (70 - (-20 + 10 * i)) * 28.5 - 97.5;
    EXPECT_DOUBLE_EQ(left.y1, y);
    EXPECT_DOUBLE_EQ(right.y1, y);
    EXPECT_DOUBLE_EQ(end(left), 600);
    EXPECT_DOUBLE_EQ(end(right), 690 + 5460 + 360);
  }
  // Last, the clicks-axis title upwards from (0, 2100), in whole points.
  const auto rotated = gr.p0.Of(Call::Rotated);
  ASSERT_EQ(rotated.size(), 1u);
  EXPECT_EQ(rotated[0].text, "Scope Clicks");
  EXPECT_EQ(rotated[0].angle, 900);
  EXPECT_EQ(std::make_pair(rotated[0].x1, rotated[0].y1), std::make_pair(0.0, 2100.0));
  EXPECT_EQ(rotated[0].font.size, 8);
  EXPECT_EQ(rotated[0].pixelHeight, 11);
  EXPECT_EQ(gr.log.back().second, Call::Rotated);

  State metric = Estimated();
  metric.MetricUnits = true;
  const auto texts = Graph(metric, false).Texts();
  EXPECT_EQ(texts[0], "Graph showing Clicks v. Range (m)");
  EXPECT_EQ(texts[8], "Range (m)");
}

TEST(GraphDefault, CurveFromRangeFiveToGraphXMax) {
  const State s = Estimated();
  Graph gr(s);
  auto at = [&](int r) {
    return std::pair{r * (5430.0 / 65), 2565 - (ClicksToDial(s.Params(), r, false) + 20) * 28.5};
  };
  // A point at range 5, then one segment per range from 5 to 65, each from
  // where the last ended (the first of zero length), 2 pixels wide, red.
  const auto& all = gr.p5.calls;
  const auto pset = std::find_if(all.begin(), all.end(), [](const Call& c) { return c.kind == Call::PSet; });
  ASSERT_NE(pset, all.end());
  EXPECT_EQ(std::pair(pset->x1, pset->y1), at(5));
  EXPECT_EQ(pset->width, 2);
  EXPECT_EQ(pset->colour, 255u);
  ASSERT_EQ(all.end() - pset, 62);
  std::pair<double, double> from = at(5);
  for (int r = 5; r <= 65; ++r) {
    const Call& seg = pset[r - 4];
    ASSERT_EQ(seg.kind, Call::Line);
    EXPECT_EQ(seg.width, 2);
    EXPECT_EQ(seg.colour, 255u);
    EXPECT_EQ(std::pair(seg.x1, seg.y1), from);
    EXPECT_EQ(std::pair(seg.x2, seg.y2), at(r)) << "range " << r;
    from = at(r);
  }
  // The next frame starts at 1 pixel again.
  Setup_P5(s, gr.p0, gr.p5, {690, 450, 5460, 2595}, 3540, gr.g);
  EXPECT_EQ(gr.p5.DrawWidth(), 1);
}

// ---------------------------------------------------------------------------
// Other data.

TEST(GraphCases, NoPointTicked) {
  State s = DefaultState();
  s.Ticked = {0, 0, 0, 0, 0, 0};
  PseudoCalc(s);
  Graph gr(s);
  EXPECT_EQ(gr.g.GraphXMax, 10);
  EXPECT_EQ(gr.g.GraphYMax, 10);
  const auto texts = gr.Texts();
  EXPECT_EQ(std::vector<std::string>(texts.begin() + 1, texts.begin() + 4),
            (std::vector<std::string>{"0", "10", "Range (Yard)"}));
  ExpectRanges(gr.VerticalRanges(), 5, 5);
  EXPECT_TRUE(gr.p5.Of(Call::Circle).empty());
  EXPECT_EQ(gr.CurveSegments(), 6);  // ranges 5 to 10
}

TEST(GraphCases, RangeLabelsAndVerticalGridFollowMaxDataRange) {
  const struct {
    int maxRange;
    std::vector<std::string> labels;
  } cases[] = {{100, Numbers(0, 110, 10)}, {101, Numbers(0, 100, 20)}, {150, Numbers(0, 160, 20)}};
  for (const auto& c : cases) {
    State s = Estimated();
    s.MaxDataRange = c.maxRange;
    const auto texts = Graph(s, false).Texts();
    EXPECT_EQ(std::vector<std::string>(texts.begin() + 1, texts.begin() + 1 + static_cast<long>(c.labels.size())),
              c.labels);
    EXPECT_EQ(texts[1 + c.labels.size()], "Range (Yard)") << c.maxRange;
  }
  // With 53 the grid stands at 58, 53, ..., 3 while the labels stay on tens.
  State s = Estimated();
  s.MaxDataRange = 53;
  Graph gr(s);
  EXPECT_EQ(gr.g.GraphXMax, 63);
  ExpectRanges(gr.VerticalRanges(), 58, 3);
  const auto texts = gr.Texts();
  EXPECT_EQ(std::vector<std::string>(texts.begin() + 1, texts.begin() + 8), Numbers(0, 60, 10));
  EXPECT_EQ(gr.CurveSegments(), 59);  // ranges 5 to 63
}

TEST(GraphCases, ClicksAxisEndsOnMultiplesOfTen) {
  const struct {
    int maxClicks, minTable;
    double yMax, yMin;
  } cases[] = {{52, -2, 70, -20}, {0, 0, 10, -10},   {50, -10, 60, -20},
               {9, -9, 20, -20},  {30, 35, 40, 20},  {32767, -32768, 32780, -32780}};
  for (const auto& c : cases) {
    State s = Estimated();
    s.MaxDataClicks = c.maxClicks;
    s.MinTableClicks = c.minTable;
    const Graph gr(s, false);
    EXPECT_EQ(gr.g.GraphYMax, c.yMax) << c.maxClicks;
    EXPECT_EQ(gr.g.GraphYMin, c.yMin) << c.minTable;
    EXPECT_DOUBLE_EQ(gr.g.GraphYScale, 2565 / (c.yMax - c.yMin));
  }
}

TEST(GraphCases, OddStateStaysBoundedAndPassesNonFiniteClicksOn) {
  // Extents beyond what 16-bit data can give are held to that range, so the
  // loops stay short; a model without finite clicks hands its points on for
  // the surface to skip.
  State s = Estimated();
  s.MaxDataRange = INT_MAX;
  s.MaxDataClicks = INT_MAX;
  s.MinTableClicks = INT_MIN;
  s.ModelMV = Variant::Number(std::numeric_limits<double>::quiet_NaN());
  Graph gr(s);
  EXPECT_EQ(gr.g.GraphXMax, 32767 + 10);
  EXPECT_EQ(gr.g.GraphYMax, 32780);
  EXPECT_EQ(gr.g.GraphYMin, -32780);
  EXPECT_LT(gr.p5.calls.size(), 60000u);
  EXPECT_TRUE(std::isnan(gr.p5.Of(Call::PSet).at(0).y1));
}

// ---------------------------------------------------------------------------
// The rotated font description and PrintRotatedText.

TEST(RotatedFont, WholePointsAndMulDiv) {
  EXPECT_EQ(WholePoints(8.25), 8);
  EXPECT_EQ(WholePoints(8.5), 8);
  EXPECT_EQ(WholePoints(9.5), 10);
  EXPECT_EQ(WholePoints(std::nan("")), 0);
  EXPECT_EQ(WholePoints(-3), 0);
  EXPECT_EQ(WholePoints(std::numeric_limits<double>::infinity()), 32767);

  EXPECT_EQ(MulDiv(8, 96, 72), 11);  // 10.67
  EXPECT_EQ(MulDiv(3, 1, 2), 2);     // halves away from zero
  EXPECT_EQ(MulDiv(-3, 1, 2), -2);
  EXPECT_EQ(MulDiv(3, -1, -2), 2);
  EXPECT_EQ(MulDiv(5, 5, 0), -1);
  EXPECT_EQ(MulDiv(INT32_MAX, INT32_MAX, INT32_MAX), INT32_MAX);  // no intermediate overflow
  EXPECT_EQ(MulDiv(INT32_MIN, INT32_MIN, INT32_MIN), INT32_MIN);
  EXPECT_EQ(MulDiv(INT32_MAX, 2, 1), -1);
}

TEST(RotatedFont, FieldsFollowTheSurfaceFont) {
  const LogFont lf = RotatedFontFor(FontSpec{"Tahoma", 8.25}, 96, 900);
  EXPECT_EQ(lf.height, -11);
  EXPECT_EQ(lf.width, 0);
  EXPECT_EQ(lf.escapement, 900);
  EXPECT_EQ(lf.orientation, 900);
  EXPECT_EQ(lf.weight, 400);
  EXPECT_EQ(lf.italic + lf.underline + lf.strikeOut + lf.charSet + lf.outPrecision + lf.clipPrecision, 0);
  EXPECT_EQ(lf.quality, 2);
  EXPECT_EQ(lf.pitchAndFamily, 33);
  EXPECT_EQ(std::string(lf.faceName.data(), 32), std::string("Tahoma") + '\0' + std::string(25, ' '));

  const LogFont styled = RotatedFontFor(FontSpec{"Tahoma", 9.5, true, true, true, true}, 120, -450);
  EXPECT_EQ(styled.height, -17);  // 10 points at 120 dots per inch: 16.67
  EXPECT_EQ(styled.weight, 700);
  EXPECT_EQ(styled.italic + styled.underline + styled.strikeOut, 3);
  EXPECT_EQ(styled.escapement, -450);
  EXPECT_EQ(styled.orientation, -450);
  EXPECT_EQ(RotatedFontFor(FontSpec{"Tahoma", 8.25}, 0, 0).height, 0);
}

TEST(RotatedFont, FaceNameIsCutPaddedAndAnsi) {
  LogFont lf = RotatedFontFor(FontSpec{std::string(40, 'x'), 8}, 96, 0);
  EXPECT_EQ(std::string(lf.faceName.data(), 32), std::string(32, 'x'));  // no room for the NUL
  EXPECT_EQ(FaceNameOf(lf), std::string(32, 'x'));
  // Characters count, not bytes; those outside Windows-1252 become '?'.
  lf = RotatedFontFor(FontSpec{"Caf\xC3\xA9 \xE2\x82\xAC \xE6\x97\xA5", 8}, 96, 0);
  EXPECT_EQ(std::string(lf.faceName.data(), 10), std::string("Caf\xE9 \x80 ?") + '\0' + ' ');
  EXPECT_EQ(FaceNameOf(lf), "Caf\xC3\xA9 \xE2\x82\xAC ?");
}

TEST(RotatedText, PrintsInTheRoundedFontAndLeavesTheSurfaceFont) {
  RecordingSurface s(6750, 3540);
  s.SetFont(FontSpec{"Tahoma", 14.25, true, false, true, false});
  s.dpi = 120;
  s.SetCurrentX(5);
  s.SetCurrentY(7);
  PrintRotatedText(s, "Scope Clicks", 900, 0.0, 2100.0);
  PrintRotatedText(s, "a", 0);                      // at the current position
  PrintRotatedText(s, "b", 0, std::nullopt, 60.0);  // only y given
  ASSERT_EQ(s.calls.size(), 3u);
  const Call& c = s.calls[0];
  EXPECT_EQ(std::make_pair(c.x1, c.y1), std::make_pair(0.0, 2100.0));
  EXPECT_EQ(c.angle, 900);
  EXPECT_EQ(c.pixelHeight, 23);  // 14 x 120 / 72 = 23.3
  EXPECT_EQ(c.font.name, "Tahoma");
  EXPECT_EQ(c.font.size, 14);
  EXPECT_TRUE(c.font.bold && c.font.underline && !c.font.italic && !c.font.strikethru);
  EXPECT_EQ(std::make_pair(s.calls[1].x1, s.calls[1].y1), std::make_pair(0.0, 2100.0 + 195));
  EXPECT_EQ(std::make_pair(s.calls[2].x1, s.calls[2].y1), std::make_pair(0.0, 60.0));
  EXPECT_EQ(s.Font().size, 14.25);
  EXPECT_TRUE(s.Font().bold);
}
