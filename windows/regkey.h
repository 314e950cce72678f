// The Windows registry through the wide advapi32 calls, for the settings
// store (windows/store.cpp): open keys that close themselves, keys found
// and made name by name, values read and written as raw typed bytes, and
// the conversion between the registry's UTF-16 texts and the store
// interface's UTF-8 bytes. Not for use outside windows/store*.cpp and
// windows/regkey.cpp.
//
// Names match as the store interface says (Unicode simple case folding of
// the UTF-8 name), which is not always the registry's own rule (it leaves
// "ß" and "ẞ" apart): a name the registry does not find directly is looked
// for among the key's names by their folded form, so the name a value or
// key was first written with is kept.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vantorel::windows::regkey {

// An open key; closed when it goes. A predefined root is never closed.
class Key {
 public:
  Key() = default;
  explicit Key(HKEY h) : h_(h) {}
  ~Key() { Close(); }
  Key(Key&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
  Key& operator=(Key&& other) noexcept {
    if (this != &other) Close(), h_ = std::exchange(other.h_, nullptr);
    return *this;
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY get() const { return h_; }

 private:
  void Close();
  HKEY h_ = nullptr;
};

// A key by its root and the names below it (none: the root itself).
struct Path {
  HKEY root = nullptr;
  std::vector<std::wstring> names;
};

// "HKEY_CURRENT_USER\Software\...", for messages.
std::string PathText(const Path& p);
// The names of p joined by "\".
std::wstring Joined(const std::vector<std::wstring>& names, size_t from = 0, size_t to = SIZE_MAX);

// The outcome of a registry call: ERROR_SUCCESS, ERROR_FILE_NOT_FOUND for
// a key or value that is not there, or any other code of the system.
struct Opened {
  Key key;
  LONG error = ERROR_SUCCESS;
  // The names as the registry holds them (as far as they were found).
  std::vector<std::wstring> actual;
  bool ok() const { return error == ERROR_SUCCESS; }
};

// Opens an existing key with the given access.
Opened Open(const Path& p, REGSAM access);
// Opens the key with the given access, creating it and any missing parents.
// made is the number of names that had to be created (the last ones).
Opened Create(const Path& p, REGSAM access, size_t* made = nullptr);

// A value as the registry holds it.
struct Raw {
  DWORD type = REG_NONE;
  std::string bytes;
};
using RawValues = std::vector<std::pair<std::wstring, Raw>>;

// The name the key holds for a value named name (a folded match), or
// nullopt when there is none; error says why nothing was found when that
// was not because the value is absent.
std::optional<std::wstring> ValueName(HKEY key, const std::wstring& name, LONG* error = nullptr);
LONG ReadRaw(HKEY key, const std::wstring& exactName, Raw& out);
LONG WriteRaw(HKEY key, const std::wstring& exactName, const Raw& value);
// Every value of the key, in the registry's order.
LONG ReadAll(HKEY key, RawValues& out);
// The names of the key's subkeys, in the registry's order.
LONG Subkeys(HKEY key, std::vector<std::wstring>& out);
// Deletes the subkey name of parent with its values and all its subkeys.
LONG DeleteTree(HKEY parent, const std::wstring& name);
// Copies every value and subkey of from into to.
LONG CopyTree(HKEY from, HKEY to);

// The registry's value types the store keeps as text: REG_SZ,
// REG_EXPAND_SZ and REG_MULTI_SZ.
bool IsText(DWORD type);
// A value for the store interface: texts as UTF-8 (each zero character,
// terminators included, kept as a zero byte), anything else as stored.
std::string ToInterface(DWORD type, std::string_view bytes);
// A value from the store interface for the registry: texts as UTF-16 with
// their zeros; nullopt when a text is not valid UTF-8.
std::optional<std::string> FromInterface(DWORD type, std::string_view data);

// UTF-8 of a UTF-16 name or text, zero characters included.
std::string Utf8(const std::wstring& text);

// Keys and values as the registry limits them: a key name of 1 to 255
// characters without "\" or a zero, a value name of at most 16383
// characters without a zero.
inline constexpr size_t kMaxKeyChars = 255;
inline constexpr size_t kMaxValueChars = 16383;

}  // namespace vantorel::windows::regkey
