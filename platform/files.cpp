#include "platform/files.h"

#include "model/numtext.h"

namespace vantorel::platform {

std::string Folder(const std::string& path) {
  size_t slash = path.size();
  while (slash > 0 && !IsFolderSeparator(path[slash - 1])) --slash;
  if (slash == 0) return ".";
  --slash;
  // The root, or the top of a drive ("C:\"), keeps its separator.
  if (slash == 0 || (slash == 2 && path[1] == ':' && IsFolderSeparator('\\'))) return path.substr(0, slash + 1);
  return path.substr(0, slash);
}

std::string InFolder(const std::string& folder, const std::string& name) {
  if (!folder.empty() && IsFolderSeparator(folder.back())) return folder + name;
  return folder + FolderSeparator() + name;
}

std::string ProgramExportFolder() {
  const std::string folder = ExecutableFolder();
  return UnderSystemPrefix(folder) ? std::string() : folder;
}

std::string UniqueFileName(const std::string& prefix, const std::string& folder, const std::string& ext,
                           const std::function<bool(const std::string&)>& taken) {
  int n = 1;
  for (; n <= 9999; ++n)
    if (!taken(InFolder(folder, prefix + "_" + FormatNumber(n, "0000") + ext))) break;
  return prefix + "_" + FormatNumber(n, "0000") + ext;
}

SavedFile SaveNumbered(const std::string& folder, const std::string& prefix, const std::string& ext,
                       std::string_view bytes) {
  SavedFile res;
  // A few attempts cover names taken by another program in the meantime.
  for (int attempt = 0; attempt < 20; ++attempt) {
    const std::string name = UniqueFileName(prefix, folder, ext, NameTaken);
    if (name == prefix + "_10000" + ext) {
      res.message = "Every file name from " + prefix + "_0001" + ext + " to " + prefix + "_9999" + ext +
                    " is already taken in " + folder + ". Move or delete some of the earlier files and try again.";
      return res;
    }
    res.path = InFolder(folder, name);
    const WriteResult w = WriteNewFile(res.path, bytes);
    if (w.status == WriteStatus::Ok) {
      res.ok = true;
      return res;
    }
    if (w.status == WriteStatus::Failed) {
      res.message = w.message;
      return res;
    }
  }
  res.message = "No free file name could be claimed in " + folder + ".";
  return res;
}

}  // namespace vantorel::platform
