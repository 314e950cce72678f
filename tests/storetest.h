// Test support for the settings store: every test gets its own empty
// configuration folder (XDG_CONFIG_HOME and HOME point into a fresh
// temporary folder), so no test ever touches the real home.
#pragma once

#include <fcntl.h>
#include <linux/fs.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "platform/store.h"

extern char** environ;

namespace storetest {

namespace fs = std::filesystem;

inline std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteAll(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Sets or clears the immutable attribute (as chattr +i does); false when the
// file system or the process's privileges do not allow it.
inline bool SetImmutable(const fs::path& p, bool on) {
  const int fd = open(p.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (ok) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  close(fd);
  return ok;
}

// Files in the store's folder whose name starts with the given text.
inline std::vector<fs::path> FilesStartingWith(const fs::path& folder, const std::string& start) {
  std::vector<fs::path> found;
  if (!fs::exists(folder)) return found;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.path().filename().string().rfind(start, 0) == 0) found.push_back(e.path());
  return found;
}

// The damaged store files kept aside, without the logs that went with them.
inline std::vector<fs::path> KeptAside(const fs::path& folder) {
  std::vector<fs::path> found = FilesStartingWith(folder, "registry.sqlite3.corrupt-");
  std::erase_if(found, [](const fs::path& p) {
    const std::string n = p.string();
    return n.ends_with("-wal") || n.ends_with("-shm") || n.ends_with("-journal");
  });
  return found;
}

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "vantorel-store-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    root_ = tmpl;
    Remember("XDG_CONFIG_HOME");
    Remember("HOME");
    setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    setenv("HOME", (root_ / "home").c_str(), 1);
    vantorel::platform::store::testing::CloseConnection();
    vantorel::platform::store::testing::OpenReadOnlyAfterWrites(-1);
  }

  void TearDown() override {
    vantorel::platform::store::testing::CloseConnection();
    vantorel::platform::store::testing::OpenReadOnlyAfterWrites(-1);
    for (const fs::path& p : immutable_) SetImmutable(p, false);
    std::error_code ec;
    fs::remove_all(root_, ec);
    for (const auto& [name, value] : saved_) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
  }

  fs::path Folder() const { return root_ / "config" / "Morvale Services"; }
  fs::path StoreFile() const { return Folder() / "registry.sqlite3"; }
  fs::path TempRoot() const { return root_; }

  // Makes p immutable for the rest of the test; false when not possible here.
  bool MakeImmutable(const fs::path& p) {
    if (!SetImmutable(p, true)) return false;
    immutable_.push_back(p);
    return true;
  }

 private:
  void Remember(const std::string& name) {
    const char* v = std::getenv(name.c_str());
    saved_.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
  }

  fs::path root_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
  std::vector<fs::path> immutable_;
};

// Starts a program with extra environment settings; returns its process id.
inline pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv = {},
                   const std::string& stdoutFile = "") {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  for (const std::string& x : extraEnv) {
    const std::string key = x.substr(0, x.find('=') + 1);
    std::erase_if(env, [&](const std::string& v) { return v.rfind(key, 0) == 0; });
    env.push_back(x);
  }
  std::vector<char*> args, envp;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!stdoutFile.empty())
    posix_spawn_file_actions_addopen(&actions, 1, stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Exit status of a finished child, or -1 when it did not exit normally.
inline int Wait(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace storetest
