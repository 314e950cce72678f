// The file system as the browser has it: a page writes no files, it hands
// them to the browser as downloads. A name counts as taken once this site
// has downloaded a file of that name (the page remembers them), so the
// numbering goes on from visit to visit as it does in a folder.
#include "platform/files.h"

#include <cstdio>

// The page's downloads (web/bridge.js).
extern "C" {
void vtjs_download(const char* name, const char* bytes, size_t length);
int vtjs_downloaded(const char* name);
}

namespace vantorel::platform {

namespace {
// The folder the browser's downloads go to, as the messages name it.
constexpr char kDownloads[] = "Downloads";

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}
}  // namespace

char FolderSeparator() { return '/'; }
bool IsFolderSeparator(char c) { return c == '/'; }

bool NameTaken(const std::string& path) { return vtjs_downloaded(BaseName(path).c_str()) != 0; }

WriteResult WriteNewFile(const std::string& path, std::string_view bytes) {
  if (NameTaken(path)) return {WriteStatus::Exists, "A file named " + BaseName(path) + " was downloaded before."};
  vtjs_download(BaseName(path).c_str(), bytes.data(), bytes.size());
  return {WriteStatus::Ok, {}};
}

ReadResult ReadSmallFile(const std::string&, size_t) { return {false, {}, "a page reads no files by name"}; }

bool WriteStandard(bool error, std::string_view utf8) {
  return std::fwrite(utf8.data(), 1, utf8.size(), error ? stderr : stdout) == utf8.size();
}

bool UnderSystemPrefix(const std::string&) { return false; }
std::string ExecutableFolder() { return kDownloads; }
std::vector<std::string> ProgramArguments(int argc, char** argv) {
  std::vector<std::string> out;
  for (int i = 1; i < argc; ++i) out.emplace_back(argv[i]);
  return out;
}
std::string ExecutableName() { return "Vantorel"; }
std::string HomeFolder() { return "/"; }
std::string ConfigFolder() { return "/"; }
std::string DocumentsFolder() { return kDownloads; }
int RenameNoReplace(const std::string&, const std::string&) { return -1; }
std::string MakePrivateFolders(const std::string&) { return {}; }

}  // namespace vantorel::platform
