// The printed list page drawn on a recording printer: which texts are
// printed where, in which font, colour and weight.
#include <gtest/gtest.h>

#include <map>

#include "model/clicktable.h"
#include "output/printlist.h"

using namespace vantorel;
using platform::Colour;
using platform::FontSpec;

namespace {

constexpr Colour kBlack = 0x000000, kDarkRed = 0x000080, kGrey = 0x808080, kWhite = 0xFFFFFF;

// One call on the recording printer, with the state it was made in.
struct Call {
  enum Kind { Print, PSet, EndDoc } kind;
  std::string text;
  bool endLine = false;
  double x = 0, y = 0;  // position before the call (PSet: the point)
  Colour colour = 0;    // fore colour (PSet: the point's colour)
  FontSpec font;
};

// A printer that keeps every call. Text is measured as a fixed-pitch face:
// 0.6 em wide, lines 1.2 em apart.
class RecordingPrinter : public platform::PrinterSurface {
 public:
  std::vector<Call> calls;

  double ScaleWidth() const override { return 11000; }
  double ScaleHeight() const override { return 15500; }
  void Cls() override {}
  void SetDrawWidth(int) override {}
  int DrawWidth() const override { return 1; }
  void Line(double, double, double, double, Colour) override {}
  void Box(double, double, double, double, Colour) override {}
  void Circle(double, double, double, Colour) override {}
  void PrintRotated(std::string_view, const FontSpec&, double, int) override {}
  int DpiY() const override { return 1440; }
  void PSet(double x, double y, Colour c) override {
    calls.push_back({Call::PSet, "", false, x, y, c, font_});
    x_ = x, y_ = y;
  }
  double CurrentX() const override { return x_; }
  double CurrentY() const override { return y_; }
  void SetCurrentX(double x) override { x_ = x; }
  void SetCurrentY(double y) override { y_ = y; }
  const FontSpec& Font() const override { return font_; }
  void SetFont(const FontSpec& f) override { font_ = f; }
  Colour ForeColor() const override { return fore_; }
  void SetForeColor(Colour c) override { fore_ = c; }
  double TextWidth(std::string_view t) const override { return static_cast<double>(t.size()) * font_.size * 12; }
  double TextHeight(std::string_view) const override { return font_.size * 24; }
  void Print(std::string_view text, bool endLine) override {
    calls.push_back({Call::Print, std::string(text), endLine, x_, y_, fore_, font_});
    x_ = endLine ? 0 : x_ + TextWidth(text);
    y_ += endLine ? TextHeight(text) : 0;
  }
  std::optional<std::string> EndDoc() override {
    calls.push_back({Call::EndDoc, "", false, x_, y_, fore_, font_});
    return std::nullopt;
  }

  // Every print that carries a cell's range, by range: that call and the one
  // after it (the measured clicks or the filler).
  std::map<int, std::pair<Call, Call>> Cells() const {
    std::map<int, std::pair<Call, Call>> cells;
    for (size_t i = 0; i + 1 < calls.size(); ++i) {
      const size_t sep = calls[i].text.find(" : ");
      if (calls[i].kind == Call::Print && sep != std::string::npos)
        cells[std::stoi(calls[i].text.substr(0, sep))] = {calls[i], calls[i + 1]};
    }
    return cells;
  }

 private:
  double x_ = 0, y_ = 0;
  FontSpec font_;
  Colour fore_ = kBlack;
};

State Estimated() {
  State s = DefaultState();
  PseudoCalc(s);
  return s;
}

RecordingPrinter Printed(const State& s, std::string_view name = "Vantorel") {
  RecordingPrinter p;
  EXPECT_EQ(Print_List(s, p, name), std::nullopt);
  return p;
}

}  // namespace

TEST(PrintList, FancyPadsToFiveInFrontOrBehind) {
  EXPECT_EQ(Fancy("7", 0), "    7");
  EXPECT_EQ(Fancy("7", 1), "7    ");
  EXPECT_EQ(Fancy("7", 2), "7");
  EXPECT_EQ(Fancy("7", -1), "7");
  EXPECT_EQ(Fancy("", 1), "     ");
  EXPECT_EQ(Fancy(" ", 1), "     ");
  EXPECT_EQ(Fancy("(52)", 1), "(52) ");
  EXPECT_EQ(Fancy("-(3)", 0), " -(3)");
  for (int mode : {0, 1, 2}) {
    EXPECT_EQ(Fancy("123456", mode), "123456");
    EXPECT_EQ(Fancy("12345", mode), "12345");
  }
}

TEST(PrintList, FontsAndTheMoveToTheLeftEdge) {
  const RecordingPrinter p = Printed(Estimated(), "MyProgram");
  const auto& c = p.calls;
  // The title: an empty 18 pt line, a white point at (500, y) and the name.
  ASSERT_GE(c.size(), 3u);
  EXPECT_EQ(c[0].kind, Call::Print);
  EXPECT_EQ(c[0].text, "");
  EXPECT_EQ(c[1].kind, Call::PSet);
  EXPECT_EQ(c[1].x, 500);
  EXPECT_EQ(c[1].y, c[0].y + 18 * 24);
  EXPECT_EQ(c[1].colour, kWhite);
  EXPECT_EQ(c[2].text, "MyProgram");
  EXPECT_EQ(c[2].x, 500);
  EXPECT_EQ(c[2].font.size, 18);
  EXPECT_FALSE(c[2].font.bold);

  int psets = 0;
  for (const Call& call : c) {
    if (call.kind == Call::PSet) {
      ++psets;
      EXPECT_EQ(call.colour, kWhite);
      EXPECT_EQ(call.x, 500);
    }
    EXPECT_EQ(call.font.name, "Courier New");
  }
  EXPECT_EQ(psets, 1 + 2 + 25);  // title, two headers, every row

  // Every row starts at 500 twips in the body size; the legend at the edge.
  for (const auto& [range, cell] : p.Cells()) {
    EXPECT_EQ(cell.first.font.size, 10);
    if (range <= 25) {
      EXPECT_EQ(cell.first.x, 500) << range;
    }
  }
  const Call& legend = c[c.size() - 4];
  EXPECT_EQ(legend.text, "       Calculated/(Entered) Data Point      ");
  EXPECT_EQ(legend.x, 0);

  // The document ends once, last, with bold off.
  EXPECT_EQ(c.back().kind, Call::EndDoc);
  EXPECT_FALSE(c.back().font.bold);
  for (size_t i = 0; i + 1 < c.size(); ++i) EXPECT_NE(c[i].kind, Call::EndDoc);
}

TEST(PrintList, ColourAndWeightOfEveryCell) {
  State s = Estimated();
  // An unticked point is still marked; black and grey follow only the
  // extents of the ticked points. Two points at one range: the first wins.
  s.Ticked[5] = 0;
  s.DataRange[3] = 20;
  s.DataClicks[3] = -3;
  s.DataClicks[4] = -3;
  PseudoCalc(s);
  ASSERT_EQ(s.MaxDataRange, 50);
  const RecordingPrinter p = Printed(s);
  const auto cells = p.Cells();
  ASSERT_EQ(cells.size(), 100u);

  for (const auto& [r, cell] : cells) {
    const auto& [range, measured] = cell;
    const bool point = r == 10 || r == 20 || r == 30 || r == 50 || r == 55;
    const Colour expected = point ? kDarkRed : (r < 10 || r > 50) ? kGrey : kBlack;
    EXPECT_EQ(range.colour, expected) << "range " << r;
    EXPECT_EQ(range.font.bold, point) << "range " << r;
    EXPECT_EQ(measured.colour, expected) << "range " << r;
    EXPECT_EQ(measured.font.bold, point) << "range " << r;
    if (!point) {
      EXPECT_EQ(measured.text, "          ") << "range " << r;
    }
    EXPECT_EQ(measured.endLine, r > 75) << "range " << r;
  }
  EXPECT_EQ(cells.at(20).second.text, "(0)       ");  // point 1, not point 3's -3
  EXPECT_EQ(cells.at(55).second.text, "(44)      ");  // unticked, still marked
  EXPECT_EQ(cells.at(40).second.text, "          ");  // its point now stands at 20
  EXPECT_EQ(cells.at(50).second.text, "-(3)      ");  // minus before the bracket

  // The legend: bold throughout, dark red, black, grey.
  const auto& c = p.calls;
  const size_t n = c.size();
  EXPECT_EQ(c[n - 4].colour, kDarkRed);
  EXPECT_EQ(c[n - 3].colour, kBlack);
  EXPECT_EQ(c[n - 3].text, "Interpolated Result     ");
  EXPECT_EQ(c[n - 2].colour, kGrey);
  EXPECT_EQ(c[n - 2].text, "Extrapolated Result");
  EXPECT_TRUE(c[n - 2].endLine);
  for (size_t i = n - 4; i < n - 1; ++i) EXPECT_TRUE(c[i].font.bold);
}

TEST(PrintList, FiftyRowsInEightPointAboveARangeOfOneHundred) {
  State s = Estimated();
  s.MaxDataRange = 100;
  EXPECT_EQ(PrintedRows(s), 25);
  s.MaxDataRange = 101;
  EXPECT_EQ(PrintedRows(s), 50);
  const auto cells = Printed(s).Cells();
  ASSERT_EQ(cells.size(), 200u);
  EXPECT_EQ(cells.rbegin()->first, 200);
  for (const auto& [r, cell] : cells) EXPECT_EQ(cell.first.font.size, 8) << r;
  EXPECT_EQ(cells.at(101).first.colour, kBlack);
  EXPECT_EQ(cells.at(102).first.colour, kGrey);
}
