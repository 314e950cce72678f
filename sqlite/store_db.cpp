// The SQLite connection to the store file: opening, statements, what the
// file holds, and the layout of its tables.
#include <climits>
#include <cstdio>
#include <map>
#include <set>
#include <utility>
#include <fcntl.h>
#include <unistd.h>

#include "sqlite/store_internal.h"

namespace vantorel::sqlite::detail {

namespace {

// The tables. The four roots are rows 1 to 4 with parent 0; every other key
// names its parent's row. Names are kept as written; "fold" holds the
// case-folded name used for matching. Values keep their insertion order in
// rowid.
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
)sql";

// The view, the roots and the marks of a store of this program; a hand-made
// store (application id 0 with both tables) gets them on its first write.
// registry_view shows every value with its full key path, texts as text and
// other types in hex, for reading the store with the sqlite3 shell.
constexpr const char* kStamp = R"sql(
CREATE VIEW IF NOT EXISTS registry_view AS
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
INSERT OR IGNORE INTO registry_keys (id, parent, name, fold) VALUES
  (1, 0, 'HKEY_CLASSES_ROOT', CAST('hkey_classes_root' AS BLOB)),
  (2, 0, 'HKEY_CURRENT_USER', CAST('hkey_current_user' AS BLOB)),
  (3, 0, 'HKEY_LOCAL_MACHINE', CAST('hkey_local_machine' AS BLOB)),
  (4, 0, 'HKEY_USERS', CAST('hkey_users' AS BLOB));
PRAGMA application_id = 1448365138;
PRAGMA user_version = 1;
)sql";

static_assert(kApplicationId == 1448365138, "the stamp sets the same application id");

}  // namespace

bool IsCorruption(int code) {
  const int primary = code & 0xff;
  return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

bool Connection::Open(const std::string& name, int flags, const std::string& filePath, const struct stat& st,
                      bool openImmutable, int waitMs) {
  Close();
  sqlite3* handle = nullptr;
  // The folder in the path has its links resolved: no-follow refuses only a
  // link in the file's own place.
  if (sqlite3_open_v2(name.c_str(), &handle, flags | SQLITE_OPEN_NOFOLLOW, nullptr) != SQLITE_OK) {
    sqlite3_close_v2(handle);
    return false;
  }
  db = handle;
  path = filePath;
  dev = st.st_dev;
  ino = st.st_ino;
  readOnlyHandle = (flags & SQLITE_OPEN_READONLY) != 0 || openImmutable;
  immutable = openImmutable;
  stamped = true;
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, waitMs);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  return true;
}

// A connection whose file no longer stands at its path (moved, replaced or
// removed) leaves any log it has alone: it must not be folded into
// whatever file now has the name.
void Connection::Close() {
  for (auto& [sql, stmt] : statements) sqlite3_finalize(stmt);
  statements.clear();
  if (db) {
    const bool inPlace = SameFile(path, dev, ino);
    if (!inPlace) sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_close_v2(db);
  }
  db = nullptr;
  hasTables = false;
  if (!privateCopy.empty()) RemovePrivateCopy(std::exchange(privateCopy, {}));
}

void Connection::Exec(const char* sql) {
  const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) throw SqlError{rc};
}

// The rollback journal: a read makes no file at all (so it works in a
// read-only folder, on a full disk and on a read-only file system), and a
// write keeps registry.sqlite3-journal only while it commits. A store left
// with a write-ahead log by an earlier version is switched over here; the
// switch folds the log into the file and removes -wal and -shm. When
// another connection holds the file the switch waits for a later open.
bool Connection::UseRollbackJournal() {
  if (readOnlyHandle) return true;
  {
    Statement mode(*this, "PRAGMA journal_mode");
    if (!mode.Step() || mode.ColumnBytes(0) != "wal") return true;
  }
  Statement change(*this, "PRAGMA journal_mode = DELETE");
  try {
    return change.Step() && change.ColumnBytes(0) == "delete";
  } catch (const SqlError&) {
    return false;
  }
}

Statement::Statement(Connection& c, const char* sql) {
  auto it = c.statements.find(sql);
  if (it == c.statements.end()) {
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare_v2(c.db, sql, -1, &stmt, nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_finalize(stmt);
      throw SqlError{rc};
    }
    it = c.statements.emplace(sql, stmt).first;
  }
  stmt_ = it->second;
}

Statement::~Statement() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

Statement& Statement::Int(int i, int64_t v) { return Check(sqlite3_bind_int64(stmt_, i, v)); }

Statement& Statement::Text(int i, std::string_view v) {
  if (v.size() > static_cast<size_t>(INT_MAX)) throw SqlError{SQLITE_TOOBIG};
  return Check(sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
}

Statement& Statement::Blob(int i, std::string_view v) {
  if (v.size() > static_cast<size_t>(INT_MAX)) throw SqlError{SQLITE_TOOBIG};
  static const char kNothing = 0;
  return Check(
      sqlite3_bind_blob(stmt_, i, v.empty() ? &kNothing : v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
}

bool Statement::Step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  throw SqlError{rc};
}

int64_t Statement::ColumnInt(int c) const { return sqlite3_column_int64(stmt_, c); }

std::string Statement::ColumnBytes(int c) const {
  const void* p = sqlite3_column_blob(stmt_, c);
  const int n = sqlite3_column_bytes(stmt_, c);
  if (!p || n <= 0) return {};
  return std::string(static_cast<const char*>(p), static_cast<size_t>(n));
}

bool Statement::ColumnIsInteger(int c) const { return sqlite3_column_type(stmt_, c) == SQLITE_INTEGER; }

Statement& Statement::Check(int rc) {
  if (rc != SQLITE_OK) throw SqlError{rc};
  return *this;
}

namespace {

// What makes the rows of the two tables disagree, in words: a folded name
// that is not the name's (a read finds a value by its name, a write by its
// folded name, so the two would find different rows), a name found twice
// in one key, a key that hangs from no root, a value of no key.
std::optional<std::string> Disagreement(Connection& c) {
  const auto quoted = [](const char* what, const std::string& name, const char* wrong) {
    return std::string("its ") + what + " \"" + name.substr(0, 64) + "\" " + wrong;
  };
  std::unordered_map<int64_t, int64_t> parents;  // key row -> parent row
  std::set<std::pair<int64_t, std::string>> seen;
  Statement keys(c,
                 "SELECT id, CASE WHEN typeof(parent) = 'integer' THEN parent ELSE -1 END, name, fold, "
                 "typeof(fold) = 'blob' FROM registry_keys NOT INDEXED");
  while (keys.Step()) {
    const std::string name = keys.ColumnBytes(2), fold = platform::store::FoldName(name);
    if (keys.ColumnInt(4) == 0 || keys.ColumnBytes(3) != fold)
      return quoted("key", name, "and the folded name kept with it disagree");
    if (!seen.emplace(keys.ColumnInt(1), fold).second) return quoted("key", name, "is there twice");
    parents[keys.ColumnInt(0)] = keys.ColumnInt(1);
  }
  for (const auto& [id, parent] : parents) {
    int64_t at = id;  // up to a root: rows 1 to 4, which have parent 0
    for (size_t steps = 0; at > 4 && steps <= parents.size(); ++steps) {
      const auto up = parents.find(at);
      at = up == parents.end() ? 0 : up->second;
    }
    if (at < 1 || at > 4) return std::string("one of its keys hangs from no root");
  }
  seen.clear();
  Statement values(c,
                   "SELECT CASE WHEN typeof(key) = 'integer' THEN key ELSE -1 END, name, fold, "
                   "typeof(fold) = 'blob' FROM registry_values NOT INDEXED");
  while (values.Step()) {
    const int64_t key = values.ColumnInt(0);
    const std::string name = values.ColumnBytes(1), fold = platform::store::FoldName(name);
    if (values.ColumnInt(3) == 0 || values.ColumnBytes(2) != fold)
      return quoted("value", name, "and the folded name kept with it disagree");
    if (!seen.emplace(key, fold).second) return quoted("value", name, "is there twice");
    if ((key < 1 || key > 4) && !parents.count(key)) return quoted("value", name, "belongs to no key");
  }
  return std::nullopt;
}

}  // namespace

Contents Inspect(Connection& c, bool fullCheck, std::string* why) {
  auto damaged = [&](std::string words) {
    if (why) *why = std::move(words);
    return Contents::Damaged;
  };
  // The checks and the rows they compare come from one snapshot: another
  // copy of the program may commit between two statements.
  struct Snapshot {
    Connection& c;
    const bool own;
    explicit Snapshot(Connection& conn) : c(conn), own(sqlite3_get_autocommit(conn.db) != 0) {
      if (own) c.Exec("BEGIN");
    }
    ~Snapshot() {
      if (own && !sqlite3_get_autocommit(c.db)) sqlite3_exec(c.db, "COMMIT", nullptr, nullptr, nullptr);
    }
  } snapshot(c);
  if (fullCheck) {
    try {
      // The full check: the quick check does not compare the indexes with their tables.
      Statement check(c, "PRAGMA integrity_check(1)");
      const std::string found = check.Step() ? check.ColumnBytes(0) : "no answer";
      if (found != "ok") return damaged("it failed SQLite's integrity check: " + found);
    } catch (const SqlError& e) {
      if ((e.code & 0xff) == SQLITE_NOTADB) return damaged("it is not an SQLite database");
      if (IsCorruption(e.code)) return damaged("SQLite found it damaged: " + std::string(sqlite3_errstr(e.code)));
      throw;
    }
  }
  Statement app(c, "PRAGMA application_id");
  const int64_t id = app.Step() ? app.ColumnInt(0) : 0;
  if (id != kApplicationId && id != 0) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08llX", static_cast<unsigned long long>(id) & 0xFFFFFFFFull);
    return damaged("it belongs to another program (application id 0x" + std::string(hex) + ")");
  }
  if (id == kApplicationId) {
    Statement version(c, "PRAGMA user_version");
    const int64_t v = version.Step() ? version.ColumnInt(0) : 0;
    if (v > kLayoutVersion) return Contents::Newer;
  }
  Statement tables(c,
                   "SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name IN ('registry_keys', "
                   "'registry_values')");
  const bool both = tables.Step() && tables.ColumnInt(0) == 2;
  c.stamped = id == kApplicationId;
  if (both && fullCheck)
    if (auto wrong = Disagreement(c)) return damaged(std::move(*wrong));
  if (both) return Contents::Store;
  if (id == kApplicationId) return damaged("its tables are missing");
  Statement any(c, "SELECT count(*) FROM sqlite_schema");
  if (any.Step() && any.ColumnInt(0) == 0) return Contents::Empty;
  return damaged("it is a database of another program");
}

void LayOut(Connection& c, Contents found) {
  if (found == Contents::Empty) c.Exec(kCreateTables);
  if (found == Contents::Empty || !c.stamped) c.Exec(kStamp);
  c.stamped = true;
}

namespace {

// Reads the rows of one table: a scan first; where it stops at damage, the
// rows after the last one read are looked up one row number at a time,
// until a long run finds none.
template <class Row, class Read>
void SalvageTable(Connection& c, const char* scanSql, const char* oneSql, Read read, std::vector<Row>& out) {
  int64_t last = 0;
  try {
    Statement scan(c, scanSql);  // no such table, or no schema to read: nothing to salvage
    try {
      while (scan.Step()) {
        last = scan.ColumnInt(0);
        if (auto row = read(scan)) out.push_back(std::move(*row));
      }
      return;
    } catch (const SqlError& e) {
      if (!IsCorruption(e.code) && (e.code & 0xff) != SQLITE_IOERR) return;
    }
    Statement(c, oneSql);  // prepared once, before the lookups
  } catch (const SqlError&) {
    return;
  }
  constexpr int64_t kRun = 4096;
  for (int64_t rowid = last + 1, missed = 0; missed < kRun && rowid < INT64_MAX; ++rowid) {
    try {
      Statement one(c, oneSql);
      one.Int(1, rowid);
      if (one.Step()) {
        missed = 0;
        if (auto row = read(one)) out.push_back(std::move(*row));
        continue;
      }
    } catch (const SqlError&) {
    }
    ++missed;
  }
}

}  // namespace

Salvage SalvageRows(Connection& c) {
  Salvage rows;
  SalvageTable(
      c, "SELECT id, parent, name FROM registry_keys NOT INDEXED ORDER BY rowid",
      "SELECT id, parent, name FROM registry_keys NOT INDEXED WHERE rowid = ?1",
      [](Statement& q) -> std::optional<KeyRow> {
        if (q.ColumnInt(0) <= 4) return std::nullopt;  // the roots
        return KeyRow{q.ColumnInt(0), q.ColumnInt(1), q.ColumnBytes(2)};
      },
      rows.keys);
  SalvageTable(
      c,
      "SELECT rowid, key, name, type, data, fold, typeof(fold) = 'blob' FROM registry_values NOT INDEXED ORDER BY "
      "rowid",
      "SELECT rowid, key, name, type, data, fold, typeof(fold) = 'blob' FROM registry_values NOT INDEXED WHERE rowid = "
      "?1",
      [](Statement& q) -> std::optional<ValueRow> {
        const int64_t type = q.ColumnInt(3);
        if (!q.ColumnIsInteger(3) || type < INT32_MIN || type > INT32_MAX) return std::nullopt;
        const std::string name = q.ColumnBytes(2);
        const bool agrees = q.ColumnInt(6) != 0 && q.ColumnBytes(5) == platform::store::FoldName(name);
        return ValueRow{q.ColumnInt(1), name, static_cast<int32_t>(type), q.ColumnBytes(4), agrees};
      },
      rows.values);
  return rows;
}

void FillStore(Connection& c, const Salvage& rows) {
  c.Exec("BEGIN IMMEDIATE");
  LayOut(c, Contents::Empty);
  // Old key row -> new key row, for the keys reachable from a root.
  std::unordered_map<int64_t, int64_t> placed = {{1, 1}, {2, 2}, {3, 3}, {4, 4}};
  for (bool grew = true; grew;) {
    grew = false;
    for (const KeyRow& k : rows.keys) {
      const auto parent = placed.find(k.parent);
      if (parent == placed.end() || placed.count(k.id) || k.name.empty()) continue;
      Statement ins(c,
                    "INSERT INTO registry_keys (parent, name, fold) VALUES (?1, ?2, ?3) "
                    "ON CONFLICT (parent, fold) DO NOTHING");
      ins.Int(1, parent->second).Text(2, k.name).Blob(3, platform::store::FoldName(k.name)).Step();
      Statement id(c, "SELECT id FROM registry_keys WHERE parent = ?1 AND fold = ?2");
      id.Int(1, parent->second).Blob(2, platform::store::FoldName(k.name));
      if (!id.Step()) throw SqlError{SQLITE_ERROR};
      placed[k.id] = id.ColumnInt(0);
      grew = true;
    }
  }
  // A name found twice in a key: the row whose folded name agrees with it,
  // else the later one.
  std::map<std::pair<int64_t, std::string>, size_t> chosen;
  for (size_t i = 0; i < rows.values.size(); ++i) {
    const ValueRow& v = rows.values[i];
    const auto key = placed.find(v.key);
    if (key == placed.end()) continue;
    const auto [it, first] = chosen.try_emplace({key->second, platform::store::FoldName(v.name)}, i);
    if (!first && (v.foldAgrees || !rows.values[it->second].foldAgrees)) it->second = i;
  }
  std::vector<bool> keep(rows.values.size());
  for (const auto& [where, i] : chosen) keep[i] = true;
  for (size_t i = 0; i < rows.values.size(); ++i) {
    if (!keep[i]) continue;
    const ValueRow& v = rows.values[i];
    const auto key = placed.find(v.key);
    Statement ins(c,
                  "INSERT INTO registry_values (key, name, fold, type, data) VALUES (?1, ?2, ?3, ?4, ?5) "
                  "ON CONFLICT (key, fold) DO NOTHING");
    ins.Int(1, key->second)
        .Text(2, v.name)
        .Blob(3, platform::store::FoldName(v.name))
        .Int(4, v.type)
        .Blob(5, v.data)
        .Step();
  }
  c.Exec("COMMIT");
}

}  // namespace vantorel::sqlite::detail
