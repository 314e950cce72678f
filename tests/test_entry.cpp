// The rows' texts turned into data points, and the rules that refuse a set.
#include <gtest/gtest.h>

#include "entry/calculate.h"

using namespace vantorel;

TEST(Validation, CollectedTextsAndEveryRefusal) {
  const std::string yards = "Ranges must be greater than zero but no greater than 100 Yards.";
  const std::string same = "Same Ranges Specified|Ranges must be be unique:\r\n";
  const struct {
    RowTexts ranges;
    std::string thirdClicks;
    int unticked;  // -1: none
    bool metric;
    std::string refusal;  // title|body; empty: accepted
  } cases[] = {
      {{"10", "20", "30", "200", "50", "55"}, "0", -1, false, ""},
      {{"10", "20", "30", "201", "50", "55"}, "0", -1, false, "Range Error|" + yards},
      {{"10", "20", "30", "0", "50", "60"}, "0", 3, true,
       "Range Error|Ranges must be greater than zero but no greater than 100 Metres."},
      {{"10", "-5", "30", "40", "50", "55"}, "0", -1, false, "Range Error|" + yards},
      {{"10", "99999", "30", "40", "50", "55"}, "0", -1, false, "Range Error|" + yards},
      {{"10", "20", "30", "40", "50", ""}, "0", -1, false, "Range Error|" + yards},
      {{"10", "20", "30", "40", "50", "55"}, "1e9", -1, false,
       "Clicks Error|Clicks must be whole numbers from -32768 to 32767:\r\n(Clicks @ Range #3 ?)"},
      {{"25", "25", "30", "40", "50", "55"}, "0", -1, false, same + "(Range #1 = Range #2 ?)"},
      {{"10", "20", "30", "40", "55", "55"}, "0", -1, false, same + "(Range #5 = Range #6 ?)"},
      // Equal ranges that are not neighbours, or beside an unticked row, pass.
      {{"25", "20", "25", "40", "40", "55"}, "0", 4, false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ranges[0] + " " + c.ranges[1] + " " + c.ranges[3] + " " + c.ranges[5] + " " + c.thirdClicks);
    State s = DefaultState();
    if (c.unticked >= 0) s.Ticked[static_cast<size_t>(c.unticked)] = 0;
    s.MetricUnits = c.metric;
    RowTexts ranges = c.ranges, clicks{"52", "0", c.thirdClicks, "12", "28", "44"};
    auto refusal = CollectData(s, ranges, clicks);
    if (!refusal) refusal = Sanity_Check(s);
    EXPECT_EQ(refusal ? refusal->title + "|" + refusal->body : "", c.refusal);
  }
  EXPECT_EQ(MoreRangesNeeded("Vantorel").body, "Vantorel needs at least three enabled ranges to generate a list.");

  // The leading-number rule, halves to even, and the texts written back as plain digits.
  State s = DefaultState();
  RowTexts ranges{"9.5x", " 2 0 ", "30.5", "31.5", "12m", "abc"}, clicks{"51.5", "-0.5", "-2.5", "1e2", "+7", ".5"};
  ASSERT_FALSE(CollectData(s, ranges, clicks));
  EXPECT_EQ(s.DataRange, (std::array<int16_t, kRows>{10, 20, 30, 32, 12, 0}));
  EXPECT_EQ(s.DataClicks, (std::array<int16_t, kRows>{52, 0, -2, 100, 7, 0}));
  EXPECT_EQ(ranges, (RowTexts{"10", "20", "30", "32", "12", "0"}));
  EXPECT_EQ(clicks[2], "-2");
}

// The sequence the window and vantorel-fit share: a refusal stops it before
// the search and changes nothing else; otherwise the hooks run in order.
TEST(Calculate, RefusalStopsBeforeTheSearchAndHooksRunInOrder) {
  struct Steps : CalculateSteps {
    std::string log;
    void Collected(const RowTexts& r, const RowTexts&) override { log += "collected " + r[0] + ";"; }
    void Started() override { log += "started;"; }
    void Improved(const State&, double) override { log.ends_with("improved;") || (log += "improved;", true); }
  } refused, ran;
  State s = DefaultState();
  s.MaxDataRange = 77;
  const RowTexts clicks{"52", "0", "0", "12", "28", "44"};
  Calculation c = CalculateModel(s, {"10.4", "10", "30", "40", "50", "55"}, clicks, refused);
  EXPECT_EQ(std::tuple(c.refused->title, refused.log, s.MaxDataRange, s.ModelMV.number()),
            std::tuple("Same Ranges Specified", "collected 10;", 77, 790.0));
  s.Ticked = {1, 1, 1, 0, 0, 0};
  c = CalculateModel(s, {"10", "20", "30", "140", "150", "155"}, clicks, ran);
  EXPECT_FALSE(c.refused || c.problem());
  EXPECT_EQ(std::tuple(ran.log, s.MaxDataRange, c.finish.labels[0]), std::tuple("collected 10;started;improved;", 30, "(52)"));
}
