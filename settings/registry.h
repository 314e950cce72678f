// cRegistry: the program's gateway to its settings store. An object works
// on the store it is given, is pointed at one value (root, key path, value
// name, value type) through its properties and then reads or writes that
// value through Value, or acts on the key as a whole. No store handle
// outlives a call; failures to create, open, delete or write raise
// RegistryError with a number, the source "<program>.cRegistry" (the store's
// ProgramName) and a description.
#pragma once

#include "platform/store.h"

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace vantorel {

// An error of the settings store: its number (26001, or an object-defined
// number such as -2147194455), its source and its description.
class RegistryError : public std::exception {
 public:
  RegistryError(int32_t number, std::string source, std::string description, std::string detail = {})
      : number_(number), source_(std::move(source)), description_(std::move(description)), detail_(std::move(detail)) {}
  int32_t number() const { return number_; }
  const std::string& source() const { return source_; }
  const std::string& description() const { return description_; }
  // For a store that refused a write: which file and why, in words
  // ("The settings in /home/.../registry.sqlite3 could not be written: Permission denied.").
  const std::string& detail() const { return detail_; }
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  int32_t number_;
  std::string source_;
  std::string description_;
  std::string detail_;
};

// The detail of an error of a store write: where the store is and the
// reason it gave for its last failure.
std::string StoreWriteDetail(const platform::Store& store);

// Error numbers: 26001, and the object-defined errors &H80040000 + 1048 +
// 26001 / 26004 / 26005.
inline constexpr int32_t kRegErrFailed = 26001;
inline constexpr int32_t kRegErrWriteFailed = -2147194455;         // &H800469A9
inline constexpr int32_t kRegErrBadAssociationList = -2147194452;  // &H800469AC
inline constexpr int32_t kRegErrNoClass = -2147194451;             // &H800469AD

// The description an error gets when it is raised without one of its own.
inline constexpr const char* kNoDescription = "Application-defined or object-defined error";

// A value as the class hands it over: nothing, a text, a 32-bit number or a
// byte array.
class RegValue {
 public:
  enum class Kind { Empty, Text, Number, Bytes };

  RegValue() = default;
  static RegValue Text(std::string text);
  static RegValue Number(int32_t n);
  static RegValue Bytes(std::string bytes);

  Kind kind() const { return kind_; }
  bool isEmpty() const { return kind_ == Kind::Empty; }
  int32_t number() const { return number_; }
  // The text of a Text value, or the bytes of a Bytes value.
  const std::string& raw() const { return text_; }
  // The text form: a text itself, a number in plain decimal, a byte array's
  // bytes taken as characters, nothing as "".
  std::string ToText() const;

  bool operator==(const RegValue&) const = default;

 private:
  Kind kind_ = Kind::Empty;
  int32_t number_ = 0;
  std::string text_;
};

// Expands %NAME% references from the process environment; a reference to a
// variable that is not set stays as written.
std::string ExpandEnvironmentText(std::string_view text);

// Turns stored bytes of the given type into the value a read returns:
// texts (1, 7) without their terminating zero, an expanded text (2), a
// little-endian (4) or big-endian (5) 32-bit number, and bytes for any other
// type.
RegValue DecodeStoredValue(int32_t type, std::string_view data);

// The class keeps the registry's own names for its roots and types; where
// <windows.h> has made them macros, they are set aside while it is declared.
#pragma push_macro("HKEY_CLASSES_ROOT")
#undef HKEY_CLASSES_ROOT
#pragma push_macro("HKEY_CURRENT_USER")
#undef HKEY_CURRENT_USER
#pragma push_macro("HKEY_LOCAL_MACHINE")
#undef HKEY_LOCAL_MACHINE
#pragma push_macro("HKEY_USERS")
#undef HKEY_USERS
#pragma push_macro("REG_SZ")
#undef REG_SZ
#pragma push_macro("REG_EXPAND_SZ")
#undef REG_EXPAND_SZ
#pragma push_macro("REG_BINARY")
#undef REG_BINARY
#pragma push_macro("REG_DWORD")
#undef REG_DWORD
#pragma push_macro("REG_DWORD_BIG_ENDIAN")
#undef REG_DWORD_BIG_ENDIAN
#pragma push_macro("REG_MULTI_SZ")
#undef REG_MULTI_SZ

class cRegistry {
 public:
  explicit cRegistry(platform::Store& store) : store_(store) {}

  // Roots (predefined handles) and value types.
  static constexpr int32_t HKEY_CLASSES_ROOT = platform::store::kClassesRoot;
  static constexpr int32_t HKEY_CURRENT_USER = platform::store::kCurrentUser;
  static constexpr int32_t HKEY_LOCAL_MACHINE = platform::store::kLocalMachine;
  static constexpr int32_t HKEY_USERS = platform::store::kUsers;
  static constexpr int32_t REG_SZ = 1;
  static constexpr int32_t REG_EXPAND_SZ = 2;
  static constexpr int32_t REG_BINARY = 3;
  static constexpr int32_t REG_DWORD = 4;
  static constexpr int32_t REG_DWORD_BIG_ENDIAN = 5;
  static constexpr int32_t REG_MULTI_SZ = 7;

  // Remote computer, "\\name", or empty for this one. Remote stores are not
  // available: with a machine set, a Value read returns the default and a
  // Value write raises 26001 without writing.
  const std::string& Machine() const { return machine_; }
  void Machine(const std::string& sMachine);

  bool KeyExists() const;
  bool CreateKey();
  bool DeleteKey();
  bool DeleteValue();

  RegValue Value();
  void Value(const RegValue& vValue);

  // Names of the key's values / subkeys; the count is set to their number.
  // Always true; a key that cannot be opened gives no names.
  bool EnumerateValues(std::vector<std::string>& sKeyNames, int32_t& iKeyCount) const;
  bool EnumerateSections(std::vector<std::string>& sSect, int32_t& iSectCount) const;

  void CreateEXEAssociation(const std::string& sExePath, const std::string& sClassName,
                            const std::string& sClassDescription, const std::string& sAssociation,
                            const std::string& sOpenMenuText = "", bool bSupportPrint = false,
                            const std::string& sPrintMenuText = "", bool bSupportNew = false,
                            const std::string& sNewMenuText = "", bool bSupportInstall = false,
                            const std::string& sInstallMenuText = "", int32_t lDefaultIconIndex = -1);
  // vItems: verb name, menu text, command, repeated.
  void CreateAdditionalEXEAssociations(const std::string& sClassName, const std::vector<RegValue>& vItems);

  int32_t ValueType() const { return valueType_; }
  void ValueType(int32_t eValueType) { valueType_ = eValueType; }
  int32_t ClassKey() const { return classKey_; }
  void ClassKey(int32_t eKey) { classKey_ = eKey; }
  const std::string& SectionKey() const { return sectionKey_; }
  void SectionKey(const std::string& sSectionKey) { sectionKey_ = sSectionKey; }
  const std::string& ValueKey() const { return valueKey_; }
  void ValueKey(const std::string& sValueKey) { valueKey_ = sValueKey; }

  RegValue ValueEx(int32_t eClassKey, const std::string& sSectionKey, const std::string& sValueKey, int32_t eValueType,
                   const RegValue& vDefault);
  void ValueEx(int32_t eClassKey, const std::string& sSectionKey, const std::string& sValueKey, int32_t eValueType,
               const RegValue& vDefault, const RegValue& vNewValue);

  // The error a Value write of v raises when the store refuses it.
  RegistryError WriteError(int32_t number, const RegValue& v) const;

  const RegValue& Default() const { return default_; }
  void Default(const RegValue& vDefault) { default_ = vDefault; }

 private:
  // Names go to the store as the registry's 8-bit interface takes them:
  // up to the first zero character.
  std::string Section() const;
  std::string Name() const;
  std::string Source() const;
  std::string KeyText() const;
  std::string SetValueFailure(const RegValue& v) const;
  // Value write to the current section under HKEY_CLASSES_ROOT, then under
  // HKEY_LOCAL_MACHINE at "SOFTWARE\Classes\" + section.
  void WriteToBothRoots(const std::string& text);

  platform::Store& store_;
  int32_t classKey_ = 0;
  std::string sectionKey_;
  std::string valueKey_;
  RegValue lastValue_;
  RegValue default_;
  int32_t valueType_ = 0;
  std::string machine_;
};

#pragma pop_macro("HKEY_CLASSES_ROOT")
#pragma pop_macro("HKEY_CURRENT_USER")
#pragma pop_macro("HKEY_LOCAL_MACHINE")
#pragma pop_macro("HKEY_USERS")
#pragma pop_macro("REG_SZ")
#pragma pop_macro("REG_EXPAND_SZ")
#pragma pop_macro("REG_BINARY")
#pragma pop_macro("REG_DWORD")
#pragma pop_macro("REG_DWORD_BIG_ENDIAN")
#pragma pop_macro("REG_MULTI_SZ")

}  // namespace vantorel
