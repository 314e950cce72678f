// The file system as the program uses it: whether a name is taken, and
// writing a new file whole or not at all, never over an existing one, also
// under the first free numbered name (VTL_0001.CSV, VTL_0002.CSV, ...).
// Paths are UTF-8 texts. The numbering and the folder arithmetic are the
// same everywhere (files.cpp); posix/files.cpp and windows/files.cpp ask
// each system for the rest.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vantorel::platform {

// True when anything at all stands at path: a file, a folder, or a link
// (a link is not followed, so a dangling link counts as taken).
bool NameTaken(const std::string& path);

enum class WriteStatus { Ok, Exists, Failed };

struct WriteResult {
  WriteStatus status = WriteStatus::Failed;
  std::string message;  // what went wrong, for the user
};

struct ReadResult {
  bool ok = false;
  std::string bytes;    // the file's whole content
  std::string message;  // why it could not be read, for the user
};
// The whole content of a file of at most maxBytes (a longer one, or a
// folder, is refused: "it is larger than ... bytes").
ReadResult ReadSmallFile(const std::string& path, size_t maxBytes);

// Creates a new file at path holding exactly bytes. The data is first written
// to a hidden temporary file in the same folder and synced; the finished file
// is then given its name only if no file of that name exists at that moment
// (an atomic no-replace rename), so an existing file or link is never
// overwritten or followed, and a failed write leaves no partial file behind.
WriteResult WriteNewFile(const std::string& path, std::string_view bytes);

// The first free name prefix_nnnn.ext in folder (ext begins with its dot),
// without the folder; taken(path) tells whether a full path is in use. With
// every number from 1 to 9999 taken the name carries the number 10000.
std::string UniqueFileName(const std::string& prefix, const std::string& folder, const std::string& ext,
                           const std::function<bool(const std::string&)>& taken);

struct SavedFile {
  bool ok = false;
  std::string path;     // the full path written
  std::string message;  // why nothing was written
};

// Writes bytes as a new file under the first free prefix_nnnn.ext in folder
// (WriteNewFile: never over anything). Refuses when every number up to 9999
// is taken; a name that another program takes between the look-up and the
// write moves on to the next free name.
SavedFile SaveNumbered(const std::string& folder, const std::string& prefix, const std::string& ext,
                       std::string_view bytes);

// The folder of the running executable, without a trailing slash.
std::string ExecutableFolder();

// Whether a folder is the place of an installed program, which the system
// owns: on Linux under a system prefix (/usr, /usr/local, /opt, /bin, /sbin,
// /snap, /app, /nix), owned by the package manager; on Windows under the
// Program Files folders.
bool UnderSystemPrefix(const std::string& folder);

// Where exports go before the documents folder: the executable's folder for
// a program that is not installed (a build, an unpacked copy), empty for an
// installed one.
std::string ProgramExportFolder();

// Text for the standard output (error: the standard error). On a Windows
// console it is written as UTF-16 (WriteConsoleW), so that every character
// shows whatever the console's code page; to a pipe or a file, and on
// Linux, as the UTF-8 bytes. False when it could not be written.
bool WriteStandard(bool error, std::string_view utf8);

// The executable's file name without folder and extension.
std::string ExecutableName();

// The program's arguments after its name, as UTF-8 texts (on Windows read
// from the system's UTF-16 command line, whatever the code page).
std::vector<std::string> ProgramArguments(int argc, char** argv);

// The user's documents folder as the XDG user-dirs convention names it:
// XDG_DOCUMENTS_DIR in ${XDG_CONFIG_HOME:-$HOME/.config}/user-dirs.dirs
// ("$HOME/..." or an absolute path), else $HOME/Documents. On Windows the
// known folder Documents. The folder need not exist.
std::string DocumentsFolder();

// The folder part of a path ("." for a bare name, "/" for the root; on
// Windows "C:\\" for a file at the top of a drive).
std::string Folder(const std::string& path);

// A name inside a folder: folder, the system's separator, name.
std::string InFolder(const std::string& folder, const std::string& name);

// The separator the system writes ('/', or '\\' on Windows), and whether a
// character separates folders (on Windows both '/' and '\\' do).
char FolderSeparator();
bool IsFolderSeparator(char c);

// $HOME (or the password database's home when HOME is not an absolute path),
// and ${XDG_CONFIG_HOME:-$HOME/.config} (a relative XDG_CONFIG_HOME is ignored).
// On Windows the user's profile folder and the roaming application data.
std::string HomeFolder();
std::string ConfigFolder();

// rename that fails with EEXIST instead of replacing the target; 0 on success
// (errno tells why not).
int RenameNoReplace(const std::string& from, const std::string& to);

// Creates path and any missing folder above it, each new one with mode 0700
// (on Windows with the access its parent passes on);
// folders already there are left as they are. Empty when path is a folder
// afterwards, else what went wrong for the user.
std::string MakePrivateFolders(const std::string& path);

}  // namespace vantorel::platform
