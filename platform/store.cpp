// The key tree of the settings store over its SQLite connection: the
// store's state (one object for the process), finding and making keys, and
// the reads and writes of the public interface.
#include "platform/store.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <unistd.h>

#include <QChar>
#include <mutex>

#include "model/utf8.h"
#include "platform/store_internal.h"

namespace vantorel::platform::store {

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
    const std::string_view name = path.substr(start, sep == std::string_view::npos ? std::string_view::npos : sep - start);
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

std::string WaitText(int ms) {
  if (ms >= 1000 && ms % 1000 == 0) return std::to_string(ms / 1000) + (ms == 1000 ? " second" : " seconds");
  return std::to_string(ms) + " milliseconds";
}

enum class Found { Ready, Missing, Unavailable };
enum class Step { Key, Value };

// The store as this process sees it: the connection to the current file,
// the access allowed, and the test hooks. One object, guarded by its mutex.
class Store {
 public:
  std::mutex mutex;
  Connection conn;
  Access access = Access::ReadWrite;
  int lockWaitMs = kLockWaitMs;
  int writesBeforeReadOnly = -1;  // test hook: writes left before the handle turns read-only
  bool readOnlyHandle = false;
  std::string failure;  // why the store was last found unavailable

  // Makes conn a connection to the current store file. A missing file is
  // created only for a write. Damaged files are set aside on the way, so a
  // write finds a fresh store.
  Found Acquire(bool forWrite) {
    failure.clear();
    const bool mayCreate = forWrite && access == Access::ReadWrite;
    const auto folder = ResolvedFolder(mayCreate);
    if (!folder) {
      const int err = errno;
      conn.Close();
      if (!forWrite && (err == ENOENT || err == ENOTDIR)) return Found::Missing;
      failure = std::strerror(err);
      return Found::Unavailable;
    }
    const std::string path = *folder + "/" + kFileName;
    for (int attempt = 0; attempt < 2; ++attempt) {
      struct stat st {};
      if (lstat(path.c_str(), &st) != 0) {
        const int err = errno;
        conn.Close();
        if (err == ENOENT && !forWrite) return Found::Missing;
        if (err != ENOENT || !mayCreate || !CreateStoreFile(path) || lstat(path.c_str(), &st) != 0) {
          failure = std::strerror(errno);
          return Found::Unavailable;
        }
      }
      if (!S_ISREG(st.st_mode)) {
        conn.Close();
        failure = S_ISLNK(st.st_mode) ? "it is a symbolic link, which the program does not follow"
                                      : "it is not a regular file";
        return Found::Unavailable;
      }
      if (conn.db && conn.path == path && conn.dev == st.st_dev && conn.ino == st.st_ino &&
          conn.requestedReadOnly == readOnlyHandle && !(forWrite && conn.immutable)) {
        if (conn.hasTables) return Found::Ready;
        // Another copy of the program may have laid out the tables since.
        try {
          const Contents c = Inspect(conn, false);
          if (c == Contents::Store) conn.hasTables = true;
          if (c == Contents::Store || c == Contents::Empty) return Found::Ready;
          if (c == Contents::Newer) {
            conn.Close();
            failure = "it was written by a later version of the program";
            return Found::Unavailable;
          }
          SetAsideDamaged();
        } catch (const SqlError& e) {
          if (!IsCorruption(e.code)) {
            failure = Reason(e.code);
            return Found::Unavailable;
          }
          SetAsideDamaged();
        }
        if (access == Access::ReadOnly) return Found::Missing;
        continue;
      }
      conn.Close();
      const Found f = Open(path, st, forWrite);
      if (f != Found::Missing || !forWrite) return f;
    }
    return Found::Unavailable;
  }

  // Opens the file found at path. The header is read first, so that a file
  // only to be read is opened in a way that makes no file beside it.
  Found Open(const std::string& path, const struct stat& st, bool forWrite) {
    const Header header = ReadHeader(path);
    if (header == Header::Unreadable) {
      failure = std::strerror(errno);
      return Found::Unavailable;
    }
    // A store with a write-ahead log but no log beside it holds everything in
    // the file. Reading it as immutable makes no log index; the first write
    // opens it again to switch it to the rollback journal. When the index
    // cannot be made for a write either (read-only folder or file system,
    // full disk), it is read as immutable and the write fails.
    const bool walWithoutLog = header == Header::Wal && !Beside(path, "-wal", true);
    // Switched without a log index: in exclusive locking mode SQLite keeps the
    // index in memory, so a failed switch (full disk) leaves no -shm behind.
    const bool switchAlone = header == Header::Wal && access == Access::ReadWrite && forWrite && !readOnlyHandle &&
                             !Beside(path, "-wal", false) && !Beside(path, "-shm", false);
    bool immutable = walWithoutLog && !Beside(path, "-shm", false) && !forWrite;
    int flags = readOnlyHandle ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (access == Access::ReadOnly) {
      if (header == Header::Empty || header == Header::NotSqlite) return Found::Missing;
      flags = SQLITE_OPEN_READONLY;
      immutable = walWithoutLog || (header == Header::Wal && !Beside(path, "-shm", false));
    } else if (header == Header::Wal) {
      MatchLeftoverModes(path, st.st_mode);
    }
    for (;;) {
      const bool opened = immutable ? conn.Open(ImmutableUri(path), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, path, st,
                                                true, lockWaitMs)
                                    : conn.Open(path, flags, path, st, false, lockWaitMs);
      if (!opened) {
        failure = "SQLite could not open it";
        return Found::Unavailable;
      }
      conn.requestedReadOnly = readOnlyHandle;
      try {
        // A commit is whole however the process ends, and on the disk before
        // the write returns, so a power cut cannot damage the store either
        // (the journal and the file are flushed in turn).
        // (The locking mode must come before anything reads the file.)
        if (switchAlone && !immutable) conn.Exec("PRAGMA locking_mode = EXCLUSIVE");
        conn.Exec("PRAGMA synchronous = FULL; PRAGMA trusted_schema = OFF; PRAGMA cell_size_check = ON;");
        switch (Inspect(conn, true)) {
          case Contents::Store:
            conn.hasTables = true;
            if (access == Access::ReadWrite && !conn.UseRollbackJournal() && switchAlone) {
              conn.Close();  // it would keep the file locked
              failure = "it could not be switched to the rollback journal";
              return Found::Unavailable;
            }
            if (switchAlone) conn.Exec("PRAGMA locking_mode = NORMAL; SELECT count(*) FROM sqlite_schema;");
            return Found::Ready;
          case Contents::Empty: return Found::Ready;
          case Contents::Newer:
            conn.Close();
            failure = "it was written by a later version of the program";
            return Found::Unavailable;
          case Contents::Damaged: SetAsideDamaged(); return Found::Missing;
        }
      } catch (const SqlError& e) {
        if (IsCorruption(e.code)) {
          SetAsideDamaged();
          return Found::Missing;
        }
        if (!immutable && walWithoutLog &&
            (IsPrimary(e.code, SQLITE_CANTOPEN) || IsPrimary(e.code, SQLITE_READONLY) ||
             IsPrimary(e.code, SQLITE_IOERR) || IsPrimary(e.code, SQLITE_FULL))) {
          immutable = true;
          continue;
        }
        failure = Reason(e.code);
      }
      conn.Close();
      return Found::Unavailable;
    }
  }

  // Closes the connection and moves the damaged file aside (not in ReadOnly,
  // and never on the strength of a read that bypassed locking).
  void SetAsideDamaged() {
    const std::string path = conn.path;
    const dev_t dev = conn.dev;
    const ino_t ino = conn.ino;
    const bool trusted = !conn.immutable;
    conn.Close();
    conn.path.clear();
    if (access == Access::ReadWrite && trusted) KeepAside(path, dev, ino);
  }

  std::string Reason(int code) const {
    if (IsPrimary(code, SQLITE_BUSY) || IsPrimary(code, SQLITE_LOCKED))
      return "another program kept it locked for more than " + WaitText(lockWaitMs);
    return sqlite3_errstr(code);
  }

  void RollbackIfOpen() {
    if (conn.db && !sqlite3_get_autocommit(conn.db)) sqlite3_exec(conn.db, "ROLLBACK", nullptr, nullptr, nullptr);
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

  void Committed() {
    if (writesBeforeReadOnly > 0 && --writesBeforeReadOnly == 0) {
      writesBeforeReadOnly = -1;
      readOnlyHandle = true;
    }
  }

  std::optional<int64_t> Child(int64_t parent, const std::string& name) {
    Statement q(conn, "SELECT id FROM registry_keys WHERE parent = ?1 AND fold = ?2");
    q.Int(1, parent).Blob(2, FoldName(name));
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
      ins.Int(1, id).Text(2, n).Blob(3, FoldName(n));
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
    switch (Acquire(false)) {
      case Found::Missing: return KeyStatus::Missing;
      case Found::Unavailable: return KeyStatus::Unreadable;
      case Found::Ready: break;
    }
    if (!conn.hasTables) return KeyStatus::Missing;
    try {
      conn.Exec("BEGIN");
      const auto key = FindKey(*rootRow, *names);
      if (key) body(*key);
      conn.Exec("COMMIT");
      return key ? KeyStatus::Read : KeyStatus::Missing;
    } catch (const SqlError& e) {
      RollbackIfOpen();
      if (IsCorruption(e.code)) {
        SetAsideDamaged();
        return KeyStatus::Missing;
      }
      failure = Reason(e.code);
      return KeyStatus::Unreadable;
    }
  }

  // Runs a write as one immediate transaction; body returns the result and
  // moves step from Key to Value once the key is in place. A failure maps to
  // the step it happened in. Damage found on the way sets the file aside and
  // the write is tried once more on a fresh store. Only a write that may
  // create (create true) makes the store file when there is none.
  template <class F>
  WriteResult Write(bool create, F body) {
    if (access == Access::ReadOnly) return WriteResult::KeyFailed;
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (Acquire(create) != Found::Ready) return WriteResult::KeyFailed;
      if (!create && !conn.hasTables) return WriteResult::KeyFailed;
      // A store that cannot be written cannot have its keys opened for writing.
      if (sqlite3_db_readonly(conn.db, "main") == 1) return WriteResult::KeyFailed;
      Step step = Step::Key;
      try {
        EnsureTables();
        conn.Exec("BEGIN IMMEDIATE");
        const WriteResult r = body(step);
        conn.Exec("COMMIT");
        if (r == WriteResult::Ok) Committed();
        return r;
      } catch (const SqlError& e) {
        RollbackIfOpen();
        if (IsPrimary(e.code, SQLITE_READONLY)) return WriteResult::KeyFailed;
        if (!IsCorruption(e.code)) return step == Step::Key ? WriteResult::KeyFailed : WriteResult::ValueFailed;
        SetAsideDamaged();
      }
    }
    return WriteResult::KeyFailed;
  }
};

Store& TheStore() {
  static Store store;
  return store;
}

}  // namespace

std::string FoldName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  size_t i = 0;
  while (i < name.size()) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (c < 0x80) {
      out += static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
      ++i;
      continue;
    }
    char32_t cp = 0;
    size_t len = 0;
    if (DecodeUtf8At(name, i, cp, len)) {
      AppendUtf8(out, QChar::toCaseFolded(cp));
      i += len;
    } else {
      out += static_cast<char>(c);  // not UTF-8: the byte matches only itself
      ++i;
    }
  }
  return out;
}

std::string FilePath() { return StoreFolder() + "/" + kFileName; }

bool KeyExists(int32_t root, std::string_view path) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.Read(root, path, [](int64_t) {}) == KeyStatus::Read;
}

std::optional<StoredValue> ReadValue(int32_t root, std::string_view path, std::string_view name) {
  if (!ValidValueName(name)) return std::nullopt;
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  std::optional<StoredValue> found;
  s.Read(root, path, [&](int64_t key) {
    Statement q(s.conn, "SELECT type, data FROM registry_values WHERE key = ?1 AND fold = ?2");
    q.Int(1, key).Blob(2, FoldName(name));
    if (!q.Step()) return;
    // A type tag edited by hand into something that is not a 32-bit number
    // makes the value unreadable.
    const int64_t type = q.ColumnInt(0);
    if (!q.ColumnIsInteger(0) || type < INT32_MIN || type > INT32_MAX) return;
    found = StoredValue{static_cast<int32_t>(type), q.ColumnBytes(1)};
  });
  return found;
}

KeyValues ReadKey(int32_t root, std::string_view path) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
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
  if (out.status == KeyStatus::Unreadable) out.reason = s.failure.empty() ? "it could not be read" : s.failure;
  return out;
}

std::optional<std::vector<std::string>> ValueNames(int32_t root, std::string_view path) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  std::vector<std::string> names;
  const KeyStatus st = s.Read(root, path, [&](int64_t key) {
    Statement q(s.conn, "SELECT name FROM registry_values WHERE key = ?1 ORDER BY rowid");
    q.Int(1, key);
    while (q.Step()) names.push_back(q.ColumnBytes(0));
  });
  if (st != KeyStatus::Read) return std::nullopt;
  return names;
}

std::optional<std::vector<std::string>> SubkeyNames(int32_t root, std::string_view path) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  std::vector<std::string> names;
  const KeyStatus st = s.Read(root, path, [&](int64_t key) {
    Statement q(s.conn, "SELECT name FROM registry_keys WHERE parent = ?1 ORDER BY fold");
    q.Int(1, key);
    while (q.Step()) names.push_back(q.ColumnBytes(0));
  });
  if (st != KeyStatus::Read) return std::nullopt;
  return names;
}

bool CreateKey(int32_t root, std::string_view path) {
  const auto rootRow = RootRow(root);
  const auto names = SplitPath(path);
  if (!rootRow || !names) return false;
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.Write(true, [&](Step&) {
           s.MakeKey(*rootRow, *names);
           return WriteResult::Ok;
         }) == WriteResult::Ok;
}

bool DeleteKey(int32_t root, std::string_view path) {
  const auto rootRow = RootRow(root);
  const auto names = SplitPath(path);
  if (!rootRow || !names || names->empty()) return false;
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.Write(false, [&](Step&) {
           const auto key = s.FindKey(*rootRow, *names);
           if (!key) return WriteResult::KeyFailed;
           Statement sub(s.conn, "SELECT 1 FROM registry_keys WHERE parent = ?1 LIMIT 1");
           sub.Int(1, *key);
           if (sub.Step()) return WriteResult::KeyFailed;
           Statement values(s.conn, "DELETE FROM registry_values WHERE key = ?1");
           values.Int(1, *key).Step();
           Statement self(s.conn, "DELETE FROM registry_keys WHERE id = ?1");
           self.Int(1, *key).Step();
           return WriteResult::Ok;
         }) == WriteResult::Ok;
}

WriteResult WriteValue(int32_t root, std::string_view path, std::string_view name, int32_t type,
                       std::string_view data) {
  const auto rootRow = RootRow(root);
  const auto names = SplitPath(path);
  if (!rootRow || !names) return WriteResult::KeyFailed;
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.Write(true, [&](Step& step) {
    const int64_t key = s.MakeKey(*rootRow, *names);
    step = Step::Value;
    // The key stays created even when the value name is refused.
    if (!ValidValueName(name)) return WriteResult::ValueFailed;
    Statement up(s.conn,
                 "INSERT INTO registry_values (key, name, fold, type, data) VALUES (?1, ?2, ?3, ?4, ?5) "
                 "ON CONFLICT (key, fold) DO UPDATE SET type = excluded.type, data = excluded.data");
    up.Int(1, key).Text(2, name).Blob(3, FoldName(name)).Int(4, type).Blob(5, data);
    up.Step();
    return WriteResult::Ok;
  });
}

WriteResult DeleteValue(int32_t root, std::string_view path, std::string_view name) {
  const auto rootRow = RootRow(root);
  const auto names = SplitPath(path);
  if (!rootRow || !names) return WriteResult::KeyFailed;
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.Write(false, [&](Step& step) {
    const auto key = s.FindKey(*rootRow, *names);
    if (!key) return WriteResult::KeyFailed;
    step = Step::Value;
    if (!ValidValueName(name)) return WriteResult::ValueFailed;
    Statement del(s.conn, "DELETE FROM registry_values WHERE key = ?1 AND fold = ?2");
    del.Int(1, *key).Blob(2, FoldName(name)).Step();
    return sqlite3_changes(s.conn.db) > 0 ? WriteResult::Ok : WriteResult::ValueFailed;
  });
}

// A connection serves one kind of access: it is closed when the access changes.
AccessScope::AccessScope(Access a) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  previous_ = s.access;
  s.access = a;
  s.conn.Close();
}

AccessScope::~AccessScope() {
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.access = previous_;
  s.conn.Close();
}

namespace testing {

void CloseConnection() {
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.conn.Close();
  s.conn.path.clear();
}

void OpenReadOnlyAfterWrites(int n) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.writesBeforeReadOnly = n < 0 ? -1 : n;
  s.readOnlyHandle = n == 0;
}

void SetLockWait(int ms) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.lockWaitMs = ms < 0 ? kLockWaitMs : ms;
  s.conn.Close();
}

}  // namespace testing

}  // namespace vantorel::platform::store
