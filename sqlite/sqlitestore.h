// The settings store of the Linux build: one SQLite database file,
//   ${XDG_CONFIG_HOME:-$HOME/.config}/Morvale Services/registry.sqlite3
// created (mode 0600, in a folder of mode 0700) by the first write. Links in
// the folder's path are followed; a link in the file's own place is not.
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
// A file that is damaged (fails SQLite's integrity check, reports
// corruption, or holds rows that disagree: a folded name that is not its
// name's, a name twice in a key, a key that hangs from no root, a value of
// no key) or that is not this program's store (not SQLite, another application id):
// with write access, whatever keys and values can still be read are
// copied into a fresh store, and the old file (with any journal or log) is
// renamed aside with a ".corrupt-YYYYMMDD-HHMMSS" suffix; nothing is deleted.
// ReadKey reports what happened. With read-only access the file reads as
// unreadable, with the reason.
//
// The file is looked for afresh by every operation, so the environment (and
// the file) may change between them. One object serves the whole program;
// its operations may come from any thread.
#pragma once

#include <memory>

#include "platform/store.h"

namespace vantorel::sqlite {

namespace store = platform::store;

namespace detail {
class Engine;
}

class SqliteStore final : public platform::Store {
 public:
  SqliteStore();
  ~SqliteStore() override;
  SqliteStore(const SqliteStore&) = delete;
  SqliteStore& operator=(const SqliteStore&) = delete;

  // The database file's full path for the current environment.
  std::string Location() const override;
  std::string ProgramName() const override;

  bool KeyExists(int32_t root, std::string_view path) override;
  std::optional<store::StoredValue> ReadValue(int32_t root, std::string_view path, std::string_view name) override;
  std::optional<std::vector<std::string>> ValueNames(int32_t root, std::string_view path) override;
  std::optional<std::vector<std::string>> SubkeyNames(int32_t root, std::string_view path) override;
  store::KeyValues ReadKey(int32_t root, std::string_view path, int waitMs) override;

  bool CreateKey(int32_t root, std::string_view path) override;
  bool DeleteKey(int32_t root, std::string_view path) override;
  store::WriteResult WriteValue(int32_t root, std::string_view path, std::string_view name, int32_t type,
                                std::string_view data) override;
  store::WriteResult DeleteValue(int32_t root, std::string_view path, std::string_view name) override;

  // Also "path too long ..." when the file's path is longer than SQLite takes.
  std::string LastFailure() const override;
  // store::kLockWaitMs, or less in tests.
  int LockWaitMs() const override;
  std::string LockedReason(int ms) const override;

  // --- For tests.
  // How long to wait for a lock (negative: back to store::kLockWaitMs).
  void SetLockWait(int ms);
  // Closes the cached connection, as if the program had just started.
  void CloseConnection();
  // After n more writes every write fails as SQLite fails a write to a file
  // it may not change. A negative n turns this off.
  void FailWritesAfter(int n);

 protected:
  // The first write of a transaction takes the write lock, waiting as
  // writes do; nothing is on the disk until the commit.
  void BeginTransaction() override;
  bool CommitTransaction() override;
  void EndTransaction() override;
  // A connection serves one kind of access: it is closed when the access changes.
  store::Access SetAccess(store::Access a) override;

 private:
  std::unique_ptr<detail::Engine> engine_;
};

}  // namespace vantorel::sqlite
