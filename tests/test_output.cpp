#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "model/clicktable.h"
#include "model/numtext.h"
#include "output/clicklist.h"
#include "output/csvexport.h"
#include "platform/files.h"

using namespace vantorel;
namespace fs = std::filesystem;

namespace {

State Estimated() {
  State s = DefaultState();
  PseudoCalc(s);
  return s;
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class TempDir : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "vantorel-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir = tmpl;
  }
  void TearDown() override { fs::remove_all(dir); }
  std::vector<std::string> Names() const {
    std::vector<std::string> n;
    for (auto& e : fs::directory_iterator(dir)) n.push_back(e.path().filename().string());
    std::sort(n.begin(), n.end());
    return n;
  }
  fs::path dir;
};

}  // namespace

TEST(ClickList, FancyPadsToThreeWithoutEverCutting) {
  EXPECT_EQ(sFancy("R", 0), "  R");
  EXPECT_EQ(sFancy("C", 1), "C  ");
  EXPECT_EQ(sFancy("7", 2), "7");
  EXPECT_EQ(sFancy("-123", 0), "-123");
  EXPECT_EQ(sFancy("", 1), "   ");
}

TEST(ClickList, LayoutOfTheDefaultEstimate) {
  const State s = Estimated();
  const auto lines = ClickListLines(s);
  ASSERT_EQ(lines.size(), 3u + 46u);  // heads, empty line, ranges 10 to 55
  EXPECT_EQ(lines[0], "  R C  ");
  EXPECT_EQ(lines[1], " Yd Clk");
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[3], " 10:52  (52)");
  EXPECT_EQ(lines[4], " 11:41 ");
  EXPECT_EQ(lines[13], " 20:1   (0)");
  EXPECT_EQ(lines.back(), " 55:43  (44)");
  EXPECT_EQ(ClickListTooltip(s), "Range/Click List (1 - 100 Yard)");
  EXPECT_EQ(JoinLines(lines, "\n").back(), ')');  // no trailing line break
}

TEST(ClickList, EmptyBandMetricUnitsAndMarkedPoints) {
  State s = Estimated();
  s.MinDataRange = 200;
  s.MaxDataRange = 0;
  s.MetricUnits = true;
  EXPECT_EQ(JoinLines(ClickListLines(s), "\r\n"), "  R C  \r\n  m Clk\r\n");
  EXPECT_EQ(ClickListTooltip(s), "Range/Click List (1 - 100 m)");

  // An unticked point inside the band is marked; two points at one range give two groups.
  s = DefaultState();
  s.Ticked[3] = 0;
  s.DataRange[4] = 30;
  s.DataClicks[4] = -3;
  PseudoCalc(s);
  const auto lines = ClickListLines(s);
  EXPECT_EQ(lines[3 + 30 - 10], " 30:0   (0) (-3)");
  EXPECT_EQ(lines[3 + 40 - 10], " 40:13  (12)");
}

TEST(ClickList, WideValuesPushTheLineRightInsteadOfBeingCut) {
  State s = DefaultState();
  s.ModelCPM = -1.0472;  // about -123 clicks at one yard
  s.MinDataRange = s.MaxDataRange = 1;
  EXPECT_EQ(ClickListLines(s)[3], "  1:-123");
}

TEST(Csv, DefaultDataByteForByte) {
  const State s = Estimated();
  const std::string csv = CsvText(s);
  EXPECT_EQ(csv.rfind("Range,Clicks\r\n(Yard),(Clk)\r\n1,940\r\n2,", 0), 0u);
  EXPECT_NE(csv.find("\r\n10,52\r\n"), std::string::npos);
  EXPECT_NE(csv.find("\r\n25,-2\r\n"), std::string::npos);
  EXPECT_TRUE(csv.ends_with("\r\n100,173\r\n"));
  size_t lines = 0;
  for (size_t i = 0; i < csv.size(); ++i)
    if (csv[i] == '\n') {
      ASSERT_EQ(csv[i - 1], '\r');
      ++lines;
    }
  EXPECT_EQ(lines, 102u);
  EXPECT_EQ(csv.find(' '), std::string::npos);
}

TEST(Csv, LastRangeAndUnitLineFollowTheData) {
  State s = Estimated();
  s.MaxDataRange = 100;
  EXPECT_TRUE(CsvText(s).ends_with("\r\n100,173\r\n"));
  s.MaxDataRange = 101;
  s.MetricUnits = true;
  const std::string csv = CsvText(s);
  EXPECT_TRUE(csv.ends_with("\r\n200,623\r\n"));
  EXPECT_EQ(csv.rfind("Range,Clicks\r\n(Metre),(Clk)\r\n", 0), 0u);
}

TEST(Csv, UniqueFileNameFillsTheFirstGap) {
  std::set<std::string> taken = {"d/VTL_0001.CSV", "d/VTL_0003.CSV"};
  auto isTaken = [&](const std::string& p) { return taken.count(p) > 0; };
  EXPECT_EQ(UniqueFileName("VTL", "d", ".CSV", isTaken), "VTL_0002.CSV");
  EXPECT_EQ(UniqueFileName("VTL", "d", ".CSV", [](const std::string&) { return true; }), "VTL_10000.CSV");
}

TEST_F(TempDir, SavesNumberedFilesAndNeverTouchesExistingOnes) {
  const State s = Estimated();
  fs::create_symlink(dir / "elsewhere.txt", dir / "VTL_0001.CSV");  // dangling: must not be followed
  { std::ofstream(dir / "VTL_0002.CSV") << "keep me"; }
  CsvSave a = SaveCsvInFolder(s, dir.string());
  ASSERT_TRUE(a.ok) << a.message;
  EXPECT_EQ(a.path, (dir / "VTL_0003.CSV").string());
  EXPECT_EQ(ReadFile(a.path), CsvText(s));
  CsvSave b = SaveCsvInFolder(s, dir.string());
  EXPECT_EQ(b.path, (dir / "VTL_0004.CSV").string());
  EXPECT_FALSE(fs::exists(dir / "elsewhere.txt"));
  EXPECT_EQ(ReadFile(dir / "VTL_0002.CSV"), "keep me");
  EXPECT_EQ(Names(), (std::vector<std::string>{"VTL_0001.CSV", "VTL_0002.CSV", "VTL_0003.CSV", "VTL_0004.CSV"}));
}

TEST_F(TempDir, WriteNewFileRefusesAnExistingName) {
  { std::ofstream(dir / "x.csv") << "old"; }
  const auto w = platform::WriteNewFile((dir / "x.csv").string(), "new");
  EXPECT_EQ(w.status, platform::WriteStatus::Exists);
  EXPECT_EQ(ReadFile(dir / "x.csv"), "old");
  EXPECT_EQ(Names(), std::vector<std::string>{"x.csv"});
}

TEST_F(TempDir, EveryNameTakenIsRefusedWithAClearMessage) {
  for (int n = 1; n <= 9999; ++n) std::ofstream(dir / ("VTL_" + FormatNumber(n, "0000") + ".CSV"));
  const CsvSave r = SaveCsvInFolder(Estimated(), dir.string());
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("VTL_9999.CSV is already taken"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "VTL_10000.CSV"));
}

TEST_F(TempDir, AFailedWriteLeavesNoPartialFile) {
  // A file-size limit makes the write fail half way, as a full disk would.
  struct rlimit old {};
  getrlimit(RLIMIT_FSIZE, &old);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const CsvSave r = SaveCsvInFolder(Estimated(), dir.string());
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("Cannot write"), std::string::npos) << r.message;
  EXPECT_TRUE(Names().empty());
}

TEST_F(TempDir, ExportFallsBackToThePrivateDocumentsFolder) {
  const State s = Estimated();
  { std::ofstream(dir / "plain-file"); }
  fs::create_directories(dir / "docs3/Vantorel");
  { std::ofstream(dir / "docs3/Vantorel/VTL_0001.CSV") << "keep me"; }
  fs::create_directory(dir / "prog");
  struct Case {
    std::string program, docs;
    std::string written;  // relative to dir; empty: nothing saved
  } cases[] = {
      {"prog", "docs1", "prog/VTL_0001.CSV"},                // the program's folder accepts it
      {"missing", "docs2/deeper", "docs2/deeper/Vantorel/VTL_0001.CSV"},
      {"plain-file", "docs3", "docs3/Vantorel/VTL_0002.CSV"},  // same numbering there
      {"missing", "plain-file", ""},                           // neither folder usable
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program + " " + c.docs);
    const CsvSave r = SaveCsv(s, (dir / c.program).string(), (dir / c.docs).string());
    EXPECT_EQ(r.ok, !c.written.empty()) << r.message;
    if (c.written.empty()) {
      EXPECT_NE(r.message.find("Cannot create a file in " + (dir / "missing").string()), std::string::npos);
      EXPECT_NE(r.message.find("plain-file/Vantorel: Not a directory"), std::string::npos) << r.message;
      continue;
    }
    EXPECT_EQ(r.path, (dir / c.written).string());
    EXPECT_EQ(ReadFile(r.path), CsvText(s));
  }
  for (const char* created : {"docs2", "docs2/deeper", "docs2/deeper/Vantorel"}) {
    SCOPED_TRACE(created);
    EXPECT_EQ(fs::status(dir / created).permissions(), fs::perms::owner_all);
  }
  EXPECT_FALSE(fs::exists(dir / "docs1"));
  EXPECT_FALSE(fs::exists(dir / "missing"));
  EXPECT_EQ(ReadFile(dir / "docs3/Vantorel/VTL_0001.CSV"), "keep me");
}

TEST_F(TempDir, AnOrdinaryUserOfAnInstalledProgramSavesIntoDocuments) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
  // A program folder of root's that others may read but not write, as /usr/bin.
  fs::create_directory(dir / "bin");
  fs::permissions(dir / "bin", fs::perms(0755));
  fs::create_directory(dir / "home");
  ASSERT_EQ(chown((dir / "home").c_str(), 65534, 65534), 0);
  fs::permissions(dir, fs::perms::others_exec, fs::perm_options::add);
  const pid_t child = fork();
  if (child == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
    setenv("HOME", (dir / "home").c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    const CsvSave r = SaveCsv(Estimated(), (dir / "bin").string());
    _exit(r.ok && r.path == (dir / "home/Documents/Vantorel/VTL_0001.CSV").string() ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_TRUE(fs::is_empty(dir / "bin"));
  EXPECT_EQ(fs::status(dir / "home/Documents/Vantorel").permissions(), fs::perms::owner_all);
}

TEST_F(TempDir, DocumentsFolderFollowsTheUserDirsFile) {
  const struct {
    std::string line, expected;  // expected relative to HOME when it starts with '~'
  } cases[] = {
      {"", "~/Documents"},
      {"XDG_DOCUMENTS_DIR=\"$HOME/Papiere\"", "~/Papiere"},
      {"XDG_DOCUMENTS_DIR=\"$HOME\"", "~"},
      {"XDG_DOCUMENTS_DIR=\"/srv/docs/\"", "/srv/docs"},
      {"XDG_DOCUMENTS_DIR=\"relative\"\n# XDG_DOCUMENTS_DIR=\"/no\"", "~/Documents"},
  };
  // No other test here reads these.
  setenv("HOME", (dir / "h").c_str(), 1);
  setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  for (const auto& c : cases) {
    { std::ofstream(dir / "user-dirs.dirs") << "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n" << c.line << "\n"; }
    EXPECT_EQ(platform::DocumentsFolder(), c.expected[0] == '~' ? (dir / "h").string() + c.expected.substr(1) : c.expected)
        << c.line;
  }
}
