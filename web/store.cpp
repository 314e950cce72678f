#include "web/store.h"

#include "web/bridge.h"

namespace vantorel::web {

void BrowserStore::Unreadable(std::string why) {
  unreadable_ = std::move(why);
  FailWritesAfter(0);
}

platform::store::KeyValues BrowserStore::ReadKey(int32_t root, std::string_view path, int waitMs) {
  if (unreadable_) return {platform::store::KeyStatus::Unreadable, {}, *unreadable_, false, {}};
  return MemoryStore::ReadKey(root, path, waitMs);
}

std::string BrowserStore::LastFailure() const {
  if (unreadable_) return "the store could not be read (" + *unreadable_ + "), so nothing is written over it";
  return MemoryStore::LastFailure();
}

bool BrowserStore::CommitTransaction() {
  if (!MemoryStore::CommitTransaction()) return false;
  vtjs_store_begin();
  for (const KeyCopy& key : Snapshot()) {
    vtjs_store_key(key.root, key.path.c_str());
    for (const auto& [name, value] : key.values)
      vtjs_store_value(name.c_str(), value.type, value.data.data(), value.data.size());
  }
  vtjs_store_commit();
  return true;
}

}  // namespace vantorel::web
