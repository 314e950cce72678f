// The file layer on Linux: POSIX calls, /proc and the XDG folders.
#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <fstream>
#include <vector>

namespace vantorel::platform {

char FolderSeparator() { return '/'; }
bool IsFolderSeparator(char c) { return c == '/'; }

namespace {

std::string ErrorText(int err) { return std::strerror(err); }

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

ReadResult ReadSmallFile(const std::string& path, size_t maxBytes) {
  ReadResult r;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    r.message = ErrorText(errno);
    return r;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<uintmax_t>(st.st_size) > maxBytes) {
    r.message = S_ISDIR(st.st_mode) ? "it is a folder" : "it is larger than " + std::to_string(maxBytes) + " bytes";
    ::close(fd);
    return r;
  }
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      r.message = ErrorText(errno);
      ::close(fd);
      return r;
    }
    if (n == 0) break;
    r.bytes.append(buf, static_cast<size_t>(n));
    if (r.bytes.size() > maxBytes) {
      r.message = "it is larger than " + std::to_string(maxBytes) + " bytes";
      ::close(fd);
      return r;
    }
  }
  ::close(fd);
  r.ok = true;
  return r;
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
  if (RenameNoReplace(tmp, path) != 0) {
    const int err = errno;
    unlink(tmp.c_str());
    res.status = err == EEXIST ? WriteStatus::Exists : WriteStatus::Failed;
    res.message = err == EEXIST ? "The file " + path + " already exists."
                                : "Cannot create " + path + ": " + ErrorText(err) + ".";
    return res;
  }
  res.status = WriteStatus::Ok;
  return res;
}

bool WriteStandard(bool error, std::string_view utf8) {
  std::FILE* to = error ? stderr : stdout;
  const bool ok = std::fwrite(utf8.data(), 1, utf8.size(), to) == utf8.size();
  return std::fflush(to) == 0 && ok;
}

bool UnderSystemPrefix(const std::string& folder) {
  for (const char* prefix : {"/usr", "/opt", "/bin", "/sbin", "/snap", "/app", "/nix"}) {
    const std::string_view p = prefix;
    if (folder.rfind(p, 0) == 0 && (folder.size() == p.size() || folder[p.size()] == '/')) return true;
  }
  return false;
}

std::string ExecutableFolder() {
  std::vector<char> buf(4096);
  const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return ".";
  return Folder(std::string(buf.data(), static_cast<size_t>(n)));
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>{};
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

std::string HomeFolder() {
  if (const char* h = std::getenv("HOME"); h && h[0] == '/') return h;
  struct passwd pw {};
  struct passwd* found = nullptr;
  std::vector<char> buf(16384);
  if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir &&
      found->pw_dir[0] == '/')
    return found->pw_dir;
  return "/";
}

std::string ConfigFolder() {
  // A relative or empty XDG_CONFIG_HOME is ignored, as the XDG rules say.
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && x[0] == '/') return x;
  return HomeFolder() + "/.config";
}

int RenameNoReplace(const std::string& from, const std::string& to) {
#ifdef SYS_renameat2
  if (syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != ENOSYS && errno != EINVAL) return -1;
#endif
  // Fallback for file systems without renameat2: link() never replaces.
  if (link(from.c_str(), to.c_str()) != 0) return -1;
  unlink(from.c_str());
  return 0;
}

std::string DocumentsFolder() {
  const std::string home = HomeFolder();
  const std::string config = ConfigFolder();
  // Lines read XDG_DOCUMENTS_DIR="$HOME/Documents" or XDG_DOCUMENTS_DIR="/abs/path";
  // the last such line counts, as the shell that sources the file would have it.
  std::string found;
  std::ifstream in(config + "/user-dirs.dirs");
  const std::string key = "XDG_DOCUMENTS_DIR=\"";
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(key, 0) != 0 || line.size() < key.size() + 1 || line.back() != '"') continue;
    std::string value = line.substr(key.size(), line.size() - key.size() - 1);
    if (value == "$HOME" || value.rfind("$HOME/", 0) == 0)
      found = home + value.substr(5);
    else if (!value.empty() && value[0] == '/')
      found = value;
  }
  if (found.empty()) found = home + "/Documents";
  while (found.size() > 1 && found.back() == '/') found.pop_back();
  return found;
}

std::string MakePrivateFolders(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return {};
    return path + " is not a folder.";
  }
  if (errno != ENOENT) return "Cannot use " + path + ": " + ErrorText(errno) + ".";
  const std::string parent = Folder(path);
  if (parent != path) {
    if (std::string why = MakePrivateFolders(parent); !why.empty()) return why;
  }
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
    return "Cannot create the folder " + path + ": " + ErrorText(errno) + ".";
  if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return path + " is not a folder.";
  return {};
}

}  // namespace vantorel::platform
