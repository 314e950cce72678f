// The model, the click table, the estimate and the number texts they use.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "model/clicktable.h"
#include "model/exactmath.h"
#include "model/numtext.h"
#include "model/trajectory.h"

using namespace vantorel;

namespace {
const ModelParams kDefault{790, 0.033, 2, 30, 8};
const double kInf = std::numeric_limits<double>::infinity(), kNaN = std::nan("");
}  // namespace

TEST(Trajectory, WorkedExamplesImperialAndMetric) {
  struct Row { bool metric; double range, height, clicks; };
  const Row rows[] = {{0, 1, -1.85, 939.65},   {0, 10, -0.71, 52.02},   {0, 20, -0.03, 1.20}, {0, 30, 0, 0},
                      {0, 40, -0.67, 12.63},   {0, 55, -3.11, 42.81},   {0, 200, -163.56, 623.10},
                      {0, 0, -2, kNaN},        {1, 10, kNaN, 30.31},    {1, 20, kNaN, 6.51},  {1, 30, 0, kNaN},
                      {1, 40, kNaN, -1.92},    {1, 100, kNaN, 9.07},    {1, 0, -2, kNaN}};
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.metric) + " " + std::to_string(r.range));
    EXPECT_TRUE(std::isnan(r.height) || std::fabs(PathHeight(790, 30, r.range, 0.033, 2, r.metric) - r.height) < 0.005);
    EXPECT_TRUE(std::isnan(r.clicks) || std::fabs(ClicksToDial(kDefault, r.range, r.metric) - r.clicks) < 0.005);
  }
  EXPECT_NEAR(PathHeight(790, 30, 30, 0.033, 2, true), 0, 1e-12);
  // At range 0 the divisor is 18 inches: finite, and tan = 1 for a height of 18.
  EXPECT_EQ(std::pair(std::isfinite(AngleMOA(0, -2, false)), std::fabs(AngleMOA(0, 18, false) - 45 * 60) < 1e-6), std::pair(true, true));
}

// The model's own exponential and arc tangent: the nearest double, the same
// on every system (values where some C libraries are one ulp off included).
TEST(Trajectory, ExpAndAtanGiveTheNearestDouble) {
  const std::tuple<double, double, double> cases[] = {  // x, e^x, atan x
      {0, 1, 0}, {1, 0x1.5bf0a8b145769p+1, 0x1.921fb54442d18p-1}, {-0.5, 0x1.368b2fc6f960ap-1, -0x1.dac670561bb4fp-2},
      {30, 0x1.370470aec28edp+43, 0x1.8997fbb8b19cp+0}, {709.8, kInf, 0x1.91c360be0ebefp+0}, {-746, 0, -0x1.91c7dbb6e4f94p+0},
      {-kInf, 0, -0x1.921fb54442d18p+0}, {709.7, 0x1.d75ae7a50ee14p+1023, 0x1.91c35d6973b40p+0},  // the top of the range,
      {709.78, 0x1.fe9ce5c4c52b4p+1023, 0x1.91c360138e41fp+0}, {-740, 0x0.0000000000055p-1022, -0x1.91c7255def3e5p+0}};  // below the normal
  for (const auto& [x, e, a] : cases) EXPECT_EQ(std::pair(Exp(x), Atan(x)), std::pair(e, a)) << x;
  EXPECT_EQ(std::pair(Exp(0x1.7bb2fec56d5dp-5), Atan(0x1.2e2fbe33acd5bp-5)), std::pair(0x1.0c251715a4e6bp+0, 0x1.2e0caee3b36d2p-5));
  EXPECT_EQ(std::tuple(std::isnan(Exp(kNaN)), std::isnan(Atan(kNaN)), std::signbit(Atan(-0.0))), std::tuple(true, true, true));
}

TEST(Trajectory, ParameterSetsThatCannotBeEvaluatedAreNamed) {
  EXPECT_FALSE(ModelProblem(kDefault, false) || ModelProblem(kDefault, true));
  const ModelParams bad[] = {{0, 0.033, 2, 30, 8},  {kNaN, 0.033, 2, 30, 8}, {790, 0, 2, 30, 8},
                             {790, 0.033, 2, 0, 8}, {790, 0.033, kNaN, 30, 8}, {790, 0.033, 2, 30, kInf},
                             {790, 1e-6, 2, 30, 8}};  // exp(30 / 0.0115) overflows
  for (const ModelParams& p : bad) EXPECT_TRUE(ModelProblem(p, false)) << p.mv << " " << p.bc << " " << p.zr;
  EXPECT_NE(ModelProblem(bad[2], false)->find("Ballistic coefficient"), std::string::npos);
}

TEST(ClickTable, DefaultTableAndAFailedRebuildLeavesItAsItWas) {
  State s = DefaultState();
  ASSERT_FALSE(Fill_Array(s));
  const std::pair<int, int> expected[] = {{1, 940}, {10, 52}, {20, 1}, {30, 0}, {55, 43}, {100, 173}, {200, 623}};
  for (auto [range, clicks] : expected) EXPECT_EQ(*TableEntry(s, range), clicks) << range;
  EXPECT_EQ(s.MinTableClicks, -2);
  for (int r = 201; r <= 251; ++r) EXPECT_EQ(*TableEntry(s, r), 0);
  EXPECT_FALSE(TableEntry(s, 0) || TableEntry(s, 252));
  const auto before = s.ClickTable;
  s.ModelBC = Variant::Text("abc", kNaN);
  EXPECT_TRUE(Fill_Array(s));
  s.SetParams({790, 0.033, 2, 30, 1e6});  // 940 clicks at 1 yard times 125000: beyond 16 bits
  const auto problem = Fill_Array(s);
  ASSERT_TRUE(problem);
  EXPECT_NE(problem->find("range 1 "), std::string::npos);
  EXPECT_EQ(std::pair(s.ClickTable, s.MinTableClicks), std::pair(before, -2));
}

TEST(Estimate, ExtentsAndLabels) {
  State s = DefaultState();
  s.Ticked = {0, 0, 0, 0, 0, 0};
  Estimate e = PseudoCalc(s);
  EXPECT_EQ(std::tuple(s.MaxDataRange, s.MinDataRange, s.MaxDataClicks), std::tuple(0, 200, 0));
  for (const auto& l : e.labels) EXPECT_FALSE(l);
  s.Ticked = {1, 2, 1, 1, 1, 1};  // a greyed box does not count as ticked
  s.DataRange[0] = 300;           // loaded from the settings, never validated
  s.DataRange[2] = 230;
  e = PseudoCalc(s);
  EXPECT_EQ(s.MaxDataRange, 300);
  EXPECT_FALSE(e.labels[0] || e.labels[1]);
  EXPECT_EQ(e.labels[2], "(0)");  // ranges 201 to 251 read the untouched entry 0
  s = DefaultState();
  s.ModelMV = Variant::Text("fast", kNaN);
  e = PseudoCalc(s);
  ASSERT_TRUE(e.problem);
  EXPECT_NE(e.problem->find("Muzzle velocity"), std::string::npos);
}

// Edge cases of the number texts; the everyday ones show in the lists, the
// CSV text and the collected data points.
TEST(NumberText, PatternsLeadingNumbersRoundingAndGeneralText) {
  // Exact on every system: some C libraries round the largest double below 0.5 up to 1.
  const std::tuple<double, double, double> rounded[] = {  // x, halves away from zero, halves to even
      {0.49999999999999994, 0, 0}, {0.5, 1, 0}, {-0.5, -1, 0}, {2.5, 3, 2}, {-3.5, -4, -4}, {4503599627370494.5, 4503599627370495, 4503599627370494},
      {4503599627370495.5, 4503599627370496, 4503599627370496}, {4503599627370497.0, 4503599627370497, 4503599627370497}, {1e300, 1e300, 1e300}, {-kInf, -kInf, -kInf}};
  for (const auto& [x, away, even] : rounded) EXPECT_EQ(std::pair(RoundHalfAway(x), RoundHalfEven(x)), std::pair(away, even)) << x;
  EXPECT_EQ(std::tuple(std::isnan(RoundHalfAway(kNaN)), std::isnan(RoundHalfEven(kNaN)), std::signbit(RoundHalfAway(-0.4))), std::tuple(true, true, true));
  const std::tuple<double, const char*, const char*> formats[] = {
      {-2.5, "0", "-3"}, {0.49999999999999994, "0", "0"}, {-0.4, "(0)", "(0)"},
      {12345, "0000", "12345"}, {1e20, "0", "100000000000000000000"}, {kNaN, "0", "NaN"}, {-kInf, "0)", "-Infinity)"}};
  for (const auto& [x, pattern, text] : formats) EXPECT_EQ(FormatNumber(x, pattern), text) << x << " " << pattern;
  const std::pair<std::string, double> leading[] = {
      {" 1 2\t3\n", 123}, {"- 5", -5}, {"1e", 1}, {"1e+", 1}, {"-", 0}, {".", 0}, {"12,5", 12}, {"3\r4", 3},
      {"\xd9\xa3", 0}, {"1e999", kInf}, {"-1e999", -kInf}, {"+0.005e311", kInf}, {"-1e-999", 0},
      {"0.000e99999999999", 0}, {std::string(5000, '9'), kInf}};
  for (const auto& [text, value] : leading) EXPECT_EQ(LeadingNumber(text), value) << text;
  const std::pair<double, std::optional<int16_t>> rounding[] = {{32767.4, 32767}, {-32768.5, -32768}, {-2.5, -2},
      {32767.5, std::nullopt}, {-32768.6, std::nullopt}, {kNaN, std::nullopt}, {kInf, std::nullopt}};
  for (const auto& [x, n] : rounding) EXPECT_EQ(ToInt16HalfEven(x), n) << x;
  const std::pair<double, const char*> general[] = {{0.034000000000000004, "0.034"}, {7.999999999999999, "8"},
      {-2.5, "-2.5"}, {0.00001, "1E-05"}, {1e15, "1E+15"}, {123456789012345, "123456789012345"}, {0, "0"}};
  for (const auto& [x, text] : general) EXPECT_EQ(GeneralText(x), text) << x;
  EXPECT_EQ(GeneralText(0.033, ',') + " " + ShortestText(0.1 + 0.2), "0,033 0.30000000000000004");
}
