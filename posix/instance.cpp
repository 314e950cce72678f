#include "posix/instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vantorel::posix {

namespace {

std::string RuntimeFolder() {
  if (const char* dir = std::getenv("XDG_RUNTIME_DIR"); dir && dir[0] == '/') return dir;
  // Without one: a folder of this user's own under /tmp.
  std::string mine = "/tmp/vantorel-" + std::to_string(getuid());
  if (mkdir(mine.c_str(), 0700) != 0 && errno != EEXIST) return {};
  struct stat st {};
  if (lstat(mine.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return {};
  return mine;
}

bool Address(const std::string& path, sockaddr_un& to) {
  to = {};
  to.sun_family = AF_UNIX;
  if (path.size() >= sizeof to.sun_path) return false;
  std::memcpy(to.sun_path, path.c_str(), path.size() + 1);
  return true;
}

}  // namespace

SingleInstance::SingleInstance(const std::string& name, std::string folder) {
  if (folder.empty()) folder = RuntimeFolder();
  if (folder.empty() || name.empty() || name.find('/') != std::string::npos) return;
  lockPath_ = folder + "/vantorel-" + name + ".lock";
  socketPath_ = folder + "/vantorel-" + name + ".socket";
  lock_ = open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (lock_ < 0) return;
  if (flock(lock_, LOCK_EX | LOCK_NB) != 0) {
    first_ = errno != EWOULDBLOCK;  // held by a running copy; any other failure lets this one run
    close(lock_);
    lock_ = -1;
    return;
  }
  // The lock is ours: a socket left by a copy that crashed goes.
  unlink(socketPath_.c_str());
  sockaddr_un at;
  if (!Address(socketPath_, at)) return;
  listen_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listen_ >= 0 && (bind(listen_, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(listen_, 4) != 0)) {
    close(listen_);
    listen_ = -1;
  }
}

SingleInstance::~SingleInstance() {
  if (listen_ >= 0) {
    close(listen_);
    unlink(socketPath_.c_str());
  }
  if (lock_ >= 0) close(lock_);  // the lock goes with the file's last descriptor
}

bool SingleInstance::KnockOnFirst() const {
  sockaddr_un at;
  if (first_ || !Address(socketPath_, at)) return false;
  const int s = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) return false;
  // The connection is the knock; the first copy may close it before the word arrives.
  const bool knocked = connect(s, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
  if (knocked) (void)send(s, "raise\n", 6, MSG_NOSIGNAL);
  close(s);
  return knocked;
}

bool SingleInstance::TakeKnock() const {
  if (listen_ < 0) return false;
  const int s = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
  if (s < 0) return false;
  close(s);
  return true;
}

}  // namespace vantorel::posix
