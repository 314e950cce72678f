// cRegistry: typed reads and writes, key operations, the error numbers and
// texts, and the file-type association members.
#include "storetest.h"

using namespace vantorel;
using namespace storetest;
using namespace std::string_literals;

namespace {

constexpr int32_t HKLM = cRegistry::HKEY_LOCAL_MACHINE, HKCU = cRegistry::HKEY_CURRENT_USER,
                  HKCR = cRegistry::HKEY_CLASSES_ROOT;

cRegistry At(int32_t root, const std::string& section, const std::string& name, int32_t type = 0) {
  cRegistry r;
  r.ClassKey(root);
  r.SectionKey(section);
  r.ValueKey(name);
  r.ValueType(type);
  return r;
}

}  // namespace

class Registry : public StoreTest {};

TEST(RegistryValues, MachineNamesAndStoredBytesByType) {
  cRegistry r;
  for (auto [name, shown] : {std::pair{"pc", ""}, {"pc1", "\\\\pc1"}, {"\\\\server", "\\\\server"}, {"", ""}}) {
    r.Machine(name);
    EXPECT_EQ(r.Machine(), shown) << name;
  }
  EXPECT_EQ(DecodeStoredValue(7, "a\0b\0\0"s), RegValue::Text("a\0b\0"s));
  EXPECT_EQ(DecodeStoredValue(4, "\x01\x02"), RegValue::Number(0x0201)) << "short";
  EXPECT_EQ(DecodeStoredValue(4, "\x01\0\0\0\x09"s), RegValue::Number(1)) << "long";
  for (int32_t other : {0, 3, 6, 8, 11, -1})
    EXPECT_EQ(DecodeStoredValue(other, "\0x"s), RegValue::Bytes("\0x"s)) << other;
}

// A text with a %NAME% reference is stored as expandable text and read back
// expanded; a reference to a variable that is not set stays as written.
TEST_F(Registry, TextsAreStoredAsPlainOrExpandableText) {
  setenv("VANTOREL_TEST_DIR", "/tmp/vt", 1);
  unsetenv("VANTOREL_NOT_SET");
  const std::tuple<std::string, int32_t, std::string> cases[] = {
      {"%VANTOREL_TEST_DIR%\\x", 2, "/tmp/vt\\x"},
      {"a%VANTOREL_TEST_DIR%b%VANTOREL_TEST_DIR%", 2, "a/tmp/vtb/tmp/vt"},
      {"%VANTOREL_NOT_SET%VANTOREL_TEST_DIR%", 2, "%VANTOREL_NOT_SET%VANTOREL_TEST_DIR%"},
      {"50% of %VANTOREL_TEST_DIR", 2, "50% of %VANTOREL_TEST_DIR"},
      {"%%x", 1, "%%x"},
      {"50%", 1, "50%"},
      {"", 1, ""},  // an empty text reads as an empty text, not the default
      {"tab\tnew\nline 'q' \"dq\" \\ ü", 1, "tab\tnew\nline 'q' \"dq\" \\ ü"},
  };
  for (const auto& [text, storedType, readBack] : cases) {
    At(HKCU, "T", text, cRegistry::REG_SZ).Value(RegValue::Text(text));
    const auto raw = st::ReadValue(HKCU, "T", text).value_or(st::StoredValue{-1, "<none>"});
    EXPECT_EQ(raw.type, storedType) << text;
    EXPECT_EQ(raw.data, text + '\0');
    cRegistry r = At(HKCU, "T", text);
    r.Default(RegValue::Text("default"));
    EXPECT_EQ(r.Value(), RegValue::Text(readBack));
    EXPECT_EQ(r.ValueType(), storedType) << "a read sets the type field";
  }
}

TEST_F(Registry, NumbersAndBytes) {
  At(HKLM, "N", "dword", cRegistry::REG_DWORD).Value(RegValue::Number(-2));
  EXPECT_EQ(st::ReadValue(HKLM, "N", "dword")->data, "\xfe\xff\xff\xff");
  EXPECT_EQ(At(HKLM, "N", "dword").Value(), RegValue::Number(-2));
  // Written with the big-endian type: stored as an ordinary number, unreversed.
  At(HKLM, "N", "big", cRegistry::REG_DWORD_BIG_ENDIAN).Value(RegValue::Number(0x01020304));
  EXPECT_EQ(st::ReadValue(HKLM, "N", "big")->type, cRegistry::REG_DWORD);
  EXPECT_EQ(At(HKLM, "N", "big").Value(), RegValue::Number(0x01020304));
  // Stored with the big-endian type: read with its bytes reversed.
  ASSERT_EQ(st::WriteValue(HKLM, "N", "stored big", 5, "\0\0\x01\x02"s), st::WriteResult::Ok);
  cRegistry sb = At(HKLM, "N", "stored big");
  EXPECT_EQ(sb.Value(), RegValue::Number(258));
  EXPECT_EQ(sb.ValueType(), cRegistry::REG_DWORD_BIG_ENDIAN);
  // Only a number is written as a number; anything else writes nothing, silently, once the key is made.
  At(HKLM, "N2", "dword", cRegistry::REG_DWORD).Value(RegValue::Text("12"));
  EXPECT_TRUE(st::KeyExists(HKLM, "N2") && !st::ReadValue(HKLM, "N2", "dword"));
  At(HKLM, "N", "bin", cRegistry::REG_BINARY).Value(RegValue::Bytes("\0\x01\xff"s));
  EXPECT_EQ(At(HKLM, "N", "bin").Value(), RegValue::Bytes("\0\x01\xff"s));
}

TEST_F(Registry, WriteErrorsCarryTheirNumbersAndTexts) {
  const std::string set = "Failed to set registry value Key: '-2147483646',Section: '",
                    fail = set + "S',Key: 'val' to value: 'text'";
  cRegistry bin = At(HKLM, "S", "val", cRegistry::REG_BINARY);  // and a value that is no byte array
  ExpectRegistryError([&] { bin.Value(RegValue::Text("text")); }, 26001, kNoDescription);
  for (int32_t type : {0, 6, 8, 11}) {  // types the class does not write
    cRegistry o = At(HKLM, "S", "val", type);
    ExpectRegistryError([&] { o.Value(RegValue::Text("text")); }, kRegErrWriteFailed, fail);
  }
  cRegistry badKey = At(HKLM, "\\bad", "val", cRegistry::REG_SZ);
  ExpectRegistryError([&] { badKey.Value(RegValue::Text("text")); }, 26001, set + "\\bad',Key: 'val' to value: 'text'");
  cRegistry remote = At(HKLM, "S", "val", cRegistry::REG_SZ);  // no other machine is reachable
  remote.Machine("server");
  ExpectRegistryError([&] { remote.Value(RegValue::Text("text")); }, 26001, fail);
  EXPECT_FALSE(st::ReadValue(HKLM, "S", "val"));
  At(HKLM, "S", "val", cRegistry::REG_SZ).Value(RegValue::Text("local"));
  remote.Default(RegValue::Text("remote default"));
  EXPECT_EQ(remote.Value(), RegValue::Text("remote default")) << "reads give the default";
  remote.Machine("");
  EXPECT_EQ(remote.Value(), RegValue::Text("local"));
}

TEST_F(Registry, KeyOperationsAndTheirErrors) {
  const std::string section = "Software\\Morvale Services\\Vantorel\\", key = "Key: '-2147483646',Section: '";
  cRegistry k = At(HKLM, section, "v", 1);
  k.Default(RegValue::Number(5));
  EXPECT_EQ(k.Value(), RegValue::Number(5)) << "a missing value reads as the default";
  ExpectRegistryError([&] { k.DeleteKey(); }, 26001, "Failed to delete registry " + key + section);
  ExpectRegistryError([&] { k.DeleteValue(); }, 26001,
                      "Failed to open key '-2147483646',Section: '" + section + "' for delete access");
  EXPECT_TRUE(k.CreateKey() && k.CreateKey()) << "an existing key is simply opened";
  ExpectRegistryError([&] { k.DeleteValue(); }, 26001, "Failed to delete registry " + key + section + "',Key: 'v");
  k.Value(RegValue::Text("x"));
  EXPECT_TRUE(k.DeleteValue());
  EXPECT_EQ(k.Value(), RegValue::Number(5));

  k.Value(RegValue::Text("x"));  // a key with values and no subkeys goes; one with a subkey stays
  cRegistry parent = At(HKLM, "Software\\Morvale Services", "");
  ExpectRegistryError([&] { parent.DeleteKey(); }, 26001,
                      "Failed to delete registry " + key + "Software\\Morvale Services");
  EXPECT_TRUE(k.DeleteKey());
  EXPECT_TRUE(!k.KeyExists() && parent.KeyExists());
  cRegistry bad = At(cRegistry::HKEY_USERS, "a\\\\b", "");
  ExpectRegistryError([&] { bad.CreateKey(); }, 26001, "Failed to create registry Key: 'a\\\\b");
}

// File-type associations, which the program itself does not make.
TEST_F(Registry, FileTypeAssociations) {
  cRegistry r;
  ExpectRegistryError([&] { r.CreateAdditionalEXEAssociations("VT.Data", {}); }, kRegErrNoClass,
                      "Error - attempt to create additional associations before class defined.");
  r.CreateEXEAssociation("  /opt/vt/app  ", "VT.Data", "VT data", "vtd");
  EXPECT_EQ(At(HKCR, ".vtd", "").Value(), RegValue::Text("VT.Data"));
  EXPECT_EQ(At(HKLM, "SOFTWARE\\Classes\\VT.Data\\shell\\open\\command", "").Value(),
            RegValue::Text("\"/opt/vt/app\" \"%1\""));
  ExpectRegistryError([&] { r.CreateAdditionalEXEAssociations("VT.Data", {RegValue::Text("a")}); },
                      kRegErrBadAssociationList,
                      "Invalid parameter list passed to CreateAdditionalEXEAssociations - expected Name/Text/Command");
}
