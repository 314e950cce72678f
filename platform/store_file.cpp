// The store's file and folder: where they are, how they are made, and the
// checks made on them before SQLite opens the file.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <linux/fs.h>
#include <pwd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <vector>

#include "platform/files.h"
#include "platform/store_internal.h"

namespace vantorel::platform::store::detail {

namespace {

void SyncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
}

}  // namespace

std::string StoreFolder() { return ConfigFolder() + "/" + kFolderName; }

std::optional<std::string> ResolvedFolder(bool create) {
  const std::string folder = StoreFolder();
  if (create && !MakePrivateFolders(folder).empty()) return std::nullopt;
  char* real = realpath(folder.c_str(), nullptr);
  if (!real) return std::nullopt;
  std::string resolved = real;
  std::free(real);
  return resolved;
}

bool CreateStoreFile(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return errno == EEXIST;
  fchmod(fd, 0600);
  const bool ok = fsync(fd) == 0;
  close(fd);
  SyncFolder(Folder(path));
  return ok;
}

bool SameFile(const std::string& path, dev_t dev, ino_t ino) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && st.st_dev == dev && st.st_ino == ino;
}

// The file goes to e.g. registry.sqlite3.corrupt-20261205-193000. Does
// nothing when the file at path is no longer the one examined.
bool KeepAside(const std::string& path, dev_t dev, ino_t ino) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  if (std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local) == 0) return false;
  for (int n = 1; n <= 100; ++n) {
    if (!SameFile(path, dev, ino)) return false;
    std::string target = path + ".corrupt-" + stamp;
    if (n > 1) target.append("-").append(std::to_string(n));
    if (RenameNoReplace(path, target) == 0) {
      for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        const std::string extra = path + suffix;
        if (access(extra.c_str(), F_OK) == 0) RenameNoReplace(extra, target + suffix);
      }
      SyncFolder(Folder(path));
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

void MatchLeftoverModes(const std::string& path, mode_t storeMode) {
  for (const char* suffix : {"-wal", "-shm"}) {
    const std::string extra = path + suffix;
    struct stat st {};
    if (lstat(extra.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) continue;
    if ((st.st_mode & 07777) != (storeMode & 0777)) chmod(extra.c_str(), storeMode & 0777);
  }
}

Header ReadHeader(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Header::Unreadable;
  unsigned char h[100];
  size_t got = 0;
  bool failed = false;
  while (got < sizeof h) {
    const ssize_t n = read(fd, h + got, sizeof h - got);
    if (n < 0 && errno == EINTR) continue;
    failed = n < 0;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  close(fd);
  if (failed) return Header::Unreadable;
  if (got == 0) return Header::Empty;
  static const char kMagic[] = "SQLite format 3";  // with its zero byte: 16 bytes
  if (got < sizeof h || std::string_view(reinterpret_cast<const char*>(h), 16) != std::string_view(kMagic, 16))
    return Header::NotSqlite;
  // Bytes 18 and 19: the file format versions for writing and reading, 2 in WAL mode.
  return h[18] == 2 || h[19] == 2 ? Header::Wal : Header::Rollback;
}

bool Beside(const std::string& path, const char* suffix, bool nonEmpty) {
  struct stat st {};
  return lstat((path + suffix).c_str(), &st) == 0 && (!nonEmpty || st.st_size > 0);
}

std::string ImmutableUri(const std::string& path) {
  std::string uri = "file:";
  static const char* hex = "0123456789ABCDEF";
  for (unsigned char c : path) {
    if (c == '%' || c == '?' || c == '#' || c <= 0x20 || c >= 0x7f) {
      uri += '%';
      uri += hex[c >> 4];
      uri += hex[c & 15];
    } else {
      uri += static_cast<char>(c);
    }
  }
  return uri + "?immutable=1";
}

}  // namespace vantorel::platform::store::detail
