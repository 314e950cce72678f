// The settings store itself: where it lives, its key and value rules, and how
// it deals with damaged, foreign, replaced and linked files.
#include <signal.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/wait.h>

#include <functional>
#include <set>

#include "savestates.h"
#include "storetest.h"

using namespace storetest;
using namespace std::string_literals;
using enum st::WriteResult;

namespace {

constexpr int32_t HKLM = st::kLocalMachine;

std::string Text(const std::optional<st::StoredValue>& v) { return v ? v->data : "<none>"; }

// The first column of the (last) row of one statement, run on the file directly.
std::string Sql(const fs::path& file, const std::string& sql, int immutableFlags = 0) {
  const auto firstColumn = [](void* out, int, char** v, char**) {
    if (v[0]) *static_cast<std::string*>(out) = v[0];
    return 0;
  };
  sqlite3* db = nullptr;
  std::string out;
  const std::string name = immutableFlags ? "file:" + file.string() + "?immutable=1" : file.string();
  if (sqlite3_open_v2(name.c_str(), &db, immutableFlags ? immutableFlags : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                      nullptr) == SQLITE_OK)
    sqlite3_exec(db, sql.c_str(), firstColumn, &out, nullptr);
  sqlite3_close(db);
  return out;
}

// The settings as the file holds them, read without making anything beside it.
std::string InFile(const fs::path& file) {
  return Sql(file, "SELECT group_concat(name || '=' || value, ';') FROM registry_view "
                   "WHERE key = 'HKEY_LOCAL_MACHINE\\Software\\Morvale Services\\Vantorel'",
             SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
}

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename());
  return names;
}

// A file left by the version that kept a write-ahead log: in WAL mode, with
// oMV = 799 written to a log that is left beside it with its index (withLog),
// or with the log folded in and removed.
void MakeOldStore(const fs::path& file, bool withLog) {
  sqlite3* db = nullptr;
  sqlite3_open(file.c_str(), &db);
  sqlite3_exec(db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
  if (withLog) {
    sqlite3_exec(db, "UPDATE registry_values SET data = X'37393900' WHERE name = 'oMV'", nullptr,
                 nullptr, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  }
  sqlite3_close(db);
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

// Stores on machines as they are: links above the store, modes left by an
// earlier version, a full disk, a read-only file system, a lock held by
// another program, a read-only folder, and `vantorel-fit --saved` on files
// it must only read. Each runs a real program on the real file as the user
// nobody (root would ignore the modes): the window's load and close (the
// helper's "close", which prints what it loaded) or `vantorel-fit --saved`.
TEST_F(Store, EveryReadableStoreIsReadAndNoneIsWrittenOverUnread) {
  const fs::path root = TempRoot();
  const std::string b = Joined(StateB());
  std::string b799 = b;
  b799.replace(b799.find("oMV=812.25"), 10, "oMV=799");
  struct Case {
    const char* what;
    std::function<bool()> setup;  // false: cannot be set up here (skipped)
    std::string home, config;     // HOME and XDG_CONFIG_HOME of the run ("" unset)
    fs::path folder;              // the store's folder, links resolved
    std::string run;              // "close" or "fit"
    int status;
    std::string printed;  // part of what the run prints
    std::string after;    // the settings in the file afterwards ("" not checked)
    std::set<std::string> files;
  };
  const std::string cfg = (root / "config").string();
  const fs::path moved = root / "real";
  const std::set<std::string> justTheFile{"registry.sqlite3"}, withLog{"registry.sqlite3", "registry.sqlite3-shm",
                                                                      "registry.sqlite3-wal"};
  pid_t holder = -1;
  const std::string notSaved = "The settings were not saved. When the program started it could not read them from\n" +
                               StoreFile().string() + "\n(another program kept it locked for more than 300 milliseconds)";
  const Case cases[] = {
      {"a linked home",
       [&] {
         fs::create_directories(moved);
         fs::rename(root / "config", moved / ".config");
         fs::create_symlink(moved, root / "home");
         return true;
       },
       (root / "home").string(), "", moved / ".config/Morvale Services", "close", 0, "read\n" + b, b, justTheFile},
      {"a linked configuration folder",
       [&] {
         fs::rename(root / "config", moved);
         fs::create_symlink(moved, root / "config");
         return true;
       },
       "", cfg, moved / "Morvale Services", "close", 0, "read\n" + b, b, justTheFile},
      {"a linked Morvale Services folder",
       [&] {
         fs::rename(Folder(), moved);
         fs::create_symlink(moved, Folder());
         return true;
       },
       "", cfg, moved, "close", 0, "read\n" + b, b, justTheFile},
      {"a read-only store with the old version's log, read by vantorel-fit",
       [&] {
         MakeOldStore(StoreFile(), true);
         for (const char* f : {"", "-wal", "-shm"}) fs::permissions(StoreFile().string() + f, fs::perms::owner_read);
         return true;
       },
       "", cfg, Folder(), "fit", 0, "\"mv\": 799,", "", withLog},
      {"that store made writable again",
       [&] {
         MakeOldStore(StoreFile(), true);
         for (const char* f : {"-wal", "-shm"}) fs::permissions(StoreFile().string() + f, fs::perms::owner_read);
         return true;
       },
       "", cfg, Folder(), "close", 0, "read\n" + b799, b799, justTheFile},
      {"a full disk",
       [&] {
         fs::create_directories(root / "mnt");
         if (mount("tmpfs", (root / "mnt").c_str(), "tmpfs", 0, "size=256k") != 0) return false;
         fs::create_directories(root / "mnt/Morvale Services");
         fs::copy_file(StoreFile(), root / "mnt/Morvale Services/registry.sqlite3");
         MakeOldStore(root / "mnt/Morvale Services/registry.sqlite3", false);
         std::ofstream filler(root / "mnt/filler", std::ios::binary);
         for (int i = 0; i < 1024 && filler.write(std::string(1024, 'f').data(), 1024); ++i) {
         }
         return true;
       },
       "", (root / "mnt").string(), root / "mnt/Morvale Services", "close", 2, "read\n" + b, b, justTheFile},
      {"a read-only file system",
       [&] {
         fs::create_directories(root / "mnt/Morvale Services");
         if (mount("tmpfs", (root / "mnt").c_str(), "tmpfs", 0, "size=256k") != 0) return false;
         fs::create_directories(root / "mnt/Morvale Services");
         fs::copy_file(StoreFile(), root / "mnt/Morvale Services/registry.sqlite3");
         MakeOldStore(root / "mnt/Morvale Services/registry.sqlite3", false);
         std::system(("chown -R 65534:65534 '" + (root / "mnt").string() + "'").c_str());
         return mount(nullptr, (root / "mnt").c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
       },
       "", (root / "mnt").string(), root / "mnt/Morvale Services", "close", 2, "read\n" + b, b, justTheFile},
      {"a lock held past the wait",
       [&] {
         holder = Helper({"hold-lock", (root / "locked").string()});
         for (int waited = 0; !fs::exists(root / "locked") && waited < 5000; ++waited) usleep(1000);
         return fs::exists(root / "locked");
       },
       "", cfg, Folder(), "close 300", 3, notSaved, b, justTheFile},
      {"a read-only folder",
       [&] {
         fs::permissions(Folder(), fs::perms::owner_read | fs::perms::owner_exec);
         return true;
       },
       "", cfg, Folder(), "close", 0, "read\n" + b, b, justTheFile},
      {"vantorel-fit on a damaged file",
       [&] {
         WriteAll(StoreFile(), "NOTSQL" + ReadAll(StoreFile()).substr(6));
         return true;
       },
       "", cfg, Folder(), "fit", 0, "\"units\": \"imperial\"", "", justTheFile},
      {"vantorel-fit on a foreign database with a write-ahead log",
       [&] {
         fs::remove(StoreFile());
         Sql(StoreFile(), "PRAGMA journal_mode = WAL; CREATE TABLE mine(x)");
         return true;
       },
       "", cfg, Folder(), "fit", 0, "\"units\": \"imperial\"", "", justTheFile},
      {"vantorel-fit on the old version's store",
       [&] {
         MakeOldStore(StoreFile(), false);
         return true;
       },
       "", cfg, Folder(), "fit", 0, "\"units\": \"metric\"", b, justTheFile},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(root);
    fs::create_directories(Folder());
    SaveData(StateB());
    st::testing::CloseConnection();
    if (!c.setup()) {
      std::cerr << "skipped (cannot be set up here): " << c.what << "\n";
      continue;
    }
    // (A read-only file system was given to nobody before it became read-only.)
    std::system(("chown -R 65534:65534 '" + root.string() + "' 2>/dev/null").c_str());
    const std::string program =
        c.run == "fit" ? "'" VANTOREL_FIT "' --saved --estimate --json" : "'" STORE_HELPER "' " + c.run;
    const std::string env = "env -i PATH=/usr/bin:/bin LC_ALL=C" + (c.home.empty() ? "" : " HOME=" + c.home) +
                            (c.config.empty() ? "" : " XDG_CONFIG_HOME=" + c.config);
    const fs::path out = "/tmp/vantorel-store-test.out";
    const int status = std::system((env + " setpriv --reuid=65534 --regid=65534 --clear-groups " + program + " >" +
                                    out.string() + " 2>&1")
                                       .c_str());
    const std::string printed = ReadAll(out);
    fs::remove(out);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.status) << printed;
    EXPECT_NE(printed.find(c.printed), std::string::npos) << printed;
    if (!c.after.empty()) {
      EXPECT_EQ(InFile(c.folder / "registry.sqlite3"), c.after);
    }
    EXPECT_EQ(Names(c.folder), c.files);
    if (holder > 0) {
      kill(holder, SIGKILL);
      waitpid(holder, nullptr, 0);
      holder = -1;
    }
    umount((root / "mnt").c_str());
  }
}

// A store made by hand from the tables' description: read, and stamped as
// the program's own by its first write.
TEST_F(Store, AHandMadeStoreIsRead) {
  fs::create_directories(Folder());
  Sql(StoreFile(),
      "CREATE TABLE registry_keys (id INTEGER PRIMARY KEY, parent INTEGER NOT NULL, name TEXT NOT NULL,"
      " fold BLOB NOT NULL, UNIQUE (parent, fold));"
      "CREATE TABLE registry_values (key INTEGER NOT NULL, name TEXT NOT NULL, fold BLOB NOT NULL,"
      " type INTEGER NOT NULL, data BLOB NOT NULL, UNIQUE (key, fold));"
      "INSERT INTO registry_keys VALUES (10, 3, 'Software', CAST('software' AS BLOB));"
      "INSERT INTO registry_values VALUES (10, 'R(0)', CAST('r(0)' AS BLOB), 1, X'343200');");
  EXPECT_EQ(Text(st::ReadValue(HKLM, "SOFTWARE", "r(0)")), "42"s + '\0');
  EXPECT_EQ(st::WriteValue(HKLM, "Software", "R(1)", 1, "x"), Ok);
  EXPECT_EQ(Sql(StoreFile(), "PRAGMA application_id") + " " + Sql(StoreFile(), "PRAGMA user_version"), "1448365138 1");
  EXPECT_EQ(Sql(StoreFile(), "SELECT group_concat(key || name || '=' || value) FROM registry_view"),
            "HKEY_LOCAL_MACHINE\\SoftwareR(0)=42,HKEY_LOCAL_MACHINE\\SoftwareR(1)=x");
  EXPECT_TRUE(KeptAside(Folder()).empty());
}
