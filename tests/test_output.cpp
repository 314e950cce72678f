// The click list and the CSV text, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>

#include "model/clicktable.h"
#include "output/clicklist.h"
#include "output/csvexport.h"

using namespace vantorel;

TEST(ClickList, HeadsMarksWideValuesEmptyBandAndMetric) {
  State s = DefaultState();
  s.Ticked[3] = 0;  // an unticked point inside the band is still marked
  s.DataRange[4] = 30;
  s.DataClicks[4] = -3;  // two points at one range give two marks
  PseudoCalc(s);
  const auto lines = ClickListLines(s);
  ASSERT_EQ(lines.size(), 3u + 46u);  // heads, empty line, ranges 10 to 55
  EXPECT_EQ(JoinLines({lines[0], lines[1], lines[2], lines[3], lines[4]}, "|"), "  R C  | Yd Clk|| 10:52  (52)| 11:41 ");
  EXPECT_EQ(lines[3 + 20 - 10], " 20:1   (0)");
  EXPECT_EQ(lines[3 + 30 - 10], " 30:0   (0) (-3)");
  EXPECT_EQ(lines[3 + 40 - 10], " 40:13  (12)");
  EXPECT_EQ(lines.back(), " 55:43  (44)");
  EXPECT_EQ(ClickListTooltip(s), "Range/Click List (1 - 100 Yard)");
  s.ModelCPM = -1.0472;  // about -123 clicks at one yard: pushed right, not cut
  s.MinDataRange = s.MaxDataRange = 1;
  EXPECT_EQ(ClickListLines(s)[3], "  1:-123");
  s.MinDataRange = 200;
  s.MaxDataRange = 0;
  s.MetricUnits = true;
  EXPECT_EQ(JoinLines(ClickListLines(s), "\r\n"), "  R C  \r\n  m Clk\r\n");  // no line break at the end
  EXPECT_EQ(ClickListTooltip(s), "Range/Click List (1 - 100 m)");
}

TEST(Csv, TextByteForByteAndItsLastRange) {
  State s = DefaultState();
  PseudoCalc(s);
  const std::string csv = CsvText(s);
  EXPECT_EQ(csv.rfind("Range,Clicks\r\n(Yard),(Clk)\r\n1,940\r\n2,519\r\n", 0), 0u);
  EXPECT_NE(csv.find("\r\n25,-2\r\n26,-2\r\n"), std::string::npos);
  EXPECT_TRUE(csv.ends_with("\r\n99,169\r\n100,173\r\n"));
  EXPECT_EQ(std::tuple(std::ranges::count(csv, '\n'), std::ranges::count(csv, '\r'), csv.find(' ')),
            std::tuple(102, 102, std::string::npos));
  s.MaxDataRange = 100;
  EXPECT_EQ(CsvText(s), csv);
  s.MaxDataRange = 101;
  s.MetricUnits = true;
  EXPECT_EQ(std::pair(CsvText(s).starts_with("Range,Clicks\r\n(Metre),(Clk)\r\n"), CsvText(s).ends_with("\r\n200,623\r\n")), std::pair(true, true));
  EXPECT_EQ(platform::UniqueFileName("VTL", "d", ".CSV", [](const std::string& p) { return p != platform::InFolder("d", "VTL_0002.CSV"); }), "VTL_0002.CSV");
  EXPECT_EQ(platform::UniqueFileName("VTL", "d", ".CSV", [](const std::string&) { return true; }), "VTL_10000.CSV");
}
