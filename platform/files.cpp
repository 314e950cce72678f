#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <vector>

namespace vantorel::platform {

namespace {

std::string Folder(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string ErrorText(int err) { return std::strerror(err); }

// rename that fails with EEXIST instead of replacing the target.
int RenameNoReplace(const char* from, const char* to) {
#ifdef SYS_renameat2
  long r = syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
  if (r == 0) return 0;
  if (errno != ENOSYS && errno != EINVAL) return -1;
#endif
  // Fallback for file systems without renameat2: link() never replaces.
  if (link(from, to) != 0) return -1;
  unlink(from);
  return 0;
}

// The process's file-creation mask, read without changing it (umask() itself
// can only be read by setting it, which would race with other threads).
mode_t CurrentUmask() {
  if (FILE* f = std::fopen("/proc/self/status", "re")) {
    char line[256];
    unsigned mask = 022;
    while (std::fgets(line, sizeof line, f))
      if (std::sscanf(line, "Umask: %o", &mask) == 1) break;
    std::fclose(f);
    return static_cast<mode_t>(mask & 0777);
  }
  return 022;
}

}  // namespace

bool NameTaken(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0) return true;
  return errno != ENOENT;  // anything but "no such file" is treated as taken
}

WriteResult WriteNewFile(const std::string& path, std::string_view bytes) {
  WriteResult res;
  if (NameTaken(path)) {
    res.status = WriteStatus::Exists;
    res.message = "The file " + path + " already exists.";
    return res;
  }
  std::string tmpl = Folder(path) + "/.vantorel-XXXXXX";
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  const int fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    res.message = "Cannot create a file in " + Folder(path) + ": " + ErrorText(errno) + ".";
    return res;
  }
  const std::string tmp(name.data());
  auto fail = [&](const std::string& what, int err) {
    close(fd);
    unlink(tmp.c_str());
    res.status = WriteStatus::Failed;
    res.message = what + ": " + ErrorText(err) + ".";
    return res;
  };
  fchmod(fd, 0666 & ~CurrentUmask());
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t w = write(fd, bytes.data() + done, bytes.size() - done);
    if (w < 0) {
      if (errno == EINTR) continue;
      return fail("Cannot write " + path, errno);
    }
    done += static_cast<size_t>(w);
  }
  if (fsync(fd) != 0) return fail("Cannot write " + path, errno);
  if (close(fd) != 0) {
    const int err = errno;
    unlink(tmp.c_str());
    res.message = "Cannot write " + path + ": " + ErrorText(err) + ".";
    return res;
  }
  if (RenameNoReplace(tmp.c_str(), path.c_str()) != 0) {
    const int err = errno;
    unlink(tmp.c_str());
    res.status = err == EEXIST ? WriteStatus::Exists : WriteStatus::Failed;
    res.message = err == EEXIST ? "The file " + path + " already exists." : "Cannot create " + path + ": " + ErrorText(err) + ".";
    return res;
  }
  res.status = WriteStatus::Ok;
  return res;
}

std::string ExecutableFolder() {
  std::vector<char> buf(4096);
  const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return ".";
  return Folder(std::string(buf.data(), static_cast<size_t>(n)));
}

std::string ExecutableName() {
  std::vector<char> buf(4096);
  const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return "Vantorel";
  std::string p(buf.data(), static_cast<size_t>(n));
  p = p.substr(p.rfind('/') + 1);
  const auto dot = p.rfind('.');
  if (dot != std::string::npos && dot > 0) p = p.substr(0, dot);
  return p;
}

}  // namespace vantorel::platform
