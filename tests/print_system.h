// A print system for libcups to find through CUPS_SERVER, for the length of
// a scope: a socket that takes connections and never answers (a hung
// scheduler), or one that nothing listens on (no print system at all).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

struct PrintSystemAt {
  PrintSystemAt(const std::string& path, bool silent) : path(path), fd(silent ? socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0) : -1) {
    sockaddr_un at{AF_UNIX, {}};
    path.copy(at.sun_path, sizeof at.sun_path - 1);
    // Never accepted: every connection waits in the backlog.
    EXPECT_TRUE(!silent || (bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) | listen(fd, 64)) == 0);
    setenv("CUPS_SERVER", path.c_str(), 1);
  }
  ~PrintSystemAt() {
    // Closing resets the waiting connections: an abandoned ask ends at once,
    // before the environment it reads changes.
    if (fd >= 0) close(fd), unlink(path.c_str());
    usleep(100000);
    unsetenv("CUPS_SERVER");
  }
  const std::string path;
  const int fd;
};
