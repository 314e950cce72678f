// The settings store in the browser: the tree in memory, loaded from the
// site's IndexedDB database before the window starts, and written back
// whole, in one IndexedDB transaction, after every commit. A database the
// page could not read (another program's, a later version's, damaged)
// leaves the store unreadable: every key reads as such, with the reason,
// and every write is refused, so nothing is written over it.
#pragma once

#include <optional>
#include <string>

#include "platform/memorystore.h"

namespace vantorel::web {

class BrowserStore final : public platform::MemoryStore {
 public:
  // Where the settings are, for messages.
  static constexpr char kLocation[] = "this browser's storage for this site (IndexedDB database \"Vantorel\")";

  // The database could not be read, for this reason.
  void Unreadable(std::string why);
  // The browser refused the last write of the tree, for this reason (told
  // once the write has ended, after the commit that started it).
  void WriteFailed(std::string why) { writeFailure_ = std::move(why); }

  std::string Location() const override { return kLocation; }
  platform::store::KeyValues ReadKey(int32_t root, std::string_view path, int waitMs) override;
  std::string LastFailure() const override;

 protected:
  bool CommitTransaction() override;

 private:
  std::optional<std::string> unreadable_;
  std::string writeFailure_;
};

}  // namespace vantorel::web
