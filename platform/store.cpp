#include "platform/store.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <linux/fs.h>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QChar>
#include <mutex>
#include <unordered_map>

#include "model/utf8.h"

namespace vantorel::platform::store {

namespace {

// Marks a database file as this program's store ("VTLR"), and the layout
// version of its tables.
constexpr int kApplicationId = 0x56544C52;
constexpr int kLayoutVersion = 1;
// How long a writer waits for another copy of the program to finish.
constexpr int kBusyTimeoutMs = 10000;

constexpr const char* kFolderName = "Morvale Services";
constexpr const char* kFileName = "registry.sqlite3";

// The tables. The four roots are rows 1 to 4 with parent 0; every other key
// names its parent's row. Names are kept as written; "fold" holds the
// case-folded name used for matching. Values keep their insertion order in
// rowid. registry_view shows every value with its full key path, texts as
// text and other types in hex, for reading the store with the sqlite3 shell.
constexpr const char* kCreateTables = R"sql(
CREATE TABLE registry_keys (
  id     INTEGER PRIMARY KEY,
  parent INTEGER NOT NULL,
  name   TEXT NOT NULL,
  fold   BLOB NOT NULL,
  UNIQUE (parent, fold)
);
CREATE TABLE registry_values (
  key  INTEGER NOT NULL,
  name TEXT NOT NULL,
  fold BLOB NOT NULL,
  type INTEGER NOT NULL,
  data BLOB NOT NULL,
  UNIQUE (key, fold)
);
INSERT INTO registry_keys (id, parent, name, fold) VALUES
  (1, 0, 'HKEY_CLASSES_ROOT', CAST('hkey_classes_root' AS BLOB)),
  (2, 0, 'HKEY_CURRENT_USER', CAST('hkey_current_user' AS BLOB)),
  (3, 0, 'HKEY_LOCAL_MACHINE', CAST('hkey_local_machine' AS BLOB)),
  (4, 0, 'HKEY_USERS', CAST('hkey_users' AS BLOB));
CREATE VIEW registry_view AS
  WITH RECURSIVE paths (id, path) AS (
    SELECT id, name FROM registry_keys WHERE parent = 0
    UNION ALL
    SELECT k.id, paths.path || '\' || k.name FROM registry_keys AS k JOIN paths ON k.parent = paths.id)
  SELECT paths.path AS key, v.name AS name, v.type AS type,
         CASE WHEN v.type IN (1, 2)
              THEN CAST(CASE WHEN substr(v.data, -1) = X'00' THEN substr(v.data, 1, length(v.data) - 1)
                             ELSE v.data END AS TEXT)
              ELSE hex(v.data) END AS value
  FROM registry_values AS v JOIN paths ON v.key = paths.id
  ORDER BY paths.path, v.rowid;
PRAGMA application_id = 1448365138;
PRAGMA user_version = 1;
)sql";

static_assert(kApplicationId == 1448365138, "the table script sets the same application id");

struct SqlError {
  int code;
};

bool IsCorruption(int code) {
  const int primary = code & 0xff;
  return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

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

// --- Files -------------------------------------------------------------------

std::string HomeFolder() {
  if (const char* h = std::getenv("HOME"); h && h[0] == '/') return h;
  struct passwd pw {};
  struct passwd* found = nullptr;
  std::vector<char> buf(16384);
  if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir &&
      found->pw_dir[0] == '/')
    return found->pw_dir;
  return "/";
}

std::string ConfigFolder() {
  // A relative or empty XDG_CONFIG_HOME is ignored, as the XDG rules say.
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && x[0] == '/') return x;
  return HomeFolder() + "/.config";
}

std::string ParentFolder(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Creates every missing folder of path with mode 0700.
bool MakeFolders(const std::string& path) {
  for (size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos != path.size() && path[pos] != '/') continue;
    const std::string part = path.substr(0, pos);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void SyncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
}

// Creates an empty store file (an empty file is an empty SQLite database)
// with mode 0600, so that SQLite never creates it with wider permissions; its
// log and its index then get the same mode. An existing file is left alone.
bool CreateStoreFile(const std::string& path) {
  const std::string folder = ParentFolder(path);
  if (!MakeFolders(folder)) return false;
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return errno == EEXIST;
  fchmod(fd, 0600);
  const bool ok = fsync(fd) == 0;
  close(fd);
  SyncFolder(folder);
  return ok;
}

// rename that never replaces an existing file.
int RenameNoReplace(const std::string& from, const std::string& to) {
#ifdef SYS_renameat2
  if (syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != ENOSYS && errno != EINVAL) return -1;
#endif
  if (link(from.c_str(), to.c_str()) != 0) return -1;
  return unlink(from.c_str());
}

bool SameFile(const std::string& path, dev_t dev, ino_t ino) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && st.st_dev == dev && st.st_ino == ino;
}

// Moves a damaged store file (and its log or journal, if any) aside under a name with
// the time, e.g. registry.sqlite3.corrupt-20261205-193000. Nothing is deleted.
// Does nothing when the file at path is no longer the one examined.
bool KeepAside(const std::string& path, dev_t dev, ino_t ino) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  if (std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local) == 0) return false;
  for (int n = 1; n <= 100; ++n) {
    if (!SameFile(path, dev, ino)) return false;
    std::string target = path + ".corrupt-" + stamp;
    if (n > 1) target.append("-").append(std::to_string(n));
    if (RenameNoReplace(path, target) == 0) {
      for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        const std::string extra = path + suffix;
        if (access(extra.c_str(), F_OK) == 0) RenameNoReplace(extra, target + suffix);
      }
      SyncFolder(ParentFolder(path));
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

// --- The connection ------------------------------------------------------------

enum class Found { Ready, Missing, Unavailable };

struct Connection {
  sqlite3* db = nullptr;
  std::string path;
  dev_t dev = 0;
  ino_t ino = 0;
  bool readOnlyHandle = false;  // this connection cannot write
  bool requestedReadOnly = false;  // opened while the test hook asked for read-only
  bool immutable = false;
  bool hasTables = false;
  // Whether closing may fold the log into the file (see Close), and the
  // log file this connection uses, once there is one.
  bool foldLogOnClose = true;
  bool hasLog = false;
  dev_t logDev = 0;
  ino_t logIno = 0;
  std::unordered_map<const char*, sqlite3_stmt*> statements;

  ~Connection() { Close(); }
  // Notes which log file sits beside the database now.
  void NoteLog() {
    struct stat st {};
    hasLog = lstat((path + "-wal").c_str(), &st) == 0;
    logDev = st.st_dev;
    logIno = st.st_ino;
  }
  // The last connection to close normally folds the log into the file and
  // then removes the log by its name. Not for a damaged file (it goes aside
  // with its log), nor for a read-only use that found a log it did not make.
  // SQLite itself never does it for a file that no longer stands at its path
  // (moved, replaced or removed), which would leave this connection's log
  // beside whatever file now has the name, to be replayed into it: so the
  // log is first folded into the file this connection holds and emptied.
  void Close() {
    for (auto& [sql, stmt] : statements) sqlite3_finalize(stmt);
    statements.clear();
    if (db) {
      const bool inPlace = SameFile(path, dev, ino);
      if (foldLogOnClose && !inPlace && hasLog && SameFile(path + "-wal", logDev, logIno))
        sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
      if (!foldLogOnClose || !inPlace) sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
      sqlite3_close_v2(db);
    }
    db = nullptr;
    hasTables = false;
    hasLog = false;
  }
};

std::mutex gMutex;
Connection gConn;
Access gAccess = Access::ReadWrite;
int gWritesBeforeReadOnly = -1;
bool gReadOnlyHandle = false;

void Exec(const char* sql) {
  const int rc = sqlite3_exec(gConn.db, sql, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) throw SqlError{rc};
}

// A cached prepared statement, reset and unbound when the use ends.
class Statement {
 public:
  explicit Statement(const char* sql) {
    auto it = gConn.statements.find(sql);
    if (it == gConn.statements.end()) {
      sqlite3_stmt* s = nullptr;
      const int rc = sqlite3_prepare_v3(gConn.db, sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr);
      if (rc != SQLITE_OK) {
        sqlite3_finalize(s);
        throw SqlError{rc};
      }
      it = gConn.statements.emplace(sql, s).first;
    }
    stmt_ = it->second;
  }
  ~Statement() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Int(int i, int64_t v) { return Check(sqlite3_bind_int64(stmt_, i, v)); }
  Statement& Text(int i, std::string_view v) {
    if (v.size() > static_cast<size_t>(INT_MAX)) throw SqlError{SQLITE_TOOBIG};
    return Check(sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
  }
  // A blob, never NULL even when empty.
  Statement& Blob(int i, std::string_view v) {
    if (v.size() > static_cast<size_t>(INT_MAX)) throw SqlError{SQLITE_TOOBIG};
    static const char kNothing = 0;
    return Check(sqlite3_bind_blob(stmt_, i, v.empty() ? &kNothing : v.data(), static_cast<int>(v.size()),
                                   SQLITE_TRANSIENT));
  }
  // True for a row, false when done.
  bool Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw SqlError{rc};
  }
  int64_t ColumnInt(int c) const { return sqlite3_column_int64(stmt_, c); }
  std::string ColumnBytes(int c) const {
    const void* p = sqlite3_column_blob(stmt_, c);
    const int n = sqlite3_column_bytes(stmt_, c);
    if (!p || n <= 0) return {};
    return std::string(static_cast<const char*>(p), static_cast<size_t>(n));
  }
  bool ColumnIsInteger(int c) const { return sqlite3_column_type(stmt_, c) == SQLITE_INTEGER; }

 private:
  Statement& Check(int rc) {
    if (rc != SQLITE_OK) throw SqlError{rc};
    return *this;
  }
  sqlite3_stmt* stmt_ = nullptr;
};

enum class Contents { Store, Empty, Damaged, Newer };

// What the open file holds: this program's store, an empty database, a
// damaged or foreign file, or a store of a later layout this program must
// not touch. A failure to read that is not damage (a lock held too long, an
// I/O error) throws.
Contents Inspect(bool fullCheck) {
  if (fullCheck) {
    try {
      Statement check("PRAGMA quick_check(1)");
      if (!check.Step() || check.ColumnBytes(0) != "ok") return Contents::Damaged;
    } catch (const SqlError& e) {
      if (IsCorruption(e.code)) return Contents::Damaged;
      throw;
    }
  }
  Statement app("PRAGMA application_id");
  const int64_t id = app.Step() ? app.ColumnInt(0) : 0;
  if (id == kApplicationId) {
    Statement version("PRAGMA user_version");
    const int64_t v = version.Step() ? version.ColumnInt(0) : 0;
    if (v > kLayoutVersion) return Contents::Newer;
    Statement tables(
        "SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name IN ('registry_keys', 'registry_values')");
    return tables.Step() && tables.ColumnInt(0) == 2 ? Contents::Store : Contents::Damaged;
  }
  if (id != 0) return Contents::Damaged;
  Statement any("SELECT count(*) FROM sqlite_schema");
  return any.Step() && any.ColumnInt(0) == 0 ? Contents::Empty : Contents::Damaged;
}

// Closes the connection and moves the damaged file aside (not in ReadOnly,
// and never on the strength of a read that bypassed locking).
void SetAsideDamaged() {
  const std::string path = gConn.path;
  const dev_t dev = gConn.dev;
  const ino_t ino = gConn.ino;
  const bool trusted = !gConn.immutable;
  gConn.foldLogOnClose = false;
  gConn.Close();
  gConn.path.clear();
  if (gAccess == Access::ReadWrite && trusted) KeepAside(path, dev, ino);
}

// Write-ahead logging: a commit appends to the log, so a write costs no
// file creation and, with synchronous=NORMAL, no flush to disk; every
// transaction is still whole after a kill at any moment (a power cut may
// lose the last ones, never corrupt the store). The log is checkpointed into
// the database, flushed, and removed when the last connection closes.
void UseWriteAheadLog() {
  if (gAccess != Access::ReadWrite || gConn.readOnlyHandle) return;
  {
    Statement mode("PRAGMA journal_mode");
    if (mode.Step() && mode.ColumnBytes(0) == "wal") return;
  }
  // Staying with the rollback journal when another connection holds the
  // file is safe too, only slower.
  sqlite3_exec(gConn.db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
}

// The path as a read-only, immutable URI: no locks and no WAL index.
std::string ImmutableUri(const std::string& path) {
  std::string uri = "file:";
  static const char* hex = "0123456789ABCDEF";
  for (unsigned char c : path) {
    if (c == '%' || c == '?' || c == '#' || c <= 0x20 || c >= 0x7f) {
      uri += '%';
      uri += hex[c >> 4];
      uri += hex[c & 15];
    } else {
      uri += static_cast<char>(c);
    }
  }
  return uri + "?immutable=1";
}

bool OpenHandle(const std::string& name, int flags, const std::string& path, const struct stat& st, bool immutable) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(name.c_str(), &db, flags | SQLITE_OPEN_NOFOLLOW, nullptr) != SQLITE_OK) {
    sqlite3_close_v2(db);
    return false;
  }
  gConn.db = db;
  gConn.path = path;
  gConn.dev = st.st_dev;
  gConn.ino = st.st_ino;
  gConn.readOnlyHandle = gReadOnlyHandle || immutable;
  gConn.requestedReadOnly = gReadOnlyHandle;
  gConn.immutable = immutable;
  gConn.foldLogOnClose = gAccess == Access::ReadWrite || access((path + "-wal").c_str(), F_OK) != 0;
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  return true;
}

Found Open(const std::string& path, const struct stat& st) {
  if (!OpenHandle(path, gReadOnlyHandle ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, path, st, false))
    return Found::Unavailable;
  for (;;) {
    try {
      Exec("PRAGMA synchronous = NORMAL; PRAGMA trusted_schema = OFF; PRAGMA cell_size_check = ON;");
      switch (Inspect(true)) {
        case Contents::Store:
          gConn.hasTables = true;
          UseWriteAheadLog();
          gConn.NoteLog();
          return Found::Ready;
        case Contents::Empty: gConn.NoteLog(); return Found::Ready;
        case Contents::Newer: gConn.Close(); return Found::Unavailable;
        case Contents::Damaged:
          SetAsideDamaged();
          return gAccess == Access::ReadWrite ? Found::Missing : Found::Unavailable;
      }
    } catch (const SqlError& e) {
      if (IsCorruption(e.code)) {
        SetAsideDamaged();
        return gAccess == Access::ReadWrite ? Found::Missing : Found::Unavailable;
      }
      // A store on a read-only file system: the log's index cannot be made,
      // but nothing can change the file either, so it is read as immutable.
      const int primary = e.code & 0xff;
      if (!gConn.immutable && sqlite3_db_readonly(gConn.db, "main") == 1 &&
          (primary == SQLITE_CANTOPEN || primary == SQLITE_READONLY)) {
        gConn.Close();
        if (!OpenHandle(ImmutableUri(path), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, path, st, true))
          return Found::Unavailable;
        continue;
      }
    }
    gConn.Close();
    return Found::Unavailable;
  }
}

// Makes gConn a connection to the current store file. A missing file is
// created only for a write. Damaged files are set aside on the way, so a
// write finds a fresh store.
Found Acquire(bool forWrite) {
  const std::string path = ConfigFolder() + "/" + kFolderName + "/" + kFileName;
  for (int attempt = 0; attempt < 2; ++attempt) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) {
      gConn.Close();
      if (errno != ENOENT) return Found::Unavailable;
      if (!forWrite) return Found::Missing;
      if (gAccess == Access::ReadOnly || !CreateStoreFile(path) || lstat(path.c_str(), &st) != 0)
        return Found::Unavailable;
    }
    if (!S_ISREG(st.st_mode)) {
      gConn.Close();
      return Found::Unavailable;
    }
    if (gConn.db && gConn.path == path && gConn.dev == st.st_dev && gConn.ino == st.st_ino &&
        gConn.requestedReadOnly == gReadOnlyHandle) {
      if (gConn.hasTables) return Found::Ready;
      // Another copy of the program may have laid out the tables since.
      try {
        const Contents c = Inspect(false);
        if (c == Contents::Store) gConn.hasTables = true;
        if (c == Contents::Store || c == Contents::Empty) return Found::Ready;
        if (c == Contents::Newer) {
          gConn.Close();
          return Found::Unavailable;
        }
        SetAsideDamaged();
      } catch (const SqlError& e) {
        if (!IsCorruption(e.code)) return Found::Unavailable;
        SetAsideDamaged();
      }
      if (gAccess == Access::ReadOnly) return Found::Unavailable;
      continue;
    }
    gConn.Close();
    const Found f = Open(path, st);
    if (f != Found::Missing || !forWrite) return f;
  }
  return Found::Unavailable;
}

void RollbackIfOpen() {
  if (gConn.db && !sqlite3_get_autocommit(gConn.db)) sqlite3_exec(gConn.db, "ROLLBACK", nullptr, nullptr, nullptr);
}

// Lays out the tables of an empty store.
void EnsureTables() {
  if (gConn.hasTables) return;
  Exec("BEGIN IMMEDIATE");
  switch (Inspect(false)) {
    case Contents::Store: break;
    case Contents::Empty: Exec(kCreateTables); break;
    case Contents::Damaged: throw SqlError{SQLITE_NOTADB};
    case Contents::Newer: throw SqlError{SQLITE_CANTOPEN};
  }
  Exec("COMMIT");
  gConn.hasTables = true;
  UseWriteAheadLog();
  gConn.NoteLog();
}

std::optional<int64_t> Child(int64_t parent, const std::string& name) {
  Statement q("SELECT id FROM registry_keys WHERE parent = ?1 AND fold = ?2");
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
    Statement ins("INSERT INTO registry_keys (parent, name, fold) VALUES (?1, ?2, ?3)");
    ins.Int(1, id).Text(2, n).Blob(3, FoldName(n));
    ins.Step();
    id = sqlite3_last_insert_rowid(gConn.db);
  }
  return id;
}

void Committed() {
  if (gWritesBeforeReadOnly > 0 && --gWritesBeforeReadOnly == 0) {
    gWritesBeforeReadOnly = -1;
    gReadOnlyHandle = true;
  }
}

// Runs a read inside one read transaction. Anything that goes wrong reads
// as nothing; damage found on the way sets the file aside.
template <class T, class F>
std::optional<T> Read(int32_t root, std::string_view path, F body) {
  const auto rootRow = RootRow(root);
  const auto names = SplitPath(path);
  if (!rootRow || !names) return std::nullopt;
  std::lock_guard<std::mutex> lock(gMutex);
  if (Acquire(false) != Found::Ready || !gConn.hasTables) return std::nullopt;
  try {
    Exec("BEGIN");
    std::optional<T> result;
    if (const auto key = FindKey(*rootRow, *names)) result = body(*key);
    Exec("COMMIT");
    return result;
  } catch (const SqlError& e) {
    RollbackIfOpen();
    if (IsCorruption(e.code)) SetAsideDamaged();
    return std::nullopt;
  }
}

enum class Step { Key, Value };

// Runs a write as one immediate transaction; body returns the result and
// moves step from Key to Value once the key is in place. A failure maps to
// the step it happened in. Damage found on the way sets the file aside and
// the write is tried once more on a fresh store. Only a write that may
// create (create true) makes the store file when there is none.
template <class F>
WriteResult Write(bool create, F body) {
  std::lock_guard<std::mutex> lock(gMutex);
  if (gAccess == Access::ReadOnly) return WriteResult::KeyFailed;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (Acquire(create) != Found::Ready) return WriteResult::KeyFailed;
    if (!create && !gConn.hasTables) return WriteResult::KeyFailed;
    // A store that cannot be written cannot have its keys opened for writing.
    if (sqlite3_db_readonly(gConn.db, "main") == 1) return WriteResult::KeyFailed;
    Step step = Step::Key;
    try {
      EnsureTables();
      Exec("BEGIN IMMEDIATE");
      const WriteResult r = body(step);
      Exec("COMMIT");
      if (r == WriteResult::Ok) Committed();
      return r;
    } catch (const SqlError& e) {
      RollbackIfOpen();
      if ((e.code & 0xff) == SQLITE_READONLY) return WriteResult::KeyFailed;
      if (!IsCorruption(e.code)) return step == Step::Key ? WriteResult::KeyFailed : WriteResult::ValueFailed;
      SetAsideDamaged();
    }
  }
  return WriteResult::KeyFailed;
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

std::string FilePath() { return ConfigFolder() + "/" + kFolderName + "/" + kFileName; }

bool KeyExists(int32_t root, std::string_view path) {
  return Read<bool>(root, path, [](int64_t) { return true; }).value_or(false);
}

std::optional<StoredValue> ReadValue(int32_t root, std::string_view path, std::string_view name) {
  if (!ValidValueName(name)) return std::nullopt;
  return Read<StoredValue>(root, path, [&](int64_t key) -> std::optional<StoredValue> {
    Statement q("SELECT type, data FROM registry_values WHERE key = ?1 AND fold = ?2");
    q.Int(1, key).Blob(2, FoldName(name));
    if (!q.Step()) return std::nullopt;
    // A type tag edited by hand into something that is not a 32-bit number
    // makes the value unreadable.
    const int64_t type = q.ColumnInt(0);
    if (!q.ColumnIsInteger(0) || type < INT32_MIN || type > INT32_MAX) return std::nullopt;
    return StoredValue{static_cast<int32_t>(type), q.ColumnBytes(1)};
  });
}

std::optional<std::vector<std::string>> ValueNames(int32_t root, std::string_view path) {
  return Read<std::vector<std::string>>(root, path, [](int64_t key) {
    Statement q("SELECT name FROM registry_values WHERE key = ?1 ORDER BY rowid");
    q.Int(1, key);
    std::vector<std::string> names;
    while (q.Step()) names.push_back(q.ColumnBytes(0));
    return std::optional(names);
  });
}

std::optional<std::vector<std::string>> SubkeyNames(int32_t root, std::string_view path) {
  return Read<std::vector<std::string>>(root, path, [](int64_t key) {
    Statement q("SELECT name FROM registry_keys WHERE parent = ?1 ORDER BY fold");
    q.Int(1, key);
    std::vector<std::string> names;
    while (q.Step()) names.push_back(q.ColumnBytes(0));
    return std::optional(names);
  });
}

bool CreateKey(int32_t root, std::string_view path) {
  const auto rootRow = RootRow(root);
  const auto names = SplitPath(path);
  if (!rootRow || !names) return false;
  return Write(true, [&](Step&) {
           MakeKey(*rootRow, *names);
           return WriteResult::Ok;
         }) == WriteResult::Ok;
}

bool DeleteKey(int32_t root, std::string_view path) {
  const auto rootRow = RootRow(root);
  const auto names = SplitPath(path);
  if (!rootRow || !names || names->empty()) return false;
  return Write(false, [&](Step&) {
           const auto key = FindKey(*rootRow, *names);
           if (!key) return WriteResult::KeyFailed;
           Statement sub("SELECT 1 FROM registry_keys WHERE parent = ?1 LIMIT 1");
           sub.Int(1, *key);
           if (sub.Step()) return WriteResult::KeyFailed;
           Statement values("DELETE FROM registry_values WHERE key = ?1");
           values.Int(1, *key).Step();
           Statement self("DELETE FROM registry_keys WHERE id = ?1");
           self.Int(1, *key).Step();
           return WriteResult::Ok;
         }) == WriteResult::Ok;
}

WriteResult WriteValue(int32_t root, std::string_view path, std::string_view name, int32_t type,
                       std::string_view data) {
  const auto rootRow = RootRow(root);
  const auto names = SplitPath(path);
  if (!rootRow || !names) return WriteResult::KeyFailed;
  return Write(true, [&](Step& step) {
    const int64_t key = MakeKey(*rootRow, *names);
    step = Step::Value;
    // The key stays created even when the value name is refused.
    if (!ValidValueName(name)) return WriteResult::ValueFailed;
    Statement up(
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
  return Write(false, [&](Step& step) {
    const auto key = FindKey(*rootRow, *names);
    if (!key) return WriteResult::KeyFailed;
    step = Step::Value;
    if (!ValidValueName(name)) return WriteResult::ValueFailed;
    Statement del("DELETE FROM registry_values WHERE key = ?1 AND fold = ?2");
    del.Int(1, *key).Blob(2, FoldName(name)).Step();
    return sqlite3_changes(gConn.db) > 0 ? WriteResult::Ok : WriteResult::ValueFailed;
  });
}

// A connection serves one kind of access: it is closed when the access changes.
AccessScope::AccessScope(Access a) {
  std::lock_guard<std::mutex> lock(gMutex);
  previous_ = gAccess;
  gAccess = a;
  gConn.Close();
}

AccessScope::~AccessScope() {
  std::lock_guard<std::mutex> lock(gMutex);
  gAccess = previous_;
  gConn.Close();
}

namespace testing {

void CloseConnection() {
  std::lock_guard<std::mutex> lock(gMutex);
  gConn.Close();
  gConn.path.clear();
}

void OpenReadOnlyAfterWrites(int n) {
  std::lock_guard<std::mutex> lock(gMutex);
  gWritesBeforeReadOnly = n < 0 ? -1 : n;
  gReadOnlyHandle = n == 0;
}

}  // namespace testing

}  // namespace vantorel::platform::store
