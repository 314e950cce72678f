// The settings store on the registry (run under Wine, on its real registry):
// every member of the registry class, a save and a load as other programs
// see them, the one copy of settings an earlier version left under
// HKEY_LOCAL_MACHINE, whole transactions and a key that cannot be read.
#include <cstdio>
#include <cstring>

#include "registry_cases.h"
#include "saved_states.h"
#include "windows/store.h"

// After the registry class, whose members windows.h's macros would replace.
#include <windows.h>
#include <sddl.h>

using namespace vantorel;
using namespace vantorel::test;
using namespace std::string_literals;
namespace st = platform::store;

namespace {

constexpr int32_t HKCU = st::kCurrentUser, HKLM = st::kLocalMachine;
const std::wstring kMine = L"Software\\Morvale Services\\", kTests = L"Software\\Vantorel Tests";
const std::wstring kVirtual = L"Software\\Classes\\VirtualStore\\MACHINE\\SOFTWARE\\Morvale Services\\";

// Gives a key a DACL for everyone ("KA": all rights; "KRSDWD": read, delete, change the DACL).
bool Allow(HKEY root, const std::wstring& path, const std::wstring& rights) {
  HKEY k = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  bool ok = RegOpenKeyExW(root, path.c_str(), 0, WRITE_DAC, &k) == ERROR_SUCCESS &&
            ConvertStringSecurityDescriptorToSecurityDescriptorW((L"D:P(A;;" + rights + L";;;WD)").c_str(), SDDL_REVISION_1, &sd, nullptr) &&
            RegSetKeySecurity(k, DACL_SECURITY_INFORMATION, sd) == ERROR_SUCCESS;
  if (k) RegCloseKey(k);
  return LocalFree(sd), ok;
}
void Remove(HKEY root, const std::wstring& path) {
  Allow(root, path, L"KA");
  RegDeleteTreeW(root, path.c_str());
  RegDeleteKeyW(root, path.c_str());
}
// A value as the registry holds it: "type:bytes in hex", or "none".
std::string Raw(HKEY root, const std::wstring& path, const std::wstring& name) {
  std::string bytes(64, '\0');
  DWORD type = 0, size = 64;
  HKEY k = nullptr;
  const bool found = RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, &k) == ERROR_SUCCESS &&
                     RegQueryValueExW(k, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &size) == ERROR_SUCCESS;
  if (k) RegCloseKey(k);
  return found ? std::to_string(type) + ":" + Hex(bytes.substr(0, size)) : "none";
}

class WindowsStore : public ::testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }
  static void Clean() {
    for (const wchar_t* name : {L"VantorelTest.File", L".vtt"}) Remove(HKEY_CLASSES_ROOT, name), Remove(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\"s + name);
    Remove(HKEY_CURRENT_USER, kTests);
    for (const wchar_t* exe : {L"VantorelRoundTrip", L"VantorelCopy", L"VantorelDenied"}) {
      Remove(HKEY_CURRENT_USER, kMine + exe), Remove(HKEY_LOCAL_MACHINE, kMine + exe), Remove(HKEY_CURRENT_USER, kVirtual + exe);
      RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Morvale Services", (exe + L" copied from"s).c_str());
    }
  }
  State At(const std::string& exe) { State s = StateA(); s.SettingsPath = BuildSettingsPath(exe); return s; }
  std::unique_ptr<platform::Store> store = platform::OpenProgramStore();
};

}  // namespace

// Wine lists a key's values in the order of their names, Windows in the
// order they were first written. Texts are real UTF-16 registry texts.
TEST_F(WindowsStore, TheRegistryClassOnTheRegistry) {
  const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  CheckRegistryMembers(*store, wine ? std::map<std::string, std::string>{{"b,A,c,3|0", "A,b,c,3|0"}} : std::map<std::string, std::string>{});
  const std::tuple<const char*, int, std::string, const char*> texts[] = {  // name, type, data, as the registry holds it
      {"euro", 1, "\xE2\x82\xAC" "1\0"s, "1:AC2031000000"}, {"open", 1, "no end"s, "1:6E006F00200065006E006400"},
      {"expand", 2, "%A%\0"s, "2:2500410025000000"}, {"multi", 7, "a\0\xC3\x9F\0\0"s, "7:61000000DF0000000000"}};
  for (const auto& [name, type, data, raw] : texts) {
    ASSERT_EQ(store->WriteValue(HKCU, "Software\\Vantorel Tests\\Texts", name, type, data), st::WriteResult::Ok);
    EXPECT_EQ(Raw(HKEY_CURRENT_USER, kTests + L"\\Texts", std::wstring(name, name + std::strlen(name))), raw);
    EXPECT_EQ(store->ReadValue(HKCU, "Software\\Vantorel Tests\\Texts", name)->data, data) << "zeros and terminators come back as written";
  }
}

// The default settings saved and loaded again, kept under the current user
// as texts that `reg query` shows; nothing under the local machine.
TEST_F(WindowsStore, SettingsSavedAndLoadedAsOtherProgramsSeeThem) {
  State s = At("VantorelRoundTrip"), back = StateB();
  SaveData(*store, s);
  back.SettingsPath = s.SettingsPath;
  EXPECT_EQ(LoadData(*store, back).kind, LoadResult::Kind::Read);
  EXPECT_EQ(Joined(back), Joined(s));
  EXPECT_EQ(store->Location(), "HKEY_CURRENT_USER\\Software\\Morvale Services\\VantorelRoundTrip");
  EXPECT_EQ(Raw(HKEY_CURRENT_USER, kMine + L"VantorelRoundTrip", L"oBC"), "1:30002E003000330033000000");
  EXPECT_EQ(Raw(HKEY_LOCAL_MACHINE, kMine + L"VantorelRoundTrip", L"oBC"), "none");
  std::string shown;
  if (FILE* reg = _wpopen(L"reg query \"HKCU\\Software\\Morvale Services\\VantorelRoundTrip\"", L"r")) {
    for (int c; (c = std::fgetc(reg)) != EOF;) shown += static_cast<char>(c);
    _pclose(reg);
  }
  EXPECT_EQ(std::tuple(shown.find("oBC") != std::string::npos, shown.find("REG_SZ") != std::string::npos, shown.find("0.033") != std::string::npos), std::tuple(true, true, true)) << shown;
}

// Settings an earlier version left under the local machine, or in its
// virtual store, are read in place (a read creates nothing) and copied
// whole by the first save; the old key stays, and a reset is not undone.
TEST_F(WindowsStore, SettingsOfAnEarlierVersionAreCopiedOnceByTheFirstSave) {
  for (const auto& [root, old, where] : {std::tuple{HKEY_LOCAL_MACHINE, kMine, "HKEY_LOCAL_MACHINE\\Software\\Morvale Services\\"},
                                         {HKEY_CURRENT_USER, kVirtual, "HKEY_CURRENT_USER\\Software\\Classes\\VirtualStore\\MACHINE\\SOFTWARE\\Morvale Services\\"}}) {
    Clean();
    const std::wstring key = old + L"VantorelCopy", mine = kMine + L"VantorelCopy";
    ASSERT_EQ(RegSetKeyValueW(root, key.c_str(), L"R(0)", REG_SZ, L"33", 6), ERROR_SUCCESS);
    ASSERT_EQ(RegSetKeyValueW(root, (key + L"\\Window").c_str(), L"x", REG_SZ, L"y", 4), ERROR_SUCCESS);
    State s = At("VantorelCopy");
    {
      st::AccessScope readOnly(*store, st::Access::ReadOnly);
      EXPECT_EQ(LoadData(*store, s).kind, LoadResult::Kind::Read);
    }
    EXPECT_EQ(s.DataRange[0], 33);
    EXPECT_EQ(store->Location(), where + "VantorelCopy"s) << "where they were read";
    EXPECT_EQ(Raw(HKEY_CURRENT_USER, mine, L"R(0)"), "none");
    s.DataClicks[0] = 7;
    SaveData(*store, s);
    EXPECT_EQ(Raw(HKEY_CURRENT_USER, mine, L"R(0)") + Raw(HKEY_CURRENT_USER, mine, L"C(0)") + Raw(HKEY_CURRENT_USER, mine + L"\\Window", L"x"), "1:330033000000" "1:37000000" "1:79000000");
    EXPECT_EQ(Raw(root, key, L"R(0)") + Raw(root, key, L"C(0)"), "1:330033000000none") << "the old key is left as it was";
    EXPECT_TRUE(store->DeleteKey(HKLM, "Software\\Morvale Services\\VantorelCopy\\Window"));
    ResetSettings(*store, s.SettingsPath);
    EXPECT_EQ(LoadData(*store, s).kind, LoadResult::Kind::Missing) << "a reset stays a reset";
  }
}

// A commit whose last write is refused puts back every value and key the
// writes before it changed; read-only access refuses every write.
TEST_F(WindowsStore, ATransactionThatFailsPutsBackWhatWasThere) {
  const std::string k = "Software\\Vantorel Tests\\Whole";
  ASSERT_EQ(store->WriteValue(HKCU, k, "a", 1, "old\0"s), st::WriteResult::Ok);
  ASSERT_EQ((std::pair{store->CreateKey(HKCU, k + "\\Locked"), Allow(HKEY_CURRENT_USER, kTests + L"\\Whole\\Locked", L"KRSDWD")}), std::pair(true, true));  // braced: evaluated in order
  for (const bool refused : {true, false}) {
    st::Transaction whole(*store);
    for (const auto& [key, name] : {std::pair{k, "A"}, {k, "b"}, {k + "\\New\\Deeper", "c"}, {k + (refused ? "\\Locked" : ""), "d"}})
      EXPECT_EQ(store->WriteValue(HKCU, key, name, 1, "new\0"s), st::WriteResult::Ok);
    EXPECT_EQ(whole.Commit(), !refused);
    EXPECT_EQ(Raw(HKEY_CURRENT_USER, kTests + L"\\Whole", L"a") + Raw(HKEY_CURRENT_USER, kTests + L"\\Whole", L"b"),
              refused ? "1:6F006C0064000000none" : "1:6E00650077000000" "1:6E00650077000000");
    EXPECT_EQ(store->KeyExists(HKCU, k + "\\New"), !refused);
    EXPECT_EQ(store->LastFailure().ends_with(" (HKEY_CURRENT_USER\\Software\\Vantorel Tests\\Whole\\Locked)"), refused) << store->LastFailure();
  }
  st::AccessScope readOnly(*store, st::Access::ReadOnly);
  EXPECT_EQ(store->WriteValue(HKCU, k, "a", 1, "x\0"s), st::WriteResult::KeyFailed);
  EXPECT_FALSE(store->CreateKey(HKCU, k + "\\Other") || store->DeleteKey(HKCU, k + "\\New\\Deeper"));
}

// A settings key the user may not read is Unreadable with the system's
// reason, never Missing, so no save writes the defaults over it.
TEST_F(WindowsStore, AKeyThatCannotBeReadIsUnreadableNotMissing) {
  State s = At("VantorelDenied");
  SaveData(*store, s);
  ASSERT_TRUE(Allow(HKEY_CURRENT_USER, kMine + L"VantorelDenied", L"SDWD"));
  const LoadResult r = LoadData(*store, s);
  EXPECT_EQ(r.kind, LoadResult::Kind::Unreadable);
  EXPECT_TRUE(r.notice.starts_with("The saved settings could not be read from HKEY_CURRENT_USER\\Software\\Morvale Services\\VantorelDenied (Access")) << r.notice;
}

// Values that are no text (REG_BINARY FF FE, a text with a lone surrogate)
// are each named and quoted with U+FFFD, beside the other unusable ones.
TEST_F(WindowsStore, ValuesThatAreNoTextAreQuotedWithReplacementCharacters) {
  const std::wstring key = kMine + L"VantorelRoundTrip";
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"R(0)", REG_BINARY, "\xFF\xFE", 2) | RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"C(0)", REG_SZ, L"5\xD800", 6) | RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"C(1)", REG_SZ, L"x", 4), ERROR_SUCCESS);
  State s = At("VantorelRoundTrip");
  EXPECT_EQ(LoadData(*store, s).problems, "The saved range of data point 1 \"\uFFFD\uFFFD\" cannot be used; the default 10 was used.\r\nThe saved clicks of data point 1 \"5\uFFFD\" cannot be used; the default 52 was used.\r\nThe saved clicks of data point 2 \"x\" cannot be used; the default 0 was used.");
}

// A save cut off after any of its writes (the saving copy ended there, as a kill would) leaves one
// session's settings or the other's, or names the values the cut-off save changed: never a silent mix.
TEST_F(WindowsStore, ASaveCutOffAnywhereIsWholeOrSaid) {
  State a = At("VantorelCut"), b = StateB(), back = StateB();
  b.SettingsPath = back.SettingsPath = a.SettingsPath;
  if (const char* at = std::getenv("VANTOREL_CUT_AT")) {  // the saving copy
    windows::OnCommitWrite([n = std::stoul(at)](size_t written) { if (written == n) TerminateProcess(GetCurrentProcess(), 9); });
    return SaveData(*store, b);
  }
  int said = 0;
  for (unsigned cut = 1; cut <= 26; ++cut) {
    SaveData(*store, a);
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH), SetEnvironmentVariableW(L"VANTOREL_CUT_AT", std::to_wstring(cut).c_str());
    std::wstring line = L"\""s + self + L"\" --gtest_filter=WindowsStore.ASaveCutOffAnywhereIsWholeOrSaid";
    STARTUPINFOW si{sizeof si, {}, {}, {}, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, {}, {}, {}, {}};
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    WaitForSingleObject(pi.hProcess, INFINITE), CloseHandle(pi.hThread), CloseHandle(pi.hProcess);
    const LoadResult r = LoadData(*store, back);
    said += !r.changed.empty();
    EXPECT_TRUE(Joined(back) == Joined(a) || Joined(back) == Joined(b) || !r.changed.empty()) << cut << ": " << Joined(back);
  }
  SetEnvironmentVariableW(L"VANTOREL_CUT_AT", nullptr), Remove(HKEY_CURRENT_USER, kMine + L"VantorelCut");
  EXPECT_EQ(said, 24);  // every cut inside the save is said; the last two cuts come after it
}
