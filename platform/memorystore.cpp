#include "platform/memorystore.h"

#include <algorithm>

namespace vantorel::platform {

using store::FoldName;

MemoryStore::Values::value_type* MemoryStore::Named(Values& values, std::string_view name) {
  const std::string folded = FoldName(name);
  const auto v = std::find_if(values.begin(), values.end(), [&](const auto& v) { return FoldName(v.first) == folded; });
  return v == values.end() ? nullptr : &*v;
}

bool MemoryStore::Child(const Id& parent, const Id& id) {
  return id.first == parent.first && id.second.starts_with(parent.second) && id.second.size() > parent.second.size() &&
         id.second.find('\\', parent.second.size()) + 1 == id.second.size();
}

std::optional<MemoryStore::Id> MemoryStore::MakeId(int32_t root, std::string_view path,
                                                   std::vector<std::string>* names) {
  std::string id;
  for (size_t start = 0, end = 0; start < path.size(); start = end + 1) {
    end = std::min(path.find('\\', start), path.size());
    const std::string_view name = path.substr(start, end - start);
    if (name.empty() || name.size() > store::kMaxKeyName || name.find('\0') != std::string_view::npos)
      return std::nullopt;
    id += FoldName(name) + "\\";
    if (names) names->emplace_back(name);
  }
  if (root < store::kClassesRoot || root > store::kUsers) return std::nullopt;
  return Id{root, id};
}

MemoryStore::Key* MemoryStore::Find(int32_t root, std::string_view path) {
  const auto id = MakeId(root, path);
  if (id && id->second.empty()) return &keys_[*id];  // the roots are always there
  const auto k = id ? keys_.find(*id) : keys_.end();
  return k == keys_.end() ? nullptr : &k->second;
}

MemoryStore::Key* MemoryStore::Make(int32_t root, std::string_view path) {
  std::vector<std::string> names;
  auto id = MakeId(root, path, &names);
  for (size_t depth = names.size(); id && depth > 0;
       --depth, id->second.erase(id->second.rfind('\\', id->second.size() - 2) + 1))
    keys_.try_emplace(*id, Key{names[depth - 1], {}});
  return Find(root, path);
}

std::optional<std::vector<std::string>> MemoryStore::List(int32_t root, std::string_view path, bool subkeys) {
  const Key* key = Find(root, path);
  if (!key) return std::nullopt;
  std::vector<std::string> out;
  if (!subkeys)
    for (const auto& v : key->values) out.push_back(v.first);
  const Id parent = *MakeId(root, path);
  for (const auto& [id, k] : keys_)
    if (subkeys && Child(parent, id)) out.push_back(k.name);
  return out;
}

template <class F>
MemoryStore::Result MemoryStore::Write(F body) {
  failure_.clear();
  const bool refused = access_ == store::Access::ReadOnly || writesLeft_ == 0 || (inTransaction_ && transactionFailed_);
  if (refused && inTransaction_) keys_ = saved_, transactionFailed_ = true;
  if (refused) {
    failure_ = "refused";
    return Result::KeyFailed;
  }
  writesLeft_ -= writesLeft_ > 0;
  return body();
}

std::optional<store::StoredValue> MemoryStore::ReadValue(int32_t root, std::string_view path, std::string_view name) {
  Key* k = Find(root, path);
  const auto v = k ? Named(k->values, name) : nullptr;
  return v ? std::optional(v->second) : std::nullopt;
}

store::KeyValues MemoryStore::ReadKey(int32_t root, std::string_view path, int) {
  store::KeyValues out;
  if (lockedReads > 0) {
    --lockedReads;
    return {store::KeyStatus::Unreadable, {}, "locked", true, {}};
  }
  if (const Key* k = Find(root, path)) out.status = store::KeyStatus::Read, out.values = k->values;
  return out;
}

bool MemoryStore::CreateKey(int32_t root, std::string_view path) {
  return Write([&] { return Make(root, path) ? Result::Ok : Result::KeyFailed; }) == Result::Ok;
}

bool MemoryStore::DeleteKey(int32_t root, std::string_view path) {
  return Write([&] {
           const auto id = MakeId(root, path);
           const bool leaf =
               id && !id->second.empty() && keys_.count(*id) &&
               std::none_of(keys_.begin(), keys_.end(), [&](const auto& k) { return Child(*id, k.first); });
           if (!leaf) return Result::KeyFailed;
           keys_.erase(*id);
           return Result::Ok;
         }) == Result::Ok;
}

store::WriteResult MemoryStore::WriteValue(int32_t root, std::string_view path, std::string_view name, int32_t type,
                                           std::string_view data) {
  return Write([&] {
    Key* k = Make(root, path);
    if (!k) return Result::KeyFailed;
    if (name.size() > store::kMaxValueName || name.find('\0') != std::string_view::npos) return Result::ValueFailed;
    if (auto* v = Named(k->values, name))
      v->second = {type, std::string(data)};
    else
      k->values.push_back({std::string(name), {type, std::string(data)}});
    return Result::Ok;
  });
}

store::WriteResult MemoryStore::DeleteValue(int32_t root, std::string_view path, std::string_view name) {
  return Write([&] {
    Key* k = Find(root, path);
    if (!k) return Result::KeyFailed;
    auto* v = Named(k->values, name);
    if (!v) return Result::ValueFailed;
    k->values.erase(k->values.begin() + (v - k->values.data()));
    return Result::Ok;
  });
}

void MemoryStore::BeginTransaction() {
  saved_ = keys_;
  inTransaction_ = true;
  transactionFailed_ = false;
}

bool MemoryStore::CommitTransaction() {
  if (transactionFailed_) return false;
  saved_ = keys_;
  return true;
}

void MemoryStore::EndTransaction() {
  keys_ = saved_;
  inTransaction_ = false;
}

std::vector<MemoryStore::KeyCopy> MemoryStore::Snapshot() const {
  std::vector<KeyCopy> out;
  for (const auto& [id, k] : keys_) {
    if (id.second.empty()) continue;
    // The path as written: the names of the key and of each key above it.
    std::string path;
    for (size_t end = id.second.find('\\'); end != std::string::npos; end = id.second.find('\\', end + 1)) {
      const auto above = keys_.find({id.first, id.second.substr(0, end + 1)});
      if (above == keys_.end()) break;
      path += (path.empty() ? "" : "\\") + above->second.name;
    }
    out.push_back({id.first, path, k.values});
  }
  return out;
}

bool MemoryStore::Put(int32_t root, std::string_view path, const Values& values) {
  if (!MakeId(root, path) || path.empty()) return false;
  Key* k = Make(root, path);
  for (const auto& [name, value] : values) {
    if (auto* v = Named(k->values, name))
      v->second = value;
    else
      k->values.push_back({name, value});
  }
  return true;
}

}  // namespace vantorel::platform
