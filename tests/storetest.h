// Test support for the settings store: every test gets its own empty configuration
// folder (XDG_CONFIG_HOME and HOME in a fresh temporary folder), never the real home.
#pragma once

#include <spawn.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>

#include "platform/files.h"
#include "platform/store.h"
#include "settings/registry.h"

namespace storetest {

namespace fs = std::filesystem;
namespace st = vantorel::platform::store;

inline std::string ReadAll(const fs::path& p) { std::ifstream in(p, std::ios::binary); return {std::istreambuf_iterator<char>(in), {}}; }
inline void WriteAll(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }
inline bool WaitFor(const fs::path& p, int ms) { for (int w = 0; w < ms && !fs::exists(p); ++w) usleep(1000); return fs::exists(p); }
inline std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename());
  return names;
}
// The damaged store files kept aside (registry.sqlite3.corrupt-<time>[-n]), oldest first, not their logs.
inline std::vector<std::string> KeptAside(const fs::path& folder) {
  std::vector<std::string> found;
  for (const std::string& n : Names(folder))
    if (n.starts_with("registry.sqlite3.corrupt-") && n.back() >= '0' && n.back() <= '9') found.push_back(n);
  return found;
}

#ifdef STORE_HELPER
// Starts the helper program (another copy of the program) with these arguments.
inline pid_t Helper(std::string mode, std::string a, std::string b = "") {
  char* argv[] = {const_cast<char*>(STORE_HELPER), mode.data(), a.data(), b.empty() ? nullptr : b.data(), nullptr};
  pid_t pid = -1;
  return posix_spawn(&pid, STORE_HELPER, nullptr, nullptr, argv, environ) == 0 ? pid : -1;
}
#endif

// What f raises as "number source: description"; Error(n, d) is that of the class's own error.
inline std::string Error(long n, const std::string& d, const std::string& source = "") {
  return std::to_string(n) + " " + (source.empty() ? vantorel::platform::ExecutableName() + ".cRegistry" : source) + ": " + d;
}
template <class F>
std::string Raised(F f) {
  try { f(); } catch (const vantorel::RegistryError& e) { return Error(e.number(), e.description(), e.source()); }
  return "nothing raised";
}

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(mkdtemp(root_.data()), nullptr);
    setenv("XDG_CONFIG_HOME", (TempRoot() / "config").c_str(), 1);
    setenv("HOME", (TempRoot() / "home").c_str(), 1);
    st::testing::CloseConnection();
  }
  void TearDown() override {
    st::testing::CloseConnection();
    st::testing::OpenReadOnlyAfterWrites(-1);
    fs::remove_all(root_, ec_);
  }
  fs::path TempRoot() const { return root_; }
  fs::path Folder() const { return TempRoot() / "config" / "Morvale Services"; }
  fs::path StoreFile() const { return Folder() / "registry.sqlite3"; }

 private:
  std::string root_ = (fs::temp_directory_path() / "vantorel-store-XXXXXX").string();
  std::error_code ec_;
};

}  // namespace storetest
