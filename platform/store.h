// The settings store: a persistent tree of keys under four fixed roots, each
// key holding named values made of a type tag and bytes. This is what the
// program needs of any store; sqlite/sqlitestore.h keeps it in an SQLite file.
//
// Key and value names compare without regard to case (Unicode simple case
// folding of UTF-8 names, FoldName) and keep the case they were first
// written with. A key path is a list of names separated by "\"; one trailing
// "\" is allowed, an empty path names the root itself, and a path with an
// empty name in it (a leading "\" or "\\" inside) names no key.
//
// A write either happens whole or not at all, and a Transaction makes many
// writes one. A read never creates anything.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/utf8.h"

namespace vantorel::platform {

class Store;

namespace store {

// The four roots, as the registry's predefined handles (signed 32-bit).
inline constexpr int32_t kClassesRoot = static_cast<int32_t>(0x80000000u);
inline constexpr int32_t kCurrentUser = static_cast<int32_t>(0x80000001u);
inline constexpr int32_t kLocalMachine = static_cast<int32_t>(0x80000002u);
inline constexpr int32_t kUsers = static_cast<int32_t>(0x80000003u);

// Longest key name and value name a store accepts (those of the registry).
inline constexpr size_t kMaxKeyName = 255;
inline constexpr size_t kMaxValueName = 16383;

// How long a reader or writer waits for another program's lock.
inline constexpr int kLockWaitMs = 15000;

struct StoredValue {
  int32_t type = 0;
  std::string data;  // the value's bytes
};

enum class KeyStatus {
  Read,        // the key was read whole (from a fresh store, after a recovery)
  Missing,     // no store, or no such key
  Unreadable,  // the store is there but could not be read: see reason
};
// A damaged or foreign store found by a read with write access.
struct Recovery {
  std::string problem;    // what was wrong, in words: "it failed SQLite's integrity check (...)"
  std::string keptAs;     // where the old store was kept; empty when it could not be moved
  bool replaced = false;  // a fresh store with whatever could be read took its place
};
struct KeyValues {
  KeyStatus status = KeyStatus::Missing;
  // Every value of the key, by its name as first written, in the order
  // written. After a recovery that could not put a fresh store in place,
  // the values recovered from the old store, with status Unreadable.
  std::vector<std::pair<std::string, StoredValue>> values;
  std::string reason;   // for Unreadable, in words: "another program kept it locked ..."
  bool locked = false;  // Unreadable because another program held its lock past the wait
  std::optional<Recovery> recovery;
};

enum class WriteResult {
  Ok,
  KeyFailed,    // the key could not be created or opened; nothing changed
  ValueFailed,  // the key is there but the value could not be written or deleted
};

// Whether this process may change the store. ReadOnly opens an existing
// store without creating anything, never moves a damaged one aside and
// refuses every write (KeyFailed / false).
enum class Access { ReadWrite, ReadOnly };

// The name-matching rule: the case-folded form of a name.
inline std::string FoldName(std::string_view name) { return FoldCase(name); }

// Makes the writes to store until Commit one transaction: a failed write
// rolls back every write before it and makes the writes after it fail at
// once, and nothing is kept until Commit. A transaction not committed is
// rolled back when it ends. One at a time; the store is not used from other
// threads meanwhile.
class Transaction {
 public:
  explicit Transaction(Store& store);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  // True when every write succeeded and the commit was kept (or nothing was
  // written); false otherwise, with nothing of it written.
  bool Commit();

 private:
  Store& store_;
};

// The store's access for the scope's life; the previous access comes back
// when it ends.
class AccessScope {
 public:
  AccessScope(Store& store, Access a);
  ~AccessScope();
  AccessScope(const AccessScope&) = delete;
  AccessScope& operator=(const AccessScope&) = delete;

 private:
  Store& store_;
  Access previous_;
};

}  // namespace store

class Store {
 public:
  virtual ~Store() = default;

  // Where the settings are, in words for messages (a file's full path).
  virtual std::string Location() const = 0;
  // The running program's name (its executable's, without extension),
  // which names the source of the registry class's errors.
  virtual std::string ProgramName() const = 0;

  // --- Reads: never raise, never create anything.
  virtual bool KeyExists(int32_t root, std::string_view path) = 0;
  virtual std::optional<store::StoredValue> ReadValue(int32_t root, std::string_view path, std::string_view name) = 0;
  // Names in the order the values were first written; nullopt when the key is missing.
  virtual std::optional<std::vector<std::string>> ValueNames(int32_t root, std::string_view path) = 0;
  // Subkey names in case-folded order; nullopt when the key is missing.
  virtual std::optional<std::vector<std::string>> SubkeyNames(int32_t root, std::string_view path) = 0;
  // All values of one key in one read (a snapshot), waiting up to waitMs
  // for another program's lock.
  virtual store::KeyValues ReadKey(int32_t root, std::string_view path, int waitMs) = 0;

  // --- Writes.
  // Creates the key and any missing parents (or finds it); false on failure.
  virtual bool CreateKey(int32_t root, std::string_view path) = 0;
  // Deletes a key that has no subkeys, together with its values; false when
  // the key is missing, has subkeys, is a root, or the store refuses.
  virtual bool DeleteKey(int32_t root, std::string_view path) = 0;
  // Creates the key if needed and sets the value, as one write.
  virtual store::WriteResult WriteValue(int32_t root, std::string_view path, std::string_view name, int32_t type,
                                        std::string_view data) = 0;
  // Deletes one value; KeyFailed when the key does not exist, ValueFailed
  // when the value does not.
  virtual store::WriteResult DeleteValue(int32_t root, std::string_view path, std::string_view name) = 0;

  // Why the last write, or the last read that found the store unreadable,
  // failed, in words ("Permission denied", "No space left on device");
  // empty when it succeeded or no reason is known.
  virtual std::string LastFailure() const = 0;
  // The longest wait for another program's lock in force.
  virtual int LockWaitMs() const = 0;
  // Another program's lock held past ms, in words: "another program kept it
  // locked for more than 15 seconds".
  virtual std::string LockedReason(int ms) const = 0;

 protected:
  friend class store::Transaction;
  friend class store::AccessScope;
  virtual void BeginTransaction() = 0;
  virtual bool CommitTransaction() = 0;
  virtual void EndTransaction() = 0;
  // Sets the access; the access it replaces.
  virtual store::Access SetAccess(store::Access a) = 0;
};

// The program's settings store on this system, opened by a front end once at
// start and handed to whatever reads or writes the settings.
std::unique_ptr<Store> OpenProgramStore();

namespace store {

inline Transaction::Transaction(Store& store) : store_(store) { store_.BeginTransaction(); }
inline Transaction::~Transaction() { store_.EndTransaction(); }
inline bool Transaction::Commit() { return store_.CommitTransaction(); }

inline AccessScope::AccessScope(Store& store, Access a) : store_(store), previous_(store.SetAccess(a)) {}
inline AccessScope::~AccessScope() { store_.SetAccess(previous_); }

}  // namespace store

}  // namespace vantorel::platform
