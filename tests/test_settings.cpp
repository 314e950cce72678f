// The saved settings: defaults, the round trip, conversions, the reset, the
// user's locale, what reaches the caller when the store refuses, and the
// store's behaviour with a killed writer, two writers at once, damaged files
// and the read-only `vantorel-fit --saved`.
#include <QLocale>
#include <cmath>
#include <csignal>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <thread>

#include "cli/fitcli.h"
#include "platform/files.h"
#include "savestates.h"
#include "shell/settings.h"
#include "storetest.h"

using namespace vantorel;
using namespace storetest;
namespace st = vantorel::platform::store;

namespace {

const std::string kPath = BuildSettingsPath("Vantorel");
const std::string kSource = platform::ExecutableName() + ".cRegistry";

State Loaded(const std::string& path = kPath) {
  State s;
  s.SettingsPath = path;
  LoadData(s);
  return s;
}

// The stored text of one value, read directly.
std::string Raw(const std::string& name, const std::string& path = kPath) {
  const auto v = st::ReadValue(st::kLocalMachine, path, name);
  if (!v) return "<none>";
  return v->type == 1 && !v->data.empty() && v->data.back() == '\0' ? v->data.substr(0, v->data.size() - 1)
                                                                      : "<type " + std::to_string(v->type) + ">";
}

void ExpectSameSettings(const State& a, const State& b) {
  EXPECT_EQ(a.DataRange, b.DataRange);
  EXPECT_EQ(a.DataClicks, b.DataClicks);
  EXPECT_EQ(a.Ticked, b.Ticked);
  for (auto [x, y] : {std::pair{&a.ModelMV, &b.ModelMV}, {&a.ModelBC, &b.ModelBC}, {&a.ModelSH, &b.ModelSH},
                      {&a.ModelZR, &b.ModelZR}}) {
    EXPECT_EQ(x->text(), y->text());
    EXPECT_EQ(x->number(), y->number());
  }
  EXPECT_EQ(a.ModelCPM, b.ModelCPM);
  EXPECT_EQ(a.MetricUnits, b.MetricUnits);
}

// Sets the default locale for the test's duration (QLocale() follows it).
class LocaleScope {
 public:
  explicit LocaleScope(const char* name) { QLocale::setDefault(QLocale(name)); }
  ~LocaleScope() { QLocale::setDefault(QLocale::system()); }
};

struct CliRun {
  int status;
  std::string out, err;
};

CliRun Fit(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = RunFitCli(args, out, err);
  return {status, out.str(), err.str()};
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Runs a program to its end and returns its exit status and standard output.
std::pair<int, std::string> RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                                       const fs::path& outFile) {
  const pid_t pid = Spawn(argv, env, outFile.string());
  if (pid < 0) return {-1, ""};
  const int status = Wait(pid);
  return {status, ReadAll(outFile)};
}

}  // namespace

class Settings : public StoreTest {};

TEST_F(Settings, AFirstStartLoadsTheDefaultsAndCreatesNothing) {
  State s = Loaded();
  EXPECT_EQ(s.DataRange, (std::array<int16_t, 6>{10, 20, 30, 40, 50, 55}));
  EXPECT_EQ(s.DataClicks, (std::array<int16_t, 6>{52, 0, 0, 12, 28, 44}));
  EXPECT_EQ(s.Ticked, (std::array<int16_t, 6>{1, 1, 1, 1, 1, 1}));
  EXPECT_EQ(s.ModelMV.text(), "790");
  EXPECT_EQ(s.ModelBC.text(), "0.033");
  EXPECT_EQ(s.ModelSH.text(), "2");
  EXPECT_EQ(s.ModelZR.text(), "30");
  EXPECT_TRUE(s.ModelMV.isText());
  EXPECT_EQ(s.Params().bc, 0.033);
  EXPECT_EQ(s.Params().zr, 30);
  EXPECT_EQ(s.ModelCPM, 8);
  EXPECT_FALSE(s.MetricUnits);
  EXPECT_FALSE(fs::exists(TempRoot() / "config"));
  EXPECT_EQ(BuildSettingsPath("Vantorel"), "Software\\Morvale Services\\Vantorel\\");
}

TEST_F(Settings, SaveWritesEveryValueInOrderAndLoadRestoresThem) {
  State b = StateB();
  b.ModelMV = Variant::Number(812.123456789012345);  // as after a fit
  b.ModelBC = Variant::Number(0.034000000000000004);
  SaveData(b);

  std::vector<std::string> names;
  long count = 0;
  cRegistry key;
  key.ClassKey(cRegistry::HKEY_LOCAL_MACHINE);
  key.SectionKey(kPath);
  key.EnumerateValues(names, count);
  std::vector<std::string> expected;
  for (const auto& [name, text] : SavedTexts(b)) {
    expected.push_back(name);
    EXPECT_EQ(Raw(name), text) << name;
  }
  EXPECT_EQ(names, expected) << "written in the documented order";
  EXPECT_EQ(Raw("oMV"), "812.123456789012");
  EXPECT_EQ(Raw("oBC"), "0.034");
  EXPECT_EQ(Raw("C(4)"), "-41");
  EXPECT_EQ(Raw("Tick(1)"), "2");
  EXPECT_EQ(Raw("Metric"), "1");

  st::testing::CloseConnection();  // as the next run of the program
  const State back = Loaded();
  EXPECT_EQ(back.ModelMV.text(), "812.123456789012");
  EXPECT_EQ(back.ModelMV.number(), 812.123456789012);
  b.ModelMV = Variant::Text("812.123456789012", 812.123456789012);
  b.ModelBC = Variant::Text("0.034", 0.034);
  ExpectSameSettings(back, b);

  // A loaded parameter is written back as exactly its text, and a second
  // save changes nothing.
  State odd = back;
  odd.ModelSH = Variant::Text(" 1.50 ", 1.5);
  SaveData(odd);
  EXPECT_EQ(Raw("oSH"), " 1.50 ");
  ExpectSameSettings(Loaded(), odd);

  // Another executable name keeps separate settings.
  EXPECT_EQ(Loaded(BuildSettingsPath("Vantorel2")).DataRange, DefaultState().DataRange);
}

TEST_F(Settings, TextsThatAreNotUsableNumbersFallBackToTheirDefaults) {
  struct Case {
    std::string name, text;
    std::function<bool(const State&)> check;
  };
  const Case cases[] = {
      {"R(0)", "", [](const State& s) { return s.DataRange[0] == 10; }},
      {"R(0)", "abc", [](const State& s) { return s.DataRange[0] == 10; }},
      {"R(0)", "12abc", [](const State& s) { return s.DataRange[0] == 10; }},
      {"R(0)", "99999", [](const State& s) { return s.DataRange[0] == 10; }},
      {"R(0)", "32767.5", [](const State& s) { return s.DataRange[0] == 10; }},   // rounds to 32768
      {"R(0)", "-32768.5", [](const State& s) { return s.DataRange[0] == -32768; }},
      {"R(0)", "2.5", [](const State& s) { return s.DataRange[0] == 2; }},
      {"R(0)", "3.5", [](const State& s) { return s.DataRange[0] == 4; }},
      {"R(0)", " 7 ", [](const State& s) { return s.DataRange[0] == 7; }},
      {"R(0)", "1E2", [](const State& s) { return s.DataRange[0] == 100; }},
      {"R(0)", "nan", [](const State& s) { return s.DataRange[0] == 10; }},
      {"R(0)", "inf", [](const State& s) { return s.DataRange[0] == 10; }},
      {"R(0)", "1,000", [](const State& s) { return s.DataRange[0] == 10; }},  // no group separators
      {"C(5)", "-0.5", [](const State& s) { return s.DataClicks[5] == 0; }},
      {"C(5)", "x", [](const State& s) { return s.DataClicks[5] == 44; }},
      {"Tick(2)", "0", [](const State& s) { return s.Ticked[2] == 0; }},
      {"Tick(2)", "2", [](const State& s) { return s.Ticked[2] == 2; }},
      {"Tick(2)", "3", [](const State& s) { return s.Ticked[2] == 1; }},
      {"Tick(2)", "-1", [](const State& s) { return s.Ticked[2] == 1; }},
      {"Tick(2)", "0.4", [](const State& s) { return s.Ticked[2] == 0; }},
      {"Tick(2)", "maybe", [](const State& s) { return s.Ticked[2] == 1; }},
      {"Metric", "1", [](const State& s) { return s.MetricUnits; }},
      {"Metric", "1.4", [](const State& s) { return s.MetricUnits; }},
      {"Metric", "0.5", [](const State& s) { return !s.MetricUnits; }},  // half to even: 0
      {"Metric", "1.5", [](const State& s) { return !s.MetricUnits; }},  // 2
      {"Metric", "-1", [](const State& s) { return !s.MetricUnits; }},
      {"Metric", "2", [](const State& s) { return !s.MetricUnits; }},
      {"Metric", "yes", [](const State& s) { return !s.MetricUnits; }},
      {"oCPM", "7.5", [](const State& s) { return s.ModelCPM == 7.5; }},
      {"oCPM", "abc", [](const State& s) { return s.ModelCPM == 8; }},
      {"oCPM", "1e999", [](const State& s) { return s.ModelCPM == 8; }},
      {"oMV", "fast", [](const State& s) { return s.ModelMV.text() == "fast" && std::isnan(s.ModelMV.number()); }},
      {"oBC", "", [](const State& s) { return s.ModelBC.text() == "0.033" && s.ModelBC.number() == 0.033; }},
      {"oZR", "-0", [](const State& s) { return s.ModelZR.text() == "-0" && s.ModelZR.number() == 0; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + " = '" + c.text + "'");
    SaveRegSetting(kPath, c.name, c.text);
    EXPECT_TRUE(c.check(Loaded()));
    DeleteRegSettings(kPath);
  }
  // A value stored as a number by something else reads as its decimal text.
  ASSERT_EQ(st::WriteValue(st::kLocalMachine, kPath, "R(1)", 4, std::string("\x21\0\0\0", 4)), st::WriteResult::Ok);
  EXPECT_EQ(GetRegSetting(kPath, "R(1)", "20"), "33");
  EXPECT_EQ(Loaded().DataRange[1], 33);
}

TEST_F(Settings, NumberTextsFollowTheUsersLocale) {
  EXPECT_EQ(LocaleNumberText(0.033), "0.033");
  EXPECT_EQ(LocaleNumberText(-812.123456789012345), "-812.123456789012");
  EXPECT_EQ(LocaleNumberText(1e-5), "1E-05");
  EXPECT_EQ(LocaleNumberText(8), "8");
  EXPECT_EQ(LocaleToDouble("\t 2.5 "), 2.5);
  EXPECT_EQ(LocaleToDouble("1.5E+20"), 1.5e20);
  for (const char* bad : {"", " ", "abc", "1.5x", "0x10", "inf", "-inf", "nan", "1e400", "1,5"})
    EXPECT_EQ(LocaleToDouble(bad), std::nullopt) << bad;

  LocaleScope german("de_DE");
  EXPECT_EQ(LocaleNumberText(0.033), "0,033");
  EXPECT_EQ(LocaleNumberText(1.5e20), "1,5E+20");
  EXPECT_EQ(LocaleToDouble(" 0,033 "), 0.033);
  EXPECT_EQ(LocaleToDouble("0.033"), std::nullopt) << "a point is a group separator here, and those are refused";
  EXPECT_EQ(LocaleToInt16("2,5"), 2);
  EXPECT_EQ(LocaleToInt16("3,5"), 4);

  SaveData(StateA());
  EXPECT_EQ(Raw("oBC"), "0,033");
  const State s = Loaded();
  EXPECT_EQ(s.ModelBC.text(), "0,033");
  EXPECT_EQ(s.ModelBC.number(), 0.033);
  SaveRegSetting(kPath, "oCPM", "7,5");
  EXPECT_EQ(Loaded().ModelCPM, 7.5);
  DeleteRegSettings(kPath);
  EXPECT_EQ(Loaded().ModelBC.text(), "0,033") << "the default text is formed in the locale too";
}

// The system locale really is the user's: a separate process started with
// LC_ALL=de_DE.UTF-8 writes and reads decimal commas.
TEST_F(Settings, TheSystemLocaleComesFromTheEnvironment) {
  const fs::path out = TempRoot() / "out.txt";
  const auto saved = RunProgram({STORE_HELPER, "save-default"}, {"LC_ALL=de_DE.UTF-8"}, out);
  ASSERT_EQ(saved.first, 0);
  EXPECT_EQ(Raw("oBC"), "0,033");

  SaveRegSetting(kPath, "oCPM", "7,5");
  const auto de = RunProgram({VANTOREL_FIT, "--saved", "--estimate", "--json"}, {"LC_ALL=de_DE.UTF-8"}, out);
  EXPECT_EQ(de.first, 0);
  EXPECT_TRUE(Has(de.second, "\"model\": {\"mv\": 790, \"bc\": 0.033, \"sh\": 2, \"zr\": 30, \"cpm\": 7.5}"))
      << de.second;
  const auto c = RunProgram({VANTOREL_FIT, "--saved", "--estimate", "--json"}, {"LC_ALL=C"}, out);
  EXPECT_EQ(c.first, 1) << "\"0,033\" is not a number with a decimal point: the model cannot be evaluated";
}

TEST_F(Settings, TheResetDeletesTheKeyAndTheNextStartLoadsDefaults) {
  cRegistry key;
  key.ClassKey(cRegistry::HKEY_LOCAL_MACHINE);
  key.SectionKey(kPath);
  ResetSettings(kPath);  // works on a first start too: "Dummy" makes the key
  EXPECT_FALSE(key.KeyExists());
  SaveData(StateB());
  SaveRegSetting(kPath, "ADKTop", "1200");
  EXPECT_TRUE(key.KeyExists());
  ResetSettings(kPath);
  EXPECT_FALSE(key.KeyExists());
  key.SectionKey("Software\\Morvale Services");
  EXPECT_TRUE(key.KeyExists()) << "only the program's own key goes";
  State defaults = DefaultState();
  defaults.ModelMV = Variant::Text("790", 790);
  defaults.ModelBC = Variant::Text("0.033", 0.033);
  defaults.ModelSH = Variant::Text("2", 2);
  defaults.ModelZR = Variant::Text("30", 30);
  ExpectSameSettings(Loaded(), defaults);

  try {
    DeleteRegSettings(kPath);
    ADD_FAILURE() << "deleting a missing key must raise";
  } catch (const RegistryError& e) {
    EXPECT_EQ(e.number(), 26001);
    EXPECT_EQ(e.source(), kSource);
    EXPECT_EQ(e.description(),
              "Failed to delete registry Key: '-2147483646',Section: 'Software\\Morvale Services\\Vantorel\\");
  }
}

TEST_F(Settings, SpecialNamesAndTextsRoundTripUnchanged) {
  const std::vector<std::string> texts = {"it's \"quoted\"", "C:\\Users\\x\\", "100%", "%%", "%NOT_SET_ANYWHERE%",
                                          "Zürich – 東京 ✓", "  padded  ", "tab\there", std::string(5000, 'z')};
  for (const std::string& t : texts) {
    SaveRegSetting(kPath, t, t);
    EXPECT_EQ(GetRegSetting(kPath, t, "<default>"), t);
  }
  // An empty name is the key's default value; an empty text reads as the default.
  SaveRegSetting(kPath, "", "the key's own value");
  EXPECT_EQ(GetRegSetting(kPath, "", "<default>"), "the key's own value");
  SaveRegSetting(kPath, "empty", "");
  EXPECT_EQ(GetRegSetting(kPath, "empty", "<default>"), "<default>");
  EXPECT_EQ(Raw("empty"), "");
  // Paths with quotes and non-ASCII names work as well.
  const std::string odd = BuildSettingsPath("Vän \"torel\" 100%");
  SaveRegSetting(odd, "R(0)", "42");
  EXPECT_EQ(Loaded(odd).DataRange[0], 42);
}

// A save or reset the store refuses reaches the caller whole; what was
// written before it stays written.
TEST_F(Settings, FailuresReachTheCallerWithNumberSourceAndDescription) {
  SaveData(StateA());
  // Simulated read-only store: after seven more writes the database is
  // reopened read-only, so SQLite refuses the eighth, C(2).
  st::testing::OpenReadOnlyAfterWrites(7);
  try {
    SaveData(StateB());
    ADD_FAILURE() << "the save must fail";
  } catch (const RegistryError& e) {
    EXPECT_EQ(e.number(), 26001);
    EXPECT_EQ(e.source(), kSource);
    EXPECT_EQ(e.description(),
              "Failed to set registry value Key: '-2147483646',Section: 'Software\\Morvale Services\\Vantorel\\',"
              "Key: 'C(2)' to value: '17'");
  }
  st::testing::OpenReadOnlyAfterWrites(-1);
  st::testing::CloseConnection();
  const auto a = SavedTexts(StateA()), b = SavedTexts(StateB());
  for (size_t i = 0; i < a.size(); ++i) EXPECT_EQ(Raw(a[i].first), i < 7 ? b[i].second : a[i].second) << a[i].first;

  // A reset that cannot write "Dummy" deletes nothing.
  st::testing::OpenReadOnlyAfterWrites(0);
  EXPECT_THROW(ResetSettings(kPath), RegistryError);
  st::testing::OpenReadOnlyAfterWrites(-1);
  EXPECT_EQ(Raw("R(0)"), "12");

  // A value name the store cannot hold: the write itself fails (&H800469A9).
  try {
    SaveRegSetting(kPath, std::string(17000, 'n'), "1");
    ADD_FAILURE();
  } catch (const RegistryError& e) {
    EXPECT_EQ(e.number(), -2147194455);
    EXPECT_EQ(e.source(), kSource);
  }

  // Real: the store's folder cannot be made because a file has its name.
  st::testing::CloseConnection();
  fs::remove_all(Folder());
  WriteAll(Folder(), "");
  try {
    ResetSettings(kPath);
    ADD_FAILURE();
  } catch (const RegistryError& e) {
    EXPECT_EQ(e.number(), 26001);
    EXPECT_EQ(e.description(),
              "Failed to set registry value Key: '-2147483646',Section: 'Software\\Morvale Services\\Vantorel\\',"
              "Key: 'Dummy' to value: '99'");
  }
  EXPECT_EQ(Loaded().DataRange[0], 10) << "reads carry on with the defaults";
}

TEST_F(Settings, AnImmutableStoreRefusesTheSaveAndKeepsTheOldValues) {
  SaveData(StateA());
  st::testing::CloseConnection();
  if (!MakeImmutable(StoreFile()) || !MakeImmutable(Folder()))
    GTEST_SKIP() << "the immutable attribute is not available here";
  try {
    SaveData(StateB());
    ADD_FAILURE();
  } catch (const RegistryError& e) {
    EXPECT_EQ(e.number(), 26001);
    EXPECT_TRUE(Has(e.description(), "Key: 'R(0)' to value: '12'")) << e.description();
  }
  EXPECT_EQ(Loaded().DataRange, StateA().DataRange);
}

TEST_F(Settings, ADamagedStoreIsKeptAsideAndTheProgramStartsWithTheDefaults) {
  SaveData(StateB());
  st::testing::CloseConnection();
  std::string bytes = ReadAll(StoreFile());
  bytes.replace(bytes.size() / 2, 64, 64, '\x7f');
  bytes.replace(0, 6, "NOTSQL");
  WriteAll(StoreFile(), bytes);

  // The command line only reads: it shows the defaults and moves nothing.
  const CliRun cli = Fit({"--saved", "--estimate", "--json"});
  EXPECT_EQ(cli.status, 0) << cli.err;
  EXPECT_TRUE(Has(cli.out, "\"units\": \"imperial\""));
  EXPECT_TRUE(KeptAside(Folder()).empty());

  // The window's load sets it aside, untouched, and carries on.
  EXPECT_EQ(Loaded().DataRange, DefaultState().DataRange);
  const auto aside = KeptAside(Folder());
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(ReadAll(aside[0]), bytes);
  SaveData(StateB());
  ExpectSameSettings(Loaded(), StateB());
}

TEST_F(Settings, FitSavedStartsFromTheSavedStateAndOnlyReads) {
  // No store: the defaults, and nothing is created.
  CliRun r = Fit({"--saved", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "\"candidates\": [5525, 66550]")) << "the default rows are fitted";
  EXPECT_FALSE(fs::exists(TempRoot() / "config"));

  SaveData(StateB());
  st::testing::CloseConnection();

  r = Fit({"--saved", "--estimate", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "\"units\": \"metric\""));
  EXPECT_TRUE(Has(r.out, "\"model\": {\"mv\": 812.25, \"bc\": 0.0275, \"sh\": 1.75, \"zr\": 27, \"cpm\": 4}"));
  // Only row 3 (36 m) is ticked (Tick 1); the greyed rows (2) are not.
  EXPECT_TRUE(Has(r.out, "\"min_data_range\": 36"));
  EXPECT_TRUE(Has(r.out, "\"max_data_range\": 36"));
  EXPECT_TRUE(Has(r.out, "\"max_data_clicks\": 17"));
  EXPECT_TRUE(Has(r.out, "  m Clk\\n\\n 36:"));

  // A fit needs three ticked rows, as in the window.
  r = Fit({"--saved"});
  EXPECT_EQ(r.status, kExitRefused);
  EXPECT_EQ(r.err, "More Ranges Needed\nVantorel needs at least three enabled ranges to generate a list.\n");

  // Saved rows that break the range band are refused like typed ones.
  SaveRegSetting(kPath, "Tick(0)", "1");
  SaveRegSetting(kPath, "Tick(1)", "1");
  SaveRegSetting(kPath, "R(1)", "300");
  st::testing::CloseConnection();
  const std::string saved = ReadAll(StoreFile());
  struct stat before {};
  stat(StoreFile().c_str(), &before);
  r = Fit({"--saved"});
  EXPECT_EQ(r.status, kExitRefused);
  EXPECT_TRUE(Has(r.err, "Range Error")) << r.err;

  // Nothing was written or created by any of these runs.
  struct stat after {};
  stat(StoreFile().c_str(), &after);
  EXPECT_EQ(ReadAll(StoreFile()), saved);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  EXPECT_EQ(FilesStartingWith(Folder(), "").size(), 1u) << "no journal or other file was made";

  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {"--saved", "10:52", "20:0", "30:0", "40:12", "50:28", "55:44"},
           {"--saved", "--model", "790,0.033,2,30,8"},
           {"--saved", "--metric"}}) {
    r = Fit(bad);
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_TRUE(Has(r.err, "--saved takes no rows"));
  }
}

// A writer killed at any moment leaves a store that opens cleanly with each
// value either as it was or as it was being written.
TEST_F(Settings, AWriterKilledMidSaveLeavesEveryValueOldOrNew) {
  SaveData(StateA());
  const auto a = SavedTexts(StateA()), b = SavedTexts(StateB());
  std::mt19937 rng(20261205);
  std::uniform_int_distribution<int> delayUs(0, 30000);
  const fs::path marker = TempRoot() / "saving";
  int mixed = 0;
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    fs::remove(marker);
    const pid_t pid = Spawn({STORE_HELPER, "save-loop", marker.string()});
    ASSERT_GT(pid, 0);
    // Once it is saving in a loop, it is killed at a random moment.
    for (int waited = 0; !fs::exists(marker) && waited < 20000; ++waited)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs(rng)));
    kill(pid, SIGKILL);
    EXPECT_EQ(Wait(pid), -1) << "the helper was still saving";
    st::testing::CloseConnection();  // open afresh, as the next run would
    int fromB = 0;
    for (size_t i = 0; i < a.size(); ++i) {
      const std::string v = Raw(a[i].first);
      EXPECT_TRUE(v == a[i].second || v == b[i].second) << a[i].first << " = " << v;
      fromB += v == b[i].second && v != a[i].second;
    }
    mixed += fromB > 0 && fromB < static_cast<int>(a.size()) ? 1 : 0;
    EXPECT_TRUE(KeptAside(Folder()).empty());
  }
  // Nearly every kill lands inside a save: the store shows half-saved states.
  EXPECT_GT(mixed, 20);
}

// Two copies of the program writing at once: no write is lost and none fails.
TEST_F(Settings, TwoCopiesWritingAtOnceLoseNothing) {
  SaveData(StateA());  // the store exists, so both start on the same file
  constexpr int kEach = 150;
  const pid_t p1 = Spawn({STORE_HELPER, "write-many", "A", std::to_string(kEach)});
  const pid_t p2 = Spawn({STORE_HELPER, "write-many", "B", std::to_string(kEach)});
  ASSERT_GT(p1, 0);
  ASSERT_GT(p2, 0);
  // This process reads all the while, as a third copy would.
  int reads = 0;
  int status = 0;
  while (waitpid(p1, &status, WNOHANG) == 0) {
    ASSERT_EQ(GetRegSetting(kPath, "R(0)", "gone"), "10");
    ++reads;
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(Wait(p2), 0);
  st::testing::CloseConnection();
  for (const char* tag : {"A", "B"})
    for (int i = 0; i < kEach; ++i)
      EXPECT_EQ(GetRegSetting(kPath, tag + std::to_string(i), "lost"),
                "value " + std::to_string(i) + " of " + tag);
  const std::string shared = GetRegSetting(kPath, "Shared", "lost");
  EXPECT_TRUE(shared == "value 149 of A" || shared == "value 149 of B") << shared;
  EXPECT_GT(reads, 0);
}
