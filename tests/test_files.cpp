// Where an export is saved: numbered files that never overwrite, a write
// that fails half way, the documents folder and its fallbacks.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <unistd.h>

#include "model/clicktable.h"
#include "output/csvexport.h"
#include "platform/files.h"

using namespace vantorel;
namespace fs = std::filesystem;

namespace {

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
  size_t Files() const { return static_cast<size_t>(std::distance(fs::directory_iterator(dir), {})); }
  fs::path dir;
};

}  // namespace

TEST_F(TempDir, NumberedFilesNeverOverwriteAndFailuresLeaveNothing) {
  State s = DefaultState();
  PseudoCalc(s);
  fs::create_symlink(dir / "elsewhere.txt", dir / "VTL_0001.CSV");  // dangling: must not be followed
  { std::ofstream(dir / "VTL_0002.CSV") << "keep me"; }
  const CsvSave a = SaveCsvInFolder(s, dir.string()), b = SaveCsvInFolder(s, dir.string());
  ASSERT_TRUE(a.ok) << a.message;
  EXPECT_EQ(std::pair(a.path, b.path), std::pair((dir / "VTL_0003.CSV").string(), (dir / "VTL_0004.CSV").string()));
  EXPECT_EQ(ReadFile(a.path), CsvText(s));
  EXPECT_EQ(platform::WriteNewFile((dir / "VTL_0002.CSV").string(), "new").status, platform::WriteStatus::Exists);
  errno = ENOENT;  // left over from an earlier call: a file that is there is taken all the same
  EXPECT_TRUE(platform::NameTaken((dir / "VTL_0002.CSV").string()));
  EXPECT_EQ(std::pair(ReadFile(dir / "VTL_0002.CSV"), Files()), std::pair(std::string("keep me"), 4ul));  // unchanged
  fs::remove_all(dir);
  fs::create_directory(dir);

  // A file-size limit makes the write fail half way, as a full disk would.
  struct rlimit old {};
  getrlimit(RLIMIT_FSIZE, &old);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const CsvSave r = SaveCsvInFolder(s, dir.string());
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(std::pair(r.ok, r.message.find("Cannot write") != std::string::npos), std::pair(false, true)) << r.message;
  EXPECT_EQ(Files(), 0u);
}

TEST_F(TempDir, ExportFallsBackToThePrivateDocumentsFolder) {
  State s = DefaultState();
  PseudoCalc(s);
  { std::ofstream(dir / "plain-file"); }
  fs::create_directories(dir / "docs3/Vantorel");
  { std::ofstream(dir / "docs3/Vantorel/VTL_0001.CSV") << "keep me"; }
  fs::create_directory(dir / "prog");
  const std::tuple<std::string, std::string, std::string> cases[] = {  // program, documents, written (none: "")
      {"prog", "docs1", "prog/VTL_0001.CSV"},
      {"missing", "docs2/deeper", "docs2/deeper/Vantorel/VTL_0001.CSV"},
      {"plain-file", "docs3", "docs3/Vantorel/VTL_0002.CSV"},  // same numbering there
      {"missing", "plain-file", ""},
      {"", "docs4", "docs4/Vantorel/VTL_0001.CSV"},  // an installed program: never beside it
  };
  for (const auto& [program, docs, written] : cases) {
    const CsvSave r = SaveCsv(s, program.empty() ? "" : (dir / program).string(), (dir / docs).string());
    EXPECT_EQ(std::pair(r.ok, r.ok ? ReadFile(r.path) : ""), std::pair(!written.empty(), written.empty() ? "" : CsvText(s)));
    EXPECT_TRUE(!r.ok || r.path == (dir / written).string()) << r.path;
  }
  const CsvSave neither = SaveCsv(s, (dir / "missing").string(), (dir / "plain-file").string());
  EXPECT_NE(neither.message.find("Cannot create a file in " + (dir / "missing").string()), std::string::npos);
  EXPECT_NE(neither.message.find("plain-file/Vantorel: Not a directory"), std::string::npos) << neither.message;
  for (const char* created : {"docs2", "docs2/deeper", "docs2/deeper/Vantorel"})
    EXPECT_EQ(fs::status(dir / created).permissions(), fs::perms::owner_all) << created;
  EXPECT_FALSE(fs::exists(dir / "docs1") || fs::exists(dir / "missing"));
  EXPECT_EQ(ReadFile(dir / "docs3/Vantorel/VTL_0001.CSV"), "keep me");
  for (auto [folder, installed] : {std::pair{"/usr/bin", true}, {"/usr/local/bin", true}, {"/opt/vantorel/bin", true},
                                   {"/usr", true}, {"/usr2/bin", false}, {"/home/u/build", false}, {"/snapshots", false}})
    EXPECT_EQ(platform::UnderSystemPrefix(folder), installed) << folder;
}

TEST_F(TempDir, DocumentsFolderFollowsTheUserDirsFile) {
  setenv("HOME", (dir / "h").c_str(), 1);  // no other test here reads these
  setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  for (const auto& [line, expected] : {std::pair<std::string, std::string>{"", "h/Documents"},
                                       {"XDG_DOCUMENTS_DIR=\"$HOME/Papiere\"", "h/Papiere"},
                                       {"XDG_DOCUMENTS_DIR=\"/srv/docs/\"", "/srv/docs"},
                                       {"XDG_DOCUMENTS_DIR=\"relative\"\n# XDG_DOCUMENTS_DIR=\"/no\"", "h/Documents"}}) {
    { std::ofstream(dir / "user-dirs.dirs") << "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n" << line << "\n"; }
    EXPECT_EQ(platform::DocumentsFolder(), expected[0] == '/' ? expected : (dir / expected).string()) << line;
  }
}
