// cRegistry: properties, typed reads and writes, key operations, the error
// numbers and texts, enumeration and the file-type association members.
#include "platform/files.h"
#include "shell/registry.h"
#include "storetest.h"

using namespace vantorel;
using namespace storetest;
namespace st = vantorel::platform::store;

namespace {

const std::string kSource = platform::ExecutableName() + ".cRegistry";

cRegistry At(int32_t root, const std::string& section, const std::string& name, int32_t type) {
  cRegistry r;
  r.ClassKey(root);
  r.SectionKey(section);
  r.ValueKey(name);
  r.ValueType(type);
  return r;
}

// Runs f, which must raise; returns the error.
template <class F>
RegistryError Raised(F f) {
  try {
    f();
  } catch (const RegistryError& e) {
    return e;
  }
  ADD_FAILURE() << "no error was raised";
  return RegistryError(0, "", "");
}

void ExpectError(const RegistryError& e, long number, const std::string& description) {
  EXPECT_EQ(e.number(), number);
  EXPECT_EQ(e.source(), kSource);
  EXPECT_EQ(e.description(), description);
  EXPECT_STREQ(e.what(), description.c_str());
}

}  // namespace

class Registry : public StoreTest {};

TEST(RegistryProperties, MachineNamesAndFieldDefaults) {
  cRegistry r;
  EXPECT_EQ(r.ClassKey(), 0);
  EXPECT_EQ(r.SectionKey(), "");
  EXPECT_EQ(r.ValueKey(), "");
  EXPECT_EQ(r.ValueType(), 0);
  EXPECT_TRUE(r.Default().isEmpty());
  EXPECT_EQ(r.Machine(), "");
  r.Machine("pc");
  EXPECT_EQ(r.Machine(), "");
  r.Machine("pc1");
  EXPECT_EQ(r.Machine(), "\\\\pc1");
  r.Machine("\\\\server");
  EXPECT_EQ(r.Machine(), "\\\\server");
  r.Machine("");
  EXPECT_EQ(r.Machine(), "");
  EXPECT_EQ(cRegistry::HKEY_LOCAL_MACHINE, -2147483646);
  EXPECT_EQ(cRegistry::HKEY_CLASSES_ROOT, -2147483647 - 1);
}

TEST(RegistryProperties, StoredBytesDecodeByType) {
  EXPECT_EQ(DecodeStoredValue(1, std::string("abc\0", 4)), RegValue::Text("abc"));
  EXPECT_EQ(DecodeStoredValue(1, "abc"), RegValue::Text("abc")) << "no terminator: nothing is lost";
  EXPECT_EQ(DecodeStoredValue(1, ""), RegValue::Text(""));
  EXPECT_EQ(DecodeStoredValue(7, std::string("a\0b\0\0", 5)), RegValue::Text(std::string("a\0b\0", 4)));
  EXPECT_EQ(DecodeStoredValue(4, std::string("\xfe\xff\xff\xff", 4)), RegValue::Number(-2));
  EXPECT_EQ(DecodeStoredValue(4, std::string("\x01\x02", 2)), RegValue::Number(0x0201));
  EXPECT_EQ(DecodeStoredValue(4, std::string("\x01\x00\x00\x00\x09\x09", 6)), RegValue::Number(1));
  EXPECT_EQ(DecodeStoredValue(5, std::string("\x00\x00\x01\x02", 4)), RegValue::Number(0x0102));
  EXPECT_EQ(DecodeStoredValue(5, std::string("\x80\x00\x00\x00", 4)), RegValue::Number(INT32_MIN));
  for (int32_t other : {0, 3, 6, 8, 11, -1})
    EXPECT_EQ(DecodeStoredValue(other, std::string("\0x", 2)), RegValue::Bytes(std::string("\0x", 2))) << other;

  EXPECT_EQ(RegValue::Number(-123).ToText(), "-123");
  EXPECT_EQ(RegValue().ToText(), "");
  EXPECT_EQ(RegValue::Bytes("ab").ToText(), "ab");
}

TEST(RegistryProperties, EnvironmentReferencesExpand) {
  setenv("VANTOREL_TEST_DIR", "/tmp/vt", 1);
  unsetenv("VANTOREL_NOT_SET");
  EXPECT_EQ(ExpandEnvironmentText("%VANTOREL_TEST_DIR%\\x"), "/tmp/vt\\x");
  EXPECT_EQ(ExpandEnvironmentText("a%VANTOREL_TEST_DIR%b%VANTOREL_TEST_DIR%"), "a/tmp/vtb/tmp/vt");
  EXPECT_EQ(ExpandEnvironmentText("%VANTOREL_NOT_SET%"), "%VANTOREL_NOT_SET%");
  EXPECT_EQ(ExpandEnvironmentText("%VANTOREL_NOT_SET%VANTOREL_TEST_DIR%"), "%VANTOREL_NOT_SET%VANTOREL_TEST_DIR%");
  EXPECT_EQ(ExpandEnvironmentText("100%"), "100%");
  EXPECT_EQ(ExpandEnvironmentText("%%"), "%%");
  EXPECT_EQ(ExpandEnvironmentText("50% of %VANTOREL_TEST_DIR"), "50% of %VANTOREL_TEST_DIR");
  unsetenv("VANTOREL_TEST_DIR");
}

TEST_F(Registry, TextsAreStoredAsPlainOrExpandableText) {
  setenv("VANTOREL_TEST_DIR", "/tmp/vt", 1);
  struct Case {
    std::string text;
    int32_t storedType;
    std::string readBack;
  };
  const Case cases[] = {
      {"%VANTOREL_TEST_DIR%\\x", 2, "/tmp/vt\\x"},
      {"a%b%", 2, "a%b%"},   // no such variable: kept as written
      {"%x%", 2, "%x%"},
      {"%%", 1, "%%"},
      {"%%x", 1, "%%x"},
      {"50%", 1, "50%"},
      {"", 1, ""},           // an empty text reads as an empty text, not the default
      {"tab\tnew\nline 'q' \"dq\" \\ ü", 1, "tab\tnew\nline 'q' \"dq\" \\ ü"},
  };
  int i = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string name = "v" + std::to_string(i++);
    cRegistry w = At(cRegistry::HKEY_CURRENT_USER, "Software\\T", name, cRegistry::REG_SZ);
    w.Value(RegValue::Text(c.text));
    EXPECT_EQ(w.ValueType(), cRegistry::REG_SZ) << "a write leaves the type field alone";
    const auto raw = st::ReadValue(st::kCurrentUser, "Software\\T", name);
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, c.storedType);
    EXPECT_EQ(raw->data, c.text + std::string(1, '\0'));
    cRegistry r = At(cRegistry::HKEY_CURRENT_USER, "Software\\T", name, 0);
    r.Default(RegValue::Text("default"));
    EXPECT_EQ(r.Value(), RegValue::Text(c.readBack));
    EXPECT_EQ(r.ValueType(), c.storedType);
  }
  // A number written as text is its decimal text.
  cRegistry n = At(cRegistry::HKEY_CURRENT_USER, "Software\\T", "n", cRegistry::REG_EXPAND_SZ);
  n.Value(RegValue::Number(-42));
  EXPECT_EQ(n.Value(), RegValue::Text("-42"));
  unsetenv("VANTOREL_TEST_DIR");
}

TEST_F(Registry, NumbersAndBytes) {
  cRegistry d = At(cRegistry::HKEY_LOCAL_MACHINE, "N", "dword", cRegistry::REG_DWORD);
  d.Value(RegValue::Number(-2));
  EXPECT_EQ(st::ReadValue(st::kLocalMachine, "N", "dword")->data, std::string("\xfe\xff\xff\xff", 4));
  d.ValueType(0);
  EXPECT_EQ(d.Value(), RegValue::Number(-2));
  EXPECT_EQ(d.ValueType(), cRegistry::REG_DWORD);

  // Written with the big-endian type: stored as an ordinary number, unreversed.
  cRegistry b = At(cRegistry::HKEY_LOCAL_MACHINE, "N", "big", cRegistry::REG_DWORD_BIG_ENDIAN);
  b.Value(RegValue::Number(0x01020304));
  EXPECT_EQ(st::ReadValue(st::kLocalMachine, "N", "big")->type, cRegistry::REG_DWORD);
  EXPECT_EQ(b.Value(), RegValue::Number(0x01020304));
  // Stored with the big-endian type: read with its bytes reversed.
  ASSERT_EQ(st::WriteValue(st::kLocalMachine, "N", "stored big", 5, std::string("\x00\x00\x01\x02", 4)),
            st::WriteResult::Ok);
  cRegistry sb = At(cRegistry::HKEY_LOCAL_MACHINE, "N", "stored big", 0);
  EXPECT_EQ(sb.Value(), RegValue::Number(258));
  EXPECT_EQ(sb.ValueType(), cRegistry::REG_DWORD_BIG_ENDIAN);

  // Only a number is written as a number; anything else writes nothing, silently.
  cRegistry t = At(cRegistry::HKEY_LOCAL_MACHINE, "N2", "dword", cRegistry::REG_DWORD);
  t.Value(RegValue::Text("12"));
  EXPECT_TRUE(t.KeyExists()) << "the key is created first";
  EXPECT_FALSE(st::ReadValue(st::kLocalMachine, "N2", "dword"));

  const std::string bytes("\0\x01\x02\xff", 4);
  cRegistry bin = At(cRegistry::HKEY_LOCAL_MACHINE, "N", "bin", cRegistry::REG_BINARY);
  bin.Value(RegValue::Bytes(bytes));
  bin.ValueType(0);
  EXPECT_EQ(bin.Value(), RegValue::Bytes(bytes));
  EXPECT_EQ(bin.ValueType(), cRegistry::REG_BINARY);
  bin.Value(RegValue::Bytes(""));
  EXPECT_EQ(bin.Value(), RegValue::Bytes(""));

  ASSERT_EQ(st::WriteValue(st::kLocalMachine, "N", "none", 0, "raw"), st::WriteResult::Ok);
  EXPECT_EQ(At(cRegistry::HKEY_LOCAL_MACHINE, "N", "none", 1).Value(), RegValue::Bytes("raw"));
}

TEST_F(Registry, WriteErrorsCarryTheirNumbersAndTexts) {
  const std::string fail =
      "Failed to set registry value Key: '-2147483646',Section: 'Software\\X',Key: 'val' to value: 'text'";
  // Binary type with something that is not a byte array: 26001 without a text of its own.
  cRegistry bin = At(cRegistry::HKEY_LOCAL_MACHINE, "Software\\X", "val", cRegistry::REG_BINARY);
  ExpectError(Raised([&] { bin.Value(RegValue::Text("text")); }), 26001, kNoDescription);
  EXPECT_FALSE(st::ReadValue(st::kLocalMachine, "Software\\X", "val"));

  // Types the class does not write: the write counts as failed.
  for (int32_t type : {0, 6, 8, 11}) {
    cRegistry o = At(cRegistry::HKEY_LOCAL_MACHINE, "Software\\X", "val", type);
    ExpectError(Raised([&] { o.Value(RegValue::Text("text")); }), kRegErrWriteFailed, fail);
  }
  EXPECT_FALSE(st::ReadValue(st::kLocalMachine, "Software\\X", "val"));

  // A key that cannot be created: 26001. A value the store refuses: &H800469A9.
  cRegistry badKey = At(cRegistry::HKEY_LOCAL_MACHINE, "\\bad", "val", cRegistry::REG_SZ);
  ExpectError(Raised([&] { badKey.Value(RegValue::Text("text")); }), 26001,
              "Failed to set registry value Key: '-2147483646',Section: '\\bad',Key: 'val' to value: 'text'");
  const std::string longName(20000, 'n');
  cRegistry badValue = At(cRegistry::HKEY_LOCAL_MACHINE, "Software\\X", longName, cRegistry::REG_SZ);
  ExpectError(Raised([&] { badValue.Value(RegValue::Number(7)); }), kRegErrWriteFailed,
              "Failed to set registry value Key: '-2147483646',Section: 'Software\\X',Key: '" + longName +
                  "' to value: '7'");

  // A remote machine is not available: nothing is read or written.
  cRegistry remote = At(cRegistry::HKEY_LOCAL_MACHINE, "Software\\X", "val", cRegistry::REG_SZ);
  remote.Machine("server");
  ExpectError(Raised([&] { remote.Value(RegValue::Text("text")); }), 26001, fail);
  EXPECT_FALSE(st::ReadValue(st::kLocalMachine, "Software\\X", "val"));
  ASSERT_EQ(st::WriteValue(st::kLocalMachine, "Software\\X", "val", 1, std::string("local\0", 6)),
            st::WriteResult::Ok);
  remote.Default(RegValue::Text("remote default"));
  EXPECT_EQ(remote.Value(), RegValue::Text("remote default"));
  remote.Machine("");
  EXPECT_EQ(remote.Value(), RegValue::Text("local"));
}

TEST_F(Registry, ReadsOfMissingValuesGiveTheDefaultAndChangeNothing) {
  cRegistry r = At(cRegistry::HKEY_LOCAL_MACHINE, "Nowhere", "x", 4);
  EXPECT_TRUE(r.Value().isEmpty());
  r.Default(RegValue::Number(5));
  EXPECT_EQ(r.Value(), RegValue::Number(5));
  EXPECT_EQ(r.ValueType(), 4);
  EXPECT_FALSE(fs::exists(StoreFile())) << "reads create nothing";

  // A name passes to the store up to its first zero character.
  cRegistry z = At(cRegistry::HKEY_LOCAL_MACHINE, std::string("Sec\0tion", 8), std::string("na\0me", 5), 1);
  z.Value(RegValue::Text("cut"));
  EXPECT_EQ(At(cRegistry::HKEY_LOCAL_MACHINE, "Sec", "na", 1).Value(), RegValue::Text("cut"));
}

TEST_F(Registry, KeyOperationsAndTheirErrors) {
  cRegistry k = At(cRegistry::HKEY_LOCAL_MACHINE, "Software\\Morvale Services\\Vantorel\\", "v", 1);
  EXPECT_FALSE(k.KeyExists());
  ExpectError(Raised([&] { k.DeleteKey(); }), 26001,
              "Failed to delete registry Key: '-2147483646',Section: 'Software\\Morvale Services\\Vantorel\\");
  ExpectError(Raised([&] { k.DeleteValue(); }), 26001,
              "Failed to open key '-2147483646',Section: 'Software\\Morvale Services\\Vantorel\\' for delete access");
  EXPECT_TRUE(k.CreateKey());
  EXPECT_TRUE(k.CreateKey()) << "an existing key is simply opened";
  EXPECT_TRUE(k.KeyExists());
  ExpectError(Raised([&] { k.DeleteValue(); }), 26001,
              "Failed to delete registry Key: '-2147483646',Section: 'Software\\Morvale Services\\Vantorel\\',Key: 'v");
  k.Value(RegValue::Text("x"));
  EXPECT_TRUE(k.DeleteValue());
  EXPECT_TRUE(k.Value().isEmpty());

  // A key with values and no subkeys goes; one with a subkey stays.
  k.Value(RegValue::Text("x"));
  cRegistry parent = At(cRegistry::HKEY_LOCAL_MACHINE, "Software\\Morvale Services", "", 1);
  ExpectError(Raised([&] { parent.DeleteKey(); }), 26001,
              "Failed to delete registry Key: '-2147483646',Section: 'Software\\Morvale Services");
  EXPECT_TRUE(k.DeleteKey());
  EXPECT_FALSE(k.KeyExists());
  EXPECT_TRUE(parent.KeyExists());

  cRegistry bad = At(cRegistry::HKEY_USERS, "a\\\\b", "", 1);
  ExpectError(Raised([&] { bad.CreateKey(); }), 26001, "Failed to create registry Key: 'a\\\\b");
}

TEST_F(Registry, EnumerationsListNamesFromTheFirstAndAlwaysSucceed) {
  std::vector<std::string> names{"stale"};
  long count = 99;
  cRegistry e = At(cRegistry::HKEY_CURRENT_USER, "Enum", "", 1);
  EXPECT_TRUE(e.EnumerateValues(names, count));
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(count, 0);
  for (const char* n : {"b", "", "A"}) {
    e.ValueKey(n);
    e.Value(RegValue::Text(n));
  }
  EXPECT_TRUE(e.EnumerateValues(names, count));
  EXPECT_EQ(names, (std::vector<std::string>{"b", "", "A"}));
  EXPECT_EQ(count, 3);

  count = 7;
  EXPECT_TRUE(e.EnumerateSections(names, count));
  EXPECT_EQ(count, 0);
  for (const char* s : {"Enum\\y", "Enum\\X", "Enum\\y\\deeper"}) At(cRegistry::HKEY_CURRENT_USER, s, "", 1).CreateKey();
  EXPECT_TRUE(e.EnumerateSections(names, count));
  EXPECT_EQ(names, (std::vector<std::string>{"X", "y"}));
  EXPECT_EQ(count, 2);
}

TEST_F(Registry, ValueExSetsTheFieldsThenReadsOrWrites) {
  cRegistry r;
  r.ValueEx(cRegistry::HKEY_CURRENT_USER, "Ex", "name", cRegistry::REG_SZ, RegValue::Text("dflt"), RegValue::Text(""));
  EXPECT_EQ(r.ClassKey(), cRegistry::HKEY_CURRENT_USER);
  EXPECT_EQ(r.SectionKey(), "Ex");
  EXPECT_EQ(r.ValueKey(), "name");
  EXPECT_EQ(r.Default(), RegValue::Text("dflt"));
  // An empty text with the plain text type writes the default instead.
  EXPECT_EQ(r.ValueEx(cRegistry::HKEY_CURRENT_USER, "Ex", "name", 0, RegValue()), RegValue::Text("dflt"));
  // Not for the expandable type.
  r.ValueEx(cRegistry::HKEY_CURRENT_USER, "Ex", "name", cRegistry::REG_EXPAND_SZ, RegValue::Text("dflt"),
            RegValue::Text(""));
  EXPECT_EQ(r.ValueEx(cRegistry::HKEY_CURRENT_USER, "Ex", "name", 0, RegValue::Text("other")), RegValue::Text(""));
  EXPECT_EQ(r.ValueEx(cRegistry::HKEY_CURRENT_USER, "Ex", "missing", 0, RegValue::Text("other")),
            RegValue::Text("other"));
}

TEST_F(Registry, FileTypeAssociationsAreWrittenUnderBothRoots) {
  cRegistry r;
  r.CreateEXEAssociation("  /opt/vantorel/Vantorel  ", "Vantorel.Data", "Vantorel data", "vtd", "", true, "",
                         false, "", true, "", 0);
  EXPECT_EQ(r.ClassKey(), cRegistry::HKEY_LOCAL_MACHINE);
  const std::string q = "\"/opt/vantorel/Vantorel\"";
  const std::pair<std::string, std::string> expected[] = {
      {".vtd", "Vantorel.Data"},
      {"Vantorel.Data", "Vantorel data"},
      {"Vantorel.Data\\shell\\open", "&Open"},
      {"Vantorel.Data\\shell\\open\\command", q + " \"%1\""},
      {"Vantorel.Data\\shell\\print", "&Print"},
      {"Vantorel.Data\\shell\\print\\command", q + " /p \"%1\""},
      {"Vantorel.Data\\shell\\add", "&Install vtd"},
      {"Vantorel.Data\\shell\\add\\command", q + " /a \"%1\""},
      {"Vantorel.Data\\DefaultIcon", q + ",0"},
  };
  for (const auto& [key, text] : expected) {
    SCOPED_TRACE(key);
    EXPECT_EQ(At(cRegistry::HKEY_CLASSES_ROOT, key, "", 0).Value(), RegValue::Text(text));
    EXPECT_EQ(At(cRegistry::HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\" + key, "", 0).Value(), RegValue::Text(text));
  }
  EXPECT_FALSE(At(cRegistry::HKEY_CLASSES_ROOT, "Vantorel.Data\\shell\\new", "", 0).KeyExists());
  // "%1" texts hold no reference of two characters or more, so they stay plain text.
  EXPECT_EQ(st::ReadValue(st::kClassesRoot, "Vantorel.Data\\shell\\open\\command", "")->type, 1);

  cRegistry quoted;
  quoted.CreateEXEAssociation("\"/x y/app\"", "K", "", "k", "Öffnen", false, "", true, "", false, "", -1);
  EXPECT_EQ(At(cRegistry::HKEY_CLASSES_ROOT, "K\\shell\\open", "", 0).Value(), RegValue::Text("Öffnen"));
  EXPECT_EQ(At(cRegistry::HKEY_CLASSES_ROOT, "K\\shell\\new\\command", "", 0).Value(),
            RegValue::Text("\"/x y/app\" /n \"%1\""));
  EXPECT_FALSE(At(cRegistry::HKEY_CLASSES_ROOT, "K\\DefaultIcon", "", 0).KeyExists());

  cRegistry more;
  ExpectError(Raised([&] { more.CreateAdditionalEXEAssociations("K", {RegValue::Text("a"), RegValue::Text("b")}); }),
              kRegErrBadAssociationList,
              "Invalid parameter list passed to CreateAdditionalEXEAssociations - expected Name/Text/Command");
  ExpectError(Raised([&] { more.CreateAdditionalEXEAssociations("Unknown", {}); }), kRegErrNoClass,
              "Error - attempt to create additional associations before class defined.");
  more.CreateAdditionalEXEAssociations(
      "K", {RegValue::Text("edit"), RegValue::Text("&Edit"), RegValue::Text("vi \"%1\""), RegValue::Text("view"),
            RegValue::Text("&View"), RegValue::Text("less \"%1\"")});
  EXPECT_EQ(At(cRegistry::HKEY_CLASSES_ROOT, "K\\shell\\edit", "", 0).Value(), RegValue::Text("&Edit"));
  EXPECT_EQ(At(cRegistry::HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\K\\shell\\view\\command", "", 0).Value(),
            RegValue::Text("less \"%1\""));
}
