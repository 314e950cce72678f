#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
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

TEST(Cli, ARefusalGoesToStandardErrorAndTheEstimateStands) {
  const CliRun r = Fit(With({}, {"10:52:off", "20:0:off", "30:0:off", "40:12:off", "50:28", "55:44"}));
  EXPECT_EQ(std::tuple(r.status, r.out, r.err),
            std::tuple(kExitRefused, std::string(),
                       std::string("More Ranges Needed\nVantorel needs at least three enabled ranges to generate a list.\n")));
  const CliRun j = Fit(With({"--json"}, {"10:52", "20:0", "30:0", "201:12", "50:28", "55:44"}));
  EXPECT_EQ(j.status, kExitRefused);
  EXPECT_TRUE(Has(j.out, "\"refused\": {\"title\": \"Range Error\", \"body\": \"Ranges must be greater"));
  EXPECT_TRUE(Has(j.out, "\"labels\": [\"(52)\", \"(1)\", \"(0)\""));
}

TEST(Cli, CommandLineConventions) {
  const std::string hint = "Try 'vantorel-fit --help' for more information.\n";
  std::vector<std::string> sevenRows = kDefaultRows;
  sevenRows.insert(sevenRows.begin(), "--estimate");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out, err;  // the start of each output; "-" for an output that stays empty
  } cases[] = {
      {{"--help"}, 0, "usage: vantorel-fit [--metric]", "-"},
      {{"-h", "--frobnicate"}, 0, "usage: vantorel-fit [--metric]", "-"},
      {With({"-V"}), 0, "vantorel-fit ", "-"},
      {With({"--frobnicate"}), kExitUsage, "-", "vantorel-fit: unknown option --frobnicate\n" + hint},
      {With({"-x"}), kExitUsage, "-", "vantorel-fit: unknown option -x\n" + hint},
      {{"10:52", "20:0"}, kExitUsage, "-", "vantorel-fit: exactly six rows are needed, 2 given\n" + hint},
      {With({"--", "--estimate"}), kExitUsage, "-", "vantorel-fit: exactly six rows are needed, 7 given\n" + hint},
      {With({"--estimate", "--"}), 0, "  R C  \n", "-"},
      {With({"--model=790,0.033,2,30,8", "--estimate"}), 0, "  R C  \n", "-"},
      {With({"--json=yes"}), kExitUsage, "-", "vantorel-fit: option --json takes no value\n" + hint},
      {With({"--csv"}), kExitUsage, "-", "vantorel-fit: exactly six rows are needed, 5 given\n" + hint},
      {{"--pdf"}, kExitUsage, "-", "vantorel-fit: --pdf needs a value\n" + hint},
      {With({"--csv="}), kExitUsage, "-", "vantorel-fit: a file name is empty\n" + hint},
      {With({"--model", "790,0.033,2,30"}), kExitUsage, "-", "vantorel-fit: --model takes five numbers"},
      {With({"--model", "790,0.033,2,30,8,1"}), kExitUsage, "-", "vantorel-fit: --model takes five numbers"},
      {With({"--model", "790,abc,2,30,8"}), kExitUsage, "-", "vantorel-fit: --model takes five numbers"},
      {With({}, {"10", "20:0", "30:0", "40:12", "50:28", "55:44"}), kExitUsage, "-", "vantorel-fit: row 10 is not"},
      {With({}, {"10:52", "20:0", "30:0", "40:12:of", "50:28", "55:44"}), kExitUsage, "-",
       "vantorel-fit: row 40:12:of ends in :of; the only suffix is :off\n" + hint},
      {With({"--json"}, {"10:52:on"}), kExitUsage, "{\n  \"usage_error\": \"exactly six rows", "vantorel-fit: "},
      {With({"--json", "--estimate", "--model", "790,0,2,30,8"}), kExitFailure, "{\n  \"units\"",
       "vantorel-fit: Ballistic coefficient 0 cannot be used."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const CliRun r = Fit(c.args);
    EXPECT_EQ(r.status, c.status);
    for (auto [got, want] : {std::pair{r.out, c.out}, std::pair{r.err, c.err}}) {
      if (want == "-")
        EXPECT_EQ(got, "");
      else
        EXPECT_EQ(got.substr(0, want.size()), want) << got;
    }
    if (c.status != 0) {
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), c.status == kExitUsage ? 2 : 1) << r.err;
    }
  }
  EXPECT_TRUE(std::regex_match(Fit({"--version"}).out, std::regex("vantorel-fit [0-9]+\\.[0-9]+\\.[0-9]+\n")));
  EXPECT_TRUE(Has(Fit(With({"--json", "--estimate", "--model", "790,0,2,30,8"})).out, "\"error\": \"Ballistic coefficient 0"));

  // ":off" in any case unticks the row; the output is the same.
  const CliRun lower = Fit(With({"--json"}, {"10:52", "20:0", "30:0", "40:12:off", "50:28", "55:44"}));
  EXPECT_EQ(Fit(With({"--json"}, {"10:52", "20:0", "30:0", "40:12:OfF", "50:28", "55:44"})).out, lower.out);
  EXPECT_NE(lower.out, Fit(With({"--json"})).out);

  // Output that cannot be written (a full disk, a closed pipe) is a failure.
  std::ostringstream broken, err;
  broken.setstate(std::ios::badbit);
  EXPECT_EQ(RunFitCli(With({"--estimate"}), broken, err), kExitFailure);
  EXPECT_EQ(err.str(), "vantorel-fit: cannot write to standard output\n");
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
