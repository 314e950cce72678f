// The settings store itself: where it lives, its key and value rules, and how
// it deals with damaged, foreign, replaced and linked files.
#include <sqlite3.h>

#include <functional>

#include "storetest.h"

using namespace storetest;
using namespace std::string_literals;
using enum st::WriteResult;

namespace {

constexpr int32_t HKLM = st::kLocalMachine;

std::string Text(const std::optional<st::StoredValue>& v) { return v ? v->data : "<none>"; }

// The first column of the (last) row of one statement, run on the file directly.
std::string Sql(const fs::path& file, const std::string& sql) {
  const auto firstColumn = [](void* out, int, char** v, char**) {
    if (v[0]) *static_cast<std::string*>(out) = v[0];
    return 0;
  };
  sqlite3* db = nullptr;
  std::string out;
  if (sqlite3_open(file.c_str(), &db) == SQLITE_OK) sqlite3_exec(db, sql.c_str(), firstColumn, &out, nullptr);
  sqlite3_close(db);
  return out;
}

}  // namespace

class Store : public StoreTest {};

TEST_F(Store, IsPrivateAndUnderTheConfigFolder) {
  EXPECT_EQ(st::FilePath(), StoreFile().string());
  ASSERT_EQ(st::WriteValue(HKLM, "Software\\A\\", "v", 1, "t"), Ok);
  EXPECT_EQ(fs::status(Folder()).permissions(), fs::perms::owner_all);
  EXPECT_EQ(fs::status(StoreFile()).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(FileCount(Folder()), 1) << "no journal or log stays beside the file";
  const std::string home = (TempRoot() / "home/.config/Morvale Services/registry.sqlite3").string();
  unsetenv("XDG_CONFIG_HOME");  // without it, or with a relative one, the store is under $HOME/.config
  EXPECT_EQ(st::FilePath(), home);
  setenv("XDG_CONFIG_HOME", "relative/path", 1);
  EXPECT_EQ(st::FilePath(), home);
}

TEST_F(Store, NamesMatchWithoutRegardToCaseAndKeepTheirFirstCase) {
  ASSERT_EQ(st::WriteValue(HKLM, "Software\\Morvale\\", "R(0)", 1, "10"), Ok);
  ASSERT_EQ(st::WriteValue(HKLM, "SOFTWARE\\morvale", "r(0)", 1, "11"), Ok);
  EXPECT_EQ(st::ValueNames(HKLM, "software\\MORVALE"), std::vector{"R(0)"s});
  EXPECT_EQ(st::SubkeyNames(HKLM, "software"), std::vector{"Morvale"s});
  EXPECT_EQ(Text(st::ReadValue(HKLM, "Software\\Morvale", "R(0)")), "11");
  ASSERT_EQ(st::WriteValue(HKLM, "Ölmühle", "Straße", 1, "1"), Ok);  // simple Unicode folding: ß is not ss
  EXPECT_EQ(Text(st::ReadValue(HKLM, "öLMÜHLE", "straße")), "1");
  EXPECT_FALSE(st::ReadValue(HKLM, "ölmühle", "STRASSE"));
  EXPECT_FALSE(st::KeyExists(st::kCurrentUser, "Ölmühle")) << "the roots are separate trees";
}

// A damaged file reads as empty and is kept aside untouched under a name with
// the time, whether a read or a write finds it; the next write makes a fresh store.
TEST_F(Store, DamagedFilesAreKeptAsideAndAFreshStoreTakesTheirPlace) {
  for (int i = 0; i < 200; ++i)
    ASSERT_EQ(st::WriteValue(HKLM, "K" + std::to_string(i % 7), "v" + std::to_string(i), 1, std::string(300, 'd')), Ok);
  st::testing::CloseConnection();
  const std::string good = ReadAll(StoreFile());
  const std::pair<const char*, std::function<std::string(std::string)>> damages[] = {
      {"truncated to half", [](std::string b) { return b.substr(0, b.size() / 2); }},
      {"header overwritten", [](std::string b) { return b.replace(0, 16, 16, 'X'); }},
      {"page torn", [](std::string b) { return b.replace(4096 + 7, 300, 300, '\xA5'); }},
      {"last page zeroed", [](std::string b) { return b.replace(b.size() - 4096, 4096, 4096, '\0'); }},
  };
  for (size_t i = 0; i < std::size(damages); ++i) {
    const auto& [what, damage] = damages[i];
    SCOPED_TRACE(what);
    fs::remove_all(Folder());
    fs::create_directories(Folder());
    WriteAll(StoreFile(), damage(good));
    // Every other one is found by a read, which finds nothing and does not make the fresh store.
    EXPECT_TRUE(i % 2 == 1 || (!st::ReadValue(HKLM, "K1", "v1") && !fs::exists(StoreFile())));
    EXPECT_EQ(st::WriteValue(HKLM, "K1", "v1", 1, "fresh"), Ok);
    EXPECT_EQ(Text(st::ReadValue(HKLM, "K1", "v1")) + Text(st::ReadValue(HKLM, "K1", "v8")), "fresh<none>");
    const auto aside = KeptAside(Folder());
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadAll(aside[0]), damage(good));
    EXPECT_EQ(aside[0].filename().string().size(), "registry.sqlite3.corrupt-20261205-193000"s.size());
    st::testing::CloseConnection();
  }
}

// What is not a damaged store of this program is set aside or left alone.
TEST_F(Store, ForeignEmptyNewerAndLinkedFiles) {
  fs::create_directories(Folder());
  Sql(StoreFile(), "CREATE TABLE mine(x)");  // a database, but not a store of this program
  EXPECT_FALSE(st::KeyExists(HKLM, ""));
  st::testing::CloseConnection();
  WriteAll(StoreFile(), "garbage");  // a second one in the same second gets a name of its own
  EXPECT_FALSE(st::KeyExists(HKLM, ""));
  WriteAll(StoreFile(), "");  // an empty file is an empty store: nothing to keep aside
  EXPECT_EQ(st::WriteValue(HKLM, "A", "v", 1, "x"), Ok);
  EXPECT_EQ(KeptAside(Folder()).size(), 2u);

  st::testing::CloseConnection();  // a store of a later layout: nothing read, nothing written
  Sql(StoreFile(), "PRAGMA user_version = 2");
  EXPECT_FALSE(st::ReadValue(HKLM, "A", "v"));
  EXPECT_EQ(st::WriteValue(HKLM, "A", "v", 1, "y"), KeyFailed);
  EXPECT_EQ(Sql(StoreFile(), "SELECT value FROM registry_view"), "x") << "the file stays as it was, where it was";

  st::testing::CloseConnection();  // a link in the file's place: neither followed nor written through
  Sql(StoreFile(), "PRAGMA user_version = 1");
  fs::rename(StoreFile(), TempRoot() / "elsewhere");
  fs::create_symlink(TempRoot() / "elsewhere", StoreFile());
  EXPECT_FALSE(st::KeyExists(HKLM, "A"));
  EXPECT_EQ(st::WriteValue(HKLM, "A", "v", 1, "z"), KeyFailed);
  EXPECT_EQ(Sql(TempRoot() / "elsewhere", "SELECT value FROM registry_view"), "x");
}

TEST_F(Store, AFileRemovedOrReplacedByOthersIsNoticed) {
  ASSERT_EQ(st::WriteValue(HKLM, "A", "v", 1, "first"), Ok);
  fs::remove(StoreFile());  // as to forget every setting
  ASSERT_EQ(st::WriteValue(HKLM, "B", "v", 1, "second"), Ok);
  EXPECT_FALSE(st::KeyExists(HKLM, "A"));
  st::testing::CloseConnection();  // a backup, taken with no connection open, is restored
  fs::copy_file(StoreFile(), TempRoot() / "backup");
  ASSERT_EQ(st::WriteValue(HKLM, "B", "v", 1, "third"), Ok);
  fs::rename(TempRoot() / "backup", StoreFile());
  EXPECT_EQ(Text(st::ReadValue(HKLM, "B", "v")), "second") << "the old file's log is not replayed into the new one";
}
