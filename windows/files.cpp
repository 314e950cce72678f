// The file layer on Windows: the wide-character Win32 calls, with every path
// turned from UTF-8 into UTF-16 on the way in and back on the way out.
#include "platform/files.h"

#include "wintext.h"  // beside this file: the wide-text helpers the Windows layer shares

#include <windows.h>
#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <vector>

namespace vantorel::windows {

std::optional<std::wstring> Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  if (utf8.size() > static_cast<size_t>(INT32_MAX)) return std::nullopt;
  const int in = static_cast<int>(utf8.size());
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), in, nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring out(static_cast<size_t>(n), L'\0');
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), in, out.data(), n) != n) return std::nullopt;
  return out;
}

std::string Narrow(const wchar_t* text, size_t length) {
  if (length == 0 || length > static_cast<size_t>(INT32_MAX)) return {};
  const int in = static_cast<int>(length);
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, in, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, in, out.data(), n, nullptr, nullptr);
  return out;
}

std::string ErrorText(DWORD err) {
  wchar_t* text = nullptr;
  const DWORD n =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, err, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string out = n ? Narrow(text, n) : std::string();
  if (text) LocalFree(text);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.'))
    out.pop_back();
  return out.empty() ? "error " + std::to_string(err) : out;
}

DWORD NewFileState(const std::string& path) {
  const auto wide = Wide(path);
  if (!wide) return ERROR_NO_UNICODE_TRANSLATION;
  // A link or junction is not followed: its own attributes answer.
  if (GetFileAttributesW(wide->c_str()) != INVALID_FILE_ATTRIBUTES) return ERROR_FILE_EXISTS;
  const DWORD err = GetLastError();
  return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND ? ERROR_SUCCESS : err;
}

}  // namespace vantorel::windows

namespace vantorel::platform {

using windows::ErrorText;
using windows::Narrow;
using windows::Wide;

char FolderSeparator() { return '\\'; }
bool IsFolderSeparator(char c) { return c == '/' || c == '\\'; }

namespace {

bool IsExistsError(DWORD err) { return err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS; }

// The full path of the running executable.
std::string ExecutablePath() {
  std::wstring buf(MAX_PATH, L'\0');
  for (int tries = 0; tries < 8; ++tries) {
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) return Narrow(buf.data(), n);
    buf.resize(buf.size() * 2);  // cut short: try again with more room
  }
  return {};
}

std::optional<std::string> KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::optional<std::string> out;
  if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path)) && path && path[0])
    out = Narrow(path, wcslen(path));
  CoTaskMemFree(path);
  return out;
}

struct Handle {
  HANDLE h;
  explicit Handle(HANDLE handle) : h(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  bool Close() {
    const bool ok = CloseHandle(h) != 0;
    h = INVALID_HANDLE_VALUE;
    return ok;
  }
};

}  // namespace

// A name the system cannot even be asked about, or refuses, is not free either.
bool NameTaken(const std::string& path) { return windows::NewFileState(path) != ERROR_SUCCESS; }

ReadResult ReadSmallFile(const std::string& path, size_t maxBytes) {
  ReadResult r;
  const auto wide = Wide(path);
  if (!wide) {
    r.message = "the name is not valid UTF-8";
    return r;
  }
  HANDLE h =
      CreateFileW(wide->c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    r.message = windows::ErrorText(GetLastError());
    return r;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(h, &size) || size.QuadPart < 0 || static_cast<uint64_t>(size.QuadPart) > maxBytes) {
    r.message = "it is larger than " + std::to_string(maxBytes) + " bytes";
    CloseHandle(h);
    return r;
  }
  r.bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  const bool read = r.bytes.empty() || ReadFile(h, r.bytes.data(), static_cast<DWORD>(r.bytes.size()), &got, nullptr);
  if (!read || got != r.bytes.size()) {
    r.message = read ? "it changed while it was read" : windows::ErrorText(GetLastError());
    CloseHandle(h);
    return r;
  }
  CloseHandle(h);
  r.ok = true;
  return r;
}

WriteResult WriteNewFile(const std::string& path, std::string_view bytes) {
  WriteResult res;
  const auto wide = Wide(path);
  if (!wide) {
    res.message = "Cannot create " + path + ": the name is not valid UTF-8.";
    return res;
  }
  // Only a name that is there is "already exists"; one the system refuses
  // (such as "a<b.csv") gets the system's reason.
  if (const DWORD state = windows::NewFileState(path); state != ERROR_SUCCESS) {
    const bool exists = state == ERROR_FILE_EXISTS;
    res.status = exists ? WriteStatus::Exists : WriteStatus::Failed;
    res.message = exists ? "The file " + path + " already exists."
                         : "Cannot create " + path + ": " + ErrorText(state) + ".";
    return res;
  }
  // The temporary file is made with CREATE_NEW (exclusive: never an existing
  // file) under a name of this process, the next one when that is taken.
  const std::string folder = Folder(path);
  std::wstring tmp;
  HANDLE h = INVALID_HANDLE_VALUE;
  DWORD err = ERROR_FILE_EXISTS;
  const uint64_t unique = (static_cast<uint64_t>(GetCurrentProcessId()) << 32) ^ GetTickCount64();
  for (uint32_t k = 0; k < 100 && h == INVALID_HANDLE_VALUE && IsExistsError(err); ++k) {
    const auto name = Wide(InFolder(folder, ".vantorel-" + std::to_string(unique + k) + ".tmp"));
    if (!name) break;
    tmp = *name;
    h = CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) err = GetLastError();
  }
  if (h == INVALID_HANDLE_VALUE) {
    res.message = "Cannot create a file in " + folder + ": " + ErrorText(err) + ".";
    return res;
  }
  Handle file(h);
  auto fail = [&](DWORD why) {
    if (file.h != INVALID_HANDLE_VALUE) file.Close();
    DeleteFileW(tmp.c_str());
    res.status = WriteStatus::Failed;
    res.message = "Cannot write " + path + ": " + ErrorText(why) + ".";
    return res;
  };
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file.h, bytes.data() + done, chunk, &written, nullptr) || written == 0) return fail(GetLastError());
    done += written;
  }
  if (!FlushFileBuffers(file.h)) return fail(GetLastError());
  if (!file.Close()) return fail(GetLastError());
  // The finished file takes its name only when nothing has it: no
  // MOVEFILE_REPLACE_EXISTING, so an existing file is never replaced.
  if (!MoveFileExW(tmp.c_str(), wide->c_str(), MOVEFILE_WRITE_THROUGH)) {
    err = GetLastError();
    DeleteFileW(tmp.c_str());
    res.status = IsExistsError(err) ? WriteStatus::Exists : WriteStatus::Failed;
    res.message = IsExistsError(err) ? "The file " + path + " already exists."
                                     : "Cannot create " + path + ": " + ErrorText(err) + ".";
    return res;
  }
  res.status = WriteStatus::Ok;
  return res;
}

// No folder is set aside here: the program's own folder is tried first and
// Windows refuses it where a standard user may not write (Program Files),
// and the export then goes to the documents folder.
bool WriteStandard(bool error, std::string_view utf8) {
  HANDLE to = GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  if (to == nullptr || to == INVALID_HANDLE_VALUE) return false;
  DWORD mode = 0;
  if (GetConsoleMode(to, &mode)) {
    const std::optional<std::wstring> wide = Wide(std::string(utf8));
    if (!wide) return false;
    // A console takes a limited amount at a time.
    for (size_t at = 0; at < wide->size();) {
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(wide->size() - at, 8192));
      DWORD written = 0;
      if (!WriteConsoleW(to, wide->data() + at, chunk, &written, nullptr) || written == 0) return false;
      at += written;
    }
    return true;
  }
  for (size_t at = 0; at < utf8.size();) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(utf8.size() - at, 1 << 20));
    DWORD written = 0;
    if (!WriteFile(to, utf8.data() + at, chunk, &written, nullptr) || written == 0) return false;
    at += written;
  }
  return true;
}

bool UnderSystemPrefix(const std::string& folder) {
  // The program folders Windows keeps for installed programs (an
  // administrator, or Wine, could write there; the uninstaller would then
  // leave the user's files behind).
  const auto folded = [](std::string p) {
    for (char& c : p) c = c == '/' ? '\\' : (c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
    while (p.size() > 3 && p.back() == '\\') p.pop_back();
    return p;
  };
  const std::string mine = folded(folder);
  for (REFKNOWNFOLDERID id : {FOLDERID_ProgramFiles, FOLDERID_ProgramFilesX86, FOLDERID_ProgramFilesX64}) {
    const std::optional<std::string> system = KnownFolder(id);
    if (!system) continue;
    const std::string p = folded(*system);
    if (mine.rfind(p, 0) == 0 && (mine.size() == p.size() || mine[p.size()] == '\\')) return true;
  }
  return false;
}

std::string ExecutableFolder() {
  const std::string exe = ExecutablePath();
  return exe.empty() ? "." : Folder(exe);
}

std::vector<std::string> ProgramArguments(int, char**) {
  std::vector<std::string> args;
  int n = 0;
  if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &n)) {
    for (int i = 1; i < n; ++i) args.push_back(Narrow(wide[i], wcslen(wide[i])));
    LocalFree(wide);
  }
  return args;
}

std::string ExecutableName() {
  std::string p = ExecutablePath();
  if (p.empty()) return "Vantorel";
  size_t start = p.size();
  while (start > 0 && !IsFolderSeparator(p[start - 1])) --start;
  p = p.substr(start);
  const auto dot = p.rfind('.');
  if (dot != std::string::npos && dot > 0) p = p.substr(0, dot);
  return p;
}

std::string HomeFolder() {
  if (auto profile = KnownFolder(FOLDERID_Profile)) return *profile;
  return "C:\\";
}

std::string ConfigFolder() {
  if (auto roaming = KnownFolder(FOLDERID_RoamingAppData)) return *roaming;
  return InFolder(HomeFolder(), "AppData\\Roaming");
}

std::string DocumentsFolder() {
  std::string found = KnownFolder(FOLDERID_Documents).value_or(InFolder(HomeFolder(), "Documents"));
  while (found.size() > 3 && IsFolderSeparator(found.back())) found.pop_back();
  return found;
}

int RenameNoReplace(const std::string& from, const std::string& to) {
  const auto wfrom = Wide(from), wto = Wide(to);
  if (!wfrom || !wto) {
    errno = EINVAL;
    return -1;
  }
  if (MoveFileExW(wfrom->c_str(), wto->c_str(), MOVEFILE_WRITE_THROUGH)) return 0;
  const DWORD err = GetLastError();
  errno = IsExistsError(err) ? EEXIST : err == ERROR_ACCESS_DENIED ? EACCES : ENOENT;
  return -1;
}

std::string MakePrivateFolders(const std::string& path) {
  const auto wide = Wide(path);
  if (!wide) return "Cannot use " + path + ": the name is not valid UTF-8.";
  const DWORD attributes = GetFileAttributesW(wide->c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return {};
    return path + " is not a folder.";
  }
  const DWORD err = GetLastError();
  if (err != ERROR_FILE_NOT_FOUND && err != ERROR_PATH_NOT_FOUND)
    return "Cannot use " + path + ": " + ErrorText(err) + ".";
  const std::string parent = Folder(path);
  if (parent != path && parent != ".") {
    if (std::string why = MakePrivateFolders(parent); !why.empty()) return why;
  }
  if (!CreateDirectoryW(wide->c_str(), nullptr)) {
    const DWORD why = GetLastError();
    if (why != ERROR_ALREADY_EXISTS) return "Cannot create the folder " + path + ": " + ErrorText(why) + ".";
  }
  const DWORD after = GetFileAttributesW(wide->c_str());
  if (after == INVALID_FILE_ATTRIBUTES || !(after & FILE_ATTRIBUTE_DIRECTORY)) return path + " is not a folder.";
  return {};
}

}  // namespace vantorel::platform
