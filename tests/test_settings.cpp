// The saved settings and the registry class over a store in memory: the
// defaults, what a save writes and a load reads back, the load rules, the
// decimal point and refused writes; every member of the registry class.
// Standard C++ only, like the code under test.
#include <optional>

#include "memory_store.h"
#include "model/clicktable.h"
#include "registry_cases.h"
#include "saved_states.h"

using namespace vantorel;
using namespace vantorel::test;
using namespace std::string_literals;
namespace st = platform::store;

namespace {

constexpr int32_t HKLM = st::kLocalMachine;
const std::string kFailed = "Failed to set registry value Key: '-2147483646',Section: '" + kPath + "',Key: '";

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class Settings : public ::testing::Test {
 protected:
  // The settings a load gives, and the problems it names.
  State Loaded(std::string* problems = nullptr, std::string_view point = ".") {
    State s = StateA();
    const std::string found = LoadData(store, s, st::kLockWaitMs, point).problems;
    return problems ? *problems = found, s : s;
  }
  std::string Saved(const std::string& name) { return GetRegSetting(store, kPath, name, "<none>"); }
  // What f raises: "number source: description|detail".
  template <class F>
  std::string Raised(F f) {
    try { f(); } catch (const RegistryError& e) { return std::to_string(e.number()) + " " + e.source() + ": " + e.description() + "|" + e.detail(); }
    return "nothing raised";
  }

  MemoryStore store;
};

}  // namespace

TEST_F(Settings, TheRegistryClassOnAStoreInMemory) { CheckRegistryMembers(store); }

// A first start and a start after the reset load the defaults. Every value
// is written in order and read back; names and texts keep every character.
TEST_F(Settings, DefaultsAndWhatASaveWritesAndALoadRestores) {
  EXPECT_EQ(Joined(Loaded()), Joined(DefaultState()));
  ResetSettings(store, kPath);  // on a first start too: "Dummy" makes the key, which then goes
  SaveRegSetting(store, kPath, "ADKTop", "1200");
  ResetSettings(store, kPath);
  EXPECT_EQ(std::pair(store.KeyExists(HKLM, kPath), store.KeyExists(HKLM, "Software\\Morvale Services")), std::pair(false, true)) << "only the program's own key goes";
  EXPECT_EQ(Joined(Loaded()), Joined(DefaultState()));
  State b = StateB();
  b.ModelMV = Variant::Number(812.123456789012345);  // as after a fit
  b.ModelBC = Variant::Number(0.034000000000000004);
  SaveData(store, b);
  std::string names;
  for (const std::string& name : store.ValueNames(HKLM, kPath).value_or(std::vector<std::string>{})) names += name + "=" + Saved(name) + ";";
  EXPECT_TRUE(names.starts_with(Joined(b) + ";Check=R(0)=")) << "in order, with 15 significant digits, then the check: " << names;
  EXPECT_EQ(Saved("oMV") + " " + Saved("oBC"), "812.123456789012 0.034");
  State back = Loaded();
  EXPECT_EQ(std::pair(Joined(back), back.ModelMV.number()), std::pair(Joined(b), 812.123456789012)) << Joined(back);
  back.ModelSH = Variant::Text(" 1.50 ", 1.5);  // a loaded parameter is written back as exactly its text
  SaveData(store, back);
  EXPECT_EQ(Saved("oSH"), " 1.50 ");
}

// The check a save keeps beside the values names each one changed outside
// the program until a save writes the values (and it) again; a key with no
// check loads without complaint, and a save with nothing to change adds none.
TEST_F(Settings, TheCheckNamesTheValuesChangedSinceTheLastSave) {
  SaveData(store, StateB());
  SaveRegSetting(store, kPath, "R(2)", "37");
  store.DeleteValue(HKLM, kPath, "oCPM");
  State s = StateA();
  const LoadResult r = LoadData(store, s);
  EXPECT_EQ(r.changed, (std::vector<std::string>{"range 3", "clicks per minute of angle"}));
  EXPECT_EQ(r.notice, "These saved settings are not what the program last saved: range 3, clicks per minute of angle. The last save "
                      "was cut off, or the settings were changed or damaged outside the program.");
  SaveRegSetting(store, kPath, "oCPM", "4");  // the values as loaded: only the check is stale
  SaveData(store, s);
  EXPECT_EQ(LoadData(store, s).notice, "");
  store.DeleteValue(HKLM, kPath, "Check");
  SaveData(store, s);
  EXPECT_EQ(std::pair(LoadData(store, s).notice, Saved("Check")), std::pair(""s, "<none>"s));
}

// What a stored text loads as: a text that is no usable number gives the
// default and one message quoting it; halves round to even; model
// parameters keep their text.
TEST_F(Settings, TextsThatAreNotUsableNumbersFallBackToTheirDefaults) {
  const std::tuple<const char*, const char*, const char*, bool> cases[] = {  // name, text, loaded, told
      {"R(0)", "12abc", "10", true}, {"R(0)", "0x10", "10", true}, {"R(0)", "32767.5", "10", true}, {"R(0)", "nan", "10", true},
      {"R(0)", "-32768.5", "-32768", false}, {"R(0)", "2.5", "2", false}, {"R(0)", "3.5", "4", false}, {"R(0)", " 1E2 ", "100", false},
      {"R(0)", "1,000", "1", false}, {"C(5)", "-0.5", "0", false}, {"C(5)", "", "44", false}, {"Tick(2)", "0.4", "0", false},
      {"Tick(2)", "3", "1", true}, {"Metric", "1.4", "1", false}, {"Metric", "1.5", "0", false}, {"Metric", "-1", "0", false},
      {"Metric", "yes", "0", true}, {"oCPM", "7.5", "7.5", false}, {"oCPM", "1e999", "8", true}, {"oMV", "fast", "790", true},
      {"oBC", "", "0.033", false}, {"oBC", "1e-300", "0.033", true}, {"oZR", "1e300", "30", true}, {"oSH", "-1,25", "-1,25", false}};
  std::string problems;
  for (const auto& [name, text, expected, told] : cases) {
    SaveRegSetting(store, kPath, name, text);
    const std::string loaded = std::string(";") + Joined(Loaded(&problems)) + ";";
    EXPECT_TRUE(Has(loaded, ";"s + name + "=" + expected + ";")) << name << " = '" << text << "': " << loaded;
    EXPECT_EQ(Has(problems, " \"" + std::string(text) + "\" "), told) << name << " = '" << text << "': " << problems;
    DeleteRegSettings(store, kPath);
  }
  // A value stored as a number by something else reads as its decimal text. One line
  // for each unusable text, naming the setting in words, its text cut after 24
  // characters (each byte that is not UTF-8 one character).
  ASSERT_EQ(store.WriteValue(HKLM, kPath, "R(1)", 4, "\x21\0\0\0"s), st::WriteResult::Ok);
  SaveRegSetting(store, kPath, "oBC", "0.0" + std::string(300, '3') + "x");
  SaveRegSetting(store, kPath, "R(2)", "t\xFF\xFEn");
  SaveRegSetting(store, kPath, "oMV", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xAF\xFF" + std::string(21, 'v'));
  State s = Loaded(&problems);
  EXPECT_EQ(s.DataRange[1], 33);
  EXPECT_EQ(problems, "The saved range of data point 3 \"t\uFFFD\uFFFDn\" cannot be used; the default 30 was used.\r\nThe saved "
                      "muzzle velocity \"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xAF\xEF\xBF\xBD" + std::string(20, 'v') + "\u2026\" cannot be "
                      "used; the default 790 was used.\r\nThe saved ballistic coefficient \"0.0" + std::string(21, '3') +
                      "\u2026\" cannot be used; the default 0.033 was used.");
  EXPECT_TRUE(PseudoCalc(s).problem == std::nullopt) << "the start-up estimate works with the defaults";
}

// Numbers are written with the decimal point the front end gives (the
// user's locale's), defaults too, and read whatever point wrote them.
TEST_F(Settings, NumberTextsTakeTheGivenDecimalPointAndLoadWithAnyOther) {
  EXPECT_EQ(Loaded(nullptr, ",").ModelBC.text(), "0,033") << "the default text takes it too";
  State b = StateB();
  b.ModelBC = Variant::Number(0.0275);  // as after a fit
  b.ModelCPM = 4.5;
  SaveData(store, b, ",");
  EXPECT_EQ(Saved("oBC") + " " + Saved("oCPM"), "0,0275 4,5");
  b.ModelCPM = 4.25;
  SaveData(store, b, "\u066B");
  EXPECT_EQ(Saved("oCPM"), "4\u066B25") << "the Arabic decimal separator";
  EXPECT_EQ(Saved("oSH"), "1.75") << "a parameter's text is kept as it was";
  EXPECT_EQ(LocaleNumberText(-1.5e-5, ","), "-1,5E-05");
  for (const char* point : {".", ",", "\u066B"}) {
    const State c = Loaded(nullptr, point);
    EXPECT_EQ(std::pair(c.ModelBC.number(), c.ModelCPM), std::pair(0.0275, 4.25)) << point;
  }
  const std::pair<const char*, std::optional<double>> texts[] = {
      {" 1,5E+20 ", 1.5e20}, {"1.000", 1.0}, {"\u0661\u0662\u066B\u0665", 12.5}, {"\u06F1\u06F2\u060C\u06F5", 12.5},
      {"\u2212" "3", -3.0}, {"\u061C-3", -3.0}, {"\u0967\u0968.5e\u0968", 1250.0}, {"+.5", 0.5}, {"1 000", {}}, {"1,000.5", {}},
      {"1e", {}}, {"e5", {}}, {"--1", {}}, {"1-", {}}, {"", {}}, {" ", {}}, {"\xff" "1", {}}, {"0x10", {}}, {"1e400", {}}, {"nan", {}}};
  for (const auto& [text, value] : texts) EXPECT_EQ(LocaleToDouble(text), value) << text;
}

