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
// Every write is one SQLite transaction with the rollback journal, so a
// process killed at any moment leaves each value either as it was or as
// written, and each commit is on the disk before the write returns
// (synchronous=FULL), so a power cut cannot damage it. Writers take the write lock first (BEGIN
// IMMEDIATE) and wait for other copies of the program instead of failing;
// readers wait for a writer's commit. A read makes no file at all, so it
// works in a read-only folder, on a full disk and on a read-only file system;
// a write keeps registry.sqlite3-journal beside the file while it commits. A
// store an earlier version left with a write-ahead log (-wal, -shm) is read
// with it and switched to the rollback journal by the first open that may
// write. A file that is not a store of this program, or that fails SQLite's
// integrity check, is renamed aside with a ".corrupt-YYYYMMDD-HHMMSS" suffix
// and a fresh store takes its place; nothing is deleted.
//
// Reads never raise and never create anything: a missing store reads as
// empty; ReadKey tells a store that could not be read (a lock held past the
// wait, an I/O error) apart from a missing one.
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

enum class KeyStatus {
  Read,        // the key was read whole
  Missing,     // no store, no such key, or a damaged store (set aside when writing is allowed)
  Unreadable,  // the store is there but could not be read: see reason
};
struct KeyValues {
  KeyStatus status = KeyStatus::Missing;
  // Every value of the key, by its name as first written, in the order written.
  std::vector<std::pair<std::string, StoredValue>> values;
  std::string reason;  // for Unreadable, in words: "another program kept it locked ..."
};
// All values of one key in one read transaction (a snapshot).
KeyValues ReadKey(int32_t root, std::string_view path);

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
// After n more successful writes the database is reopened read-only, so
// that SQLite itself refuses the writes that follow (as on a store whose file
// cannot be written). A negative n turns this off.
void OpenReadOnlyAfterWrites(int n);
}  // namespace testing

}  // namespace vantorel::platform::store
