// Test support for the settings store: every test gets its own empty configuration
// folder (XDG_CONFIG_HOME and HOME in a fresh temporary folder), never the real home.
#pragma once

#include <spawn.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/store.h"
#include "settings/registry.h"

namespace storetest {

namespace fs = std::filesystem;
namespace st = vantorel::platform::store;

inline std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}
inline void WriteAll(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }
inline long FileCount(const fs::path& folder) { return std::distance(fs::directory_iterator(folder), {}); }

// The damaged store files kept aside (registry.sqlite3.corrupt-<time>[-n]), not their logs.
inline std::vector<fs::path> KeptAside(const fs::path& folder) {
  std::vector<fs::path> found;
  for (const auto& e : fs::directory_iterator(folder))
    if (const std::string n = e.path().filename(); n.starts_with("registry.sqlite3.corrupt-") && isdigit(n.back()))
      found.push_back(e.path());
  return found;
}

#ifdef STORE_HELPER
// Starts the helper program (another copy of the program) with these arguments.
inline pid_t Helper(std::vector<std::string> args) {
  args.insert(args.begin(), STORE_HELPER);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  return posix_spawn(&pid, STORE_HELPER, nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}
#endif

// Runs f, which must raise this error with the class's source.
template <class F>
void ExpectRegistryError(F f, long number, const std::string& description) {
  try {
    f();
    ADD_FAILURE() << "nothing raised; expected " << description;
  } catch (const vantorel::RegistryError& e) {
    EXPECT_EQ(e.number(), number);
    EXPECT_EQ(e.source(), vantorel::platform::ExecutableName() + ".cRegistry");
    EXPECT_EQ(e.description(), description);
  }
}

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "vantorel-store-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    root_ = tmpl;
    setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    setenv("HOME", (root_ / "home").c_str(), 1);
    st::testing::CloseConnection();
  }
  void TearDown() override {
    st::testing::CloseConnection();
    st::testing::OpenReadOnlyAfterWrites(-1);
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  fs::path Folder() const { return root_ / "config" / "Morvale Services"; }
  fs::path StoreFile() const { return Folder() / "registry.sqlite3"; }
  fs::path TempRoot() const { return root_; }

 private:
  fs::path root_;
};

}  // namespace storetest
