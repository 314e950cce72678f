// A settings store in memory, for tests of what lies above the store: the
// key and name rules of every store, transactions, read-only access, and on
// request refused writes.
#pragma once

#include <algorithm>
#include <map>
#include <utility>

#include "platform/store.h"

namespace vantorel::test {

class MemoryStore : public platform::Store {
  using Result = platform::store::WriteResult;
  using Values = std::vector<std::pair<std::string, platform::store::StoredValue>>;
  struct Key { std::string name; Values values; };
  // A key by its root and the folded names of its path, each ended by "\".
  using Id = std::pair<int32_t, std::string>;

 public:
  // After n more writes every write fails (negative: never).
  void FailWritesAfter(int n) { writesLeft_ = n; }
  // The next n reads of a whole key find it locked by another program.
  int lockedReads = 0;

  std::string Location() const override { return "the memory store"; }
  std::string ProgramName() const override { return "Vantorel"; }
  bool KeyExists(int32_t root, std::string_view path) override { return Find(root, path); }
  std::optional<platform::store::StoredValue> ReadValue(int32_t root, std::string_view path, std::string_view name) override {
    const auto v = Find(root, path) ? Named(Find(root, path)->values, name) : nullptr;
    return v ? std::optional(v->second) : std::nullopt;
  }
  std::optional<std::vector<std::string>> ValueNames(int32_t root, std::string_view path) override { return List(root, path, false); }
  std::optional<std::vector<std::string>> SubkeyNames(int32_t root, std::string_view path) override { return List(root, path, true); }
  platform::store::KeyValues ReadKey(int32_t root, std::string_view path, int) override {
    platform::store::KeyValues out;
    if (lockedReads > 0 && lockedReads--) return {platform::store::KeyStatus::Unreadable, {}, "locked", true, {}};
    if (const Key* k = Find(root, path)) out.status = platform::store::KeyStatus::Read, out.values = k->values;
    return out;
  }
  bool CreateKey(int32_t root, std::string_view path) override { return Write([&] { return Make(root, path) ? Result::Ok : Result::KeyFailed; }) == Result::Ok; }
  bool DeleteKey(int32_t root, std::string_view path) override {
    return Write([&] {
             const auto id = MakeId(root, path);
             const bool leaf = id && id->second.size() && keys_.count(*id) && std::none_of(keys_.begin(), keys_.end(), [&](const auto& k) { return Child(*id, k.first); });
             return leaf ? (keys_.erase(*id), Result::Ok) : Result::KeyFailed;
           }) == Result::Ok;
  }
  Result WriteValue(int32_t root, std::string_view path, std::string_view name, int32_t type, std::string_view data) override {
    return Write([&] {
      Key* k = Make(root, path);
      if (!k || name.size() > platform::store::kMaxValueName || name.find('\0') != name.npos) return k ? Result::ValueFailed : Result::KeyFailed;
      if (auto* v = Named(k->values, name)) return v->second = {type, std::string(data)}, Result::Ok;
      return k->values.push_back({std::string(name), {type, std::string(data)}}), Result::Ok;
    });
  }
  Result DeleteValue(int32_t root, std::string_view path, std::string_view name) override {
    return Write([&] {
      Key* k = Find(root, path);
      auto* v = k ? Named(k->values, name) : nullptr;
      return !k ? Result::KeyFailed : v ? (k->values.erase(k->values.begin() + (v - k->values.data())), Result::Ok) : Result::ValueFailed;
    });
  }
  std::string LastFailure() const override { return failure_; }
  int LockWaitMs() const override { return platform::store::kLockWaitMs; }
  std::string LockedReason(int ms) const override { return "locked for " + std::to_string(ms) + " ms"; }

 protected:
  void BeginTransaction() override { saved_ = keys_, inTransaction_ = true, transactionFailed_ = false; }
  bool CommitTransaction() override { return !transactionFailed_ && (saved_ = keys_, true); }
  void EndTransaction() override { keys_ = saved_, inTransaction_ = false; }
  platform::store::Access SetAccess(platform::store::Access a) override { return std::exchange(access_, a); }

 private:
  static Values::value_type* Named(Values& values, std::string_view name) {
    const auto v = std::find_if(values.begin(), values.end(), [&](const auto& v) { return platform::store::FoldName(v.first) == platform::store::FoldName(name); });
    return v == values.end() ? nullptr : &*v;
  }
  static bool Child(const Id& parent, const Id& id) {
    return id.first == parent.first && id.second.starts_with(parent.second) && id.second.size() > parent.second.size() &&
           id.second.find('\\', parent.second.size()) + 1 == id.second.size();
  }
  // The key of a path and its names; nullopt for a path that names no key (an empty or overlong name).
  static std::optional<Id> MakeId(int32_t root, std::string_view path, std::vector<std::string>* names = nullptr) {
    std::string id;
    for (size_t start = 0, end = 0; start < path.size(); start = end + 1) {
      end = std::min(path.find('\\', start), path.size());
      const std::string_view name = path.substr(start, end - start);
      if (name.empty() || name.size() > platform::store::kMaxKeyName || name.find('\0') != name.npos) return std::nullopt;
      id += platform::store::FoldName(name) + "\\";
      if (names) names->emplace_back(name);
    }
    return root > platform::store::kUsers ? std::nullopt : std::optional(Id{root, id});
  }
  Key* Find(int32_t root, std::string_view path) {
    const auto id = MakeId(root, path);
    if (id && id->second.empty()) return &keys_[*id];  // the roots are always there
    return id && keys_.count(*id) ? &keys_[*id] : nullptr;
  }
  Key* Make(int32_t root, std::string_view path) {
    std::vector<std::string> names;
    auto id = MakeId(root, path, &names);
    for (size_t depth = names.size(); id && depth > 0; --depth, id->second.erase(id->second.rfind('\\', id->second.size() - 2) + 1))
      keys_.try_emplace(*id, Key{names[depth - 1], {}});
    return Find(root, path);
  }
  // The names of a key's values, or of its subkeys (in folded order, as the map keeps them).
  std::optional<std::vector<std::string>> List(int32_t root, std::string_view path, bool subkeys) {
    const Key* key = Find(root, path);
    std::vector<std::string> out;
    for (const auto& v : key && !subkeys ? key->values : Values{}) out.push_back(v.first);
    for (const auto& [id, k] : keys_)
      if (key && subkeys && Child(*MakeId(root, path), id)) out.push_back(k.name);
    return key ? std::optional(out) : std::nullopt;
  }
  // A refused write fails the transaction it is in; a key or value the write cannot find or take does not.
  template <class F>
  Result Write(F body) {
    failure_.clear();
    const bool refused = access_ == platform::store::Access::ReadOnly || writesLeft_ == 0 || (inTransaction_ && transactionFailed_);
    if (refused && inTransaction_) keys_ = saved_, transactionFailed_ = true;
    return refused ? (failure_ = "refused", Result::KeyFailed) : (writesLeft_ -= writesLeft_ > 0, body());
  }

  std::map<Id, Key> keys_, saved_;
  platform::store::Access access_ = platform::store::Access::ReadWrite;
  bool inTransaction_ = false, transactionFailed_ = false;
  int writesLeft_ = -1;
  std::string failure_;
};

}  // namespace vantorel::test
