// A settings store held in memory: the key and name rules of every store,
// transactions and read-only access, with nothing kept beyond the process.
// The browser keeps its copy of the tree elsewhere and loads it here (Put),
// saving what Snapshot gives after each commit; tests use it as a store
// that can be told to refuse writes or to find its keys locked.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/store.h"

namespace vantorel::platform {

class MemoryStore : public Store {
 public:
  using Values = std::vector<std::pair<std::string, store::StoredValue>>;
  // One key of the tree with its path as first written.
  struct KeyCopy {
    int32_t root = 0;
    std::string path;
    Values values;
  };

  // After n more writes every write fails (negative: never).
  void FailWritesAfter(int n) { writesLeft_ = n; }
  // The next n reads of a whole key find it locked by another program.
  int lockedReads = 0;

  // Every key but the roots, parents before their subkeys.
  std::vector<KeyCopy> Snapshot() const;
  // Adds a key (and its parents) with these values, outside any transaction;
  // false when the path names no key.
  bool Put(int32_t root, std::string_view path, const Values& values);

  std::string Location() const override { return "the memory store"; }
  std::string ProgramName() const override { return "Vantorel"; }
  bool KeyExists(int32_t root, std::string_view path) override { return Find(root, path); }
  std::optional<store::StoredValue> ReadValue(int32_t root, std::string_view path, std::string_view name) override;
  std::optional<std::vector<std::string>> ValueNames(int32_t root, std::string_view path) override {
    return List(root, path, false);
  }
  std::optional<std::vector<std::string>> SubkeyNames(int32_t root, std::string_view path) override {
    return List(root, path, true);
  }
  store::KeyValues ReadKey(int32_t root, std::string_view path, int waitMs) override;
  bool CreateKey(int32_t root, std::string_view path) override;
  bool DeleteKey(int32_t root, std::string_view path) override;
  store::WriteResult WriteValue(int32_t root, std::string_view path, std::string_view name, int32_t type,
                                std::string_view data) override;
  store::WriteResult DeleteValue(int32_t root, std::string_view path, std::string_view name) override;
  std::string LastFailure() const override { return failure_; }
  int LockWaitMs() const override { return store::kLockWaitMs; }
  std::string LockedReason(int ms) const override { return "locked for " + std::to_string(ms) + " ms"; }

 protected:
  void BeginTransaction() override;
  bool CommitTransaction() override;
  void EndTransaction() override;
  store::Access SetAccess(store::Access a) override { return std::exchange(access_, a); }
  void SetFailure(std::string why) { failure_ = std::move(why); }

 private:
  struct Key {
    std::string name;
    Values values;
  };
  // A key by its root and the folded names of its path, each ended by "\".
  using Id = std::pair<int32_t, std::string>;
  using Result = store::WriteResult;

  static Values::value_type* Named(Values& values, std::string_view name);
  static bool Child(const Id& parent, const Id& id);
  // The key of a path and its names; nullopt for a path that names no key
  // (an empty or overlong name, a root that is not one).
  static std::optional<Id> MakeId(int32_t root, std::string_view path, std::vector<std::string>* names = nullptr);
  Key* Find(int32_t root, std::string_view path);
  Key* Make(int32_t root, std::string_view path);
  // The names of a key's values, or of its subkeys (in folded order, as the map keeps them).
  std::optional<std::vector<std::string>> List(int32_t root, std::string_view path, bool subkeys);
  // A refused write fails the transaction it is in; a key or value the write
  // cannot find or take does not.
  template <class F>
  Result Write(F body);

  std::map<Id, Key> keys_, saved_;
  store::Access access_ = store::Access::ReadWrite;
  bool inTransaction_ = false, transactionFailed_ = false;
  int writesLeft_ = -1;
  std::string failure_;
};

}  // namespace vantorel::platform
