// The settings store itself: where it lives, its key and value rules, and how
// it deals with damaged, replaced, linked and unwritable files.
#include <sqlite3.h>
#include <sys/stat.h>

#include "platform/store.h"
#include "storetest.h"

using namespace vantorel::platform;
using namespace storetest;
namespace st = vantorel::platform::store;

namespace {

constexpr int32_t HKLM = st::kLocalMachine;
constexpr int32_t HKCU = st::kCurrentUser;

std::string Text(const std::optional<st::StoredValue>& v) { return v ? v->data : "<none>"; }

std::vector<std::string> Names(const std::optional<std::vector<std::string>>& v) {
  return v ? *v : std::vector<std::string>{"<no key>"};
}

mode_t Mode(const fs::path& p) {
  struct stat s {};
  stat(p.c_str(), &s);
  return s.st_mode & 0777;
}

// Runs one SQL statement on a database file directly and returns the first
// column of the first row.
std::string Sql(const fs::path& file, const std::string& sql) {
  sqlite3* db = nullptr;
  std::string out;
  if (sqlite3_open(file.c_str(), &db) == SQLITE_OK) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW &&
        sqlite3_column_text(s, 0))
      out = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    sqlite3_finalize(s);
  }
  sqlite3_close(db);
  return out;
}

}  // namespace

class Store : public StoreTest {};

TEST_F(Store, LivesUnderTheConfigFolderAndIsCreatedByTheFirstWriteOnly) {
  EXPECT_EQ(st::FilePath(), StoreFile().string());
  // Reads of every kind find nothing and create nothing.
  EXPECT_FALSE(st::KeyExists(HKLM, "Software"));
  EXPECT_FALSE(st::ReadValue(HKLM, "Software", "x"));
  EXPECT_FALSE(st::ValueNames(HKLM, ""));
  EXPECT_FALSE(st::SubkeyNames(HKLM, ""));
  EXPECT_FALSE(st::DeleteKey(HKLM, "Software"));
  EXPECT_EQ(st::DeleteValue(HKLM, "Software", "x"), st::WriteResult::KeyFailed);
  EXPECT_FALSE(fs::exists(TempRoot() / "config"));

  ASSERT_EQ(st::WriteValue(HKLM, "Software\\A", "v", 1, "t"), st::WriteResult::Ok);
  EXPECT_EQ(Mode(Folder()), 0700u);
  EXPECT_EQ(Mode(StoreFile()), 0600u);
  // While open, the write-ahead log and its index sit beside the file, as private as it.
  EXPECT_EQ(Mode(StoreFile().string() + "-wal"), 0600u);
  EXPECT_EQ(Mode(StoreFile().string() + "-shm"), 0600u);
  EXPECT_EQ(Sql(StoreFile(), "PRAGMA journal_mode"), "wal");
  st::testing::CloseConnection();
  EXPECT_EQ(FilesStartingWith(Folder(), "").size(), 1u) << "closing folds the log into the file";

  // Without XDG_CONFIG_HOME, or with a relative one, the store is under $HOME/.config.
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(st::FilePath(), (TempRoot() / "home/.config/Morvale Services/registry.sqlite3").string());
  setenv("XDG_CONFIG_HOME", "relative/path", 1);
  EXPECT_EQ(st::FilePath(), (TempRoot() / "home/.config/Morvale Services/registry.sqlite3").string());
  EXPECT_EQ(Text(st::ReadValue(HKLM, "Software\\A", "v")), "<none>");
  setenv("XDG_CONFIG_HOME", (TempRoot() / "config").c_str(), 1);
  EXPECT_EQ(Text(st::ReadValue(HKLM, "Software\\A", "v")), "t");
}

TEST_F(Store, NamesMatchWithoutRegardToCaseAndKeepTheirFirstCase) {
  ASSERT_EQ(st::WriteValue(HKLM, "Software\\Morvale Services\\Vantorel\\", "R(0)", 1, "10"), st::WriteResult::Ok);
  EXPECT_EQ(Text(st::ReadValue(HKLM, "SOFTWARE\\morvale services\\VANTOREL", "r(0)")), "10");
  ASSERT_EQ(st::WriteValue(HKLM, "software\\MORVALE SERVICES\\vantorel", "r(0)", 1, "11"), st::WriteResult::Ok);
  EXPECT_EQ(Names(st::ValueNames(HKLM, "Software\\Morvale Services\\Vantorel")), std::vector<std::string>{"R(0)"});
  EXPECT_EQ(Names(st::SubkeyNames(HKLM, "software")), std::vector<std::string>{"Morvale Services"});
  EXPECT_EQ(Text(st::ReadValue(HKLM, "Software\\Morvale Services\\Vantorel", "R(0)")), "11");

  // Case folding is not only for ASCII; invalid UTF-8 matches only itself.
  ASSERT_EQ(st::WriteValue(HKLM, "Ölmühle", "Straße", 1, "1"), st::WriteResult::Ok);
  EXPECT_EQ(Text(st::ReadValue(HKLM, "öLMÜHLE", "STRASSE")), "<none>");  // simple folding: ß is not ss
  EXPECT_EQ(Text(st::ReadValue(HKLM, "öLMÜHLE", "straße")), "1");
  EXPECT_EQ(st::FoldName("ÄÖÜ Σ"), "äöü σ");
  EXPECT_EQ(st::FoldName("\xC3"), "\xC3");
  EXPECT_NE(st::FoldName("\xC3\x84"), st::FoldName("\xC3"));

  // The roots are separate trees.
  EXPECT_FALSE(st::KeyExists(HKCU, "Ölmühle"));
  EXPECT_TRUE(st::KeyExists(HKLM, "Ölmühle"));
}

TEST_F(Store, KeyPathsRootsAndNameLimits) {
  EXPECT_TRUE(st::CreateKey(HKLM, "A\\B\\C"));
  EXPECT_TRUE(st::KeyExists(HKLM, "A\\B\\C\\"));  // one trailing separator is allowed
  EXPECT_TRUE(st::KeyExists(HKLM, ""));           // the root itself
  EXPECT_TRUE(st::KeyExists(st::kUsers, ""));
  EXPECT_FALSE(st::KeyExists(0x12345678, ""));
  for (const char* bad : {"\\A", "A\\\\B", "A\\B\\\\", "\\"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(st::KeyExists(HKLM, bad));
    EXPECT_FALSE(st::CreateKey(HKLM, bad));
    EXPECT_EQ(st::WriteValue(HKLM, bad, "v", 1, "x"), st::WriteResult::KeyFailed);
  }
  EXPECT_FALSE(st::CreateKey(static_cast<int32_t>(0x80000004u), "A"));
  EXPECT_FALSE(st::CreateKey(HKLM, std::string(256, 'k')));
  EXPECT_TRUE(st::CreateKey(HKLM, std::string(255, 'k')));

  // A value name too long for the store is refused after the key was made.
  EXPECT_EQ(st::WriteValue(HKLM, "Made", std::string(16384, 'n'), 1, "x"), st::WriteResult::ValueFailed);
  EXPECT_TRUE(st::KeyExists(HKLM, "Made"));
  EXPECT_EQ(st::WriteValue(HKLM, "Made", std::string(16383, 'n'), 1, "x"), st::WriteResult::Ok);
  // Values may also live on a root.
  EXPECT_EQ(st::WriteValue(HKCU, "", "", 1, "root default"), st::WriteResult::Ok);
  EXPECT_EQ(Text(st::ReadValue(HKCU, "", "")), "root default");
}

TEST_F(Store, DeletingKeysAndValues) {
  ASSERT_TRUE(st::CreateKey(HKLM, "P\\Child"));
  ASSERT_EQ(st::WriteValue(HKLM, "P", "a", 1, "1"), st::WriteResult::Ok);
  EXPECT_FALSE(st::DeleteKey(HKLM, "P")) << "a key with subkeys stays";
  EXPECT_FALSE(st::DeleteKey(HKLM, "Nope"));
  EXPECT_FALSE(st::DeleteKey(HKLM, "")) << "a root stays";
  EXPECT_TRUE(st::DeleteKey(HKLM, "p\\CHILD"));
  EXPECT_TRUE(st::DeleteKey(HKLM, "P"));
  EXPECT_FALSE(st::KeyExists(HKLM, "P"));
  // Re-creating the key does not bring old values back.
  ASSERT_TRUE(st::CreateKey(HKLM, "P"));
  EXPECT_EQ(Names(st::ValueNames(HKLM, "P")), std::vector<std::string>{});

  ASSERT_EQ(st::WriteValue(HKLM, "P", "Gone", 1, "x"), st::WriteResult::Ok);
  EXPECT_EQ(st::DeleteValue(HKLM, "Q", "Gone"), st::WriteResult::KeyFailed);
  EXPECT_EQ(st::DeleteValue(HKLM, "P", "Other"), st::WriteResult::ValueFailed);
  EXPECT_EQ(st::DeleteValue(HKLM, "P", "GONE"), st::WriteResult::Ok);
  EXPECT_FALSE(st::ReadValue(HKLM, "P", "Gone"));
}

TEST_F(Store, EnumerationOrders) {
  for (const char* n : {"zeta", "Alpha", "mid", ""}) ASSERT_EQ(st::WriteValue(HKLM, "E", n, 1, n), st::WriteResult::Ok);
  ASSERT_EQ(st::WriteValue(HKLM, "E", "ALPHA", 4, "1234"), st::WriteResult::Ok);  // rewrite keeps the place
  EXPECT_EQ(Names(st::ValueNames(HKLM, "E")), (std::vector<std::string>{"zeta", "Alpha", "mid", ""}));
  EXPECT_EQ(st::ReadValue(HKLM, "E", "alpha")->type, 4);
  for (const char* k : {"b", "C", "a"}) ASSERT_TRUE(st::CreateKey(HKLM, std::string("E\\") + k));
  EXPECT_EQ(Names(st::SubkeyNames(HKLM, "E")), (std::vector<std::string>{"a", "b", "C"}));
  EXPECT_EQ(Names(st::SubkeyNames(HKLM, "E\\a")), std::vector<std::string>{});
  EXPECT_EQ(Names(st::ValueNames(HKLM, "Missing")), std::vector<std::string>{"<no key>"});
}

TEST_F(Store, BytesAndNamesRoundTripUnchanged) {
  // Texts with quotes, "%" and so on are covered where the settings use
  // them; here the bytes no text holds.
  const std::string binary("\0\x01\xff\0zero\0", 9);
  const std::vector<std::string> data = {"", binary, std::string(100000, 'x'), "\xff\xfe not UTF-8"};
  for (size_t i = 0; i < data.size(); ++i) {
    const std::string name = "\xff\xfe name " + std::to_string(i);
    ASSERT_EQ(st::WriteValue(HKLM, "Round\\Trip", name, 3, data[i]), st::WriteResult::Ok);
  }
  st::testing::CloseConnection();  // opened again, as by the next run of the program
  for (size_t i = 0; i < data.size(); ++i) {
    const auto back = st::ReadValue(HKLM, "Round\\Trip", "\xff\xfe NAME " + std::to_string(i));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->data, data[i]);
    EXPECT_EQ(back->type, 3);
  }
  // A name ends at a zero character, so the store takes none inside one.
  EXPECT_EQ(st::WriteValue(HKLM, "Round", std::string("a\0b", 3), 1, "x"), st::WriteResult::ValueFailed);
  EXPECT_FALSE(st::CreateKey(HKLM, std::string("a\0b", 3)));
}

TEST_F(Store, TheReadableViewShowsKeyPathsAndTexts) {
  ASSERT_EQ(st::WriteValue(HKLM, "Software\\Morvale Services\\Vantorel\\", "oBC", 1, std::string("0.033\0", 6)),
            st::WriteResult::Ok);
  EXPECT_EQ(Sql(StoreFile(), "SELECT key || '|' || name || '|' || type || '|' || value FROM registry_view"),
            "HKEY_LOCAL_MACHINE\\Software\\Morvale Services\\Vantorel|oBC|1|0.033");
  EXPECT_EQ(Sql(StoreFile(), "PRAGMA application_id"), "1448365138");
}

TEST_F(Store, ReadOnlyAccessCreatesNothingAndChangesNothing) {
  {
    st::AccessScope ro(st::Access::ReadOnly);
    EXPECT_FALSE(st::CreateKey(HKLM, "A"));
    EXPECT_EQ(st::WriteValue(HKLM, "A", "v", 1, "x"), st::WriteResult::KeyFailed);
    EXPECT_FALSE(fs::exists(TempRoot() / "config"));
  }
  ASSERT_EQ(st::WriteValue(HKLM, "A", "v", 1, "x"), st::WriteResult::Ok);
  {
    st::AccessScope ro(st::Access::ReadOnly);
    EXPECT_EQ(Text(st::ReadValue(HKLM, "A", "v")), "x");
    EXPECT_EQ(st::WriteValue(HKLM, "A", "v", 1, "y"), st::WriteResult::KeyFailed);
    EXPECT_FALSE(st::DeleteKey(HKLM, "A"));
    EXPECT_EQ(st::DeleteValue(HKLM, "A", "v"), st::WriteResult::KeyFailed);
  }
  EXPECT_EQ(Text(st::ReadValue(HKLM, "A", "v")), "x");

  // A damaged file is neither read nor moved while only reading.
  st::testing::CloseConnection();
  WriteAll(StoreFile(), "this is not a database, but it is somebody's file");
  {
    st::AccessScope ro(st::Access::ReadOnly);
    EXPECT_FALSE(st::ReadValue(HKLM, "A", "v"));
  }
  EXPECT_EQ(ReadAll(StoreFile()), "this is not a database, but it is somebody's file");
  EXPECT_TRUE(KeptAside(Folder()).empty());
}

// Damaged files: every read finds nothing, the file is kept aside untouched
// under a name with the time, and the next write makes a fresh store.
TEST_F(Store, DamagedFilesAreKeptAsideAndAFreshStoreTakesTheirPlace) {
  auto validStore = [&] {
    std::error_code ec;
    fs::remove_all(Folder(), ec);
    st::testing::CloseConnection();
    for (int i = 0; i < 200; ++i)
      EXPECT_EQ(st::WriteValue(HKLM, "K" + std::to_string(i % 7), "v" + std::to_string(i), 1, std::string(300, 'd')),
                st::WriteResult::Ok);
    st::testing::CloseConnection();
    return ReadAll(StoreFile());
  };
  struct Damage {
    const char* what;
    std::function<std::string(std::string)> apply;
  };
  const Damage damages[] = {
      {"text file", [](std::string) { return std::string("just some text\n"); }},
      {"truncated to 100 bytes", [](std::string b) { return b.substr(0, 100); }},
      {"truncated to half", [](std::string b) { return b.substr(0, b.size() / 2); }},
      {"header overwritten", [](std::string b) { return b.replace(0, 16, 16, 'X'); }},
      {"page torn", [](std::string b) { return b.replace(4096 + 7, 300, 300, '\xA5'); }},
      {"last page zeroed", [](std::string b) { return b.replace(b.size() - 4096, 4096, 4096, '\0'); }},
  };
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.what);
    const std::string bad = d.apply(validStore());
    WriteAll(StoreFile(), bad);
    EXPECT_FALSE(st::ReadValue(HKLM, "K1", "v1"));
    // The file goes aside (with any log SQLite had made beside it).
    const auto aside = KeptAside(Folder());
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadAll(aside[0]), bad);
    EXPECT_EQ(aside[0].filename().string().size(), std::string("registry.sqlite3.corrupt-20261205-193000").size());
    EXPECT_FALSE(fs::exists(StoreFile())) << "a read does not create the fresh store";
    EXPECT_EQ(st::WriteValue(HKLM, "K1", "v1", 1, "fresh"), st::WriteResult::Ok);
    EXPECT_EQ(Text(st::ReadValue(HKLM, "K1", "v1")), "fresh");
  }
}

TEST_F(Store, DamageFoundByAWriteIsHandledTheSameWay) {
  ASSERT_EQ(st::WriteValue(HKLM, "K", "v", 1, "old"), st::WriteResult::Ok);
  st::testing::CloseConnection();
  // Overwritten in place; the first thing the next run does is a write.
  std::string bytes = ReadAll(StoreFile());
  bytes.replace(0, 100, 100, 'Z');
  {
    std::fstream f(StoreFile(), std::ios::in | std::ios::out | std::ios::binary);
    f.write(bytes.data(), 100);
  }
  EXPECT_EQ(st::WriteValue(HKLM, "K", "v", 1, "new"), st::WriteResult::Ok);
  EXPECT_EQ(Text(st::ReadValue(HKLM, "K", "v")), "new");
  EXPECT_EQ(KeptAside(Folder()).size(), 1u);

  // Two damaged files in the same second get distinct names.
  st::testing::CloseConnection();
  WriteAll(StoreFile(), "garbage one");
  EXPECT_FALSE(st::KeyExists(HKLM, "K"));
  WriteAll(StoreFile(), "garbage two");
  EXPECT_FALSE(st::KeyExists(HKLM, "K"));
  EXPECT_EQ(KeptAside(Folder()).size(), 3u);
}

TEST_F(Store, ForeignEmptyAndNewerDatabases) {
  fs::create_directories(Folder());
  // A valid SQLite database that is not a store of this program.
  Sql(StoreFile(), "CREATE TABLE mine(x)");
  EXPECT_FALSE(st::KeyExists(HKLM, ""));
  EXPECT_EQ(KeptAside(Folder()).size(), 1u);

  // An empty file is an empty store: nothing to keep aside.
  WriteAll(StoreFile(), "");
  EXPECT_FALSE(st::KeyExists(HKLM, ""));
  EXPECT_EQ(st::WriteValue(HKLM, "A", "v", 1, "x"), st::WriteResult::Ok);
  EXPECT_EQ(KeptAside(Folder()).size(), 1u);

  // A store of a later layout is left alone: nothing read, nothing written.
  st::testing::CloseConnection();
  Sql(StoreFile(), "PRAGMA user_version = 2");
  EXPECT_FALSE(st::ReadValue(HKLM, "A", "v"));
  EXPECT_EQ(st::WriteValue(HKLM, "A", "v", 1, "y"), st::WriteResult::KeyFailed);
  EXPECT_EQ(KeptAside(Folder()).size(), 1u);
  EXPECT_EQ(Sql(StoreFile(), "SELECT value FROM registry_view"), "x");
}

TEST_F(Store, AFileReplacedOrRemovedByOthersIsNoticed) {
  ASSERT_EQ(st::WriteValue(HKLM, "A", "v", 1, "first"), st::WriteResult::Ok);
  // Removed (say with rm, to reset every setting): reads find nothing, a write starts afresh.
  fs::remove(StoreFile());
  EXPECT_FALSE(st::KeyExists(HKLM, "A"));
  ASSERT_EQ(st::WriteValue(HKLM, "B", "v", 1, "second"), st::WriteResult::Ok);
  EXPECT_FALSE(st::KeyExists(HKLM, "A"));
  // Replaced by another store file (a restored backup, taken while no
  // connection was open, so that the file holds every write).
  st::testing::CloseConnection();
  const fs::path backup = TempRoot() / "backup.sqlite3";
  fs::copy_file(StoreFile(), backup);
  ASSERT_EQ(st::WriteValue(HKLM, "B", "v", 1, "third"), st::WriteResult::Ok);
  fs::rename(backup, StoreFile());
  EXPECT_EQ(Text(st::ReadValue(HKLM, "B", "v")), "second") << "the old file's log is not replayed into the new one";

  // Moved away while open: the moved file keeps every write made through it.
  ASSERT_EQ(st::WriteValue(HKLM, "B", "v", 1, "fourth"), st::WriteResult::Ok);
  const fs::path moved = TempRoot() / "moved.sqlite3";
  fs::rename(StoreFile(), moved);
  EXPECT_FALSE(st::KeyExists(HKLM, "B"));
  EXPECT_EQ(Sql(moved, "SELECT value FROM registry_view WHERE name = 'v'"), "fourth");
}

TEST_F(Store, LinksAndBlockedFoldersAreNeverFollowedOrWrittenThrough) {
  fs::create_directories(Folder());
  const fs::path target = TempRoot() / "elsewhere.sqlite3";
  WriteAll(target, "");
  fs::create_symlink(target, StoreFile());
  EXPECT_EQ(st::WriteValue(HKLM, "A", "v", 1, "x"), st::WriteResult::KeyFailed);
  EXPECT_FALSE(st::KeyExists(HKLM, ""));
  EXPECT_EQ(ReadAll(target), "");
  fs::remove(StoreFile());

  // The folder's name is taken by a plain file: the store cannot be made.
  fs::remove_all(Folder());
  WriteAll(Folder(), "a file where the folder should be");
  EXPECT_FALSE(st::CreateKey(HKLM, "A"));
  EXPECT_EQ(st::WriteValue(HKLM, "A", "v", 1, "x"), st::WriteResult::KeyFailed);
  EXPECT_FALSE(st::KeyExists(HKLM, ""));
  EXPECT_EQ(ReadAll(Folder()), "a file where the folder should be");
}
