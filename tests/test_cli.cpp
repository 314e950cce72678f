#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "cli/fitcli.h"
#include "memory_store.h"
#include "shell.h"
#include "model/clicktable.h"
#include "output/csvexport.h"
#include "platform/pdf.h"
#include "settings/settings.h"

using namespace vantorel;
namespace fs = std::filesystem;

namespace {

struct CliRun {
  int status;
  std::string out, err;
};

test::MemoryStore store;

CliRun Fit(std::vector<std::string> args) {
  std::ostringstream out, err;
  const int status = RunFitCli(args, out, err, store);
  return {status, out.str(), err.str()};
}

std::vector<std::string> With(std::vector<std::string> opts, std::string row4 = "40:12") {
  opts.insert(opts.end(), {"10:52", "20:0", "30:0", row4, "50:28", "55:44"});
  return opts;
}

}  // namespace

TEST(Cli, JsonReportsAndTheCsvFile) {
  const std::pair<std::vector<std::string>, std::vector<std::string>> cases[] = {
      {With({"--json"}),
       {"\"units\": \"imperial\"", "\"model\": {\"mv\": 775, \"bc\": 0.034, \"sh\": 2.05, \"zr\": 31, \"cpm\": 7.999999999999999}",
        "\"fit_error\": 5.83", "\"candidates\": [5525, 66550]", "\"click_table\": [962, 530,", "\"min_data_range\": 10",
        "\"labels\": [\"(52)\", \"(0)\", \"(-1)\", \"(12)\", \"(32)\", \"(43)\"]", "\"max_data_range\": 55",
        "\"max_data_clicks\": 52", "\"list\": \"  R C  \\n Yd Clk\\n\\n 10:52  (52)\\n", "\"refused\": null"}},
      // The estimate alone keeps the unticked point's old label.
      {With({"--json", "--estimate"}, "40:12:off"),
       {"\"labels\": [\"(52)\", \"(1)\", \"(0)\", \"(0)\", \"(32)\", \"(43)\"]", "\"fit_error\": null", "\"candidates\": null",
        "\"model\": {\"mv\": 790, \"bc\": 0.033, \"sh\": 2, \"zr\": 30, \"cpm\": 8}"}},
      // What a run did not get to is null, never a made-up value.
      {With({"--json"}, "201:12"), {"\"refused\": {\"title\": \"Range Error\", \"body\": \"Ranges must", "\"candidates\": null"}},
      {With({"--json", "--estimate", "--model", "790,0,2,30,8"}),
       {"\"error\": \"Ballistic coefficient 0", "\"model\": {\"mv\": 790", "\"labels\": null", "\"list\": null"}},
  };
  for (const auto& [args, parts] : cases)
    for (const std::string& part : parts) EXPECT_NE(Fit(args).out.find(part), std::string::npos) << part;
  store.lockedReads = 1;  // saved settings that cannot be read: the error, and nothing made up beside it
  EXPECT_NE(Fit({"--saved", "--json"}).out.find("\"units\": null,\n  \"model\": null,\n  \"fit_error\": null"), std::string::npos);
  // --csv writes the CSV text to the file.
  const fs::path file = fs::temp_directory_path() / ("vantorel-cli-" + std::to_string(getpid()) + ".csv");
  ASSERT_EQ(Fit(With({"--csv", file.string(), "--estimate"})).status, 0);
  State s = DefaultState();
  PseudoCalc(s);
  std::ifstream in(file, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), CsvText(s));
  fs::remove(file);
}

// Saved settings changed outside the program fail, naming them. JSON is
// UTF-8 whatever bytes it reports.
TEST(Cli, SavedSettingsChangedOutsideTheProgramAndJsonOfAnyBytes) {
  State s = DefaultState();
  s.SettingsPath = BuildSettingsPath("Vantorel");
  SaveData(store, s);
  SaveRegSetting(store, s.SettingsPath, "C(0)", "51");
  const CliRun r = Fit({"--saved", "--estimate"});
  EXPECT_EQ(std::pair(r.status, r.err.find("are not what the program last saved (clicks 1): ") != std::string::npos), std::pair(kExitFailure, true)) << r.err;
  DeleteRegSettings(store, s.SettingsPath);
  EXPECT_EQ(Fit(With({"--json"}, "4\xff\xc3")).out, "{\n  \"usage_error\": \"row 4\uFFFD\uFFFD is not RANGE:CLICKS\"\n}\n");
}

TEST(Cli, CommandLineConventions) {
  const std::string hint = "Try 'vantorel-fit --help' for more information.\n";
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out, err;  // the start of each output; "-" for an output that stays empty
  } cases[] = {
      {{"--help"}, 0, "usage: vantorel-fit [--metric]", "-"},
      {{"-h", "--frobnicate"}, 0, "usage: vantorel-fit [--metric]", "-"},
      {With({"-V"}), 0, "vantorel-fit ", "-"},
      {With({"--metric", "--model", "790,0.033,2,30,8", "--estimate"}), 0, "  R C  \n  m Clk\n\n 10:30  (52)\n", "-"},
      {With({"--model=790,0.033,2,30,8", "--estimate", "--"}), 0, "  R C  \n Yd Clk\n\n 10:52  (52)\n", "-"},
      {With({"--frobnicate"}), 64, "-", "vantorel-fit: unknown option --frobnicate\n" + hint},
      {{"10:52", "20:0"}, kExitUsage, "-", "vantorel-fit: exactly six rows are needed, 2 given\n" + hint},
      {With({"--json=yes"}), kExitUsage, "-", "vantorel-fit: option --json takes no value\n" + hint},
      {With({"--csv"}), kExitUsage, "-", "vantorel-fit: exactly six rows are needed, 5 given\n" + hint},
      {{"--pdf"}, kExitUsage, "-", "vantorel-fit: --pdf needs a value\n" + hint},
      {With({"--csv="}), kExitUsage, "-", "vantorel-fit: a file name is empty\n" + hint},
      {With({"--csv=a", "--csv", "b"}), kExitUsage, "-", "vantorel-fit: --csv is given twice\n" + hint},
      {With({"--pdf=a", "--pdf=a"}), kExitUsage, "-", "vantorel-fit: --pdf is given twice\n" + hint},
      {With({"--pdf", "card", "--csv", "./x/../card"}), kExitUsage, "-", "vantorel-fit: --csv and --pdf name the same file, ./x/../card\n" + hint},
      {With({"--model", "790,0.033,2,30"}), kExitUsage, "-", "vantorel-fit: --model takes five numbers"},
      {With({"--model", "790,abc,2,30,8"}), kExitUsage, "-", "vantorel-fit: --model takes five numbers"},
      {With({}, "40"), kExitUsage, "-", "vantorel-fit: row 40 is not"},
      {With({}, "40:12:of"), kExitUsage, "-", "vantorel-fit: row 40:12:of ends in :of; the only suffix is :off\n" + hint},
      {{"--json", "10:52:on"}, kExitUsage, "{\n  \"usage_error\": \"exactly six rows", "vantorel-fit: "},
      {With({"--json", "--estimate", "--model", "790,0,2,30,8"}), kExitFailure, "{\n  \"units\"",
       "vantorel-fit: Ballistic coefficient 0 cannot be used."},
      {{"10:52:off", "20:0:off", "30:0:off", "40:12:off", "50:28", "55:44"}, kExitRefused, "-", "More Ranges Needed\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const CliRun r = Fit(c.args);
    EXPECT_EQ(r.status, c.status);
    for (auto [got, want] : {std::pair{r.out, c.out}, std::pair{r.err, c.err}})
      EXPECT_EQ(got.substr(0, want == "-" ? std::string::npos : want.size()), want == "-" ? "" : want) << got;
    EXPECT_TRUE(c.status == 0 || std::count(r.err.begin(), r.err.end(), '\n') == (c.status == kExitFailure ? 1 : 2)) << r.err;
  }
  EXPECT_TRUE(std::regex_match(Fit({"--version"}).out, std::regex("vantorel-fit [0-9]+\\.[0-9]+\\.[0-9]+\n")));
  // ":off" in any case unticks the row; the output is the same.
  const CliRun lower = Fit(With({"--json"}, "40:12:off"));
  EXPECT_EQ(Fit(With({"--json"}, "40:12:OfF")).out, lower.out);
  EXPECT_NE(lower.out, Fit(With({"--json"})).out);
  // Output that cannot be written (a full disk, a closed pipe) is a failure.
  std::ostringstream broken, err;
  broken.setstate(std::ios::badbit);
  EXPECT_EQ(RunFitCli(With({"--estimate"}), broken, err, store), kExitFailure);
  EXPECT_EQ(err.str(), "vantorel-fit: cannot write to standard output\n");
}

// --pdf: the printed list on an A4 page, 10 pt body in columns of 6 points:
// the margin is 3 columns, and 500 twips add 4 before the title, heads and
// rows; regular and bold faces of a fixed-pitch font, embedded.
TEST(Cli, ThePrintedListAsPdf) {
  const std::string pdf = (fs::temp_directory_path() / ("vantorel-cli-" + std::to_string(getpid()) + ".pdf")).string();
  ASSERT_EQ(Fit(With({"--pdf", pdf, "--estimate"})).status, 0);
  const std::pair<std::string, std::string> cases[] = {
      {"pdfinfo '" + pdf + "' | grep -E '^(Title|Pages|Page size):' | tr -s ' '",
       "Title: Vantorel\nPages: 1\nPage size: 595 x 842 pts (A4)\n"},
      {"pdftotext -layout -fixed 6 '" + pdf + "' - 2>&1 | sed -n '1p;3p;4p;6p;10p;30p;32p;33,$p' | tr -d '\\f'",
       "       Vantorel\n"
       "        Range   Clicks         Range   Clicks         Range   Clicks         Range   Clicks\n"
       "         (Yd)   (Clk)           (Yd)   (Clk)           (Yd)   (Clk)           (Yd)   (Clk)\n"
       "            1 : 940               26 : -2                51 : 34                76 : 98\n"
       "            5 : 178               30 : 0    (0)          55 : 43   (44)         80 : 109\n"
       "           25 : -2                50 : 32   (28)         75 : 95               100 : 173\n"
       "          Calculated/(Entered) Data Point      Interpolated Result     Extrapolated Result\n"},
      {"pdffonts '" + pdf + "' | awk 'NR > 2 { sub(/^[A-Z]+[+]/, \"\", $1); print $1, $(NF - 4) }'",
       "LiberationMono yes\nLiberationMono-Bold,Bold yes\n"},
  };
  for (const auto& [command, want] : cases) EXPECT_EQ(Shell(command), want);
  fs::remove(pdf);
}

// A PDF file is written whole or not at all, never over another, and keeps
// text and title beyond ASCII.
TEST(Cli, PdfFilesWholeOrNotAtAll) {
  const std::string pdf = (fs::temp_directory_path() / ("vantorel-pdf-" + std::to_string(getpid()) + ".pdf")).string();
  const auto printing = [](std::string text, std::optional<std::string> complaint = std::nullopt) {
    return [=](platform::PrinterSurface& page) {
      if (!text.empty()) page.Print(text);
      const auto ended = page.EndDoc();
      return complaint ? complaint : ended;
    };
  };
  const std::string text = "Größe 5 °C – 9 € ½";
  const std::tuple<platform::DrawDocument, std::optional<std::string>, std::string> cases[] = {
      {printing("", "out of paper"), "Cannot make " + pdf + ": out of paper", ""},
      {printing(""), "Cannot make " + pdf + ": nothing was drawn.", ""},
      {printing(text), std::nullopt, text + "\n"},
      {printing("again"), "The file " + pdf + " already exists.", text + "\n"},
  };
  for (const auto& [draw, said, kept] : cases) {
    EXPECT_EQ(platform::WriteNewPdf(pdf, "Größe", draw), said);
    EXPECT_EQ(fs::exists(pdf) ? Shell("pdftotext '" + pdf + "' - 2>&1 | tr -d '\\f' | sed '/^$/d'") : "", kept);
  }
  EXPECT_EQ(Shell("pdfinfo '" + pdf + "' | grep '^Title:'"), "Title:           Größe\n");
  fs::remove(pdf);
}

// A settings file carries the saved settings to another store whole; a file
// that is not one, or damaged, changes nothing; an existing file is never
// written over.
TEST(Cli, SettingsFilesCarryTheSavedSettingsAndRefuseDamage) {
  State s = DefaultState();
  s.SettingsPath = BuildSettingsPath("Vantorel");
  s.DataRange[0] = 12, s.Ticked[3] = 0, s.MetricUnits = true;
  SaveData(store, s);
  const fs::path dir = fs::temp_directory_path() / ("vantorel-settings-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string file = (dir / "rifle.txt").string();
  ASSERT_EQ(Fit({"--export-settings", file}).status, 0);
  EXPECT_EQ(Fit({"--export-settings", file}).status, kExitFailure);  // not over the file it made
  std::ifstream in(file, std::ios::binary);
  const std::string text(std::istreambuf_iterator<char>(in), {});
  EXPECT_EQ(text.substr(0, 66), "Vantorel settings file 1\r\nProgram: Vantorel 1.0.0\r\nUnits: metres\r\n");
  DeleteRegSettings(store, s.SettingsPath);
  const std::pair<std::string, std::string> refused[] = {
      {"Vantorel settings 1\r\n", "not a Vantorel settings file"},
      {"Vantorel settings file 2\r\n", "in a form this version cannot read"},
      {std::regex_replace(text, std::regex("file 1"), "file 2"), "in a form this version cannot read"},
      {std::regex_replace(text, std::regex("R\\(0\\)=12"), "R(0)=13"), "do not agree with its check"},
      {std::regex_replace(text, std::regex("Check=.*\r\n"), "R(0)=13\r\n"), "R(0) is given twice"},
      {std::regex_replace(text, std::regex("oBC=[^\r]*\r\n"), ""), "oBC is missing"},
      {std::regex_replace(text, std::regex("Check=.*\r\n"), "oBC=x\r\n"), "oBC is given twice"},
      {std::regex_replace(std::regex_replace(text, std::regex("Check=.*\r\n"), ""), std::regex("oBC=[^\r]*"), "oBC=x"),
       "ballistic coefficient \"x\" cannot be used"},
      {std::regex_replace(std::regex_replace(text, std::regex("Check=.*\r\n"), ""), std::regex("metres"), "yards"),
       "units do not agree"},
      {text + "Extra=1\r\n", "Extra is not one of Vantorel's settings"}};
  for (const auto& [bad, why] : refused) {
    fs::remove(file);
    std::ofstream(file, std::ios::binary) << bad;
    const CliRun r = Fit({"--import-settings", file});
    EXPECT_EQ(std::pair(r.status, r.err.find(why) != std::string::npos), std::pair(kExitFailure, true)) << r.err;
    EXPECT_EQ(GetRegSetting(store, s.SettingsPath, "R(0)", "none"), "none");
  }
  // By hand, without its check: taken.
  fs::remove(file);
  std::ofstream(file, std::ios::binary) << std::regex_replace(text, std::regex("Check=.*\r\n"), "");
  ASSERT_EQ(Fit({"--import-settings", file}).status, 0);
  State back;
  back.SettingsPath = s.SettingsPath;
  LoadData(store, back);
  EXPECT_EQ(std::tuple(back.DataRange, back.Ticked, back.MetricUnits, GetRegSetting(store, s.SettingsPath, "oBC", "")),
            std::tuple(s.DataRange, s.Ticked, true, "0.033"));
  DeleteRegSettings(store, s.SettingsPath);
  fs::remove_all(dir);
}
