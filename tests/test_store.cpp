// The SQLite store and the saved settings on it: where the store lives, how its names
// fold; damaged, foreign, replaced and linked files; a first start, the locales' numbers,
// refused writes, `vantorel-fit --saved`, a writer killed mid-save and two writers at
// once; every member of the registry class on it.
// Every test gets its own empty configuration folder (XDG_CONFIG_HOME and HOME in a fresh
// temporary folder), never the real home. The program also runs as the helper that stands
// in for another copy of the program (see main).
#include <spawn.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/wait.h>

#include <QChar>
#include <QLocale>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <map>
#include <set>
#include <sstream>

#include "cli/fitcli.h"
#include "sqlite/sqlitestore.h"
#include "sqlite/store_internal.h"
#include "model/utf8.h"
#include "platform/files.h"
#include "registry_cases.h"
#include "saved_states.h"

using namespace vantorel;
using namespace vantorel::test;
using namespace std::string_literals;
namespace fs = std::filesystem;
namespace st = platform::store;
using enum st::WriteResult;

namespace {

constexpr int32_t HKLM = st::kLocalMachine;
const std::string kFailed = "Failed to set registry value Key: '-2147483646',Section: '" + kPath + "',Key: '";
std::string kSelf = fs::read_symlink("/proc/self/exe");
// The program's one store.
sqlite::SqliteStore store;

std::string Text(const std::optional<st::StoredValue>& v) { return v ? v->data : "<none>"; }
std::string Saved(const std::string& name) { return GetRegSetting(store, kPath, name, "<none>"); }
bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
std::string ReadAll(const fs::path& p) { std::ifstream in(p, std::ios::binary); return {std::istreambuf_iterator<char>(in), {}}; }
void WriteAll(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }
std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename());
  return names;
}
// The damaged store files kept aside (registry.sqlite3.corrupt-<time>[-n]), oldest first, not their logs.
std::vector<std::string> KeptAside(const fs::path& folder) {
  std::vector<std::string> found;
  for (const std::string& n : Names(folder))
    if (n.starts_with("registry.sqlite3.corrupt-") && n.back() >= '0' && n.back() <= '9') found.push_back(n);
  return found;
}
// Starts this program as the helper.
pid_t Helper(std::string mode, std::string a, std::string b = "") {
  char helper[] = "helper", *argv[] = {kSelf.data(), helper, mode.data(), a.data(), b.empty() ? nullptr : b.data(), nullptr};
  pid_t pid = -1;
  return posix_spawn(&pid, kSelf.c_str(), nullptr, nullptr, argv, environ) == 0 ? pid : -1;
}
// What f raises as "number source: description"; Error(n, d) is that of the registry class's own error.
std::string Error(long n, const std::string& d, const std::string& source = platform::ExecutableName() + ".cRegistry") {
  return std::to_string(n) + " " + source + ": " + d;
}
template <class F>
std::string Raised(F f) {
  try { f(); } catch (const RegistryError& e) { return Error(e.number(), e.description(), e.source()); }
  return "nothing raised";
}

// The first column of the last row of one statement, run on the file directly. Read-only, it
// makes nothing beside the file; keeping the log, it leaves the statement's changes in the log.
enum Open { kWrite, kReadOnly, kKeepLog };
std::string Sql(const fs::path& file, const std::string& sql, Open how = kWrite) {
  sqlite3* db = nullptr;
  std::string out;
  if (sqlite3_open_v2((how == kReadOnly ? "file:" + file.string() + "?immutable=1" : file.string()).c_str(), &db,
                      how == kReadOnly ? SQLITE_OPEN_READONLY | SQLITE_OPEN_URI : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                      nullptr) == SQLITE_OK)
    sqlite3_exec(db, sql.c_str(), [](void* o, int, char** v, char**) { if (v[0]) *static_cast<std::string*>(o) = v[0]; return 0; },
                 &out, nullptr);
  if (how == kKeepLog) sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  sqlite3_close(db);
  return out;
}
// A file left by the version that kept a write-ahead log: in WAL mode, with oMV = 799 written
// to a log that is left beside it with its index (withLog), or with the log folded in and removed;
// then made read-only for its owner: the file and its companions with these endings.
void MakeOldStore(const fs::path& file, bool withLog, std::initializer_list<const char*> readOnly = {}) {
  Sql(file, "DELETE FROM registry_values WHERE name = 'Check'; PRAGMA journal_mode = WAL");  // it kept no check
  if (withLog) Sql(file, "UPDATE registry_values SET data = X'37393900' WHERE name = 'oMV'", kKeepLog);
  for (const char* ending : readOnly) fs::permissions(file.string() + ending, fs::perms::owner_read);
}

// A writer killed in its commit: the file holds part of an unfinished change
// (oMV = 99 and new values) and its journal the pages as they were. Made in
// this process: the change is spilled to the file, the pair copied, the
// change rolled back, and the copies put back.
bool HotJournal(const fs::path& file) {
  sqlite3* db = nullptr;
  std::string bytes, pages, journal = file.string() + "-journal";
  if (sqlite3_open(file.c_str(), &db) == SQLITE_OK &&
      sqlite3_exec(db, "PRAGMA cache_size = 2; BEGIN; UPDATE registry_values SET data = X'393900' WHERE name = 'oMV';"
                       "INSERT INTO registry_values SELECT key, name || '+', fold || '+', type, zeroblob(3000) FROM registry_values;",
                   nullptr, nullptr, nullptr) == SQLITE_OK) {
    bytes = ReadAll(file), pages = ReadAll(journal);
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  sqlite3_close(db);
  if (pages.empty() || bytes == ReadAll(file)) return false;
  WriteAll(file, bytes), WriteAll(journal, pages);
  return true;
}

// The settings a load gives.
State Loaded() {
  State s;
  s.SettingsPath = kPath;
  return LoadData(store, s), s;
}
// Runs `vantorel-fit` in this process: its exit status.
int Fit(const std::vector<std::string>& args) { std::ostringstream out, err; return RunFitCli(args, out, err, store); }

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(mkdtemp(root_.data()), nullptr);
    setenv("XDG_CONFIG_HOME", (TempRoot() / "config").c_str(), 1);
    setenv("HOME", (TempRoot() / "home").c_str(), 1);
    store.CloseConnection();
  }
  void TearDown() override {
    store.CloseConnection();
    store.FailWritesAfter(-1);
    fs::remove_all(root_, ec_);
  }
  fs::path TempRoot() const { return root_; }
  fs::path Folder() const { return TempRoot() / "config" / "Morvale Services"; }
  fs::path StoreFile() const { return Folder() / "registry.sqlite3"; }
  std::string root_ = (fs::temp_directory_path() / "vantorel-store-XXXXXX").string();
  std::error_code ec_;
};

}  // namespace

class Store : public StoreTest {};

TEST_F(Store, IsPrivateUnderTheConfigFolderAndNoticesAFileRemovedOrReplaced) {
  ASSERT_EQ(store.WriteValue(HKLM, "Software\\A\\", "v", 1, "first"), Ok);
  EXPECT_EQ(fs::status(Folder()).permissions(), fs::perms::owner_all);
  EXPECT_EQ(fs::status(StoreFile()).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(Names(Folder()), std::set{"registry.sqlite3"s}) << "no journal or log stays beside the file";
  fs::remove(StoreFile());  // as to forget every setting
  ASSERT_EQ(store.WriteValue(HKLM, "B", "v", 1, "second"), Ok);
  EXPECT_FALSE(store.KeyExists(HKLM, "Software\\A"));
  store.CloseConnection();  // a backup, taken with no connection open, is restored
  fs::copy_file(StoreFile(), TempRoot() / "backup");
  ASSERT_EQ(store.WriteValue(HKLM, "B", "v", 1, "third"), Ok);
  fs::rename(TempRoot() / "backup", StoreFile());
  EXPECT_EQ(Text(store.ReadValue(HKLM, "B", "v")), "second") << "the old file's log is not replayed into the new one";
}

// Names fold as in every store written so far (Qt's simple case folding),
// so that the folds kept in a file keep finding their names.
TEST_F(Store, NamesFoldAsInTheStoresWrittenSoFar) {
  int differ = 0;
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    std::string name, qt;
    AppendUtf8(name, c), AppendUtf8(qt, QChar::toCaseFolded(c));
    if ((c < 0xD800 || c > 0xDFFF) && st::FoldName(name) != qt && differ++ < 5) ADD_FAILURE() << std::hex << uint32_t{c};
  }
  EXPECT_EQ(differ, 0);
}

namespace {

// The values sqlite3 itself reads of a file, as "name=hex": a plain scan, up to the first damage.
std::set<std::string> Readable(const fs::path& file) {
  std::set<std::string> rows;
  sqlite3* db = nullptr; sqlite3_stmt* q = nullptr;
  if (sqlite3_open_v2(("file:" + file.string() + "?immutable=1").c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db, "SELECT name || '=' || hex(data) FROM registry_values", -1, &q, nullptr) == SQLITE_OK)
    while (sqlite3_step(q) == SQLITE_ROW) rows.insert(reinterpret_cast<const char*>(sqlite3_column_text(q, 0)));
  sqlite3_finalize(q), sqlite3_close(db);
  return rows;
}
// A store with pages on its free list, and the first of them damaged (a
// leaf count far too big), which every value survives.
std::string DamagedFreePage(const fs::path& file) {
  const fs::path copy = file.string() + "-freed";
  fs::copy_file(file, copy);
  Sql(copy, "DELETE FROM registry_values WHERE name GLOB 'v1*'");
  std::string bytes = ReadAll(copy);
  const auto byte = [&](size_t at) { return static_cast<size_t>(static_cast<unsigned char>(bytes[at])); };
  const size_t pageSize = byte(16) << 8 | byte(17);
  const size_t firstFree = byte(32) << 24 | byte(33) << 16 | byte(34) << 8 | byte(35);
  return bytes.replace((firstFree - 1) * pageSize + 4, 4, "\x00\x01\x86\xA0"s);
}

}  // namespace

// A damaged or foreign file met by the window (a read or a write that may
// change the store): whatever can be read of it goes into a fresh store,
// nothing sqlite3 reads is lost, and the old file is kept aside untouched
// under a name with the time, which the load reports with what was wrong and
// what came back. Only read (`vantorel-fit`), it is unreadable, with the
// reason, and left alone.
TEST_F(Store, DamagedAndForeignFilesAreRecoveredIntoAFreshStoreAndKeptAside) {
  for (int i = 0; i < 200; ++i)
    ASSERT_EQ(store.WriteValue(HKLM, "K" + std::to_string(i % 7), "v" + std::to_string(i), 1, std::string(300, 'd')), Ok);
  SaveData(store, StateB());
  store.CloseConnection();
  const fs::path goodFile = TempRoot() / "good";
  fs::copy_file(StoreFile(), goodFile);
  const std::string good = ReadAll(goodFile);
  const std::set<std::string> all = Readable(goodFile);
  std::string foreign = good;
  foreign.replace(68, 4, "\0\0\0\x07"s);  // another application id
  const size_t index = std::stoul(Sql(goodFile, "SELECT rootpage FROM sqlite_schema WHERE name = 'sqlite_autoindex_registry_values_1'"));
  const struct { const char* what; std::string bytes; const char* problem; } cases[] = {
      {"a damaged index page", std::string(good).replace((index - 1) * 4096 + 8, 192, 192, '\xA5'), "failed SQLite's integrity check: "},
      {"another application id", foreign, "belongs to another program (application id 0x00000007)"},
      {"a torn page", std::string(good).replace(4096 * 3 + 7, 300, 300, '\xA5'), ""},
      {"cut to 8 KiB", good.substr(0, 8192), ""},
      {"the last page zeroed", std::string(good).replace(good.size() - 4096, 4096, 4096, '\0'), ""},
      {"a header overwritten", std::string(good).replace(0, 16, 16, 'X'), "it is not an SQLite database"},
      {"garbage", "garbage", "it is not an SQLite database"}};
  int partly = 0;
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    SCOPED_TRACE(c.what);
    fs::remove_all(Folder());
    fs::create_directories(Folder());
    WriteAll(StoreFile(), c.bytes);
    WriteAll(TempRoot() / "damaged", c.bytes);
    const std::set<std::string> readable = Readable(TempRoot() / "damaged");
    {
      st::AccessScope readOnly(store, st::Access::ReadOnly);
      const st::KeyValues k = store.ReadKey(HKLM, kPath, st::kLockWaitMs);
      EXPECT_EQ(std::tuple(k.status, Has(k.reason, c.problem), k.recovery.has_value()), std::tuple(st::KeyStatus::Unreadable, true, false)) << k.reason;
      EXPECT_EQ(std::pair(ReadAll(StoreFile()) == c.bytes, Names(Folder())), std::pair(true, std::set{"registry.sqlite3"s}));
    }
    // Half are met by the load, half by a write.
    st::KeyValues k;
    std::string notice;
    if (i % 2 == 0) {
      State s = StateA();
      notice = LoadData(store, s).notice;
      k = store.ReadKey(HKLM, kPath, st::kLockWaitMs);
      EXPECT_EQ(std::pair(Has(notice, "The settings file was damaged: "), Has(notice, c.problem)), std::pair(true, true)) << notice;
    } else {
      EXPECT_EQ(store.WriteValue(HKLM, "K1", "fresh", 1, "x"), Ok);
      EXPECT_EQ(Text(store.ReadValue(HKLM, "K1", "fresh")), "x");
    }
    const auto aside = KeptAside(Folder());
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadAll(Folder() / aside[0]), c.bytes) << "kept as it was";
    EXPECT_EQ(aside[0].size(), "registry.sqlite3.corrupt-20261205-193000"s.size()) << "named with the time";
    std::set<std::string> now = Readable(StoreFile());
    now.erase("fresh=78");
    EXPECT_TRUE(std::ranges::includes(now, readable)) << "nothing sqlite3 reads is lost";
    EXPECT_TRUE(std::ranges::includes(all, now));
    EXPECT_TRUE(now == all || !(std::string(c.problem).starts_with("failed") || Has(c.problem, "another program"))) << "all came back";
    partly += !now.empty() && now != all;
    // The load names what came back of the settings: all, none or how many.
    std::istringstream saved(Joined(StateB()));
    size_t settings = 0;
    for (std::string t; std::getline(saved, t, ';');)
      settings += std::ranges::any_of(now, [&](const std::string& row) { return row.starts_with(t.substr(0, t.find('=') + 1)); });
    EXPECT_TRUE(i % 2 == 1 || (k.values.size() == settings + std::ranges::count_if(now, [](auto& v) { return v.starts_with("Check="); }) &&
                                (settings == 24 ? Has(notice, "All 24 saved settings were recovered.")
                                 : settings == 0 ? Has(notice, "No saved setting could be recovered")
                                                 : Has(notice, std::to_string(settings) + " of 24 saved settings were recovered; these have their defaults: "))))
        << settings << " " << notice;
    store.CloseConnection();
  }
  EXPECT_GE(partly, 1) << "some damage leaves part of the values";
  store.CloseConnection();
  // A damaged free page is no loss: every value reads, and saves go on.
  fs::remove_all(Folder());
  fs::create_directories(Folder());
  WriteAll(StoreFile(), DamagedFreePage(goodFile));
  const std::set<std::string> freed = Readable(StoreFile());
  EXPECT_EQ(Joined(Loaded()), Joined(StateB()));
  for (int i = 0; i < 30; ++i) ASSERT_EQ(store.WriteValue(HKLM, "K9", "w" + std::to_string(i), 1, std::string(3000, 'w')), Ok);
  EXPECT_TRUE(std::ranges::includes(Readable(StoreFile()), freed));
  fs::remove_all(Folder());
  fs::create_directories(Folder());
  WriteAll(StoreFile(), "");  // an empty file is an empty store
  EXPECT_EQ((std::pair{store.WriteValue(HKLM, "A", "v", 1, "x"), KeptAside(Folder())}), std::pair(Ok, std::vector<std::string>{}));  // braced: evaluated in order
}

// A link in the file's place is neither followed nor written through.
TEST_F(Store, ALinkInTheFilesPlace) {
  ASSERT_EQ(store.WriteValue(HKLM, "A", "v", 1, "x"), Ok);
  store.CloseConnection();
  fs::rename(StoreFile(), TempRoot() / "elsewhere");
  fs::create_symlink(TempRoot() / "elsewhere", StoreFile());
  EXPECT_EQ((std::pair{store.KeyExists(HKLM, "A"), store.WriteValue(HKLM, "A", "v", 1, "z")}), std::pair(false, KeyFailed));  // braced: evaluated in order
  EXPECT_EQ(Sql(TempRoot() / "elsewhere", "SELECT value FROM registry_view"), "x") << "the file stays as it was";
  EXPECT_TRUE(KeptAside(Folder()).empty());
}

// Stores on machines as they are: links above the store, modes left by an
// earlier version, a full disk, a read-only file system, a lock held by
// another program, a read-only folder, and `vantorel-fit --saved` on files
// it must only read. Each runs a real program on the real file as the user
// nobody (root would ignore the modes): the window's load and close (the
// helper's "close", which prints what it loaded) or `vantorel-fit --saved`.
// Which way a store file is opened, and what is tried when that way fails.
TEST(StoreOpening, EachFileIsOpenedTheWayItAllowsAndAFailedWayGivesWayOnce) {
  using namespace vantorel::sqlite::detail;
  const FileState rollback{Header::Rollback}, logGone{Header::Wal}, log{Header::Wal, true, true, false}, indexed{Header::Wal, true, true, true};
  const auto way = [](const FileState& f, bool readWrite, bool forWrite) { return PlanOpen(f, readWrite, forWrite).way; };
  EXPECT_EQ(way(rollback, true, false), Way::Direct);
  EXPECT_EQ(way(rollback, false, false), Way::ReadOnly);
  EXPECT_EQ(way(logGone, true, false), Way::Immutable);
  EXPECT_EQ(way(logGone, false, true), Way::Immutable);
  EXPECT_EQ(way(indexed, false, false), Way::ReadOnly);
  EXPECT_EQ(std::pair(PlanOpen(logGone, true, true).switchJournal, PlanOpen(log, true, true).switchJournal), std::pair(true, false));
  EXPECT_STREQ(PlanOpen(log, false, false).copyWith, "-wal");
  EXPECT_STREQ(NextPlan({}, rollback, SQLITE_READONLY_ROLLBACK, false)->copyWith, "-journal");
  EXPECT_FALSE(NextPlan({}, rollback, SQLITE_READONLY, false) || NextPlan({}, rollback, SQLITE_FULL, true));
  EXPECT_EQ(NextPlan({}, logGone, SQLITE_FULL, false)->way, Way::Immutable);
  EXPECT_STREQ(NextPlan({}, log, SQLITE_CANTOPEN, false)->copyWith, "-wal");
  EXPECT_FALSE(NextPlan({Way::PrivateCopy, "-wal"}, log, SQLITE_CANTOPEN, true) || NextPlan({Way::Immutable}, logGone, SQLITE_IOERR, false));
}

TEST_F(Store, EveryReadableStoreIsReadAndNoneIsWrittenOverUnread) {
  const fs::path root = TempRoot(), moved = root / "real", mnt = root / "mnt", onMnt = mnt / "Morvale Services";
  const std::string b = Joined(StateB()), cfg = "XDG_CONFIG_HOME=" + (root / "config").string(), rb = "read\n" + b,
                    mntCfg = "XDG_CONFIG_HOME=" + mnt.string(), imperial = "\"units\": \"imperial\"",
                    b799 = std::string(b).replace(b.find("oMV=812.25"), 10, "oMV=799");
  sqlite3* lock = nullptr;  // held by this process, as by another program
  const auto tmpfs = [&](bool readOnly) {  // a store with a folded-in log on a small file system
    if (!fs::create_directories(onMnt) || mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=256k") != 0) return false;
    fs::create_directories(onMnt);
    fs::copy_file(StoreFile(), onMnt / "registry.sqlite3");
    MakeOldStore(onMnt / "registry.sqlite3", false);
    if (!readOnly) return !(std::ofstream(mnt / "filler", std::ios::binary) << std::string(1 << 20, 'f'));
    if (std::system(("chown -R 65534:65534 '" + mnt.string() + "'").c_str()) != 0) return false;  // before it becomes read-only
    return mount(nullptr, mnt.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  };
  const auto notSaved = [&](const std::string& why) {
    return "The settings were not saved. When the program started it could not read them from\n" + StoreFile().string() + "\n(" + why + ")"; };
  const std::set<std::string> file{"registry.sqlite3"}, withLog{"registry.sqlite3", "registry.sqlite3-shm", "registry.sqlite3-wal"};
  // A save of a changed R(0) refused: nothing of it written, the first value, the file and the reason named.
  const auto refused = [&](const fs::path& folder, const std::string& why) {
    return "Key: 'R(0)' to value: '13'\nThe settings in " + (folder / "registry.sqlite3").string() + " could not be written: " + why + "."; };
  const std::string fitB = R"({"mv": 812.25, "bc": 0.0275, "sh": 1.75, "zr": 27, "cpm": 4})";
  fs::path longConfig = root;
  for (int i = 0; i < 3; ++i) longConfig /= std::string(200, 'c');
  // What is set up (false: cannot be set up here, skipped); the run's HOME or XDG_CONFIG_HOME, the store's folder
  // (links resolved), the helper's mode or "fit"; its exit status, part of what it prints, the settings in the file
  // afterwards ("" unchecked), the files in the folder, and whether they keep every byte.
  const struct { const char* what; std::function<bool()> setup; std::string env; fs::path folder; std::string run;
                 int status; std::string printed, after; std::set<std::string> files; bool untouched = false; } cases[] = {
      {"a linked home",
       [&] { fs::create_directories(moved); fs::rename(root / "config", moved / ".config"); fs::create_symlink(moved, root / "home"); return true; },
       "HOME=" + (root / "home").string(), moved / ".config/Morvale Services", "close", 0, rb, b, file},
      {"a linked Morvale Services folder", [&] { fs::rename(Folder(), moved); fs::create_symlink(moved, Folder()); return true; },
       cfg, moved, "close", 0, rb, b, file},
      {"a read-only store with the old version's log, read by vantorel-fit", [&] { MakeOldStore(StoreFile(), true, {"", "-wal", "-shm"}); return true; },
       cfg, Folder(), "fit", 0, "\"mv\": 799,", "", withLog},
      {"a full disk", [&] { return tmpfs(false); }, mntCfg, onMnt, "change", 2, refused(onMnt, "No space left on device"), b, file},
      {"a read-only file system", [&] { return tmpfs(true); }, mntCfg, onMnt, "change", 2, refused(onMnt, "Read-only file system"), b, file},
      {"a first save on a full disk", [&] { return tmpfs(false) && fs::remove(onMnt / "registry.sqlite3") && !(std::ofstream(mnt / "more") << std::string(1 << 20, 'f')); },
       mntCfg, onMnt, "change", 2, "could not be written: No space left on device.", "", {}},
      {"a link where the journal goes", [&] { fs::create_symlink(root / "elsewhere", StoreFile().string() + "-journal"); return true; },
       cfg, Folder(), "change", 2, "a symbolic link stands where its journal goes (" + StoreFile().string() + "-journal)", b, {"registry.sqlite3", "registry.sqlite3-journal"}},
      {"a lock held past the wait", [&] { return sqlite3_open(StoreFile().c_str(), &lock) == SQLITE_OK &&
                                                 sqlite3_exec(lock, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK; },
       cfg, Folder(), "close 300", 3, notSaved("another program kept it locked for more than 300 milliseconds"), b, file},
      {"a store its owner may not read", [&] { fs::permissions(StoreFile(), fs::perms::none); return true; },
       cfg, Folder(), "close", 3, notSaved("Permission denied"), b, file},
      {"a folder its owner may not enter", [&] { fs::permissions(Folder(), fs::perms::none); return true; },
       cfg, Folder(), "close", 3, notSaved("Permission denied"), "", file},
      {"a store of a later version", [&] { return Sql(StoreFile(), "PRAGMA user_version = 2").empty(); },
       cfg, Folder(), "close", 3, notSaved("it was written by a later version of the program"), b, file},
      {"a read-only folder, nothing to change", [&] { fs::permissions(Folder(), fs::perms::owner_read | fs::perms::owner_exec); return true; },
       cfg, Folder(), "close", 0, rb, b, file},
      {"a read-only folder", [&] { fs::permissions(Folder(), fs::perms::owner_read | fs::perms::owner_exec); return true; },
       cfg, Folder(), "change", 2, refused(Folder(), "Permission denied"), b, file},
      {"a read-only store", [&] { fs::permissions(StoreFile(), fs::perms::owner_read); return true; },
       cfg, Folder(), "change", 2, refused(Folder(), "Permission denied"), b, file},
      {"a configuration path too long for SQLite", [&] { return true; }, "XDG_CONFIG_HOME=" + longConfig.string(),
       longConfig / "Morvale Services", "change", 2, "could not be written: path too long: ", "", {}},
      {"vantorel-fit on a damaged file", [&] { WriteAll(StoreFile(), "NOTSQL" + ReadAll(StoreFile()).substr(6)); return true; },
       cfg, Folder(), "fit", 1, "(it is not an SQLite database)\"\n}", "", file},
      {"vantorel-fit on a foreign database with a write-ahead log",
       [&] { fs::remove(StoreFile()); Sql(StoreFile(), "PRAGMA journal_mode = WAL; CREATE TABLE mine(x)"); return true; },
       cfg, Folder(), "fit", 1, "(it is a database of another program)\"\n}", "", file},
      {"vantorel-fit on the old version's store", [&] { MakeOldStore(StoreFile(), false); return true; },
       cfg, Folder(), "fit", 0, fitB, b, file},
      {"vantorel-fit on a log without its index", [&] { MakeOldStore(StoreFile(), true); fs::remove(StoreFile().string() + "-shm"); return true; },
       cfg, Folder(), "fit", 0, "\"mv\": 799,", "", {"registry.sqlite3", "registry.sqlite3-wal"}, true},
      {"vantorel-fit on a writer killed in its commit", [&] { return HotJournal(StoreFile()); },
       cfg, Folder(), "fit", 0, fitB, "", {"registry.sqlite3", "registry.sqlite3-journal"}, true},
      {"a writer killed in its commit, then the window", [&] { return HotJournal(StoreFile()); },
       cfg, Folder(), "close", 0, rb, b, file},
      {"the same in a read-only folder", [&] { fs::permissions(Folder(), fs::perms::owner_read | fs::perms::owner_exec); return HotJournal(StoreFile()); },
       cfg, Folder(), "close", 0, rb, "", {"registry.sqlite3", "registry.sqlite3-journal"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(root);
    fs::create_directories(Folder());
    SaveData(store, StateB());
    store.CloseConnection();
    if (!c.setup()) { std::cerr << "skipped (cannot be set up here): " << c.what << "\n"; continue; }
    // Inside a read-only mount it cannot change anything, and need not.
    [[maybe_unused]] const int chowned = std::system(("chown -R 65534:65534 '" + root.string() + "' 2>/dev/null").c_str());
    std::map<std::string, std::string> before;
    for (const std::string& n : c.untouched ? Names(c.folder) : std::set<std::string>{}) before[n] = ReadAll(c.folder / n);
    const std::string program = c.run == "fit" ? "'" VANTOREL_FIT "' --saved --estimate --json" : "'" + kSelf + "' helper " + c.run;
    const int status = std::system(("env -i PATH=/usr/bin:/bin LC_ALL=C " + c.env + " setpriv --reuid=65534 --regid=65534 "
                                    "--clear-groups " + program + " >" + (root / "out").string() + " 2>&1").c_str());
    const std::string printed = ReadAll(root / "out");
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.status) << printed;
    EXPECT_TRUE(Has(printed, c.printed)) << printed;
    EXPECT_TRUE(c.after.empty() || Sql(c.folder / "registry.sqlite3", "SELECT group_concat(name || '=' || value, ';') FROM "
        "registry_view WHERE key = 'HKEY_LOCAL_MACHINE\\Software\\Morvale Services\\Vantorel' AND name <> 'Check'", kReadOnly) == c.after);
    EXPECT_EQ(Names(c.folder), c.files);
    for (const auto& [n, bytes] : before) EXPECT_TRUE(ReadAll(c.folder / n) == bytes) << n << " was changed";
    sqlite3_close(std::exchange(lock, nullptr));
    umount(mnt.c_str());
  }
}

class Settings : public StoreTest {};

// A first start: neither the load nor `vantorel-fit --saved` (which takes no
// rows, model or units) creates anything. A file in the place of the
// store's folder refuses a reset, and reads go on with the defaults.
TEST_F(Settings, AFirstStartCreatesNothing) {
  EXPECT_EQ(Fit({"--saved", "--estimate"}), 0);
  EXPECT_EQ(Fit({"--saved", "--metric"}), kExitUsage);
  EXPECT_EQ(Joined(Loaded()), Joined(DefaultState()));
  EXPECT_FALSE(fs::exists(TempRoot() / "config")) << "neither loading nor `vantorel-fit --saved` creates anything";
  fs::create_directories(Folder().parent_path());
  WriteAll(Folder(), "");
  EXPECT_EQ(Raised([] { ResetSettings(store, kPath); }), Error(26001, kFailed + "Dummy' to value: '99'"));
  EXPECT_EQ(Joined(Loaded()), Joined(DefaultState()));
}

TEST_F(Settings, AWriterKilledMidSaveLeavesOneWholeSave) {
  // How long one save takes on this disk (the commit waits for its flushes),
  // so that the kills land inside saves however fast or busy the disk is.
  const auto start = std::chrono::steady_clock::now();
  SaveData(store, StateA());
  const long saveUs = std::max<long>(
      1000, std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count());
  const std::string a = Joined(StateA()), b = Joined(StateB());
  const fs::path marker = TempRoot() / "saving";
  std::mt19937 rng(20261205);
  int inCommit = 0;
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    fs::remove(marker);
    const pid_t pid = Helper("save-loop", marker);
    for (int waited = 0; waited < 20000 && !fs::exists(marker); ++waited) usleep(1000);
    ASSERT_EQ(std::pair(pid > 0, fs::exists(marker)), std::pair(true, true));
    usleep(static_cast<useconds_t>(rng() % static_cast<unsigned long>(2 * saveUs)));  // killed at a random moment
    int status = kill(pid, SIGKILL);
    EXPECT_EQ((std::tuple{waitpid(pid, &status, 0), WIFSIGNALED(status)}), std::tuple(pid, true)) << "the helper was still saving";  // braced: evaluated in order
    inCommit += fs::exists(StoreFile().string() + "-journal");
    store.CloseConnection();  // open afresh, as the next run would
    const std::string now = Joined(Loaded());
    EXPECT_TRUE(now == a || now == b) << now;
    EXPECT_TRUE(KeptAside(Folder()).empty());
  }
  EXPECT_GT(inCommit, 10) << "many kills land inside a commit";
}

// Two copies of the program writing at once, and a third reading: no write
// is lost and none fails; two saving at once leave one save or the other,
// never a mix; a lock held past the wait makes `vantorel-fit --saved` fail.
TEST_F(Settings, TwoCopiesWritingAtOnceLoseNothingAndMixNothing) {
  SaveData(store, StateA());  // the store exists, so both start on the same file
  const pid_t p1 = Helper("write-many", "A", "150"), p2 = Helper("write-many", "B", "150");
  ASSERT_EQ(std::pair(p1 > 0, p2 > 0), std::pair(true, true));
  int reads = 0, status1 = -1, status2 = -1;
  for (; waitpid(p1, &status1, WNOHANG) == 0; ++reads) ASSERT_EQ(Saved("R(0)"), "10");
  waitpid(p2, &status2, 0);
  EXPECT_EQ(std::tuple(status1, status2, reads > 0), std::tuple(0, 0, true)) << "both exited with 0: " << status1 << " " << status2;
  store.CloseConnection();
  for (const std::string tag : {"A", "B"})
    for (int i = 0; i < 150; ++i) EXPECT_EQ(Saved(tag + std::to_string(i)), "value " + std::to_string(i) + " of " + tag);
  EXPECT_TRUE(Saved("Shared") == "value 149 of A" || Saved("Shared") == "value 149 of B") << Saved("Shared");

  const std::string a = Joined(StateA()), b = Joined(StateB());
  const pid_t s1 = Helper("save-loop", (TempRoot() / "one").string()), s2 = Helper("save-loop", (TempRoot() / "two").string());
  std::set<std::string> seen;
  // Read until both copies' saves have been seen, however busy the machine (while both copies still run).
  while (seen.size() < 2 && waitpid(s1, nullptr, WNOHANG) == 0 && waitpid(s2, nullptr, WNOHANG) == 0) {
    const std::string now = Joined(Loaded());
    ASSERT_TRUE(now == a || now == b) << now;
    seen.insert(now);
  }
  kill(s1, SIGKILL), kill(s2, SIGKILL), waitpid(s1, nullptr, 0), waitpid(s2, nullptr, 0);
  EXPECT_EQ(seen.size(), 2u) << "both saves were seen";

  sqlite3* other = nullptr;
  ASSERT_TRUE(sqlite3_open(StoreFile().c_str(), &other) == SQLITE_OK && sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK);
  store.SetLockWait(200);
  EXPECT_EQ(Fit({"--saved"}), kExitFailure);
  store.SetLockWait(-1), sqlite3_close(other);
}

// Rows that disagree are damage too, recovered and said: an index entry
// that is not its row's (the quick check misses it), a folded name kept as
// TEXT or not the name's (a load finds a value by its name, a save by its
// folded name), a key that hangs from no root. The recovered store takes a
// save without a second row.
TEST_F(Settings, RowsThatDisagreeAreDamageRecoveredAndSaid) {
  SaveData(store, StateB());
  store.CloseConnection();
  const std::string good = ReadAll(StoreFile());
  const size_t index = std::stoul(Sql(StoreFile(), "SELECT rootpage FROM sqlite_schema WHERE name = 'sqlite_autoindex_registry_values_1'"));
  const std::tuple<std::string, std::string, std::string> cases[] = {  // the change, the problem, what came back
      {"", "it failed SQLite's integrity check: row 1 missing from index", "All 24 saved settings were recovered."},
      {"UPDATE registry_values SET fold = CAST(fold AS TEXT)", "its value \"R(0)\" and the folded name kept with it disagree", "All 24"},
      {"UPDATE registry_values SET name = 'oCPL' WHERE name = 'oCPM'", "its value \"oCPL\" and the folded name kept with it disagree",
       "23 of 24 saved settings were recovered; these have their defaults: clicks per minute of angle."},
      {"UPDATE registry_keys SET parent = 99 WHERE name = 'Software'", "one of its keys hangs from no root", "No saved setting could be recovered"}};
  for (const auto& [change, problem, back] : cases) {
    std::string bytes = good;
    bytes[bytes.find("r(0)", (index - 1) * 4096)] = 'q';  // its index entry sorts where it did
    fs::remove_all(Folder()), fs::create_directories(Folder());
    WriteAll(StoreFile(), change.empty() ? bytes : good);
    Sql(StoreFile(), change);
    EXPECT_EQ(Fit({"--saved"}), kExitFailure) << change;
    State s = StateA();
    const std::string notice = LoadData(store, s).notice;
    EXPECT_TRUE(Has(notice, "The settings file was damaged: " + problem) && Has(notice, back)) << notice;
    SaveData(store, StateB());
    EXPECT_EQ(Sql(StoreFile(), "SELECT count(*) FROM registry_values WHERE name = 'R(0)'"), "1");
    store.CloseConnection();
  }
}

class Registry : public StoreTest {};

TEST_F(Registry, EveryMemberOnTheSqliteStore) { CheckRegistryMembers(store); }

// The helper: another copy of the program, run as `test_store helper MODE ...`. Modes:
//   save-loop MARKER  saves the two sets of settings in turn for ever, making MARKER after the first
//   write-many TAG N  writes N values of its own and a shared one, reading each back; exit 1 on a wrong read
//   close [WAIT_MS]   loads the settings and closes as the window does: prints what the load found and the
//                     loaded texts, then saves them back; exit 3 when the load could not read the store
//   change            the same, with range 1 one more than loaded
// A refused write exits with 2.
int Helper(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  const long n = argc > 2 ? std::strtol(argv[argc - 1], nullptr, 10) : 0;  // the count or wait, if any
  try {
    if (mode == "save-loop" && argc == 3) {
      SaveData(store, StateB());
      std::ofstream(argv[2]) << "saving\n";
      for (;;) SaveData(store, StateA()), SaveData(store, StateB());
    }
    for (long i = 0; mode == "write-many" && i < n; ++i) {
      const std::string name = argv[2] + std::to_string(i), text = "value " + std::to_string(i) + " of " + argv[2];
      SaveRegSetting(store, kPath, name, text);
      SaveRegSetting(store, kPath, "Shared", text);
      if (GetRegSetting(store, kPath, name, "missing") != text) return 1;
    }
    if (mode != "close" && mode != "change") return mode == "write-many" ? 0 : 64;
    if (argc == 3) store.SetLockWait(static_cast<int>(n));
    State s;
    s.SettingsPath = kPath;
    const LoadResult r = LoadData(store, s);
    static const char* const kKinds[] = {"missing", "read", "unreadable"};
    std::cout << kKinds[static_cast<int>(r.kind)] << "\n" << Joined(s) << "\n" << r.problems << "\n";
    if (!r.MaySave()) return std::cout << NotSavedMessage(r) << "\n", 3;
    if (mode == "change") ++s.DataRange[0];
    SaveData(store, s);
    return 0;
  } catch (const RegistryError& e) {
    std::cerr << e.number() << " " << e.description() << "\n" << e.detail() << "\n";
    return 2;
  }
}

int main(int argc, char** argv) {
  if (argc > 1 && argv[1] == "helper"s) return Helper(argc - 1, argv + 1);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
