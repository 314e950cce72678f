// The settings store: a persistent tree of keys under four fixed roots, each
// key holding named values made of a type tag and bytes. It lives in one
// SQLite database file,
//   ${XDG_CONFIG_HOME:-$HOME/.config}/Morvale Services/registry.sqlite3
// created (mode 0600, in a folder of mode 0700) by the first write. Links in
// the folder's path are followed; a link in the file's own place is not.
//
// Key and value names compare without regard to case (Unicode simple case
// folding of UTF-8 names) and keep the case they were first written with. A
// key path is a list of names separated by "\"; one trailing "\" is allowed,
// an empty path names the root itself, and a path with an empty name in it
// (a leading "\" or "\\" inside) names no key.
//
// Every write is one SQLite transaction with the rollback journal, and a
// Transaction makes many writes one, so a process killed at any moment
// leaves the store as it was before or after the whole of it; each commit is
// on the disk before it returns (synchronous=FULL). Writers take the write
// lock first (BEGIN IMMEDIATE) and wait for other copies of the program
// instead of failing; readers wait for a writer's commit. A read makes no
// file beside the store, so it works in a read-only folder, on a full disk
// and on a read-only file system. A store left with a hot journal (a writer
// killed in its commit) or with a write-ahead log but no -shm, which a
// read-only open cannot use in place, is read from a private copy of the
// file and its journal or log in the temporary folder, as SQLite would read
// it after the rollback or recovery; the store itself is not changed.
//
// A file that is damaged (fails SQLite's quick check or reports corruption)
// or that is not this program's store (not SQLite, another application id):
// with write access, whatever keys and values can still be read are
// copied into a fresh store, and the old file (with any journal or log) is
// renamed aside with a ".corrupt-YYYYMMDD-HHMMSS" suffix; nothing is deleted.
// ReadKey reports what happened. With read-only access the file reads as
// unreadable, with the reason.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantorel::platform::store {

// The four roots, as the registry's predefined handles (signed 32-bit).
inline constexpr int32_t kClassesRoot = static_cast<int32_t>(0x80000000u);
inline constexpr int32_t kCurrentUser = static_cast<int32_t>(0x80000001u);
inline constexpr int32_t kLocalMachine = static_cast<int32_t>(0x80000002u);
inline constexpr int32_t kUsers = static_cast<int32_t>(0x80000003u);

// Longest key name and value name the store accepts (those of the registry).
inline constexpr size_t kMaxKeyName = 255;
inline constexpr size_t kMaxValueName = 16383;

struct StoredValue {
  int32_t type = 0;
  std::string data;  // the value's bytes
};

// Full path of the database file for the current environment.
std::string FilePath();

// --- Reads: never raise, never create anything.
bool KeyExists(int32_t root, std::string_view path);
std::optional<StoredValue> ReadValue(int32_t root, std::string_view path, std::string_view name);
// Names in the order the values were first written; nullopt when the key is missing.
std::optional<std::vector<std::string>> ValueNames(int32_t root, std::string_view path);
// Subkey names in case-folded order; nullopt when the key is missing.
std::optional<std::vector<std::string>> SubkeyNames(int32_t root, std::string_view path);

// How long a reader or writer waits for another program's lock.
inline constexpr int kLockWaitMs = 15000;
// The wait in force: kLockWaitMs, or less in tests.
int LockWaitMs();

enum class KeyStatus {
  Read,        // the key was read whole (from a fresh store, after a recovery)
  Missing,     // no store, or no such key
  Unreadable,  // the store is there but could not be read: see reason
};
// A damaged or foreign store found by a read with write access.
struct Recovery {
  std::string problem;  // what was wrong, in words: "it failed SQLite's integrity check (...)"
  std::string keptAs;   // the full path the old file was renamed to; empty when it could not be moved
  bool replaced = false;  // a fresh store with whatever could be read took its place
};
struct KeyValues {
  KeyStatus status = KeyStatus::Missing;
  // Every value of the key, by its name as first written, in the order
  // written. After a recovery that could not put a fresh store in place,
  // the values recovered from the old file, with status Unreadable.
  std::vector<std::pair<std::string, StoredValue>> values;
  std::string reason;   // for Unreadable, in words: "another program kept it locked ..."
  bool locked = false;  // Unreadable because another program held its lock past the wait
  std::optional<Recovery> recovery;
};
// All values of one key in one read transaction (a snapshot), waiting up to
// waitMs for another program's lock.
KeyValues ReadKey(int32_t root, std::string_view path, int waitMs = kLockWaitMs);

// --- Writes.
// Creates the key and any missing parents (or finds it); false on failure.
bool CreateKey(int32_t root, std::string_view path);
// Deletes a key that has no subkeys, together with its values; false when the
// key is missing, has subkeys, is a root, or the store refuses.
bool DeleteKey(int32_t root, std::string_view path);

enum class WriteResult {
  Ok,
  KeyFailed,    // the key could not be created or opened; nothing changed
  ValueFailed,  // the key is there but the value could not be written or deleted
};
// Creates the key if needed and sets the value, in one transaction.
WriteResult WriteValue(int32_t root, std::string_view path, std::string_view name, int32_t type,
                       std::string_view data);
// Deletes one value; KeyFailed when the key does not exist, ValueFailed when
// the value does not.
WriteResult DeleteValue(int32_t root, std::string_view path, std::string_view name);

// Why the last write, or the last read that found the store unreadable,
// failed, in words ("Permission denied", "No space left on device",
// "path too long ..."); empty when it succeeded or no reason is known.
std::string LastFailure();
// "another program kept it locked for more than 15 seconds"
std::string LockedReason(int ms);

// Makes the writes of this thread until Commit one transaction: the first
// write takes the write lock (waiting as writes do), a failed write rolls
// back every write before it and makes the writes after it fail at once,
// and nothing is on the disk until Commit. A transaction not committed is
// rolled back when it ends. One at a time; the store is not used from other
// threads meanwhile.
class Transaction {
 public:
  Transaction();
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  // True when every write succeeded and the commit reached the disk (or
  // nothing was written); false otherwise, with nothing of it written.
  bool Commit();
};

// Whether this process may change the store. ReadOnly opens an existing file
// without creating anything, never renames a damaged file and refuses every
// write (KeyFailed / false). The previous access comes back when the scope ends.
enum class Access { ReadWrite, ReadOnly };
class AccessScope {
 public:
  explicit AccessScope(Access a);
  ~AccessScope();
  AccessScope(const AccessScope&) = delete;
  AccessScope& operator=(const AccessScope&) = delete;

 private:
  Access previous_;
};

// The name-matching rule: the case-folded form of a name.
std::string FoldName(std::string_view name);

namespace testing {
// How long to wait for a lock (negative: back to kLockWaitMs).
void SetLockWait(int ms);
// Closes the cached connection, as if the program had just started.
void CloseConnection();
// After n more writes every write fails as SQLite fails a write to a file it
// may not change. A negative n turns this off.
void FailWritesAfter(int n);
}  // namespace testing

}  // namespace vantorel::platform::store
