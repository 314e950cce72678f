// The printed list on a recording printer: colour, weight and size of every
// cell and of the legend. Where the texts land is read back from a PDF page
// in test_printing.cpp.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "model/clicktable.h"
#include "output/printlist.h"

using namespace vantorel;
using platform::Colour;
using platform::FontSpec;

namespace {

constexpr Colour kBlack = 0x000000, kDarkRed = 0x000080, kGrey = 0x808080;

struct Printed {
  std::string text;
  Colour colour;
  FontSpec font;
};

// Keeps every text printed with the colour and font it was printed in.
class RecordingPrinter : public platform::PrinterSurface {
 public:
  std::vector<Printed> texts;
  void Print(std::string_view t, bool) override { texts.push_back({std::string(t), fore_, surfaceFont_}); }
  std::optional<std::string> EndDoc() override { return std::nullopt; }
  // Measures and drawing are left to the PDF page.
  double ScaleWidth() const override { return 11000; }
  double ScaleHeight() const override { return 15500; }
  double TextWidth(std::string_view) const override { return 0; }
  double TextHeight(std::string_view) const override { return 0; }
  int DpiY() const override { return 1440; }
  void Cls() override {}
  void PSet(double, double, Colour) override {}
  void Line(double, double, double, double, Colour) override {}
  void Box(double, double, double, double, Colour) override {}
  void Circle(double, double, double, Colour) override {}
  void PrintRotated(std::string_view, const FontSpec&, double, int) override {}
};

}  // namespace

TEST(PrintList, FancyPadsToFiveInFrontOrBehind) {
  const std::tuple<const char*, int, const char*> cases[] = {
      {"7", 0, "    7"}, {"7", 1, "7    "},    {"7", 2, "7"},         {"7", -1, "7"},         {"", 1, "     "},
      {"(52)", 1, "(52) "}, {"-(3)", 0, " -(3)"}, {"12345", 0, "12345"}, {"123456", 1, "123456"},
  };
  for (const auto& [text, mode, expected] : cases) EXPECT_EQ(Fancy(text, mode), expected) << text << " " << mode;
}

TEST(PrintList, ColourWeightAndSizeOfEveryCell) {
  // An unticked point (55) is still marked; of two points at one range (20)
  // the first wins. Grey lies outside MinDataRange to MaxDataRange.
  State upTo100 = DefaultState();
  PseudoCalc(upTo100);
  State marked = upTo100, over100 = upTo100;
  marked.Ticked[5] = 0;
  marked.DataRange[3] = 20;
  marked.DataClicks[3] = -3;
  marked.DataClicks[4] = -3;
  PseudoCalc(marked);
  upTo100.MaxDataRange = 100;
  over100.MinDataRange = 2;
  over100.MaxDataRange = 101;
  const std::tuple<const State&, int, double, std::set<int>> cases[] = {
      {marked, 25, 10, {10, 20, 30, 50, 55}},
      {upTo100, 25, 10, {10, 20, 30, 40, 50, 55}},
      {over100, 50, 8, {10, 20, 30, 40, 50, 55}},  // 50 rows in 8 point above 100
  };
  for (const auto& [s, rows, points, pointRanges] : cases) {
    RecordingPrinter p;
    ASSERT_EQ(Print_List(s, p, "Vantorel"), std::nullopt);
    // By range: the text that carries it and the one after it (the measured
    // clicks or blanks in their place).
    std::map<int, std::pair<Printed, Printed>> cells;
    for (auto t = p.texts.begin(); t + 1 < p.texts.end(); ++t)
      if (t->text.find(" : ") != std::string::npos) cells[std::stoi(t->text)] = {t[0], t[1]};
    ASSERT_EQ(cells.size(), 4u * rows);
    for (const auto& [r, cell] : cells) {
      const bool point = pointRanges.count(r) > 0;
      const Colour colour = point ? kDarkRed : (r < s.MinDataRange || r > s.MaxDataRange) ? kGrey : kBlack;
      for (const Printed& t : {cell.first, cell.second}) {
        EXPECT_EQ(t.colour, colour) << "range " << r << " of " << s.MaxDataRange;
        EXPECT_EQ(t.font.bold, point) << "range " << r << " of " << s.MaxDataRange;
        EXPECT_EQ(t.font.size, points) << "range " << r << " of " << s.MaxDataRange;
      }
    }
    if (&s != &marked) continue;
    EXPECT_EQ(cells.at(20).second.text, "(0)       ");  // point 1's, not point 3's -3
    EXPECT_EQ(cells.at(50).second.text, "-(3)      ");  // the minus before the bracket
    // The legend, bold throughout: dark red, black, grey.
    const auto legend = p.texts.end() - 3;
    EXPECT_EQ(std::vector<Colour>({legend[0].colour, legend[1].colour, legend[2].colour}),
              std::vector<Colour>({kDarkRed, kBlack, kGrey}));
    EXPECT_TRUE(legend[0].font.bold && legend[1].font.bold && legend[2].font.bold);
  }
}
