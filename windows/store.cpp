// The settings store on Windows: the registry itself, through the wide
// calls (windows/regkey.h). Texts are real REG_SZ, REG_EXPAND_SZ and
// REG_MULTI_SZ data in UTF-16, so regedit and `reg query` show them; the
// store interface sees them as UTF-8 bytes, zeros and terminators included.
//
// Where the settings live: the program's key is
// HKEY_LOCAL_MACHINE\Software\Morvale Services\<program>, which a standard
// user may not write on current Windows, so everything under
// HKEY_LOCAL_MACHINE\Software\Morvale Services is kept under
// HKEY_CURRENT_USER\Software\Morvale Services instead (Locate, the one
// place that decides). Every other key stays under its own root.
//
// Earlier versions wrote the local-machine key itself, or, under UAC, its
// per-user virtual store. While the current user has no key of the program
// yet, reads come from there (the virtual store first, as those programs
// saw it); the first write copies that key whole to the current user's key,
// leaves the old one as it was, and notes the copy in a value
// "<program> copied from" of HKEY_CURRENT_USER\Software\Morvale Services,
// so that a reset of the settings (the key deleted) is not undone by a
// second copy. A read never creates anything.
//
// The registry has no transactions. A Transaction keeps its writes until
// Commit, which first copies any old settings as above, then reads every
// key the writes touch, applies the writes in order and, when one fails,
// puts back exactly what those keys held (values written that were absent
// are deleted, keys made are removed). Reads and deletes inside a
// Transaction see the registry as it was before it. The limit: a power
// cut or a killed process in the middle of a Commit leaves the writes
// applied so far, as the registry writes each value on its own; the
// settings' check, written last, then names the values the cut-off save
// had changed (settings/settings.h).
//
// The registry has no lock another program could hold, so no read waits
// and ReadKey never reports one.
#include "windows/store.h"

#include "platform/store.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "platform/files.h"
#include "windows/regkey.h"
#include "windows/wintext.h"

namespace vantorel::windows {

namespace {

using namespace regkey;
namespace store = platform::store;
using store::WriteResult;

std::function<void(size_t)>& CommitProbe() {
  static std::function<void(size_t)> probe;
  return probe;
}

constexpr REGSAM kRead = KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;
constexpr REGSAM kWrite = KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_ENUMERATE_SUB_KEYS;
constexpr const char* kCompany = "Software\\Morvale Services";

std::string Folded(const std::wstring& name) { return store::FoldName(Utf8(name)); }

std::optional<HKEY> RootKey(int32_t root) {
  switch (root) {
    case store::kClassesRoot: return HKEY_CLASSES_ROOT;
    case store::kCurrentUser: return HKEY_CURRENT_USER;
    case store::kLocalMachine: return HKEY_LOCAL_MACHINE;
    case store::kUsers: return HKEY_USERS;
    default: return std::nullopt;
  }
}

// The names of a key path in UTF-16; nullopt when the path names no key.
std::optional<std::vector<std::wstring>> SplitPath(std::string_view path) {
  std::vector<std::wstring> names;
  if (path.empty()) return names;
  if (path.back() == '\\') path.remove_suffix(1);
  for (size_t start = 0;;) {
    const size_t sep = path.find('\\', start);
    const size_t end = sep == std::string_view::npos ? path.size() : sep;
    const auto name = Wide(std::string(path.substr(start, end - start)));
    if (!name || name->empty() || name->size() > kMaxKeyChars || name->find(L'\0') != std::wstring::npos)
      return std::nullopt;
    names.push_back(*name);
    if (sep == std::string_view::npos) return names;
    start = sep + 1;
  }
}

std::optional<std::wstring> ValueNameOf(std::string_view name) {
  auto wide = Wide(std::string(name));
  if (!wide || wide->size() > kMaxValueChars || wide->find(L'\0') != std::wstring::npos) return std::nullopt;
  return wide;
}

Path Below(const Path& p, size_t count) {
  return Path{p.root, std::vector<std::wstring>(p.names.begin(), p.names.begin() + static_cast<std::ptrdiff_t>(count))};
}

// Whether a key holds anything: a value or a subkey.
bool HoldsSomething(HKEY key) {
  DWORD subkeys = 0, values = 0;
  return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                          nullptr, nullptr) == ERROR_SUCCESS &&
         (subkeys > 0 || values > 0);
}

// Where an operation goes: the key, and for the program's key while the
// current user has none yet, the old key its settings are read from.
struct Target {
  Path path;
  std::optional<Path> old;  // the old program key
  Path mine;                // the current user's program key, for a path at or below it
  // Where a read looks.
  Path Read() const {
    if (!old) return path;
    Path p = *old;
    p.names.insert(p.names.end(), path.names.begin() + 3, path.names.end());
    return p;
  }
};

// One write, as a Transaction keeps it until Commit.
struct Op {
  enum Kind { CreateKey, DeleteKey, WriteValue, DeleteValue } kind;
  int32_t root;
  std::string path;
  std::wstring name;
  Raw value;
};

// What a key held before a Commit changed it.
struct Snapshot {
  Path path;
  size_t existing = 0;  // how many of its names were there (all: the key was there)
  RawValues values;
};

class RegistryStore final : public platform::Store {
 public:
  std::string Location() const override {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return location_.empty() ? "HKEY_CURRENT_USER\\" + std::string(kCompany) + "\\" + ProgramName() : location_;
  }
  std::string ProgramName() const override { return platform::ExecutableName(); }

  bool KeyExists(int32_t root, std::string_view path) override {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const auto t = Locate(root, path);
    return t && Open(t->Read(), KEY_QUERY_VALUE).ok();
  }

  std::optional<store::StoredValue> ReadValue(int32_t root, std::string_view path, std::string_view name) override {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const auto t = Locate(root, path);
    const auto wide = ValueNameOf(name);
    if (!t || !wide) return std::nullopt;
    const Opened k = Open(t->Read(), KEY_QUERY_VALUE);
    const auto exact = k.ok() ? ValueName(k.key.get(), *wide) : std::nullopt;
    Raw raw;
    if (!exact || ReadRaw(k.key.get(), *exact, raw) != ERROR_SUCCESS) return std::nullopt;
    return store::StoredValue{static_cast<int32_t>(raw.type), ToInterface(raw.type, raw.bytes)};
  }

  std::optional<std::vector<std::string>> ValueNames(int32_t root, std::string_view path) override {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const auto t = Locate(root, path);
    const Opened k = t ? Open(t->Read(), KEY_QUERY_VALUE) : Opened{};
    RawValues values;
    if (!t || !k.ok() || ReadAll(k.key.get(), values) != ERROR_SUCCESS) return std::nullopt;
    std::vector<std::string> names;
    for (const auto& [name, raw] : values) names.push_back(Utf8(name));
    return names;
  }

  std::optional<std::vector<std::string>> SubkeyNames(int32_t root, std::string_view path) override {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const auto t = Locate(root, path);
    const Opened k = t ? Open(t->Read(), kRead) : Opened{};
    std::vector<std::wstring> wide;
    if (!t || !k.ok() || Subkeys(k.key.get(), wide) != ERROR_SUCCESS) return std::nullopt;
    std::vector<std::string> names;
    names.reserve(wide.size());
    for (const std::wstring& n : wide) names.push_back(Utf8(n));
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
      return store::FoldName(a) < store::FoldName(b);
    });
    return names;
  }

  store::KeyValues ReadKey(int32_t root, std::string_view path, int) override {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    failure_.clear();
    store::KeyValues out;
    const auto t = Locate(root, path);
    if (!t) return out;
    const Opened k = Open(t->Read(), KEY_QUERY_VALUE);
    RawValues values;
    LONG e = k.error;
    if (k.ok()) e = ReadAll(k.key.get(), values);
    if (e == ERROR_FILE_NOT_FOUND) return out;
    if (e != ERROR_SUCCESS) {
      // Never Missing: the settings layer must not write defaults over a key it could not read.
      out.status = store::KeyStatus::Unreadable;
      out.reason = failure_ = ErrorText(static_cast<DWORD>(e));
      return out;
    }
    out.status = store::KeyStatus::Read;
    for (const auto& [name, raw] : values)
      out.values.emplace_back(Utf8(name),
                              store::StoredValue{static_cast<int32_t>(raw.type), ToInterface(raw.type, raw.bytes)});
    return out;
  }

  bool CreateKey(int32_t root, std::string_view path) override {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return Write(Op{Op::CreateKey, root, std::string(path), {}, {}}) == WriteResult::Ok;
  }

  bool DeleteKey(int32_t root, std::string_view path) override {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return Write(Op{Op::DeleteKey, root, std::string(path), {}, {}}) == WriteResult::Ok;
  }

  WriteResult WriteValue(int32_t root, std::string_view path, std::string_view name, int32_t type,
                         std::string_view data) override {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const auto wide = ValueNameOf(name);
    const auto bytes = FromInterface(static_cast<DWORD>(type), data);
    if (wide && bytes)
      return Write(Op{Op::WriteValue, root, std::string(path), *wide, Raw{static_cast<DWORD>(type), *bytes}});
    // The key is made even when the value cannot be.
    const WriteResult key = Write(Op{Op::CreateKey, root, std::string(path), {}, {}});
    if (key != WriteResult::Ok) return key;
    failure_ = !wide ? "the value name is not one the registry takes" : "the text is not valid UTF-8";
    return WriteResult::ValueFailed;
  }

  WriteResult DeleteValue(int32_t root, std::string_view path, std::string_view name) override {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const auto wide = ValueNameOf(name);
    if (!wide) {
      const bool key = access_ == store::Access::ReadWrite && Exists(root, path);
      failure_ = key ? "the value name is not one the registry takes" : "there is no such key";
      return key ? WriteResult::ValueFailed : WriteResult::KeyFailed;
    }
    return Write(Op{Op::DeleteValue, root, std::string(path), *wide, {}});
  }

  std::string LastFailure() const override {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return failure_;
  }
  int LockWaitMs() const override { return store::kLockWaitMs; }
  std::string LockedReason(int) const override {
    return "the Windows registry has no lock another program could hold, so nothing kept the settings locked";
  }

 protected:
  void BeginTransaction() override {
    mutex_.lock();  // held until the transaction ends
    inTransaction_ = true;
    transactionFailed_ = false;
    pending_.clear();
  }
  bool CommitTransaction() override {
    if (transactionFailed_) return false;
    failure_.clear();
    const bool ok = Commit(pending_);
    pending_.clear();
    transactionFailed_ = !ok;
    return ok;
  }
  void EndTransaction() override {
    pending_.clear();
    inTransaction_ = transactionFailed_ = false;
    mutex_.unlock();
  }
  store::Access SetAccess(store::Access a) override {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return std::exchange(access_, a);
  }

 private:
  // Where root\path is kept; nullopt for a root or path that names no key.
  std::optional<Target> Locate(int32_t root, std::string_view path) const {
    const auto names = SplitPath(path);
    const auto rootKey = RootKey(root);
    if (!names || !rootKey) return std::nullopt;
    Target t{Path{*rootKey, *names}, std::nullopt, {}};
    const bool company = root == store::kLocalMachine && names->size() >= 2 && Folded((*names)[0]) == "software" &&
                         Folded((*names)[1]) == "morvale services";
    if (!company) return t;
    t.path.root = HKEY_CURRENT_USER;
    if (names->size() < 3) return t;
    // The program's own key, and where earlier versions kept it.
    t.mine = Below(t.path, 3);
    location_ = PathText(t.mine);
    if (Open(t.mine, KEY_QUERY_VALUE).error != ERROR_FILE_NOT_FOUND || Copied(t.mine)) return t;
    const Path virtualStore{HKEY_CURRENT_USER,
                            {L"Software", L"Classes", L"VirtualStore", L"MACHINE", L"SOFTWARE", L"Morvale Services"}};
    for (Path old : {virtualStore, Path{HKEY_LOCAL_MACHINE, Below(t.path, 2).names}}) {
      old.names.push_back((*names)[2]);
      const Opened k = Open(old, KEY_QUERY_VALUE);
      if (k.ok() && HoldsSomething(k.key.get())) {
        t.old = old;
        location_ = PathText(old);
        return t;
      }
    }
    return t;
  }

  // The value of HKEY_CURRENT_USER\Software\Morvale Services that notes the
  // copy of the program key mine.
  static std::wstring CopyNote(const Path& mine) { return mine.names[2] + L" copied from"; }
  static bool Copied(const Path& mine) {
    const Opened company = Open(Below(mine, 2), KEY_QUERY_VALUE);
    return company.ok() && ValueName(company.key.get(), CopyNote(mine)).has_value();
  }

  // Copies the old program key whole to the current user's; on a failure
  // nothing of the copy stays.
  bool CopyOld(const Target& t) {
    size_t made = 0;
    const Opened to = Create(t.mine, kWrite | KEY_CREATE_SUB_KEY, &made);
    const Opened from = Open(*t.old, KEY_READ);
    LONG e = to.ok() ? from.error : to.error;
    if (e == ERROR_SUCCESS) e = CopyTree(from.key.get(), to.key.get());
    if (e == ERROR_SUCCESS) {
      const auto note = FromInterface(REG_SZ, PathText(*t.old) + '\0');
      const Opened company = Open(Below(t.mine, 2), KEY_SET_VALUE);
      e = company.ok() ? WriteRaw(company.key.get(), CopyNote(t.mine), Raw{REG_SZ, note.value_or("")}) : company.error;
    }
    if (e == ERROR_SUCCESS) {
      location_ = PathText(t.mine);
      return true;
    }
    if (made > 0) {
      const Opened company = Open(Below(t.mine, 2), kWrite);
      if (company.ok()) DeleteTree(company.key.get(), t.mine.names[2]);
    }
    failure_ = "the settings of " + PathText(*t.old) + " could not be copied to " + PathText(t.mine) + ": " +
               ErrorText(static_cast<DWORD>(e));
    return false;
  }

  // A failed write: the system's reason, the key and the value.
  WriteResult Fail(WriteResult r, LONG e, const Path& p, const std::wstring* value = nullptr) {
    const std::string why = e != ERROR_FILE_NOT_FOUND     ? ErrorText(static_cast<DWORD>(e))
                            : r == WriteResult::KeyFailed ? "there is no such key"
                                                          : "there is no such value";
    failure_ = why + " (" + PathText(p) + (value ? ", value \"" + Utf8(*value) + "\"" : "") + ")";
    return r;
  }

  bool Exists(int32_t root, std::string_view path) {
    const auto t = Locate(root, path);
    return t && Open(t->Read(), KEY_QUERY_VALUE).ok();
  }

  // A write on its own, or kept for the transaction in progress.
  WriteResult Write(Op op) {
    failure_.clear();
    if (access_ == store::Access::ReadOnly) {
      failure_ = "the settings are only read here";
      return WriteResult::KeyFailed;
    }
    const auto t = Locate(op.root, op.path);
    if (!t || (op.kind == Op::DeleteKey && t->path.names.empty())) {
      failure_ = "there is no such key";
      return WriteResult::KeyFailed;
    }
    if (inTransaction_) {
      if (transactionFailed_) return WriteResult::KeyFailed;
      // A delete says at once whether there is anything to delete (in the
      // registry as it is); the commit skips what is no longer there.
      if (op.kind == Op::DeleteKey || op.kind == Op::DeleteValue) {
        const Opened k = Open(t->Read(), KEY_QUERY_VALUE);
        if (!k.ok()) return Fail(WriteResult::KeyFailed, k.error, t->Read());
        if (op.kind == Op::DeleteValue && !ValueName(k.key.get(), op.name)) {
          failure_ = "there is no such value";
          return WriteResult::ValueFailed;
        }
      }
      pending_.push_back(std::move(op));
      return WriteResult::Ok;
    }
    if (t->old && !CopyOld(*t)) return WriteResult::KeyFailed;
    return Apply(op, false);
  }

  // Carries out one write on the registry. Within a commit, a key or value
  // that is no longer there to be deleted is no failure.
  WriteResult Apply(const Op& op, bool committing) {
    const auto t = Locate(op.root, op.path);
    if (!t) return WriteResult::KeyFailed;
    const Path& p = t->path;
    switch (op.kind) {
      case Op::CreateKey: {
        const Opened k = Create(p, KEY_QUERY_VALUE);
        return k.ok() ? WriteResult::Ok : Fail(WriteResult::KeyFailed, k.error, p);
      }
      case Op::WriteValue: {
        const Opened k = Create(p, kWrite);
        if (!k.ok()) return Fail(WriteResult::KeyFailed, k.error, p);
        LONG e = ERROR_SUCCESS;
        const auto exact = ValueName(k.key.get(), op.name, &e);
        if (!exact && e != ERROR_FILE_NOT_FOUND) return Fail(WriteResult::ValueFailed, e, p, &op.name);
        e = WriteRaw(k.key.get(), exact.value_or(op.name), op.value);
        return e == ERROR_SUCCESS ? WriteResult::Ok : Fail(WriteResult::ValueFailed, e, p, &op.name);
      }
      case Op::DeleteValue: {
        const Opened k = Open(p, kWrite);
        if (committing && k.error == ERROR_FILE_NOT_FOUND) return WriteResult::Ok;
        if (!k.ok()) return Fail(WriteResult::KeyFailed, k.error, p);
        LONG e = ERROR_SUCCESS;
        const auto exact = ValueName(k.key.get(), op.name, &e);
        if (!exact && committing && e == ERROR_FILE_NOT_FOUND) return WriteResult::Ok;
        if (exact) e = RegDeleteValueW(k.key.get(), exact->c_str());
        return e == ERROR_SUCCESS ? WriteResult::Ok : Fail(WriteResult::ValueFailed, e, p, &op.name);
      }
      case Op::DeleteKey: {
        const Opened k = Open(p, KEY_QUERY_VALUE);
        if (committing && k.error == ERROR_FILE_NOT_FOUND) return WriteResult::Ok;
        if (!k.ok()) return Fail(WriteResult::KeyFailed, k.error, p);
        DWORD subkeys = 0;
        LONG e = RegQueryInfoKeyW(k.key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, nullptr);
        if (e == ERROR_SUCCESS && subkeys > 0) {
          failure_ = "it has subkeys (" + PathText(p) + ")";
          return WriteResult::KeyFailed;
        }
        if (e == ERROR_SUCCESS) e = RegDeleteKeyW(p.root, Joined(k.actual).c_str());
        return e == ERROR_SUCCESS ? WriteResult::Ok : Fail(WriteResult::KeyFailed, e, p);
      }
    }
    return WriteResult::KeyFailed;
  }

  // What the key of p holds now; false (with the reason) when it cannot be read.
  bool Take(const Path& p, Snapshot& s) {
    s.path = p;
    const Opened k = Open(p, KEY_QUERY_VALUE);
    if (k.ok()) {
      s.existing = p.names.size();
      const LONG e = ReadAll(k.key.get(), s.values);
      return e == ERROR_SUCCESS || (Fail(WriteResult::KeyFailed, e, p), false);
    }
    if (k.error != ERROR_FILE_NOT_FOUND) return Fail(WriteResult::KeyFailed, k.error, p), false;
    s.existing = p.names.size() - 1;
    while (s.existing > 0 && Open(Below(p, s.existing), KEY_QUERY_VALUE).error == ERROR_FILE_NOT_FOUND) --s.existing;
    return true;
  }

  // Puts the key of s back as it was: keys made removed, values added
  // deleted, values changed or deleted written again.
  LONG Restore(const Snapshot& s) {
    if (s.existing < s.path.names.size()) {
      const Opened parent = Open(Below(s.path, s.existing), kWrite);
      if (parent.error == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
      const LONG e = parent.ok() ? DeleteTree(parent.key.get(), s.path.names[s.existing]) : parent.error;
      return e == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : e;
    }
    // What differs now, read first: a key the writes did not change is not
    // opened for writing (it may not be writable at all).
    RawValues now;
    const Opened current = Open(s.path, KEY_QUERY_VALUE);
    LONG e = current.ok() ? ReadAll(current.key.get(), now) : current.error;
    if (e != ERROR_SUCCESS && e != ERROR_FILE_NOT_FOUND) return e;
    const auto in = [](const RawValues& values, const std::wstring& name) {
      return std::find_if(values.begin(), values.end(), [&](const auto& v) { return Folded(v.first) == Folded(name); });
    };
    std::vector<std::wstring> added;
    RawValues changed;
    for (const auto& [name, raw] : now)
      if (in(s.values, name) == s.values.end()) added.push_back(name);
    for (const auto& [name, raw] : s.values)
      if (const auto it = in(now, name);
          it == now.end() || it->second.type != raw.type || it->second.bytes != raw.bytes)
        changed.emplace_back(name, raw);
    if (current.ok() && added.empty() && changed.empty()) return ERROR_SUCCESS;
    const Opened k = Create(s.path, kWrite);  // a deleted key comes back
    e = k.error;
    for (const std::wstring& name : added)
      if (e == ERROR_SUCCESS) e = RegDeleteValueW(k.key.get(), name.c_str());
    for (const auto& [name, raw] : changed)
      if (e == ERROR_SUCCESS) e = WriteRaw(k.key.get(), name, raw);
    return e;
  }

  // Applies the writes of a transaction whole, or puts back what was there.
  bool Commit(const std::vector<Op>& ops) {
    // Old settings first: their copy is kept whatever the transaction does.
    for (const Op& op : ops)
      if (const auto t = Locate(op.root, op.path); t && t->old && !CopyOld(*t)) return false;
    std::map<std::pair<HKEY, std::string>, Snapshot> before;
    std::vector<const Snapshot*> order;
    for (const Op& op : ops) {
      const auto t = Locate(op.root, op.path);
      if (!t) continue;
      std::string id;
      for (const std::wstring& n : t->path.names) id += Folded(n) + "\\";
      auto [it, added] = before.try_emplace({t->path.root, id});
      if (added) {
        if (!Take(t->path, it->second)) return false;  // nothing written yet
        order.push_back(&it->second);
      }
    }
    size_t written = 0;
    for (const Op& op : ops) {
      if (Apply(op, true) == WriteResult::Ok) {
        if (CommitProbe()) CommitProbe()(++written);
        continue;
      }
      LONG e = ERROR_SUCCESS;
      for (auto s = order.rbegin(); s != order.rend(); ++s)
        if (const LONG r = Restore(**s); r != ERROR_SUCCESS && e == ERROR_SUCCESS) e = r;
      if (e != ERROR_SUCCESS)
        failure_ += "; what the settings held before could not all be put back: " + ErrorText(static_cast<DWORD>(e));
      return false;
    }
    for (const Snapshot* s : order)
      if (const Opened k = Open(s->path, KEY_QUERY_VALUE); k.ok()) RegFlushKey(k.key.get());
    return true;
  }

  mutable std::recursive_mutex mutex_;
  mutable std::string location_;  // the program key last located
  std::string failure_;
  store::Access access_ = store::Access::ReadWrite;
  bool inTransaction_ = false, transactionFailed_ = false;
  std::vector<Op> pending_;
};

}  // namespace

void OnCommitWrite(std::function<void(size_t written)> probe) { CommitProbe() = std::move(probe); }

}  // namespace vantorel::windows

// The program's store on this system: its key in the registry.
std::unique_ptr<vantorel::platform::Store> vantorel::platform::OpenProgramStore() {
  return std::make_unique<windows::RegistryStore>();
}
