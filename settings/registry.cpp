#include "settings/registry.h"

#include <algorithm>
#include <cstdlib>

#include "platform/store.h"

namespace vantorel {

namespace store = platform::store;

RegValue RegValue::Text(std::string text) {
  RegValue v;
  v.kind_ = Kind::Text;
  v.text_ = std::move(text);
  return v;
}

RegValue RegValue::Number(int32_t n) {
  RegValue v;
  v.kind_ = Kind::Number;
  v.number_ = n;
  return v;
}

RegValue RegValue::Bytes(std::string bytes) {
  RegValue v;
  v.kind_ = Kind::Bytes;
  v.text_ = std::move(bytes);
  return v;
}

std::string RegValue::ToText() const {
  switch (kind_) {
    case Kind::Empty: return {};
    case Kind::Number: return std::to_string(number_);
    case Kind::Text:
    case Kind::Bytes: return text_;
  }
  return {};
}

std::string ExpandEnvironmentText(std::string_view text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    const size_t open = text.find('%', i);
    if (open == std::string_view::npos) {
      out.append(text.substr(i));
      break;
    }
    out.append(text.substr(i, open - i));
    const size_t close = text.find('%', open + 1);
    if (close == std::string_view::npos) {  // an unfinished reference is copied as it is
      out.append(text.substr(open));
      break;
    }
    const std::string name(text.substr(open + 1, close - open - 1));
    const char* value = !name.empty() && name.find('\0') == std::string::npos ? std::getenv(name.c_str()) : nullptr;
    if (value)
      out += value;
    else
      out.append(text.substr(open, close - open + 1));  // "%NAME%" stays as written
    i = close + 1;
  }
  return out;
}

namespace {

// A text as it is stored: its bytes and one terminating zero.
std::string Terminated(const std::string& text) {
  std::string data = text;
  data += '\0';
  return data;
}

// The stored text: the data without its terminating zero. Data written by
// something else without a terminator loses nothing.
std::string StoredText(std::string_view data) {
  if (!data.empty() && data.back() == '\0') data.remove_suffix(1);
  return std::string(data);
}

// The first four bytes as a little-endian number (missing bytes read as zero).
int32_t Dword(std::string_view data) {
  uint32_t v = 0;
  for (size_t k = 0; k < 4; ++k) {
    const uint32_t byte = k < data.size() ? static_cast<unsigned char>(data[k]) : 0u;
    v |= byte << (8 * k);
  }
  return static_cast<int32_t>(v);  // modular, as C++20 defines it
}

// Reverses the byte order of a 32-bit number.
int32_t SwapBytes(int32_t n) {
  const uint32_t u = static_cast<uint32_t>(n);
  return static_cast<int32_t>((u >> 24) | ((u >> 8) & 0xFF00u) | ((u << 8) & 0xFF0000u) | (u << 24));
}

// A text holding "%" and a further "%" at least two positions after the
// first is stored as expandable text; "%%" alone does not count.
bool HasReference(const std::string& text) {
  const size_t first = text.find('%');
  return first != std::string::npos && text.find('%', first + 2) != std::string::npos;
}

std::string UpToZero(const std::string& s) { return s.substr(0, s.find('\0')); }

// A number of names as the enumerations count it (no store holds more than
// fit; a count beyond stops at the largest).
int32_t Count(size_t n) { return static_cast<int32_t>(std::min<size_t>(n, INT32_MAX)); }

}  // namespace

RegValue DecodeStoredValue(int32_t type, std::string_view data) {
  switch (type) {
    case cRegistry::REG_SZ:
    case cRegistry::REG_MULTI_SZ: return RegValue::Text(StoredText(data));
    case cRegistry::REG_EXPAND_SZ: return RegValue::Text(ExpandEnvironmentText(StoredText(data)));
    case cRegistry::REG_DWORD: return RegValue::Number(Dword(data));
    case cRegistry::REG_DWORD_BIG_ENDIAN: return RegValue::Number(SwapBytes(Dword(data)));
    default: return RegValue::Bytes(std::string(data));
  }
}

// --- cRegistry ------------------------------------------------------------------

std::string cRegistry::Section() const { return UpToZero(sectionKey_); }
std::string cRegistry::Name() const { return UpToZero(valueKey_); }
std::string cRegistry::Source() const { return store_.ProgramName() + ".cRegistry"; }
std::string cRegistry::KeyText() const { return std::to_string(classKey_); }

std::string cRegistry::SetValueFailure(const RegValue& v) const {
  return "Failed to set registry value Key: '" + KeyText() + "',Section: '" + sectionKey_ + "',Key: '" + valueKey_ +
         "' to value: '" + v.ToText() + "'";
}

RegistryError cRegistry::WriteError(int32_t number, const RegValue& v) const {
  return RegistryError(number, Source(), SetValueFailure(v), StoreWriteDetail(store_));
}

std::string StoreWriteDetail(const platform::Store& store) {
  const std::string why = store.LastFailure();
  return "The settings in " + store.Location() + " could not be written" + (why.empty() ? "." : ": " + why + ".");
}

void cRegistry::Machine(const std::string& sMachine) {
  if (sMachine.size() < 3)
    machine_.clear();
  else
    machine_ = sMachine.rfind("\\\\", 0) == 0 ? sMachine : "\\\\" + sMachine;
}

bool cRegistry::KeyExists() const { return store_.KeyExists(classKey_, Section()); }

bool cRegistry::CreateKey() {
  if (!store_.CreateKey(classKey_, Section()))
    throw RegistryError(kRegErrFailed, Source(), "Failed to create registry Key: '" + sectionKey_);
  return true;
}

bool cRegistry::DeleteKey() {
  if (!store_.DeleteKey(classKey_, Section()))
    throw RegistryError(kRegErrFailed, Source(),
                        "Failed to delete registry Key: '" + KeyText() + "',Section: '" + sectionKey_,
                        StoreWriteDetail(store_));
  return true;
}

bool cRegistry::DeleteValue() {
  switch (store_.DeleteValue(classKey_, Section(), Name())) {
    case store::WriteResult::Ok: return true;
    case store::WriteResult::KeyFailed:
      throw RegistryError(kRegErrFailed, Source(),
                          "Failed to open key '" + KeyText() + "',Section: '" + sectionKey_ + "' for delete access");
    case store::WriteResult::ValueFailed: break;
  }
  throw RegistryError(kRegErrFailed, Source(),
                      "Failed to delete registry Key: '" + KeyText() + "',Section: '" + sectionKey_ + "',Key: '" +
                          valueKey_);
}

RegValue cRegistry::Value() {
  if (!machine_.empty()) return default_;  // no connection to a remote store
  const auto stored = store_.ReadValue(classKey_, Section(), Name());
  if (!stored) return default_;
  valueType_ = stored->type;
  return DecodeStoredValue(stored->type, stored->data);
}

void cRegistry::Value(const RegValue& vValue) {
  if (!machine_.empty()) throw RegistryError(kRegErrFailed, Source(), SetValueFailure(vValue));

  int32_t type = 0;
  std::string data;
  switch (valueType_) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
      const std::string text = vValue.ToText();
      type = HasReference(text) ? REG_EXPAND_SZ : REG_SZ;
      data = Terminated(text);
      break;
    }
    case REG_BINARY:
      if (vValue.kind() != RegValue::Kind::Bytes) {
        if (!store_.CreateKey(classKey_, Section())) throw WriteError(kRegErrFailed, vValue);
        throw RegistryError(kRegErrFailed, Source(), kNoDescription);
      }
      type = REG_BINARY;
      data = vValue.raw();
      break;
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN: {
      if (vValue.kind() != RegValue::Kind::Number) {
        // Only a whole number is written; anything else writes nothing.
        if (!store_.CreateKey(classKey_, Section())) throw WriteError(kRegErrFailed, vValue);
        return;
      }
      const uint32_t u = static_cast<uint32_t>(vValue.number());
      for (int k = 0; k < 4; ++k) data += static_cast<char>((u >> (8 * k)) & 0xFFu);
      type = REG_DWORD;  // also for big-endian: stored unreversed
      break;
    }
    default:
      // Any other type writes nothing and counts as a failed write.
      if (!store_.CreateKey(classKey_, Section())) throw WriteError(kRegErrFailed, vValue);
      throw RegistryError(kRegErrWriteFailed, Source(), SetValueFailure(vValue));
  }

  switch (store_.WriteValue(classKey_, Section(), Name(), type, data)) {
    case store::WriteResult::Ok: lastValue_ = vValue; return;
    case store::WriteResult::KeyFailed: throw WriteError(kRegErrFailed, vValue);
    case store::WriteResult::ValueFailed: break;
  }
  throw WriteError(kRegErrWriteFailed, vValue);
}

bool cRegistry::EnumerateValues(std::vector<std::string>& sKeyNames, int32_t& iKeyCount) const {
  sKeyNames.clear();
  iKeyCount = 0;
  if (auto names = store_.ValueNames(classKey_, Section())) {
    sKeyNames = std::move(*names);
    iKeyCount = Count(sKeyNames.size());
  }
  return true;
}

bool cRegistry::EnumerateSections(std::vector<std::string>& sSect, int32_t& iSectCount) const {
  sSect.clear();
  iSectCount = 0;
  if (auto names = store_.SubkeyNames(classKey_, Section())) {
    for (std::string& n : *names) sSect.push_back(UpToZero(n.substr(0, store::kMaxKeyName)));
    iSectCount = Count(sSect.size());
  }
  return true;
}

RegValue cRegistry::ValueEx(int32_t eClassKey, const std::string& sSectionKey, const std::string& sValueKey,
                            int32_t eValueType, const RegValue& vDefault) {
  ClassKey(eClassKey);
  SectionKey(sSectionKey);
  ValueKey(sValueKey);
  ValueType(eValueType);
  Default(vDefault);
  return Value();
}

void cRegistry::ValueEx(int32_t eClassKey, const std::string& sSectionKey, const std::string& sValueKey,
                        int32_t eValueType, const RegValue& vDefault, const RegValue& vNewValue) {
  ClassKey(eClassKey);
  SectionKey(sSectionKey);
  ValueKey(sValueKey);
  ValueType(eValueType);
  Default(vDefault);
  if (eValueType == REG_SZ && vNewValue.ToText().empty())
    Value(vDefault);
  else
    Value(vNewValue);
}

void cRegistry::WriteToBothRoots(const std::string& text) {
  const std::string section = sectionKey_;
  ClassKey(HKEY_CLASSES_ROOT);
  Value(RegValue::Text(text));
  ClassKey(HKEY_LOCAL_MACHINE);
  SectionKey("SOFTWARE\\Classes\\" + section);
  Value(RegValue::Text(text));
  SectionKey(section);
}

namespace {

std::string TrimBlanks(const std::string& s) {
  const size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

}  // namespace

void cRegistry::CreateEXEAssociation(const std::string& sExePath, const std::string& sClassName,
                                     const std::string& sClassDescription, const std::string& sAssociation,
                                     const std::string& sOpenMenuText, bool bSupportPrint,
                                     const std::string& sPrintMenuText, bool bSupportNew,
                                     const std::string& sNewMenuText, bool bSupportInstall,
                                     const std::string& sInstallMenuText, int32_t lDefaultIconIndex) {
  std::string exe = TrimBlanks(sExePath);
  if (!(exe.size() >= 2 && exe.front() == '"' && exe.back() == '"')) exe = "\"" + exe + "\"";
  auto orDefault = [](const std::string& text, const std::string& fallback) { return text.empty() ? fallback : text; };
  auto write = [&](const std::string& section, const std::string& text) {
    SectionKey(section);
    WriteToBothRoots(text);
  };

  ValueType(REG_SZ);
  ValueKey("");
  write("." + sAssociation, sClassName);
  write(sClassName, sClassDescription);
  write(sClassName + "\\shell\\open", orDefault(sOpenMenuText, "&Open"));
  write(sClassName + "\\shell\\open\\command", exe + " \"%1\"");
  if (bSupportPrint) {
    write(sClassName + "\\shell\\print", orDefault(sPrintMenuText, "&Print"));
    write(sClassName + "\\shell\\print\\command", exe + " /p \"%1\"");
  }
  if (bSupportInstall) {
    write(sClassName + "\\shell\\add", orDefault(sInstallMenuText, "&Install " + sAssociation));
    write(sClassName + "\\shell\\add\\command", exe + " /a \"%1\"");
  }
  if (bSupportNew) {
    write(sClassName + "\\shell\\new", orDefault(sNewMenuText, "&New"));
    write(sClassName + "\\shell\\new\\command", exe + " /n \"%1\"");
  }
  if (lDefaultIconIndex > -1) write(sClassName + "\\DefaultIcon", exe + "," + std::to_string(lDefaultIconIndex));
}

void cRegistry::CreateAdditionalEXEAssociations(const std::string& sClassName, const std::vector<RegValue>& vItems) {
  if (vItems.size() % 3 != 0)
    throw RegistryError(
        kRegErrBadAssociationList, Source(),
        "Invalid parameter list passed to CreateAdditionalEXEAssociations - expected Name/Text/Command");
  ClassKey(HKEY_CLASSES_ROOT);
  SectionKey(sClassName);
  if (!KeyExists())
    throw RegistryError(kRegErrNoClass, Source(),
                        "Error - attempt to create additional associations before class defined.");
  ValueType(REG_SZ);
  ValueKey("");
  for (size_t i = 0; i < vItems.size(); i += 3) {
    const std::string verb = sClassName + "\\shell\\" + vItems[i].ToText();
    SectionKey(verb);
    WriteToBothRoots(vItems[i + 1].ToText());
    SectionKey(verb + "\\command");
    WriteToBothRoots(vItems[i + 2].ToText());
  }
}

}  // namespace vantorel
