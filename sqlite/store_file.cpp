// The store's file and folder: where they are, how they are made, and the
// checks made on them before SQLite opens the file.
#include <cerrno>
#include <climits>
#include <cstring>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <linux/fs.h>
#include <pwd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <vector>

#include "platform/files.h"
#include "sqlite/store_internal.h"

namespace vantorel::sqlite::detail {

namespace {

void SyncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
}

}  // namespace

std::string StoreFolder() { return platform::ConfigFolder() + "/" + kFolderName; }

std::optional<std::string> ResolvedFolder(bool create) {
  const std::string folder = StoreFolder();
  if (create && !platform::MakePrivateFolders(folder).empty()) return std::nullopt;
  char* real = realpath(folder.c_str(), nullptr);
  if (!real) return std::nullopt;
  std::string resolved = real;
  std::free(real);
  return resolved;
}

bool CreateStoreFile(const std::string& path, bool& made) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  made = fd >= 0;
  if (fd < 0) return errno == EEXIST;
  fchmod(fd, 0600);
  const bool ok = fsync(fd) == 0;
  close(fd);
  SyncFolder(platform::Folder(path));
  return ok;
}

bool SameFile(const std::string& path, dev_t dev, ino_t ino) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && st.st_dev == dev && st.st_ino == ino;
}

// The file goes to e.g. registry.sqlite3.corrupt-20261205-193000. Does
// nothing when the file at path is no longer the one examined.
std::string KeepAside(const std::string& path, dev_t dev, ino_t ino) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  if (std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local) == 0) return {};
  for (int n = 1; n <= 100; ++n) {
    if (!SameFile(path, dev, ino)) return {};
    std::string target = path + ".corrupt-" + stamp;
    if (n > 1) target.append("-").append(std::to_string(n));
    if (platform::RenameNoReplace(path, target) == 0) {
      for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        const std::string extra = path + suffix;
        if (access(extra.c_str(), F_OK) == 0) platform::RenameNoReplace(extra, target + suffix);
      }
      SyncFolder(platform::Folder(path));
      return target;
    }
    if (errno != EEXIST) return {};
  }
  return {};
}

std::string NewFileBeside(const std::string& path) {
  std::string name = path + ".new-XXXXXX";
  const int fd = mkostemp(name.data(), O_CLOEXEC);  // mode 0600
  if (fd < 0) return {};
  close(fd);
  return name;
}

namespace {

// Copies one file whole; false when it cannot be read or the copy written.
bool CopyFile(const std::string& from, const std::string& to) {
  const int in = open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (in < 0) return false;
  const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  bool ok = out >= 0;
  char buf[65536];
  while (ok) {
    const ssize_t n = read(in, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    for (ssize_t done = 0; ok && done < n;) {
      const ssize_t w = write(out, buf + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      ok = w > 0;
      if (ok) done += w;
    }
  }
  if (out >= 0 && close(out) != 0) ok = false;
  close(in);
  return ok;
}

bool SameState(const struct stat& a, const struct stat& b) {
  return a.st_ino == b.st_ino && a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
         a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

}  // namespace

std::optional<std::string> PrivateCopy(const std::string& path, const char* companion) {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = std::string(tmp && tmp[0] == '/' ? tmp : "/tmp") + "/vantorel-XXXXXX";
  if (!mkdtemp(folder.data())) return std::nullopt;
  const std::string copy = folder + "/" + kFileName;
  // The pair is copied again when either file changed meanwhile.
  for (int attempt = 0; attempt < 3; ++attempt) {
    struct stat file1 {
    }, extra1{}, file2{}, extra2{};
    unlink(copy.c_str());
    unlink((copy + companion).c_str());
    const bool hasExtra = lstat((path + companion).c_str(), &extra1) == 0;
    if (lstat(path.c_str(), &file1) != 0) break;
    if ((hasExtra && !CopyFile(path + companion, copy + companion)) || !CopyFile(path, copy)) break;
    if (lstat(path.c_str(), &file2) == 0 && SameState(file1, file2) &&
        (lstat((path + companion).c_str(), &extra2) == 0) == hasExtra && (!hasExtra || SameState(extra1, extra2)))
      return copy;
  }
  RemovePrivateCopy(copy);
  return std::nullopt;
}

void RemovePrivateCopy(const std::string& copyPath) {
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) unlink((copyPath + suffix).c_str());
  rmdir(platform::Folder(copyPath).c_str());
}

std::string SystemReason(int e) { return std::strerror(e); }

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
  if (got < sizeof h ||
      std::string_view(reinterpret_cast<const char*>(h), sizeof kMagic) != std::string_view(kMagic, sizeof kMagic))
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

}  // namespace vantorel::sqlite::detail
