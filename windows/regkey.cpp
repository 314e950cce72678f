#include "windows/regkey.h"

#include <algorithm>
#include <cstring>

#include "platform/store.h"
#include "windows/wintext.h"

namespace vantorel::windows::regkey {

namespace {

// A registry call that gives a length is asked again with more room this
// many times at most (the key may grow between the calls).
constexpr int kTries = 8;

bool IsRoot(HKEY h) {
  return h == HKEY_CLASSES_ROOT || h == HKEY_CURRENT_USER || h == HKEY_LOCAL_MACHINE || h == HKEY_USERS;
}

std::string Folded(const std::wstring& name) { return platform::store::FoldName(Utf8(name)); }

// The size of a buffer as the registry calls take it.
DWORD Size(size_t n) { return n > MAXDWORD ? MAXDWORD : static_cast<DWORD>(n); }

// Opens the subkey of parent named name, or the one whose name folds to the
// same; actual is the name the registry holds.
LONG Child(HKEY parent, const std::wstring& name, REGSAM access, Key& out, std::wstring& actual) {
  HKEY h = nullptr;
  LONG e = RegOpenKeyExW(parent, name.c_str(), 0, access, &h);
  actual = name;
  if (e == ERROR_FILE_NOT_FOUND) {
    std::vector<std::wstring> names;
    const std::string want = Folded(name);
    if (Subkeys(parent, names) == ERROR_SUCCESS)
      for (const std::wstring& n : names)
        if (Folded(n) == want) {
          e = RegOpenKeyExW(parent, n.c_str(), 0, access, &h);
          actual = n;
          break;
        }
  }
  if (e == ERROR_SUCCESS) out = Key(h);
  return e;
}

// Opens p name by name: every key on the way with the access through, the
// last with access. Stops at the first name that is not there (error
// ERROR_FILE_NOT_FOUND, key the deepest found) or at another failure.
Opened Walk(const Path& p, REGSAM through, REGSAM access) {
  Opened o;
  HKEY h = nullptr;
  o.error = RegOpenKeyExW(p.root, L"", 0, p.names.empty() ? access : through, &h);
  if (o.error != ERROR_SUCCESS) return o;
  o.key = Key(h);
  for (size_t i = 0; i < p.names.size(); ++i) {
    Key next;
    std::wstring actual;
    o.error = Child(o.key.get(), p.names[i], i + 1 == p.names.size() ? access : through, next, actual);
    if (o.error != ERROR_SUCCESS) return o;
    o.key = std::move(next);
    o.actual.push_back(actual);
  }
  return o;
}

}  // namespace

void Key::Close() {
  if (h_ && !IsRoot(h_)) RegCloseKey(h_);
  h_ = nullptr;
}

std::wstring Joined(const std::vector<std::wstring>& names, size_t from, size_t to) {
  std::wstring out;
  for (size_t i = from; i < names.size() && i < to; ++i) out += (i > from ? L"\\" : L"") + names[i];
  return out;
}

std::string PathText(const Path& p) {
  const char* root = p.root == HKEY_CLASSES_ROOT    ? "HKEY_CLASSES_ROOT"
                     : p.root == HKEY_CURRENT_USER  ? "HKEY_CURRENT_USER"
                     : p.root == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE"
                                                    : "HKEY_USERS";
  std::string text = root;
  if (!p.names.empty()) text.append("\\").append(Utf8(Joined(p.names)));
  return text;
}

Opened Open(const Path& p, REGSAM access) {
  Opened o;
  HKEY h = nullptr;
  o.error = RegOpenKeyExW(p.root, Joined(p.names).c_str(), 0, access, &h);
  if (o.error == ERROR_SUCCESS) {
    o.key = Key(h);
    o.actual = p.names;
    return o;
  }
  if (o.error != ERROR_FILE_NOT_FOUND) return o;
  return Walk(p, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, access);
}

Opened Create(const Path& p, REGSAM access, size_t* made) {
  if (made) *made = 0;
  Opened o = Open(p, access);
  if (o.error != ERROR_FILE_NOT_FOUND) return o;
  // Found as far as it goes, the rest made in one call.
  o = Walk(p, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | KEY_CREATE_SUB_KEY, access);
  if (o.error != ERROR_FILE_NOT_FOUND) return o;
  const size_t found = o.actual.size();
  if (!o.key.get()) return o;
  HKEY h = nullptr;
  o.error = RegCreateKeyExW(o.key.get(), Joined(p.names, found).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                            nullptr, &h, nullptr);
  if (o.error != ERROR_SUCCESS) return o;
  o.key = Key(h);
  o.actual.insert(o.actual.end(), p.names.begin() + static_cast<std::ptrdiff_t>(found), p.names.end());
  if (made) *made = p.names.size() - found;
  return o;
}

std::optional<std::wstring> ValueName(HKEY key, const std::wstring& name, LONG* error) {
  LONG e = RegQueryValueExW(key, name.c_str(), nullptr, nullptr, nullptr, nullptr);
  if (e == ERROR_SUCCESS) return name;
  if (e == ERROR_FILE_NOT_FOUND) {
    RawValues all;
    e = ReadAll(key, all);
    const std::string want = Folded(name);
    for (const auto& [n, v] : all)
      if (e == ERROR_SUCCESS && Folded(n) == want) return n;
    if (e == ERROR_SUCCESS) e = ERROR_FILE_NOT_FOUND;
  }
  if (error) *error = e;
  return std::nullopt;
}

LONG ReadRaw(HKEY key, const std::wstring& exactName, Raw& out) {
  for (int tries = 0; tries < kTries; ++tries) {
    DWORD type = REG_NONE, size = 0;
    LONG e = RegQueryValueExW(key, exactName.c_str(), nullptr, &type, nullptr, &size);
    if (e != ERROR_SUCCESS) return e;
    std::string bytes(size, '\0');
    e = RegQueryValueExW(key, exactName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &size);
    if (e == ERROR_MORE_DATA) continue;  // it grew meanwhile
    if (e != ERROR_SUCCESS) return e;
    bytes.resize(size);
    out = Raw{type, std::move(bytes)};
    return ERROR_SUCCESS;
  }
  return ERROR_MORE_DATA;
}

LONG WriteRaw(HKEY key, const std::wstring& exactName, const Raw& value) {
  if (value.bytes.size() >= MAXDWORD) return ERROR_INVALID_PARAMETER;
  // Two bytes that are not a zero character follow a text's data: the
  // registry adds a terminator to a text that lacks one when it finds a
  // zero character just after the data, and the store keeps texts exactly.
  std::string buffer = value.bytes + std::string("\x01\x01", 2);
  return RegSetValueExW(key, exactName.c_str(), 0, value.type, reinterpret_cast<const BYTE*>(buffer.data()),
                        static_cast<DWORD>(value.bytes.size()));
}

LONG ReadAll(HKEY key, RawValues& out) {
  out.clear();
  DWORD maxName = 0, maxData = 0;
  LONG e = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, &maxData,
                            nullptr, nullptr);
  if (e != ERROR_SUCCESS) return e;
  std::wstring name(static_cast<size_t>(maxName) + 1, L'\0');
  std::string data(maxData, '\0');
  int retries = 0;
  for (DWORD i = 0;;) {
    DWORD nameLen = Size(name.size()), dataLen = Size(data.size()), type = REG_NONE;
    e = RegEnumValueW(key, i, name.data(), &nameLen, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &dataLen);
    if (e == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (e == ERROR_MORE_DATA && ++retries < kTries) {  // a value grew meanwhile: the same index with more room
      name.resize(std::max(name.size(), kMaxValueChars + 1));
      data.resize(std::max<size_t>(2 * data.size(), dataLen));
      continue;
    }
    if (e != ERROR_SUCCESS) return e;
    out.emplace_back(std::wstring(name.data(), nameLen), Raw{type, std::string(data.data(), dataLen)});
    ++i;
  }
}

LONG Subkeys(HKEY key, std::vector<std::wstring>& out) {
  out.clear();
  DWORD maxName = 0;
  LONG e = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &maxName, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr);
  if (e != ERROR_SUCCESS) return e;
  std::wstring name(static_cast<size_t>(maxName) + 1, L'\0');
  int retries = 0;
  for (DWORD i = 0;;) {
    DWORD len = Size(name.size());
    e = RegEnumKeyExW(key, i, name.data(), &len, nullptr, nullptr, nullptr, nullptr);
    if (e == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (e == ERROR_MORE_DATA && ++retries < kTries) {
      name.resize(2 * name.size());
      continue;
    }
    if (e != ERROR_SUCCESS) return e;
    out.emplace_back(name.data(), len);
    ++i;
  }
}

LONG DeleteTree(HKEY parent, const std::wstring& name) {
  HKEY h = nullptr;
  LONG e = RegOpenKeyExW(parent, name.c_str(), 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, &h);
  if (e != ERROR_SUCCESS) return e;
  const Key key(h);
  std::vector<std::wstring> subkeys;
  e = Subkeys(key.get(), subkeys);
  for (const std::wstring& sub : subkeys)
    if (e == ERROR_SUCCESS) e = DeleteTree(key.get(), sub);
  return e == ERROR_SUCCESS ? RegDeleteKeyW(parent, name.c_str()) : e;
}

LONG CopyTree(HKEY from, HKEY to) {
  RawValues values;
  std::vector<std::wstring> subkeys;
  LONG e = ReadAll(from, values);
  if (e == ERROR_SUCCESS) e = Subkeys(from, subkeys);
  for (const auto& [name, raw] : values)
    if (e == ERROR_SUCCESS) e = WriteRaw(to, name, raw);
  for (const std::wstring& sub : subkeys) {
    if (e != ERROR_SUCCESS) break;
    HKEY src = nullptr, dst = nullptr;
    e = RegOpenKeyExW(from, sub.c_str(), 0, KEY_READ, &src);
    const Key source(e == ERROR_SUCCESS ? src : nullptr);
    if (e == ERROR_SUCCESS)
      e = RegCreateKeyExW(to, sub.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, &dst,
                          nullptr);
    const Key target(e == ERROR_SUCCESS ? dst : nullptr);
    if (e == ERROR_SUCCESS) e = CopyTree(source.get(), target.get());
  }
  return e;
}

std::string Utf8(const std::wstring& text) { return Narrow(text.data(), text.size()); }

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

std::string ToInterface(DWORD type, std::string_view bytes) {
  if (!IsText(type)) return std::string(bytes);
  // An odd last byte (data written by hand) is the low byte of one more character.
  std::wstring units((bytes.size() + 1) / 2, L'\0');
  std::memcpy(units.data(), bytes.data(), bytes.size());
  return Utf8(units);
}

std::optional<std::string> FromInterface(DWORD type, std::string_view data) {
  if (!IsText(type)) return std::string(data);
  const auto wide = Wide(std::string(data));
  if (!wide) return std::nullopt;
  std::string bytes(wide->size() * sizeof(wchar_t), '\0');
  std::memcpy(bytes.data(), wide->data(), bytes.size());
  return bytes;
}

}  // namespace vantorel::windows::regkey
