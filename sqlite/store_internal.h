// Pieces of the settings store shared by its three source files: the file
// and its folder (store_file.cpp), the SQLite connection (store_db.cpp) and
// the key tree over it (store.cpp). Not for use outside sqlite/store*.cpp.
#pragma once

#include <sqlite3.h>
#include <sys/stat.h>

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/store.h"

namespace vantorel::sqlite::detail {

// --- The file (store_file.cpp) ------------------------------------------------

inline constexpr const char* kFolderName = "Morvale Services";
inline constexpr const char* kFileName = "registry.sqlite3";

// ${XDG_CONFIG_HOME:-$HOME/.config}/Morvale Services, as written (links not resolved).
std::string StoreFolder();

// The store's folder with every link in it resolved, or nullopt with errno
// set. With create, missing folders are made (mode 0700) first.
std::optional<std::string> ResolvedFolder(bool create);

// Creates an empty store file of mode 0600 (an empty file is an empty
// database); an existing file is left alone. The one place the store makes
// a file of its own (SQLite's journal is the other). made tells whether
// this call made it.
bool CreateStoreFile(const std::string& path, bool& made);

bool SameFile(const std::string& path, dev_t dev, ino_t ino);

// Moves a damaged store (and any journal or log beside it) aside under a
// name with the time; nothing is deleted. The new full path, or empty when
// the file could not be moved (or is no longer the one examined).
std::string KeepAside(const std::string& path, dev_t dev, ino_t ino);

// A new empty file of mode 0600 beside path (path + ".new-XXXXXX"), for a
// store that is filled before it takes path's place; empty on failure, with errno set.
std::string NewFileBeside(const std::string& path);

// Copies the store and its companion ("-journal" or "-wal") into a new
// private folder in the temporary folder, so that SQLite can roll back or
// recover the copy without touching the store. The copy's path, or nullopt.
std::optional<std::string> PrivateCopy(const std::string& path, const char* companion);
// Removes a private copy's folder and everything in it.
void RemovePrivateCopy(const std::string& copyPath);

// The system's words for errno e ("Permission denied").
std::string SystemReason(int e);

// A -wal or -shm left beside the store by an earlier version, owned by this
// user but with another mode than the store (say 0400 from a time the store
// was read-only), gets the store's mode, so that a writable store can be
// opened for writing again. Nothing is deleted: the log may hold data.
void MatchLeftoverModes(const std::string& path, mode_t storeMode);

// What the first bytes of the file say, read before SQLite sees it.
enum class Header { Empty, Rollback, Wal, NotSqlite, Unreadable };
Header ReadHeader(const std::string& path);

// Whether a file beside the store (suffix "-wal", "-shm", "-journal") exists
// with at least one byte (nonEmpty) or at all.
bool Beside(const std::string& path, const char* suffix, bool nonEmpty);

// The path as a read-only, immutable URI: no locks, no files made.
std::string ImmutableUri(const std::string& path);

// --- How a file is opened (store_open.cpp) ----------------------------------

// The ways of opening a store file.
enum class Way {
  Direct,       // read and written in place
  ReadOnly,     // read in place, never written
  Immutable,    // read in place without locks or files beside it (a log-mode store whose log is gone)
  PrivateCopy,  // a copy with its companion (copyWith) read, where the file itself may not change
};
struct OpenPlan {
  Way way = Way::Direct;
  const char* copyWith = nullptr;  // PrivateCopy: "-wal" or "-journal"
  // A log-mode store opened to be written with nothing beside it: switched
  // to the rollback journal alone (exclusive locking, no log index made).
  bool switchJournal = false;
};
// What is beside the file, as seen before it is opened.
struct FileState {
  Header header = Header::Empty;
  bool logWithData = false;  // a -wal with at least one byte
  bool logFile = false;      // a -wal at all
  bool indexFile = false;    // a -shm at all
};
// The first way to try, for reading or for a write (forWrite), with writes
// allowed (readWrite) or not.
OpenPlan PlanOpen(const FileState& f, bool readWrite, bool forWrite);
// The way to try after plan failed with SQLite's code (journalBeside: a
// -journal with data is there); nullopt when there is none.
std::optional<OpenPlan> NextPlan(const OpenPlan& plan, const FileState& f, int code, bool journalBeside);

// --- The connection (store_db.cpp) -------------------------------------------

struct SqlError {
  int code;
};
bool IsCorruption(int code);

// Marks a database file as this program's store ("VTLR"), and the layout
// version of its tables.
inline constexpr int kApplicationId = 0x56544C52;
inline constexpr int kLayoutVersion = 1;

// One open database file and its cached statements.
struct Connection {
  sqlite3* db = nullptr;
  std::string path;
  dev_t dev = 0;
  ino_t ino = 0;
  bool readOnlyHandle = false;     // this connection cannot write
  bool requestedReadOnly = false;  // opened while the test hook asked for read-only
  bool immutable = false;          // opened without locks: never trusted to set a file aside
  std::string privateCopy;         // a private copy is open instead of the file (removed on Close)
  bool hasTables = false;
  bool stamped = true;  // false for a hand-made store without the application id yet
  std::unordered_map<const char*, sqlite3_stmt*> statements;

  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection() { Close(); }

  // Opens name (a path, or a URI when uri) with the given SQLite flags.
  bool Open(const std::string& name, int flags, const std::string& filePath, const struct stat& st, bool immutable,
            int waitMs);
  void Close();
  void Exec(const char* sql);
  // Leaves a write-ahead log for the rollback journal (when this connection
  // can write and no other connection holds the file); false when the
  // file stays with its log.
  bool UseRollbackJournal();
};

// A cached prepared statement, reset and unbound when the use ends.
class Statement {
 public:
  Statement(Connection& c, const char* sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Int(int i, int64_t v);
  Statement& Text(int i, std::string_view v);
  Statement& Blob(int i, std::string_view v);  // never NULL, even when empty
  bool Step();                                 // true for a row, false when done
  int64_t ColumnInt(int c) const;
  std::string ColumnBytes(int c) const;
  bool ColumnIsInteger(int c) const;

 private:
  Statement& Check(int rc);
  sqlite3_stmt* stmt_ = nullptr;
};

// What the open file holds: this program's store, an empty database, a
// damaged or foreign file, or a store of a later layout this program must
// not touch. A failure to read that is not damage (a lock held too long, an
// I/O error) throws.
// For Damaged, why says what is wrong in words.
enum class Contents { Store, Empty, Damaged, Newer };
Contents Inspect(Connection& c, bool fullCheck, std::string* why = nullptr);

// Lays out the tables in an empty store, or stamps a hand-made one with the
// application id and layout version; inside the caller's write transaction.
void LayOut(Connection& c, Contents found);

// Everything that can still be read of the two tables of a damaged store:
// a plain scan of each table, and where a scan stops at damage, each row
// looked up by its row number.
struct KeyRow {
  int64_t id, parent;
  std::string name;
};
struct ValueRow {
  int64_t key;
  std::string name;
  int32_t type;
  std::string data;
  bool foldAgrees = true;  // the folded name kept with it is the name's
};
struct Salvage {
  std::vector<KeyRow> keys;  // the four roots not included
  std::vector<ValueRow> values;
};
Salvage SalvageRows(Connection& c);
// Fills an empty store with the salvaged keys that hang from a root and
// their values, in one transaction.
void FillStore(Connection& c, const Salvage& rows);

}  // namespace vantorel::sqlite::detail
