// The file layer on Windows (run under Wine): UTF-8 names of any script,
// numbered names, and an existing file is never written over.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "output/csvexport.h"
#include "platform/files.h"

using namespace vantorel;
namespace fs = std::filesystem;

namespace {

std::string Utf8(const fs::path& p) {
  const std::u8string u = p.u8string();
  return std::string(u.begin(), u.end());
}
fs::path FromUtf8(const std::string& s) { return fs::path(std::u8string(s.begin(), s.end())); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(FromUtf8(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST(WindowsFiles, NumberedFilesInAFolderWithANonAsciiNameNeverOverwrite) {
  const fs::path root = fs::temp_directory_path() / ("vantorel-files-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::remove_all(root);
  const std::string folder = Utf8(root) + "\\Schie\xc3\x9f" "stand \xe5\xb0\x84\xe6\x92\x83 \xce\xb2\\deeper";
  ASSERT_EQ(platform::MakePrivateFolders(folder), "");
  ASSERT_TRUE(fs::is_directory(FromUtf8(folder)));
  { std::ofstream(FromUtf8(platform::InFolder(folder, "VTL_0002.CSV"))) << "keep me"; }

  const std::pair<std::string, std::string> saves[] = {{"VTL_0001.CSV", "one"}, {"VTL_0003.CSV", "three"}};
  for (const auto& [name, bytes] : saves) {
    const platform::SavedFile r = platform::SaveNumbered(folder, "VTL", ".CSV", bytes);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.path, folder + "\\" + name);
    EXPECT_EQ(ReadFile(r.path), bytes);
  }
  const std::string kept = platform::InFolder(folder, "VTL_0002.CSV");
  EXPECT_EQ(platform::WriteNewFile(kept, "new").status, platform::WriteStatus::Exists);
  errno = 0;
  EXPECT_EQ(platform::RenameNoReplace(platform::InFolder(folder, "VTL_0001.CSV"), kept), -1);
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(std::pair(ReadFile(kept), ReadFile(platform::InFolder(folder, "VTL_0001.CSV"))), std::pair(std::string("keep me"), std::string("one")));
  EXPECT_EQ(std::distance(fs::directory_iterator(FromUtf8(folder)), {}), 3) << "no temporary file stays behind";

  EXPECT_EQ(std::pair(platform::NameTaken(folder), platform::NameTaken("bad \xff name")), std::pair(true, true));
  EXPECT_FALSE(platform::NameTaken(folder + "\\missing\\VTL_0001.CSV"));
  const platform::WriteResult bad = platform::WriteNewFile(folder + "\\bad \xff name", "x");
  EXPECT_NE(bad.status, platform::WriteStatus::Ok);
  const platform::WriteResult invalid = platform::WriteNewFile(folder + "\\a<b.csv", "x");  // the system's reason, not "already exists"
  EXPECT_EQ(std::pair(invalid.status, invalid.message.rfind("Cannot create " + folder + "\\a<b.csv: ", 0)), std::pair(platform::WriteStatus::Failed, size_t{0})) << invalid.message;
  EXPECT_EQ(platform::MakePrivateFolders(kept), kept + " is not a folder.");
  fs::remove_all(root);
}

TEST(WindowsFiles, FoldersOfWindowsPathsAndOfTheProgram) {
  const std::pair<std::string, std::string> folders[] = {{"C:\\a\\b.csv", "C:\\a"}, {"C:\\b.csv", "C:\\"}, {"C:/a/b/", "C:/a/b"},
                                                         {"b.csv", "."}, {"\\\\server\\share\\f", "\\\\server\\share"}};
  for (const auto& [path, folder] : folders) EXPECT_EQ(platform::Folder(path), folder) << path;
  EXPECT_EQ(platform::InFolder("C:\\", "f") + " " + platform::InFolder("d", "f"), "C:\\f d\\f");
  EXPECT_EQ(platform::ExecutableName(), "test_files_windows");
  EXPECT_TRUE(platform::NameTaken(platform::InFolder(platform::ExecutableFolder(), "test_files_windows.exe")));
  EXPECT_EQ(platform::ProgramExportFolder(), platform::ExecutableFolder());
  const std::string docs = platform::DocumentsFolder();
  EXPECT_TRUE(docs.size() > 3 && docs[1] == ':' && !platform::IsFolderSeparator(docs.back())) << docs;
  EXPECT_TRUE(docs.starts_with(platform::HomeFolder())) << docs;
  // An installed program (under Program Files, whatever the case and the
  // separators) exports to the documents folder, one join rule for both.
  for (const auto& [folder, installed] : {std::pair<std::string, bool>{"C:\\Program Files\\Vantorel", true},
                                          {"c:/program files (x86)/Vantorel/", true}, {"C:\\Program Files", true},
                                          {"C:\\Program Files Extra\\Vantorel", false}, {"C:\\users\\u\\Vantorel", false}})
    EXPECT_EQ(platform::UnderSystemPrefix(folder), installed) << folder;
  const CsvSave saved = SaveCsv(DefaultState(), "", docs);
  EXPECT_EQ(std::pair(saved.ok, saved.path.starts_with(docs + "\\Vantorel\\VTL_")), std::pair(true, true)) << saved.path;
  fs::remove(FromUtf8(saved.path));
}
