// The key tree of the settings store over its SQLite connection: the
// store's state (one object per SqliteStore), finding and making keys, and
// the reads and writes of the interface.
#include "sqlite/sqlitestore.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <utility>

#include "sqlite/store_internal.h"
#include "platform/files.h"

namespace vantorel::sqlite {

using namespace store;

namespace {

using namespace detail;

// --- Names and paths -------------------------------------------------------

// The names of a key path, or nullopt when the path names no key.
std::optional<std::vector<std::string>> SplitPath(std::string_view path) {
  std::vector<std::string> names;
  if (path.empty()) return names;
  if (path.back() == '\\') path.remove_suffix(1);
  size_t start = 0;
  while (true) {
    const size_t sep = path.find('\\', start);
    const std::string_view name =
        path.substr(start, sep == std::string_view::npos ? std::string_view::npos : sep - start);
    if (name.empty() || name.size() > kMaxKeyName || name.find('\0') != std::string_view::npos) return std::nullopt;
    names.emplace_back(name);
    if (sep == std::string_view::npos) break;
    start = sep + 1;
  }
  return names;
}

bool ValidValueName(std::string_view name) {
  return name.size() <= kMaxValueName && name.find('\0') == std::string_view::npos;
}

// Row of a root in registry_keys.
std::optional<int64_t> RootRow(int32_t root) {
  switch (root) {
    case kClassesRoot: return 1;
    case kCurrentUser: return 2;
    case kLocalMachine: return 3;
    case kUsers: return 4;
    default: return std::nullopt;
  }
}

bool IsPrimary(int code, int primary) { return (code & 0xff) == primary; }

enum class Found { Ready, Missing, Unavailable, Again };
enum class Step { Key, Value };

std::string LockedWords(int ms) {
  const std::string wait = ms >= 1000 && ms % 1000 == 0
                               ? std::to_string(ms / 1000) + (ms == 1000 ? " second" : " seconds")
                               : std::to_string(ms) + " milliseconds";
  return "another program kept it locked for more than " + wait;
}

// The longest store path SQLite takes, with room for "-journal" after it.
std::optional<std::string> TooLong(const std::string& path) {
  const sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
  const size_t most = vfs && vfs->mxPathname > 8 ? static_cast<size_t>(vfs->mxPathname) - 8 : 504;
  if (path.size() <= most) return std::nullopt;
  return "path too long: " + std::to_string(path.size()) + " characters, SQLite takes at most " + std::to_string(most);
}

}  // namespace

// The store as this process sees it: the connection to the current file,
// the access allowed, the transaction in progress and the test hooks.
// Guarded by its mutex.
class detail::Engine {
 public:
  std::recursive_mutex mutex;
  Connection conn;
  Access access = Access::ReadWrite;
  int lockWaitMs = store::kLockWaitMs;  // the longest wait for a lock (shorter in tests)
  int waitMs = store::kLockWaitMs;      // the wait of the operation in progress
  int writesBeforeFailing = -1;         // test hook: writes left before every write fails
  std::string failure;                  // why the store was last found unavailable or a write failed
  bool locked = false;                  // ... because another program held its lock past the wait
  std::optional<Recovery> recovery;     // a damaged file met by the operation in progress
  std::optional<Salvage> salvaged;      // what was read of it, when no fresh store could take its place
  bool inTransaction = false, transactionOpen = false, transactionFailed = false;
  // The store file (and its folder, when made too) this process made for a
  // write that has not succeeded yet; a failed write takes them away again.
  struct Made {
    std::string path;
    dev_t dev;
    ino_t ino;
    bool folder;
  };
  std::optional<Made> made;

  void Fail(int code) {
    locked = IsPrimary(code, SQLITE_BUSY) || IsPrimary(code, SQLITE_LOCKED);
    failure = Reason(code);
  }

  void UseWait(int ms) {
    waitMs = std::min(ms, lockWaitMs);
    if (conn.db) sqlite3_busy_timeout(conn.db, waitMs);
  }

  // Makes conn a connection to the current store file. A missing file is
  // created only for a write. A damaged file met on the way is recovered
  // into a fresh store where writing is allowed, and looked for again, so
  // this never returns Again.
  Found Acquire(bool forWrite) {
    if (transactionOpen && conn.db) return Found::Ready;
    failure.clear();
    locked = false;
    const bool mayCreate = forWrite && access == Access::ReadWrite;
    struct stat folderSt {};
    const bool hadFolder = stat(StoreFolder().c_str(), &folderSt) == 0;
    const auto folder = ResolvedFolder(mayCreate);
    if (!folder) {
      const int err = errno;
      conn.Close();
      if (!forWrite && (err == ENOENT || err == ENOTDIR)) return Found::Missing;
      failure = SystemReason(err);
      return Found::Unavailable;
    }
    const std::string path = *folder + "/" + kFileName;
    if (auto why = TooLong(path)) {
      conn.Close();
      failure = *why;
      return Found::Unavailable;
    }
    for (int attempt = 0; attempt < 3; ++attempt) {
      struct stat st {};
      if (lstat(path.c_str(), &st) != 0) {
        const int err = errno;
        conn.Close();
        if (err == ENOENT && !forWrite) return Found::Missing;
        bool madeNow = false;
        if (err != ENOENT || !mayCreate || !CreateStoreFile(path, madeNow) || lstat(path.c_str(), &st) != 0) {
          failure = SystemReason(errno);
          return Found::Unavailable;
        }
        if (madeNow) made = Made{path, st.st_dev, st.st_ino, !hadFolder};
      }
      if (!S_ISREG(st.st_mode)) {
        conn.Close();
        failure = S_ISLNK(st.st_mode) ? "it is a symbolic link, which the program does not follow"
                                      : "it is not a regular file";
        return Found::Unavailable;
      }
      if (conn.db && conn.path == path && conn.dev == st.st_dev && conn.ino == st.st_ino && conn.privateCopy.empty() &&
          !(forWrite && conn.immutable)) {
        sqlite3_busy_timeout(conn.db, waitMs);
        if (conn.hasTables) return Found::Ready;
        // Another copy of the program may have laid out the tables since.
        Found f = Found::Ready;
        try {
          std::string why;
          const Contents c = Inspect(conn, false, &why);
          if (c == Contents::Store) conn.hasTables = true;
          if (c == Contents::Newer) {
            conn.Close();
            failure = "it was written by a later version of the program";
            return Found::Unavailable;
          }
          if (c == Contents::Damaged) f = Damaged(why);
        } catch (const SqlError& e) {
          if (!IsCorruption(e.code)) {
            Fail(e.code);
            return Found::Unavailable;
          }
          f = Damaged(DamageWords(e.code));
        }
        if (f != Found::Again) return f;
        continue;
      }
      conn.Close();
      const Found f = Open(path, st, forWrite);
      if (f != Found::Again) return f;
    }
    failure = "it kept changing while it was opened";
    return Found::Unavailable;
  }

  // Opens the file found at path. The header is read first, so that a file
  // only to be read is opened in a way that makes no file beside it; the
  // way is planned from it (PlanOpen), and a way that fails may give way to
  // another (NextPlan).
  Found Open(const std::string& path, const struct stat& st, bool forWrite) {
    FileState file;
    file.header = ReadHeader(path);
    if (file.header == Header::Unreadable) {
      failure = SystemReason(errno);
      return Found::Unavailable;
    }
    if (access == Access::ReadOnly && file.header == Header::Empty) return Found::Missing;
    file.logWithData = Beside(path, "-wal", true);
    file.logFile = Beside(path, "-wal", false);
    file.indexFile = Beside(path, "-shm", false);
    if (access == Access::ReadWrite && file.header == Header::Wal) MatchLeftoverModes(path, st.st_mode);
    for (OpenPlan plan = PlanOpen(file, access == Access::ReadWrite, forWrite);;) {
      if (!OpenBy(plan, path, st)) return Found::Unavailable;
      try {
        return Prepare(plan, path);
      } catch (const SqlError& e) {
        if (IsCorruption(e.code)) return Damaged(DamageWords(e.code));
        if (const auto next = NextPlan(plan, file, e.code, Beside(path, "-journal", true))) {
          plan = *next;
          continue;
        }
        Fail(e.code);
      }
      conn.Close();
      return Found::Unavailable;
    }
  }

  // Opens conn on the file at path the planned way; false (failure says why)
  // when it cannot be opened.
  bool OpenBy(const OpenPlan& plan, const std::string& path, const struct stat& st) {
    bool opened = false;
    switch (plan.way) {
      case Way::PrivateCopy: {
        const auto copy = PrivateCopy(path, plan.copyWith);
        if (!copy) {
          failure = "it could not be copied to be read: " + SystemReason(errno);
          return false;
        }
        opened = conn.Open(*copy, SQLITE_OPEN_READWRITE, path, st, true, waitMs);
        if (opened)
          conn.privateCopy = *copy;
        else
          RemovePrivateCopy(*copy);
        break;
      }
      case Way::Immutable:
        opened = conn.Open(ImmutableUri(path), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, path, st, true, waitMs);
        break;
      case Way::ReadOnly: opened = conn.Open(path, SQLITE_OPEN_READONLY, path, st, false, waitMs); break;
      case Way::Direct: opened = conn.Open(path, SQLITE_OPEN_READWRITE, path, st, false, waitMs); break;
    }
    if (!opened) failure = "SQLite could not open it";
    return opened;
  }

  // Sets the connection up and looks at what the file holds. Throws
  // SqlError for what SQLite refuses.
  Found Prepare(const OpenPlan& plan, const std::string& path) {
    // A commit is whole however the process ends, and on the disk before
    // the write returns, so a power cut cannot damage the store either (the
    // journal and the file are flushed in turn). In exclusive locking mode
    // SQLite keeps the log index in memory, so a failed switch to the
    // rollback journal (full disk) leaves no -shm behind. (The locking mode
    // must come before anything reads the file.)
    if (plan.switchJournal && plan.way == Way::Direct) conn.Exec("PRAGMA locking_mode = EXCLUSIVE");
    conn.Exec("PRAGMA synchronous = FULL; PRAGMA trusted_schema = OFF; PRAGMA cell_size_check = ON;");
    std::string why;
    switch (Inspect(conn, true, &why)) {
      case Contents::Store:
        conn.hasTables = true;
        if (plan.switchJournal && !conn.UseRollbackJournal()) {
          int sys = sqlite3_system_errno(conn.db);
          struct statvfs room {};
          if (!sys && statvfs(platform::Folder(path).c_str(), &room) == 0 && room.f_bavail == 0) sys = ENOSPC;
          conn.Close();  // it would keep the file locked
          failure = sys ? SystemReason(sys) : "it could not be switched to the rollback journal";
          return Found::Unavailable;
        }
        if (plan.switchJournal && plan.way != Way::PrivateCopy)
          conn.Exec("PRAGMA locking_mode = NORMAL; SELECT count(*) FROM sqlite_schema;");
        return Found::Ready;
      case Contents::Empty: return Found::Ready;
      case Contents::Newer:
        conn.Close();
        failure = "it was written by a later version of the program";
        return Found::Unavailable;
      case Contents::Damaged: return Damaged(why);
    }
    return Found::Unavailable;
  }

  static std::string DamageWords(int code) {
    if (IsPrimary(code, SQLITE_NOTADB)) return "it is not an SQLite database";
    return "SQLite found it damaged: " + std::string(sqlite3_errstr(code));
  }

  // The open file is damaged or not a store of this program. Where writing
  // is allowed, and the file was opened with locks, whatever can be read of
  // it goes into a fresh store that takes its place, and the file is kept
  // aside: Again, to open the fresh store (or find none when nothing could
  // be read). Otherwise the file is left as it is: Unavailable, and what
  // could be read is kept for ReadKey.
  Found Damaged(const std::string& why) {
    const std::string path = conn.path;
    const dev_t dev = conn.dev;
    const ino_t ino = conn.ino;
    const bool trusted = !conn.immutable;
    if (access == Access::ReadOnly || !trusted) {
      conn.Close();
      failure = why;
      return Found::Unavailable;
    }
    RollbackIfOpen();
    Salvage rows;
    try {
      rows = SalvageRows(conn);
    } catch (const SqlError&) {
    }
    conn.Close();
    conn.path.clear();
    Recovery found{why, "", false};
    const bool anything = !rows.keys.empty() || !rows.values.empty();
    std::string fresh;
    int err = 0;
    if (anything) {
      fresh = NewFileBeside(path);
      err = errno;
      if (!fresh.empty() && !FillFresh(fresh, rows, err)) {
        unlink(fresh.c_str());
        fresh.clear();
      }
    }
    if (anything && fresh.empty()) {
      failure = why + "; a repaired store could not be written beside it: " + SystemReason(err);
      recovery = found;
      salvaged = std::move(rows);
      return Found::Unavailable;
    }
    found.keptAs = KeepAside(path, dev, ino);
    if (found.keptAs.empty()) {
      if (!fresh.empty()) unlink(fresh.c_str());
      if (!SameFile(path, dev, ino)) return Found::Again;  // replaced meanwhile: look again
      failure = why + "; it could not be moved aside: " + SystemReason(errno);
      recovery = found;
      salvaged = std::move(rows);
      return Found::Unavailable;
    }
    if (!fresh.empty()) {
      found.replaced = platform::RenameNoReplace(fresh, path) == 0;
      if (!found.replaced) unlink(fresh.c_str());
    }
    recovery = found;
    return Found::Again;
  }

  // A fresh store in the file made for it, holding what was salvaged.
  bool FillFresh(const std::string& file, const Salvage& rows, int& err) {
    struct stat st {};
    if (lstat(file.c_str(), &st) != 0) {
      err = errno;
      return false;
    }
    Connection fresh;
    if (!fresh.Open(file, SQLITE_OPEN_READWRITE, file, st, false, waitMs)) return false;
    try {
      fresh.Exec("PRAGMA synchronous = FULL; PRAGMA journal_mode = DELETE;");
      FillStore(fresh, rows);
      return true;
    } catch (const SqlError& e) {
      err = sqlite3_system_errno(fresh.db);
      if (err == 0) err = IsPrimary(e.code, SQLITE_FULL) ? ENOSPC : EIO;
      if (!sqlite3_get_autocommit(fresh.db)) sqlite3_exec(fresh.db, "ROLLBACK", nullptr, nullptr, nullptr);
      return false;
    }
  }

  std::string Reason(int code) const {
    if (IsPrimary(code, SQLITE_BUSY) || IsPrimary(code, SQLITE_LOCKED)) return LockedWords(waitMs);
    // A file or folder this process may not change: the system's words for it.
    if ((IsPrimary(code, SQLITE_READONLY) || IsPrimary(code, SQLITE_CANTOPEN)) && !conn.path.empty() &&
        (::access(conn.path.c_str(), W_OK) != 0 || ::access(platform::Folder(conn.path).c_str(), W_OK) != 0))
      return SystemReason(errno);
    const int sys = conn.db ? sqlite3_system_errno(conn.db) : 0;
    if (sys != 0 && (IsPrimary(code, SQLITE_IOERR) || IsPrimary(code, SQLITE_CANTOPEN) ||
                     IsPrimary(code, SQLITE_FULL) || IsPrimary(code, SQLITE_READONLY)))
      return SystemReason(sys);
    if (IsPrimary(code, SQLITE_FULL)) return SystemReason(ENOSPC);
    return sqlite3_errstr(code);
  }

  void RollbackIfOpen() {
    if (conn.db && !sqlite3_get_autocommit(conn.db)) sqlite3_exec(conn.db, "ROLLBACK", nullptr, nullptr, nullptr);
  }

  // A write failed: the store file made for it goes again when it holds no
  // key or value (it is empty, or has only its tables), with the folder
  // made for it when that is left empty. The write lock is held meanwhile
  // (where it can be had at all: a full disk may refuse even that), so no
  // other copy of the program is writing into it as it goes.
  void DropMadeFile() {
    if (!made) return;
    const Made m = *std::exchange(made, std::nullopt);
    bool unused = false;
    if (conn.db && conn.path == m.path && SameFile(m.path, m.dev, m.ino)) {
      RollbackIfOpen();
      bool free = true, locked = false;
      try {
        conn.Exec("BEGIN IMMEDIATE");
        locked = true;
        Statement q(conn,
                    "SELECT (SELECT count(*) FROM registry_values) + "
                    "(SELECT count(*) FROM registry_keys WHERE id > 4)");
        unused = q.Step() && q.ColumnInt(0) == 0;
      } catch (const SqlError& e) {
        free = !IsPrimary(e.code, SQLITE_BUSY) && !IsPrimary(e.code, SQLITE_LOCKED);
      }
      struct stat st {};
      unused = free && (unused || (!locked && lstat(m.path.c_str(), &st) == 0 && st.st_size == 0));
      if (unused && SameFile(m.path, m.dev, m.ino)) unlink(m.path.c_str());
      RollbackIfOpen();
    }
    conn.Close();
    conn.path.clear();
    if (unused && m.folder) rmdir(platform::Folder(m.path).c_str());
  }

  // Lays out the tables of an empty store, or stamps a hand-made one.
  void EnsureTables() {
    if (conn.hasTables && conn.stamped) return;
    conn.Exec("BEGIN IMMEDIATE");
    const Contents c = Inspect(conn, false);
    if (c == Contents::Damaged) throw SqlError{SQLITE_NOTADB};
    if (c == Contents::Newer) throw SqlError{SQLITE_CANTOPEN};
    LayOut(conn, c);
    conn.Exec("COMMIT");
    conn.hasTables = true;
  }

  std::optional<int64_t> Child(int64_t parent, const std::string& name) {
    Statement q(conn, "SELECT id FROM registry_keys WHERE parent = ?1 AND fold = ?2");
    q.Int(1, parent).Blob(2, store::FoldName(name));
    if (!q.Step()) return std::nullopt;
    return q.ColumnInt(0);
  }

  std::optional<int64_t> FindKey(int64_t root, const std::vector<std::string>& names) {
    std::optional<int64_t> id = root;
    for (const std::string& n : names) {
      id = Child(*id, n);
      if (!id) break;
    }
    return id;
  }

  int64_t MakeKey(int64_t root, const std::vector<std::string>& names) {
    int64_t id = root;
    for (const std::string& n : names) {
      if (auto c = Child(id, n)) {
        id = *c;
        continue;
      }
      Statement ins(conn, "INSERT INTO registry_keys (parent, name, fold) VALUES (?1, ?2, ?3)");
      ins.Int(1, id).Text(2, n).Blob(3, store::FoldName(n));
      ins.Step();
      id = sqlite3_last_insert_rowid(conn.db);
    }
    return id;
  }

  // Runs a read inside one read transaction (a snapshot of the whole store).
  // status tells a missing store or key apart from one that could not be read.
  template <class F>
  KeyStatus Read(int32_t root, std::string_view path, F body) {
    const auto rootRow = RootRow(root);
    const auto names = SplitPath(path);
    if (!rootRow || !names) return KeyStatus::Missing;
    for (int attempt = 0; attempt < 2; ++attempt) {
      const Found f = Acquire(false);  // never Again: it looks again itself
      if (f == Found::Missing) return KeyStatus::Missing;
      if (f != Found::Ready) return KeyStatus::Unreadable;
      if (!conn.hasTables) return KeyStatus::Missing;
      try {
        conn.Exec("BEGIN");
        const auto key = FindKey(*rootRow, *names);
        if (key) body(*key);
        conn.Exec("COMMIT");
        return key ? KeyStatus::Read : KeyStatus::Missing;
      } catch (const SqlError& e) {
        RollbackIfOpen();
        if (!IsCorruption(e.code)) {
          Fail(e.code);
          return KeyStatus::Unreadable;
        }
        if (Damaged(DamageWords(e.code)) != Found::Again) return KeyStatus::Unreadable;
      }
    }
    return KeyStatus::Unreadable;
  }

  // Gets ready to write: the store found (or made), the tables laid out, the
  // write lock taken (BEGIN IMMEDIATE). Again after damage was met and dealt with.
  Found Begin(bool create) {
    const Found f = Acquire(create);
    if (f != Found::Ready) return f;
    if (!create && !conn.hasTables) return Found::Missing;
    // SQLite would follow a link where its journal goes, and write there.
    struct stat journal {};
    if (lstat((conn.path + "-journal").c_str(), &journal) == 0 && S_ISLNK(journal.st_mode)) {
      failure = "a symbolic link stands where its journal goes (" + conn.path +
                "-journal), and the program does not "
                "follow it";
      return Found::Unavailable;
    }
    // A store that cannot be written cannot have its keys opened for writing.
    if (sqlite3_db_readonly(conn.db, "main") == 1) {
      failure = ::access(conn.path.c_str(), W_OK) != 0 ? SystemReason(errno) : "it cannot be written";
      return Found::Unavailable;
    }
    try {
      EnsureTables();
      conn.Exec("BEGIN IMMEDIATE");
      return Found::Ready;
    } catch (const SqlError& e) {
      RollbackIfOpen();
      if (IsCorruption(e.code)) return Damaged(DamageWords(e.code));
      Fail(e.code);
      return Found::Unavailable;
    }
  }

  template <class F>
  WriteResult Body(F& body, Step& step) {
    if (writesBeforeFailing == 0) throw SqlError{SQLITE_READONLY};
    if (writesBeforeFailing > 0) --writesBeforeFailing;
    return body(step);
  }

  // The step a failed write was in: a store the program may not change
  // refuses the key itself.
  static WriteResult Failed(int code, Step step) {
    if (IsPrimary(code, SQLITE_READONLY)) return WriteResult::KeyFailed;
    return step == Step::Key ? WriteResult::KeyFailed : WriteResult::ValueFailed;
  }

  // Runs a write; body returns the result and moves step from Key to Value
  // once the key is in place. Alone, a write is one transaction of its own;
  // inside a Transaction it joins it, and a failure ends it. Damage found
  // on the way is dealt with and the write tried once more. Only a write
  // that may create (create true) makes the store file when there is none.
  template <class F>
  WriteResult Write(bool create, F body) {
    if (access == Access::ReadOnly) {
      failure = "the settings are only read here";
      return WriteResult::KeyFailed;
    }
    if (inTransaction) {
      if (transactionFailed) return WriteResult::KeyFailed;
      if (!transactionOpen) {
        Found f = Begin(create);
        if (f == Found::Again) f = Begin(create);
        if (f != Found::Ready) {
          transactionFailed = true;
          return WriteResult::KeyFailed;
        }
        transactionOpen = true;
      }
      Step step = Step::Key;
      try {
        return Body(body, step);
      } catch (const SqlError& e) {
        Fail(e.code);
        RollbackIfOpen();
        transactionOpen = false;
        transactionFailed = true;
        return Failed(e.code, step);
      }
    }
    const WriteResult r = WriteOnce(create, body);
    if (r == WriteResult::Ok)
      made.reset();
    else
      DropMadeFile();
    return r;
  }

  template <class F>
  WriteResult WriteOnce(bool create, F& body) {
    for (int attempt = 0; attempt < 2; ++attempt) {
      const Found f = Begin(create);
      if (f == Found::Again) continue;
      if (f != Found::Ready) return WriteResult::KeyFailed;
      Step step = Step::Key;
      try {
        const WriteResult r = Body(body, step);
        conn.Exec("COMMIT");
        return r;
      } catch (const SqlError& e) {
        Fail(e.code);
        RollbackIfOpen();
        if (!IsCorruption(e.code)) return Failed(e.code, step);
        if (Damaged(DamageWords(e.code)) != Found::Again) return WriteResult::KeyFailed;
      }
    }
    return WriteResult::KeyFailed;
  }
};

}  // namespace vantorel::sqlite

namespace vantorel::sqlite {

using detail::Engine;
using namespace store;

SqliteStore::SqliteStore() : engine_(std::make_unique<Engine>()) {}

SqliteStore::~SqliteStore() = default;

std::string SqliteStore::Location() const { return detail::StoreFolder() + "/" + detail::kFileName; }

std::string SqliteStore::ProgramName() const { return platform::ExecutableName(); }

bool SqliteStore::KeyExists(int32_t root, std::string_view path) {
  Engine& s = *engine_;
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  return s.Read(root, path, [](int64_t) {}) == KeyStatus::Read;
}

std::optional<StoredValue> SqliteStore::ReadValue(int32_t root, std::string_view path, std::string_view name) {
  if (!ValidValueName(name)) return std::nullopt;
  Engine& s = *engine_;
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  std::optional<StoredValue> found;
  s.Read(root, path, [&](int64_t key) {
    Statement q(s.conn, "SELECT type, data FROM registry_values WHERE key = ?1 AND fold = ?2");
    q.Int(1, key).Blob(2, store::FoldName(name));
    if (!q.Step()) return;
    // A type tag edited by hand into something that is not a 32-bit number
    // makes the value unreadable.
    const int64_t type = q.ColumnInt(0);
    if (!q.ColumnIsInteger(0) || type < INT32_MIN || type > INT32_MAX) return;
    found = StoredValue{static_cast<int32_t>(type), q.ColumnBytes(1)};
  });
  return found;
}

KeyValues SqliteStore::ReadKey(int32_t root, std::string_view path, int waitMs) {
  Engine& s = *engine_;
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  s.UseWait(std::max(0, waitMs));
  s.recovery.reset();
  s.salvaged.reset();
  KeyValues out;
  out.status = s.Read(root, path, [&](int64_t key) {
    Statement q(s.conn, "SELECT name, type, data FROM registry_values WHERE key = ?1 ORDER BY rowid");
    q.Int(1, key);
    while (q.Step()) {
      const int64_t type = q.ColumnInt(1);
      if (!q.ColumnIsInteger(1) || type < INT32_MIN || type > INT32_MAX) continue;
      out.values.emplace_back(q.ColumnBytes(0), StoredValue{static_cast<int32_t>(type), q.ColumnBytes(2)});
    }
  });
  if (out.status != KeyStatus::Read) out.values.clear();
  if (out.status == KeyStatus::Unreadable) {
    out.reason = s.failure.empty() ? "it could not be read" : s.failure;
    out.locked = s.locked;
  }
  // A damaged file that had to stay where it is: the values read from it.
  const auto names = SplitPath(path);
  const auto rootRow = RootRow(root);
  if (out.status == KeyStatus::Unreadable && s.salvaged && names && rootRow) {
    std::optional<int64_t> key = *rootRow;
    for (const std::string& n : *names) {
      const auto child = std::find_if(s.salvaged->keys.begin(), s.salvaged->keys.end(), [&](const KeyRow& k) {
        return k.parent == *key && store::FoldName(k.name) == store::FoldName(n);
      });
      key = child == s.salvaged->keys.end() ? std::nullopt : std::optional<int64_t>(child->id);
      if (!key) break;
    }
    for (const ValueRow& v : s.salvaged->values)
      if (key && v.key == *key) out.values.emplace_back(v.name, StoredValue{v.type, v.data});
  }
  out.recovery = std::exchange(s.recovery, std::nullopt);
  s.salvaged.reset();
  s.UseWait(s.lockWaitMs);
  return out;
}

std::optional<std::vector<std::string>> SqliteStore::ValueNames(int32_t root, std::string_view path) {
  Engine& s = *engine_;
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  std::vector<std::string> names;
  const KeyStatus st = s.Read(root, path, [&](int64_t key) {
    Statement q(s.conn, "SELECT name FROM registry_values WHERE key = ?1 ORDER BY rowid");
    q.Int(1, key);
    while (q.Step()) names.push_back(q.ColumnBytes(0));
  });
  if (st != KeyStatus::Read) return std::nullopt;
  return names;
}

std::optional<std::vector<std::string>> SqliteStore::SubkeyNames(int32_t root, std::string_view path) {
  Engine& s = *engine_;
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  std::vector<std::string> names;
  const KeyStatus st = s.Read(root, path, [&](int64_t key) {
    Statement q(s.conn, "SELECT name FROM registry_keys WHERE parent = ?1 ORDER BY fold");
    q.Int(1, key);
    while (q.Step()) names.push_back(q.ColumnBytes(0));
  });
  if (st != KeyStatus::Read) return std::nullopt;
  return names;
}

bool SqliteStore::CreateKey(int32_t root, std::string_view path) {
  const auto rootRow = RootRow(root);
  const auto names = SplitPath(path);
  if (!rootRow || !names) return false;
  Engine& s = *engine_;
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  return s.Write(true, [&](Step&) {
    s.MakeKey(*rootRow, *names);
    return store::WriteResult::Ok;
  }) == store::WriteResult::Ok;
}

bool SqliteStore::DeleteKey(int32_t root, std::string_view path) {
  const auto rootRow = RootRow(root);
  const auto names = SplitPath(path);
  if (!rootRow || !names || names->empty()) return false;
  Engine& s = *engine_;
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  return s.Write(false, [&](Step&) {
    const auto key = s.FindKey(*rootRow, *names);
    if (!key) return store::WriteResult::KeyFailed;
    Statement sub(s.conn, "SELECT 1 FROM registry_keys WHERE parent = ?1 LIMIT 1");
    sub.Int(1, *key);
    if (sub.Step()) return store::WriteResult::KeyFailed;
    Statement values(s.conn, "DELETE FROM registry_values WHERE key = ?1");
    values.Int(1, *key).Step();
    Statement self(s.conn, "DELETE FROM registry_keys WHERE id = ?1");
    self.Int(1, *key).Step();
    return store::WriteResult::Ok;
  }) == store::WriteResult::Ok;
}

store::WriteResult SqliteStore::WriteValue(int32_t root, std::string_view path, std::string_view name, int32_t type,
                                           std::string_view data) {
  const auto rootRow = RootRow(root);
  const auto names = SplitPath(path);
  if (!rootRow || !names) return store::WriteResult::KeyFailed;
  Engine& s = *engine_;
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  return s.Write(true, [&](Step& step) {
    const int64_t key = s.MakeKey(*rootRow, *names);
    step = Step::Value;
    // The key stays created even when the value name is refused.
    if (!ValidValueName(name)) return store::WriteResult::ValueFailed;
    Statement up(s.conn,
                 "INSERT INTO registry_values (key, name, fold, type, data) VALUES (?1, ?2, ?3, ?4, ?5) "
                 "ON CONFLICT (key, fold) DO UPDATE SET type = excluded.type, data = excluded.data");
    up.Int(1, key).Text(2, name).Blob(3, store::FoldName(name)).Int(4, type).Blob(5, data);
    up.Step();
    return store::WriteResult::Ok;
  });
}

store::WriteResult SqliteStore::DeleteValue(int32_t root, std::string_view path, std::string_view name) {
  const auto rootRow = RootRow(root);
  const auto names = SplitPath(path);
  if (!rootRow || !names) return store::WriteResult::KeyFailed;
  Engine& s = *engine_;
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  return s.Write(false, [&](Step& step) {
    const auto key = s.FindKey(*rootRow, *names);
    if (!key) return store::WriteResult::KeyFailed;
    step = Step::Value;
    if (!ValidValueName(name)) return store::WriteResult::ValueFailed;
    Statement del(s.conn, "DELETE FROM registry_values WHERE key = ?1 AND fold = ?2");
    del.Int(1, *key).Blob(2, store::FoldName(name)).Step();
    return sqlite3_changes(s.conn.db) > 0 ? store::WriteResult::Ok : store::WriteResult::ValueFailed;
  });
}

std::string SqliteStore::LastFailure() const {
  Engine& s = *engine_;
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  return s.failure;
}

int SqliteStore::LockWaitMs() const {
  Engine& s = *engine_;
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  return s.lockWaitMs;
}

std::string SqliteStore::LockedReason(int ms) const { return LockedWords(ms); }

void SqliteStore::BeginTransaction() {
  Engine& s = *engine_;
  s.mutex.lock();  // held until the transaction ends
  s.inTransaction = true;
  s.transactionOpen = s.transactionFailed = false;
  s.UseWait(s.lockWaitMs);
}

bool SqliteStore::CommitTransaction() {
  Engine& s = *engine_;
  if (s.transactionFailed) return false;
  if (!s.transactionOpen) return true;
  s.transactionOpen = false;
  try {
    s.conn.Exec("COMMIT");
    s.made.reset();
    return true;
  } catch (const SqlError& e) {
    s.Fail(e.code);
    s.RollbackIfOpen();
    s.transactionFailed = true;
    return false;
  }
}

void SqliteStore::EndTransaction() {
  Engine& s = *engine_;
  if (s.transactionOpen) s.RollbackIfOpen();
  s.DropMadeFile();  // nothing when the transaction was kept
  s.inTransaction = s.transactionOpen = s.transactionFailed = false;
  s.mutex.unlock();
}

Access SqliteStore::SetAccess(Access a) {
  Engine& s = *engine_;
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  const Access previous = std::exchange(s.access, a);
  s.conn.Close();
  return previous;
}

void SqliteStore::CloseConnection() {
  Engine& s = *engine_;
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  s.conn.Close();
  s.conn.path.clear();
}

void SqliteStore::FailWritesAfter(int n) {
  Engine& s = *engine_;
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  s.writesBeforeFailing = n < 0 ? -1 : n;
}

void SqliteStore::SetLockWait(int ms) {
  Engine& s = *engine_;
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  s.lockWaitMs = s.waitMs = ms < 0 ? store::kLockWaitMs : ms;
  s.conn.Close();
}

}  // namespace vantorel::sqlite

// The program's store on this system: its SQLite file.
std::unique_ptr<vantorel::platform::Store> vantorel::platform::OpenProgramStore() {
  return std::make_unique<sqlite::SqliteStore>();
}
