// The graph, the rotated text and the printed list's colours and fonts, drawn
// on a surface that records every call. Where the printed texts land is read
// back from a PDF page in test_printing.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "model/clicktable.h"
#include "model/trajectory.h"
#include "output/graph.h"
#include "output/printlist.h"
#include "output/rotatedtext.h"
#include "platform/pixelsurface.h"

using namespace vantorel;
using namespace std::string_literals;
using platform::Colour;
using platform::FontSpec;

namespace {

struct Call {
  enum Kind { Cls, Line, PSet, Circle, Print, Rotated } kind;
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // Circle: radius in x2. Rotated: pixel height in x2, angle in y2
  Colour colour = 0;
  std::string text{};
  FontSpec font{};
  int width = 0;  // pen width at the time
};

// Text 45 twips a character and 195 a line; points and lines move the position, text does not.
class Recorder : public platform::PrinterSurface {
 public:
  Recorder(double w, double h) : w_(w), h_(h) { fore_ = 0x123456; }  // an unusual colour, to be seen passed on
  std::vector<Call> calls;
  std::vector<Call> Of(Call::Kind k) const {
    std::vector<Call> out;
    std::ranges::copy_if(calls, std::back_inserter(out), [k](const Call& c) { return c.kind == k; });
    return out;
  }
  double ScaleWidth() const override { return w_; }
  double ScaleHeight() const override { return h_; }
  void Cls() override { Add({Call::Cls}, 0, 0); }
  void Line(double a, double b, double x, double y, Colour c) override { Add({Call::Line, a, b, x, y, c}, x, y); }
  void Box(double, double, double, double, Colour) override { ADD_FAILURE() << "no rectangles are drawn"; }
  void PSet(double x, double y, Colour c) override { Add({Call::PSet, x, y, 0, 0, c}, x, y); }
  void Circle(double x, double y, double r, Colour c) override { Add({Call::Circle, x, y, r, 0, c}, curX_, curY_); }
  double TextWidth(std::string_view t) const override { return 45.0 * static_cast<double>(t.size()); }
  double TextHeight(std::string_view) const override { return 195; }
  void Print(std::string_view t, bool) override {
    Add({Call::Print, curX_, curY_, 0, 0, fore_, std::string(t), surfaceFont_}, curX_, curY_);
  }
  void PrintRotated(std::string_view t, const FontSpec& f, double px, int angle) override {
    Add({Call::Rotated, curX_, curY_, px, static_cast<double>(angle), fore_, std::string(t), f}, curX_, curY_);
  }
  int DpiY() const override { return 96; }
  std::optional<std::string> EndDoc() override { return std::nullopt; }

 private:
  void Add(Call c, double x, double y) {
    c.width = drawWidth_;
    calls.push_back(c);
    curX_ = x;
    curY_ = y;
  }
  double w_, h_;
};

constexpr Colour kGrey = 0x808080, kRed = 0x0000FF, kBlack = 0, kDarkRed = 0x000080;
constexpr double kXs = 5430.0 / 65, kYs = 2565.0 / 90;  // twips per yard and per click, default data
double Round(double v) { return std::round(v * 1e6) / 1e6; }
std::vector<double> Steps(double from, double to, double step) {  // from, from + step, ..., to
  std::vector<double> out;
  for (double v = from; step > 0 ? v <= to : v >= to; v += step) out.push_back(v);
  return out;
}

// P0 and P5 at their sizes at 96 dots per inch, the graph drawn on them.
struct Graph {
  Recorder p0{6750, 3540}, p5{5430, 2565};
  GraphScale g;
  explicit Graph(const State& s) {
    Setup_P5(s, p0, p5, {690, 450, 5460, 2595}, 3540, g);
    Update_P5(s, p5, g, 255);
  }
  std::vector<double> GridRanges() const {  // of the vertical grid lines
    std::vector<double> out;
    for (const Call& c : p5.Of(Call::Line))
      if (c.width == 1 && c.x1 == c.x2) out.push_back(Round(c.x1 / g.GraphXScale));
    return out;
  }
};

State Estimated(int maxRange = 0, std::array<int16_t, kRows> ticked = {1, 1, 1, 1, 1, 1}) {
  State s = DefaultState();
  s.Ticked = ticked;
  PseudoCalc(s);
  if (maxRange) s.MaxDataRange = maxRange;
  return s;
}

}  // namespace

// The default data: six ticked points, MaxDataRange 55, MaxDataClicks 52, MinTableClicks -2.
TEST(Graph, DefaultExtentsGridMarkersCurveAndLabels) {
  const State s = Estimated();
  const Graph gr(s);
  const GraphScale& g = gr.g;
  EXPECT_EQ(std::vector({g.GraphXMin, g.GraphXMax, g.GraphYMax, g.GraphYMin, g.GraphXScale, g.GraphYScale}),
            std::vector({0.0, 65.0, 70.0, -20.0, kXs, kYs}));
  // Grid lines across the box, grey but for the red zero line: every 5 clicks from -20, every 5 yards from the right.
  std::vector<std::tuple<double, double, double, Colour>> rows, want;  // left, right, clicks, colour
  for (const Call& c : gr.p5.Of(Call::Line)) {
    if (c.width == 1 && c.y1 == c.y2) rows.push_back({c.x1, c.x2, Round((2565 - c.y1) / kYs - 20), c.colour});
    EXPECT_TRUE(c.width != 1 || c.x1 != c.x2 || (c.y1 == 0 && c.y2 == 2565 && c.colour == kGrey)) << c.x1;
  }
  for (double c : Steps(-20, 65, 5)) want.push_back({0, 5430, c, c == 0 ? kRed : kGrey});
  EXPECT_EQ(rows, want);
  EXPECT_EQ(gr.GridRanges(), Steps(60, 5, -5));
  // A two-click circle in the fore colour on each ticked point.
  const auto rings = gr.p5.Of(Call::Circle);
  ASSERT_EQ(rings.size(), 6u);
  for (size_t i = 0; i < 6; ++i)
    EXPECT_EQ(std::tuple(Round(rings[i].x1), Round(rings[i].y1), rings[i].x2, rings[i].width, rings[i].colour),
              std::tuple(Round(s.DataRange[i] * kXs), Round(2565 - (s.DataClicks[i] + 20) * kYs), 57.0, 1, 0x123456u));
  // The curve, 2 pixels wide and red: a point at range 5, then a segment per range to 65 from where the last ended.
  auto at = [&](int r) { return std::pair{r * kXs, 2565 - (ClicksToDial(s.Params(), r, false) + 20) * kYs}; };
  const auto pset = std::ranges::find(gr.p5.calls, Call::PSet, &Call::kind);
  ASSERT_EQ(gr.p5.calls.end() - pset, 62);
  EXPECT_EQ(std::tuple(std::pair(pset->x1, pset->y1), pset->width, pset->colour), std::tuple(at(5), 2, 255u));
  for (int r = 5; r <= 65; ++r)
    EXPECT_EQ(std::tuple(pset[r - 4].kind, pset[r - 4].width, pset[r - 4].colour, std::pair(pset[r - 4].x1, pset[r - 4].y1),
                         std::pair(pset[r - 4].x2, pset[r - 4].y2)),
              std::tuple(Call::Line, 2, 255u, at(std::max(r - 1, 5)), at(r))) << "range " << r;
  // On P0: the title centred over the box, the range labels 0 to 60 below it, the clicks labels
  // -20 to 70 beside it on both sides, each right-aligned.
  const auto p = gr.p0.Of(Call::Print);
  EXPECT_EQ(std::pair(p.at(0).text, p[0].x1 + 45.0 * static_cast<double>(p[0].text.size()) / 2), std::pair("Graph showing Clicks v. Range (Yard)"s, 690 + 2730.0));
  for (int i = 0; i <= 6; ++i) EXPECT_EQ((std::pair{p.at(1 + i).text, p[1 + i].y1}), std::pair(std::to_string(10 * i), 450 + 2595.0)) << i;  // braced: evaluated in order
  for (int i = 0; i < 20; ++i)
    EXPECT_EQ(std::pair(p.at(9 + i).text, p[9 + i].x1 + 45.0 * static_cast<double>(p[9 + i].text.size())),
              std::pair(std::to_string(-20 + i / 2 * 10), i % 2 ? 6510.0 : 600.0));
  // The clicks-axis title upwards from (0, 2100) in 8 whole points, 11 pixels; P0's own font left at 8.25.
  const Call r = gr.p0.Of(Call::Rotated).at(0);
  EXPECT_EQ(std::tuple(r.text, r.x1, r.y1, r.y2, r.font.size, r.x2), std::tuple("Scope Clicks", 0, 2100, 900, 8, 11.0));
  EXPECT_EQ(std::tuple(p.size(), gr.p0.Of(Call::Rotated).size(), gr.p0.Font().size), std::tuple(29u, 1u, 8.25));
  State metric = Estimated();
  metric.MetricUnits = true;
  const auto m = Graph(metric).p0.Of(Call::Print);
  EXPECT_EQ(m[0].text + "|" + m[8].text, "Graph showing Clicks v. Range (m)|Range (m)");
}

TEST(Graph, AxesFollowTheDataAndStayBounded) {
  // Range labels every 10 yards up to 100, every 20 above; the grid counts back in fives from the right-hand
  // edge (with 53, at 58, ..., 3); the curve runs from 5 to the edge; only a tick of 1 makes a circle.
  using Case = std::tuple<State, double, double, double, double, size_t>;  // xMax, last grid, last label, step
  for (const auto& [s, xMax, lastGrid, lastLabel, step, circles] :
       {Case{Estimated(0, {0, 0, 0, 0, 0, 0}), 10, 5, 10, 10, 0}, Case{Estimated(100), 110, 5, 110, 10, 6},
        Case{Estimated(53, {1, 0, 2, 1, -1, 0}), 63, 3, 60, 10, 2}, Case{Estimated(101), 111, 1, 100, 20, 6},
        Case{Estimated(150), 160, 5, 160, 20, 6}}) {
    const Graph gr(s);
    const auto p = gr.p0.Of(Call::Print);
    std::vector<double> labels;  // after the title, up to the range-axis title
    for (size_t i = 1; !p.at(i).text.starts_with("Range"); ++i) labels.push_back(std::stod(p[i].text));
    EXPECT_EQ(labels, Steps(0, lastLabel, step)) << xMax;
    EXPECT_EQ(std::pair(gr.g.GraphXMax, gr.GridRanges()), std::pair(xMax, Steps(xMax - 5, lastGrid, -5)));
    EXPECT_EQ(std::ranges::count(gr.p5.calls, 2, &Call::width), xMax - 3);  // the curve's point and segments
    EXPECT_EQ(gr.p5.Of(Call::Circle).size(), circles);
  }
  // Extents held to what 16-bit data gives; a model without finite clicks hands its points on to the surface.
  State s = Estimated();
  s.MaxDataRange = s.MaxDataClicks = INT32_MAX;
  s.MinTableClicks = INT32_MIN;
  s.ModelMV = Variant::Number(std::nan(""));
  const Graph gr(s);
  EXPECT_EQ(std::vector({gr.g.GraphXMax, gr.g.GraphYMax, gr.g.GraphYMin}), std::vector({32777.0, 32780.0, -32780.0}));
  EXPECT_EQ(std::pair(gr.p5.calls.size() < 60000, std::isnan(gr.p5.Of(Call::PSet).at(0).y1)), std::pair(true, true)) << gr.p5.calls.size();
}

// Lines and circles become runs of pixels before any back end sees them.
TEST(PixelRuns, LinesAndRingsCoverTheSamePixelsOnEveryDevice) {
  using platform::PixelRect;
  std::vector<std::tuple<int, int, int, int>> runs;
  const platform::RunSink note = [&](const PixelRect& r) { runs.emplace_back(r.left, r.top, r.width, r.height); };
  const platform::PixelArea area{20, 20};
  // One pixel wide: from its start, short of its end, either way.
  platform::LineRuns({0, 0, 4, 2}, 1, area, note);
  platform::LineRuns({4, 2, 0, 0}, 1, area, note);
  EXPECT_EQ(runs, (decltype(runs){{0, 0, 1, 1}, {1, 1, 2, 1}, {3, 2, 1, 1}, {4, 2, 1, 1}, {2, 1, 2, 1}, {1, 0, 1, 1}}));
  // Two wide: the rows of the pixel and the one below, ends round (one pixel on); cut at the area's edge.
  runs.clear();
  platform::LineRuns({2, 5, 6, 5}, 2, area, note);
  platform::LineRuns({-5, 19, 3, 19}, 3, area, note);
  EXPECT_EQ(runs, (decltype(runs){{2, 5, 6, 1}, {2, 6, 6, 1}, {0, 18, 5, 1}, {0, 19, 5, 1}}));
  // A ring: the same on all four sides; a small one round a pixel at the corner is cut.
  runs.clear();
  platform::RingRuns({10, 10, 2}, 1, area, note);
  platform::RingRuns({0, 0, 1}, 1, area, note);
  EXPECT_EQ(runs, (decltype(runs){{9, 8, 3, 1}, {8, 9, 1, 1}, {12, 9, 1, 1}, {8, 10, 1, 1}, {12, 10, 1, 1}, {8, 11, 1, 1},
                                  {12, 11, 1, 1}, {9, 12, 3, 1}, {1, 0, 1, 1}, {0, 1, 2, 1}}));
}

TEST(RotatedFont, DescriptionFollowsTheSurfaceFont) {
  const LogFont lf = RotatedFontFor(FontSpec{"Tahoma", 8.25}, 96, 900);
  EXPECT_EQ(std::vector({lf.height, lf.width, lf.escapement, lf.orientation, lf.weight, lf.italic + lf.strikeOut}),
            std::vector({-11, 0, 900, 900, 400, 0}));
  // 9.5 points is 10 whole points (8.5 is 8: halves go to the even one), at 120 dots per inch 16.67
  // pixels. MulDiv: halves away from zero, no overflow on the way, -1 for nothing to divide by or no fit.
  const LogFont b = RotatedFontFor(FontSpec{"Tahoma", 9.5, true, true, true, true}, 120, -450);
  EXPECT_EQ(std::vector({b.height, b.weight, b.orientation, b.italic + b.underline + b.strikeOut, WholePoints(8.5),
                         WholePoints(std::nan("")), MulDiv(-3, 1, 2), MulDiv(5, 5, 0), MulDiv(INT32_MAX, 2, 1),
                         MulDiv(INT32_MAX, INT32_MAX, INT32_MAX), MulDiv(7, 3, -2), MulDiv(INT32_MIN, 1, -1), MulDiv(INT32_MIN, -1, 1)}),
            std::vector({-17, 700, -450, 3, 8, 0, -2, -1, -1, INT32_MAX, -11, -1, -1}));
}

TEST(PrintList, PaddingColourWeightAndSizeOfEveryCell) {
  EXPECT_EQ(Fancy("7", 2) + "|" + Fancy("12345", 0) + "|" + Fancy("123456", 1), "7|12345|123456");  // never cut; padding shows on the PDF page
  // An unticked point (55) is still marked; of two points at one range (20) the first wins.
  // Grey lies outside MinDataRange to MaxDataRange; above 100, 50 rows in 8 point.
  State upTo100 = Estimated(), marked = upTo100, over100 = upTo100;
  marked.Ticked[5] = 0;
  marked.DataRange[3] = 20;
  marked.DataClicks[3] = marked.DataClicks[4] = -3;
  PseudoCalc(marked);
  upTo100.MaxDataRange = 100;
  over100.MinDataRange = 2;
  over100.MaxDataRange = 101;
  over100.MetricUnits = true;
  const std::tuple<const State&, int, double, std::set<int>> cases[] = {
      {marked, 25, 10, {10, 20, 30, 50, 55}}, {upTo100, 25, 10, {10, 20, 30, 40, 50, 55}}, {over100, 50, 8, {10, 20, 30, 40, 50, 55}}};
  for (const auto& [s, rows, points, pointRanges] : cases) {
    Recorder p(11000, 15500);
    ASSERT_EQ(Print_List(s, p, "Vantorel"), std::nullopt);
    // By range: the text that carries it and the one after it (the measured clicks or blanks).
    std::map<int, std::pair<Call, Call>> cells;
    for (auto t = p.calls.begin(); t + 1 < p.calls.end(); ++t)
      if (t->kind == Call::Print && t->text.find(" : ") != std::string::npos) cells[std::stoi(t->text)] = {t[0], t[1]};
    ASSERT_EQ(cells.size(), 4u * rows);
    for (const auto& [r, cell] : cells) {
      const bool point = pointRanges.count(r) > 0;
      const Colour colour = point ? kDarkRed : (r < s.MinDataRange || r > s.MaxDataRange) ? kGrey : kBlack;
      for (const Call& t : {cell.first, cell.second})
        EXPECT_EQ(std::tuple(t.colour, t.font.bold, t.font.size), std::tuple(colour, point, points))
            << "range " << r << " of " << s.MaxDataRange;
    }
    const std::string head = s.MetricUnits ? "(m)   (Clk)" : "(Yd)   (Clk)";
    EXPECT_TRUE(std::ranges::any_of(p.calls, [&](const Call& c) { return c.text.find(head) != std::string::npos; }));
    if (&s != &marked) continue;
    EXPECT_EQ(cells.at(20).second.text + "|" + cells.at(50).second.text, "(0)       |-(3)      ");  // point 1's; minus first
    const auto legend = p.calls.end() - 3;  // bold throughout: dark red, black, grey
    for (auto [i, colour] : {std::pair(0, kDarkRed), {1, kBlack}, {2, kGrey}})
      EXPECT_EQ(std::pair(legend[i].colour, legend[i].font.bold), std::pair(colour, true)) << i;
  }
}
