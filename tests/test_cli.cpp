#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/fitcli.h"
#include "model/clicktable.h"
#include "output/csvexport.h"

using namespace vantorel;
namespace fs = std::filesystem;

namespace {

struct CliRun {
  int status;
  std::string out, err;
};

CliRun Fit(std::vector<std::string> args) {
  std::ostringstream out, err;
  const int status = RunFitCli(args, out, err);
  return {status, out.str(), err.str()};
}

const std::vector<std::string> kDefaultRows = {"10:52", "20:0", "30:0", "40:12", "50:28", "55:44"};

std::vector<std::string> With(std::vector<std::string> opts, std::vector<std::string> rows = kDefaultRows) {
  opts.insert(opts.end(), rows.begin(), rows.end());
  return opts;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(Cli, JsonReportOfTheDefaultFit) {
  const CliRun r = Fit(With({"--json"}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "\"units\": \"imperial\""));
  EXPECT_TRUE(Has(r.out, "\"model\": {\"mv\": 775, \"bc\": 0.034, \"sh\": 2.05, \"zr\": 31, \"cpm\": 7.999999999999999}"))
      << r.out;
  EXPECT_TRUE(Has(r.out, "\"fit_error\": 5.83"));
  EXPECT_TRUE(Has(r.out, "\"candidates\": [5525, 66550]"));
  EXPECT_TRUE(Has(r.out, "\"labels\": [\"(52)\", \"(0)\", \"(-1)\", \"(12)\", \"(32)\", \"(43)\"]"));
  EXPECT_TRUE(Has(r.out, "\"click_table\": [962, 530,"));
  EXPECT_TRUE(Has(r.out, "\"min_data_range\": 10"));
  EXPECT_TRUE(Has(r.out, "\"max_data_range\": 55"));
  EXPECT_TRUE(Has(r.out, "\"max_data_clicks\": 52"));
  EXPECT_TRUE(Has(r.out, "\"list\": \"  R C  \\n Yd Clk\\n\\n 10:52  (52)\\n"));
  EXPECT_TRUE(Has(r.out, "\"refused\": null"));
}

TEST(Cli, EstimateOnlyKeepsUntickedLabelsAsDesigned) {
  const CliRun r = Fit(With({"--json", "--estimate"}, {"10:52", "20:0", "30:0", "40:12:off", "50:28", "55:44"}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "\"labels\": [\"(52)\", \"(1)\", \"(0)\", \"(0)\", \"(32)\", \"(43)\"]")) << r.out;
  EXPECT_TRUE(Has(r.out, "\"fit_error\": null"));
  EXPECT_TRUE(Has(r.out, "\"candidates\": [0, 0]"));
  EXPECT_TRUE(Has(r.out, "\"model\": {\"mv\": 790, \"bc\": 0.033, \"sh\": 2, \"zr\": 30, \"cpm\": 8}"));
}

TEST(Cli, PlainOutputIsTheListText) {
  const CliRun r = Fit(With({"--metric", "--model", "790,0.033,2,30,8", "--estimate"}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("  R C  \n  m Clk\n\n 10:30  (52)\n", 0), 0u) << r.out;
}

TEST(Cli, RowsAreReadByTheLeadingNumberRule) {
  const CliRun r = Fit(With({"--json", "--estimate"}, {"9.5x:51.5", " 2 0 :abc", "30:0", "40.5:12", "50:28", "55:44"}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "\"list\": \"  R C  \\n Yd Clk\\n\\n 10:52  (52)\\n")) << r.out;  // 9.5 -> 10, 51.5 -> 52
  EXPECT_TRUE(Has(r.out, " 20:1   (0)"));
  EXPECT_TRUE(Has(r.out, " 40:13  (12)"));  // 40.5 -> 40
}

TEST(Cli, RefusalsCarryTheirExactTitlesAndBodies) {
  struct Case {
    std::vector<std::string> args;
    std::string title, body;
  };
  const Case cases[] = {
      {With({}, {"10:52:off", "20:0:off", "30:0:off", "40:12:off", "50:28", "55:44"}), "More Ranges Needed",
       "Vantorel needs at least three enabled ranges to generate a list."},
      {With({}, {"10:52", "20:0", "30:0", "201:12", "50:28", "55:44"}), "Range Error",
       "Ranges must be greater than zero but no greater than 100 Yards."},
      {With({"--metric"}, {"10:52", "20:0", "30:0", "0:12:off", "50:28", "55:44"}), "Range Error",
       "Ranges must be greater than zero but no greater than 100 Metres."},
      {With({}, {"25:52", "25:0", "30:0", "40:12", "50:28", "55:44"}), "Same Ranges Specified",
       "Ranges must be be unique:\r\n(Range #1 = Range #2 ?)"},
      {With({}, {"10:52", "99999:0", "30:0", "40:12", "50:28", "55:44"}), "Range Error",
       "Ranges must be greater than zero but no greater than 100 Yards."},
      {With({}, {"10:52", "20:0", "30:1e9", "40:12", "50:28", "55:44"}), "Clicks Error",
       "Clicks must be whole numbers from -32768 to 32767:\r\n(Clicks @ Range #3 ?)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    const CliRun r = Fit(c.args);
    EXPECT_EQ(r.status, kExitRefused);
    EXPECT_EQ(r.err, c.title + "\n" + c.body + "\n");
    EXPECT_EQ(r.out, "");
  }
  // Equal ranges pass when the rows are not neighbours or one is unticked.
  EXPECT_EQ(Fit(With({"--estimate"}, {"25:52", "20:0", "25:0", "40:12", "50:28", "55:44"})).status, 0);
  EXPECT_EQ(Fit(With({}, {"25:52", "20:0", "25:0", "40:12", "40:28:off", "55:44"})).status, 0);

  const CliRun j = Fit(With({"--json"}, {"10:52", "20:0", "30:0", "201:12", "50:28", "55:44"}));
  EXPECT_EQ(j.status, kExitRefused);
  EXPECT_TRUE(Has(j.out, "\"refused\": {\"title\": \"Range Error\", \"body\": \"Ranges must be greater"));
  EXPECT_TRUE(Has(j.out, "\"labels\": [\"(52)\", \"(1)\", \"(0)\""));  // the estimate stands
}

TEST(Cli, UsageErrorsAndUnusableModels) {
  EXPECT_EQ(Fit({"10:52", "20:0"}).status, kExitUsage);
  EXPECT_EQ(Fit(With({"--model", "790,0.033,2,30"})).status, kExitUsage);
  EXPECT_EQ(Fit(With({"--model", "790,0.033,2,30,8,1"})).status, kExitUsage);
  EXPECT_EQ(Fit(With({"--model", "790;0.033;2;30;8"})).status, kExitUsage);
  EXPECT_EQ(Fit(With({"--model", "790,abc,2,30,8"})).status, kExitUsage);
  EXPECT_EQ(Fit(With({"--frobnicate"})).status, kExitUsage);
  EXPECT_EQ(Fit(With({"--csv"})).status, kExitUsage);
  EXPECT_EQ(Fit(With({}, {"10", "20:0", "30:0", "40:12", "50:28", "55:44"})).status, kExitUsage);

  const CliRun r = Fit(With({"--model", "790,0,2,30,8", "--estimate"}));
  EXPECT_EQ(r.status, kExitFailure);
  EXPECT_TRUE(Has(r.err, "Ballistic coefficient 0 "));
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
}

TEST(Cli, CsvFileIsWrittenOnceAndNeverOverwritten) {
  const fs::path file = fs::temp_directory_path() / ("vantorel-cli-" + std::to_string(getpid()) + ".csv");
  fs::remove(file);
  CliRun r = Fit(With({"--csv", file.string(), "--estimate"}));
  ASSERT_EQ(r.status, 0) << r.err;
  State s = DefaultState();
  PseudoCalc(s);
  std::ifstream in(file, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), CsvText(s));
  r = Fit(With({"--csv", file.string(), "--estimate"}));
  EXPECT_EQ(r.status, kExitFailure);
  EXPECT_TRUE(Has(r.err, "already exists"));
  fs::remove(file);
}
