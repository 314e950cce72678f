// The model, the click table, the estimate and the number texts they use.
#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "model/clicktable.h"
#include "model/decimal.h"
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

// The model's own decimal conversions give what this system's C++ library
// gives (exact here), so that every other library's build gives it too.
namespace {
std::string StdText(double x, int precision) {  // precision 0: shortest, -1: whole
  std::array<char, 1200> b{};
  const auto r = precision > 0  ? std::to_chars(b.data(), b.data() + b.size(), x, std::chars_format::general, precision)
                 : precision < 0 ? std::to_chars(b.data(), b.data() + b.size(), x, std::chars_format::fixed, 0)
                                 : std::to_chars(b.data(), b.data() + b.size(), x);
  return std::string(b.data(), r.ptr);
}
testing::AssertionResult SameRead(const std::string& s) {
  double mine = -7, theirs = -7;  // an error leaves them
  const auto a = ReadDecimal(s.data(), s.data() + s.size(), mine);
  const auto b = std::from_chars(s.data(), s.data() + s.size(), theirs);
  if (a.ptr == b.ptr && a.ec == b.ec && std::memcmp(&mine, &theirs, sizeof mine) == 0) return testing::AssertionSuccess();
  return testing::AssertionFailure() << s.substr(0, 80) << " read as " << mine << " to " << a.ptr - s.data();
}
testing::AssertionResult SameText(double x) {
  const std::pair<std::string, int> texts[] = {{ShortestDecimal(x), 0}, {GeneralDecimal(x, 15), 15}, {GeneralDecimal(x, 6), 6},
                                               {x == std::trunc(x) ? WholeDecimal(x) : StdText(x, -1), -1}};
  for (const auto& [t, p] : texts)
    if (t != StdText(x, p)) return testing::AssertionFailure() << StdText(x, 0) << " written as " << t << " (" << p << ")";
  return SameRead(texts[0].first);
}
}  // namespace

TEST(Decimal, HardCasesAsTheLibrary) {
  const std::string z(1000, '0');
  const std::string reads[] = {"0.49999999999999994", "9007199254740993", "9007199254740993" + z + "1", "9007199254740993." + z, "2.2250738585072011e-308",
                               "2.2250738585072014e-308", "1.7976931348623157e308", "1.7976931348623158e+308", "1.7976931348623159e308", "4.9e-324", "5e-324",
                               "2.4703282292062327e-324", "2.4703282292062328e-324", "2e-324", "1e-400", "-1e-400", "1e309", "-0", "0e999999", "0." + z + "1e1000",
                               "1" + z + "e-1000", "." + z + "5e-324", "1e-99999999999999999999", "1e", "1e+", "-.5e", "5.", ".e1", "-", "+1", "0x10", "1E-5x",
                               std::string(3000, '7') + ".5e-3000", "100000000000000.5", "100000000000001.5"};
  for (const std::string& s : reads) EXPECT_TRUE(SameRead(s));
  for (double x : {0.0, -0.0, 1e22, 1e23, 5e-324, 2.2250738585072014e-308, 2.2250738585072009e-308, 1.7976931348623157e308, 9007199254740992.0,
                   0.49999999999999994, 100000000000000.5, 100000000000001.5, 123456789012345680000.0, 1e-5, 1e-4, 1e15, 1e16, 0.1, 1.0 / 3})
    EXPECT_TRUE(SameText(x) && SameText(-x)) << x;
  for (int e = -1074; e <= 1023; ++e)  // powers of two and their neighbours
    for (double x : {std::ldexp(1.0, e), std::nextafter(std::ldexp(1.0, e), 0.0), std::nextafter(std::ldexp(1.0, e), kInf)}) ASSERT_TRUE(SameText(x));
  for (int e = -330; e <= 308; ++e) ASSERT_TRUE(SameRead(std::string("1e") + std::to_string(e)) && SameRead(std::string("5e") + std::to_string(e)) && SameText(std::pow(10.0, e))) << e;
}

TEST(Decimal, RandomValuesAsTheLibrary) {
  std::mt19937_64 gen(20240611);
  for (int i = 0; i < 60000; ++i) {
    uint64_t bits = gen();
    double x = 0;
    std::memcpy(&x, &bits, sizeof x);
    if (!std::isfinite(x)) continue;
    ASSERT_TRUE(SameText(x) && SameRead(StdText(x, 17)));
    // Halfway between x and its neighbour, exact in a long double of 64 bits, and just either side.
    if (std::numeric_limits<long double>::digits >= 64) {
      const long double half = (static_cast<long double>(x) + std::nextafter(x, 0.0)) / 2;
      std::array<char, 1200> b{};
      std::string t(b.data(), std::to_chars(b.data(), b.data() + b.size(), half, std::chars_format::scientific, 800).ptr);
      const size_t e = t.find('e'), last = t.find_last_not_of('0', e - 1);
      for (const std::string& s : {t.substr(0, last + 1) + t.substr(e), t.substr(0, last + 1) + "01" + t.substr(e), t.substr(0, 25) + t.substr(e)})
        ASSERT_TRUE(SameRead(s));
    }
    std::string d = std::to_string(gen() % 100000000000000000) + "e" + std::to_string(static_cast<int>(gen() % 80) - 40);
    d.insert(d.begin() + static_cast<std::ptrdiff_t>(gen() % (d.find('e') + 1)), '.');
    ASSERT_TRUE(SameRead(d) && SameRead("-" + d) && SameText(std::ldexp(static_cast<double>(gen() % 1000000), static_cast<int>(gen() % 40) - 30)));
  }
}
