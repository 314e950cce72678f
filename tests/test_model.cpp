#include <gtest/gtest.h>

#include <cmath>

#include "model/clicktable.h"
#include "model/trajectory.h"

using namespace vantorel;

namespace {
const ModelParams kDefault{790, 0.033, 2, 30, 8};

double Height(double range, bool metric) { return PathHeight(790, 30, range, 0.033, 2, metric); }
}  // namespace

TEST(Trajectory, ImperialWorkedExample) {
  struct Row { double range, height, clicks; };
  const Row rows[] = {{1, -1.85, 939.65}, {10, -0.71, 52.02}, {20, -0.03, 1.20},   {30, 0, 0},
                      {40, -0.67, 12.63}, {50, -2.10, 31.70}, {55, -3.11, 42.81}, {100, -22.73, 172.74},
                      {200, -163.56, 623.10}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.range);
    EXPECT_NEAR(Height(r.range, false), r.height, 0.005);
    EXPECT_NEAR(ClicksToDial(kDefault, r.range, false), r.clicks, 0.005);
  }
  EXPECT_NEAR(Height(30, false), 0, 1e-12);
  EXPECT_DOUBLE_EQ(Height(0, false), -2);
}

TEST(Trajectory, MetricWorkedExample) {
  EXPECT_NEAR(ClicksToDial(kDefault, 10, true), 30.31, 0.005);
  EXPECT_NEAR(ClicksToDial(kDefault, 20, true), 6.51, 0.005);
  EXPECT_NEAR(ClicksToDial(kDefault, 40, true), -1.92, 0.005);
  EXPECT_NEAR(ClicksToDial(kDefault, 100, true), 9.07, 0.005);
  EXPECT_NEAR(Height(30, true), 0, 1e-12);
  EXPECT_NEAR(Height(0, true), -2, 1e-12);
}

TEST(Trajectory, AngleKeepsTheSignOfTheHeightAndIsFiniteAtRangeZero) {
  EXPECT_TRUE(std::isfinite(AngleMOA(0, -2, false)));
  EXPECT_NEAR(AngleMOA(0, 18, false), 45 * 60, 1e-6);  // divisor 18 inches: tan = 1
  EXPECT_GT(ModelClicks(10, 1.0, 8, false), 0);
  EXPECT_LT(ModelClicks(10, -1.0, 8, true), 0);
}

TEST(Trajectory, ParameterSetsThatCannotBeEvaluatedAreNamed) {
  EXPECT_FALSE(ModelProblem(kDefault, false));
  EXPECT_FALSE(ModelProblem(kDefault, true));
  const double nan = std::nan("");
  const ModelParams bad[] = {{0, 0.033, 2, 30, 8},  {nan, 0.033, 2, 30, 8}, {790, 0, 2, 30, 8},
                             {790, 0.033, 2, 0, 8}, {790, 0.033, nan, 30, 8}, {790, 0.033, 2, 30, INFINITY},
                             {790, 1e-6, 2, 30, 8}};  // exp(30 / 0.0115) overflows
  for (const ModelParams& p : bad) EXPECT_TRUE(ModelProblem(p, false)) << p.mv << " " << p.bc << " " << p.zr;
  EXPECT_NE(ModelProblem(bad[2], false)->find("Ballistic coefficient"), std::string::npos);
}

TEST(ClickTable, DefaultParametersGiveTheKnownTable) {
  State s = DefaultState();
  ASSERT_FALSE(Fill_Array(s));
  const std::pair<int, int> expected[] = {{1, 940}, {10, 52}, {20, 1},   {30, 0},  {40, 13},
                                          {50, 32}, {55, 43}, {100, 173}, {200, 623}};
  for (auto [range, clicks] : expected) EXPECT_EQ(*TableEntry(s, range), clicks) << range;
  EXPECT_EQ(s.MinTableClicks, -2);
  for (int r = 201; r <= 251; ++r) EXPECT_EQ(*TableEntry(s, r), 0);
  EXPECT_FALSE(TableEntry(s, 0));
  EXPECT_FALSE(TableEntry(s, 252));
}

TEST(ClickTable, AFailedRebuildLeavesTheTableAsItWas) {
  State s = DefaultState();
  ASSERT_FALSE(Fill_Array(s));
  const auto before = s.ClickTable;
  s.ModelBC = Variant::Text("abc", std::nan(""));
  EXPECT_TRUE(Fill_Array(s));
  s.SetParams({790, 0.033, 2, 30, 1e6});  // 940 clicks at 1 yard times 125000: beyond 16 bits
  auto problem = Fill_Array(s);
  ASSERT_TRUE(problem);
  EXPECT_NE(problem->find("range 1 "), std::string::npos);
  EXPECT_EQ(s.ClickTable, before);
  EXPECT_EQ(s.MinTableClicks, -2);
}

TEST(Estimate, DefaultDataSetsExtentsAndLabels) {
  State s = DefaultState();
  const Estimate e = PseudoCalc(s);
  ASSERT_FALSE(e.problem);
  EXPECT_EQ(s.MaxDataRange, 55);
  EXPECT_EQ(s.MinDataRange, 10);
  EXPECT_EQ(s.MaxDataClicks, 52);
  const char* labels[] = {"(52)", "(1)", "(0)", "(13)", "(32)", "(43)"};
  for (int i = 0; i < kRows; ++i) EXPECT_EQ(e.labels[static_cast<size_t>(i)], labels[i]);
}

TEST(Estimate, UntickedAndOutOfTablePointsKeepTheirLabels) {
  State s = DefaultState();
  s.Ticked = {0, 0, 0, 0, 0, 0};
  Estimate e = PseudoCalc(s);
  EXPECT_EQ(s.MaxDataRange, 0);
  EXPECT_EQ(s.MinDataRange, 200);
  EXPECT_EQ(s.MaxDataClicks, 0);
  for (const auto& l : e.labels) EXPECT_FALSE(l);

  s.Ticked = {1, 2, 1, 1, 1, 1};  // a greyed box does not count as ticked
  s.DataRange[0] = 300;           // loaded from the settings, never validated
  s.DataRange[2] = 230;
  e = PseudoCalc(s);
  EXPECT_EQ(s.MaxDataRange, 300);
  EXPECT_FALSE(e.labels[0]);
  EXPECT_FALSE(e.labels[1]);
  EXPECT_EQ(e.labels[2], "(0)");  // ranges 201 to 251 read the untouched entry 0
}

TEST(Estimate, ANonNumericSavedParameterIsReportedNotUsed) {
  State s = DefaultState();
  s.ModelMV = Variant::Text("fast", std::nan(""));
  const Estimate e = PseudoCalc(s);
  ASSERT_TRUE(e.problem);
  EXPECT_NE(e.problem->find("Muzzle velocity"), std::string::npos);
}
