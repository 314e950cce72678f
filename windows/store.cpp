// The settings on Windows live in the registry, which this version does not
// reach yet: every read says so (with nothing read), every write is refused,
// and nothing is ever written anywhere else in their place.
#include "platform/store.h"

#include "platform/files.h"

namespace vantorel::platform {

namespace {

constexpr const char* kNotYet = "the Windows registry is not read or written by this version of the program";

class RegistryNotYet final : public Store {
  using Result = store::WriteResult;

 public:
  std::string Location() const override { return "HKEY_CURRENT_USER\\Software\\Morvale Services"; }
  std::string ProgramName() const override { return ExecutableName(); }
  bool KeyExists(int32_t, std::string_view) override { return false; }
  std::optional<store::StoredValue> ReadValue(int32_t, std::string_view, std::string_view) override {
    return std::nullopt;
  }
  std::optional<std::vector<std::string>> ValueNames(int32_t, std::string_view) override { return std::nullopt; }
  std::optional<std::vector<std::string>> SubkeyNames(int32_t, std::string_view) override { return std::nullopt; }
  store::KeyValues ReadKey(int32_t, std::string_view, int) override {
    store::KeyValues out;
    out.status = store::KeyStatus::Unreadable;
    out.reason = kNotYet;
    return out;
  }
  bool CreateKey(int32_t, std::string_view) override { return false; }
  bool DeleteKey(int32_t, std::string_view) override { return false; }
  Result WriteValue(int32_t, std::string_view, std::string_view, int32_t, std::string_view) override {
    return Result::KeyFailed;
  }
  Result DeleteValue(int32_t, std::string_view, std::string_view) override { return Result::KeyFailed; }
  std::string LastFailure() const override { return kNotYet; }
  int LockWaitMs() const override { return store::kLockWaitMs; }
  std::string LockedReason(int) const override { return kNotYet; }

 protected:
  void BeginTransaction() override {}
  bool CommitTransaction() override { return false; }
  void EndTransaction() override {}
  store::Access SetAccess(store::Access a) override { return a; }
};

}  // namespace

std::unique_ptr<Store> OpenProgramStore() { return std::make_unique<RegistryNotYet>(); }

}  // namespace vantorel::platform
