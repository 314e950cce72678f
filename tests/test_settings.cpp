// The saved settings: defaults, round trip, load rules, locale, reset, refused writes, damaged
// files, the read-only `vantorel-fit --saved`, a writer killed mid-save and two writers at once.
#include <sys/wait.h>

#include <QLocale>
#include <csignal>
#include <map>
#include <random>
#include <sstream>

#include "cli/fitcli.h"
#include "model/clicktable.h"
#include "savestates.h"
#include "storetest.h"

using namespace vantorel;
using namespace storetest;
using namespace std::string_literals;

namespace {

const std::string kPath = BuildSettingsPath("Vantorel");
const std::string kFailed = "Failed to set registry value Key: '-2147483646',Section: '" + kPath + "',Key: '";

State Loaded(const std::string& path = kPath) {
  State s;
  s.SettingsPath = path;
  LoadData(s);
  return s;
}

std::string Saved(const std::string& name) { return GetRegSetting(kPath, name, "<none>"); }

// Runs `vantorel-fit` in this process: its exit status, and its output followed by its errors.
std::pair<int, std::string> Fit(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = RunFitCli(args, out, err);
  return {status, out.str() + err.str()};
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

class Settings : public StoreTest {};

TEST_F(Settings, AFirstStartAndAStartAfterTheResetLoadTheDefaults) {
  const State s = Loaded();
  EXPECT_FALSE(fs::exists(TempRoot() / "config")) << "loading creates nothing";
  EXPECT_EQ(s.DataRange, (std::array<int16_t, 6>{10, 20, 30, 40, 50, 55}));
  EXPECT_EQ(s.DataClicks, (std::array<int16_t, 6>{52, 0, 0, 12, 28, 44}));
  EXPECT_EQ(s.Ticked, (std::array<int16_t, 6>{1, 1, 1, 1, 1, 1}));
  EXPECT_EQ(s.ModelMV.text() + " " + s.ModelBC.text() + " " + s.ModelSH.text() + " " + s.ModelZR.text(),
            "790 0.033 2 30");
  EXPECT_TRUE(s.ModelCPM == 8 && !s.MetricUnits);

  ResetSettings(kPath);  // on a first start too: "Dummy" makes the key, which then goes
  SaveData(StateB());
  SaveRegSetting(kPath, "ADKTop", "1200");
  ResetSettings(kPath);
  EXPECT_FALSE(st::KeyExists(st::kLocalMachine, kPath));
  EXPECT_TRUE(st::KeyExists(st::kLocalMachine, "Software\\Morvale Services")) << "only the program's own key goes";
  EXPECT_EQ(SavedTexts(Loaded()), SavedTexts(s));
}

TEST_F(Settings, SaveWritesEveryValueInOrderAndLoadRestoresThem) {
  State b = StateB();
  b.ModelMV = Variant::Number(812.123456789012345);  // as after a fit
  b.ModelBC = Variant::Number(0.034000000000000004);
  SaveData(b);
  std::vector<std::string> names;
  for (const auto& [name, text] : SavedTexts(b)) names.push_back(name);
  EXPECT_EQ(st::ValueNames(st::kLocalMachine, kPath), names);
  EXPECT_EQ(Saved("oMV") + " " + Saved("oBC"), "812.123456789012 0.034") << "15 significant digits";

  st::testing::CloseConnection();  // as the next run of the program
  const State back = Loaded();
  EXPECT_EQ(SavedTexts(back), SavedTexts(b));
  EXPECT_EQ(back.ModelMV.number(), 812.123456789012);
  State odd = back;  // a loaded parameter is written back as exactly its text
  odd.ModelSH = Variant::Text(" 1.50 ", 1.5);
  SaveData(odd);
  EXPECT_EQ(Saved("oSH"), " 1.50 ");
  EXPECT_EQ(SavedTexts(Loaded()), SavedTexts(odd));
  EXPECT_EQ(Loaded(BuildSettingsPath("Vantorel2")).DataRange, StateA().DataRange) << "another name, other settings";
}

// What a stored text loads as: a text that is no usable number gives the
// default and one message quoting it; halves round to even; model
// parameters keep their text.
TEST_F(Settings, TextsThatAreNotUsableNumbersFallBackToTheirDefaults) {
  const std::tuple<const char*, const char*, const char*, bool> cases[] = {
      {"R(0)", "12abc", "10", true},  {"R(0)", "0x10", "10", true},    {"R(0)", "32767.5", "10", true},
      {"R(0)", "-32768.5", "-32768", false}, {"R(0)", "2.5", "2", false}, {"R(0)", "3.5", "4", false},
      {"R(0)", " 1E2 ", "100", false}, {"R(0)", "nan", "10", true},    {"R(0)", "1,000", "1", false},
      {"C(5)", "-0.5", "0", false},   {"C(5)", "", "44", false},       {"Tick(2)", "0.4", "0", false},
      {"Tick(2)", "3", "1", true},    {"Metric", "1.4", "1", false},   {"Metric", "1.5", "0", false},
      {"Metric", "-1", "0", false},   {"Metric", "yes", "0", true},    {"oCPM", "7.5", "7.5", false},
      {"oCPM", "1e999", "8", true},   {"oMV", "fast", "790", true},    {"oBC", "", "0.033", false},
      {"oBC", "1e-300", "0.033", true}, {"oZR", "1e300", "30", true},  {"oSH", "-1,25", "-1,25", false},
  };
  for (const auto& [name, text, expected, told] : cases) {
    SaveRegSetting(kPath, name, text);
    State s;
    s.SettingsPath = kPath;
    const LoadResult r = LoadData(s);
    const auto loaded = SavedTexts(s);
    EXPECT_EQ(std::map(loaded.begin(), loaded.end())[name], expected) << name << " = '" << text << "'";
    EXPECT_EQ(Has(r.problems, " \"" + std::string(text) + "\" "), told) << name << " = '" << text << "': " << r.problems;
    DeleteRegSettings(kPath);
  }
  // A value stored as a number by something else reads as its decimal text.
  ASSERT_EQ(st::WriteValue(st::kLocalMachine, kPath, "R(1)", 4, "\x21\0\0\0"s), st::WriteResult::Ok);
  EXPECT_EQ(Loaded().DataRange[1], 33);
  // One line for each, naming the setting in words, its text cut after 24 characters.
  SaveRegSetting(kPath, "oBC", "0.0" + std::string(300, '3') + "x");
  SaveRegSetting(kPath, "R(2)", "ten");
  State s;
  s.SettingsPath = kPath;
  EXPECT_EQ(LoadData(s).problems,
            "The saved range of data point 3 \"ten\" cannot be used; the default 30 was used.\r\n"
            "The saved ballistic coefficient \"0.0" + std::string(21, '3') +
                "\u2026\" cannot be used; the default 0.033 was used.");
  EXPECT_TRUE(PseudoCalc(s).problem == std::nullopt) << "the start-up estimate works with the defaults";
}

// Numbers are written in the user's locale and read in any: a text the
// locale cannot read is read with a decimal point, then with a decimal comma.
TEST_F(Settings, NumberTextsFollowTheUsersLocaleAndLoadInAnyOther) {
  QLocale::setDefault(QLocale("de_DE"));
  EXPECT_EQ(LocaleToDouble(" 1,5E+20 "), 1.5e20);
  EXPECT_EQ(LocaleToDouble("1.000"), 1.0) << "a point is read as a decimal point, never as a group separator";
  EXPECT_EQ(Loaded().ModelBC.text(), "0,033") << "the default text is formed in the locale too";
  State b = StateB();
  b.ModelBC = Variant::Number(0.0275);  // as after a fit
  b.ModelCPM = 4.5;
  SaveData(b);
  EXPECT_EQ(Saved("oBC") + " " + Saved("oCPM"), "0,0275 4,5");
  QLocale::setDefault(QLocale::c());
  const State c = Loaded();
  EXPECT_TRUE(c.ModelBC.number() == 0.0275 && c.ModelCPM == 4.5) << "saved with a comma, read with a point";
  SaveData(c);
  EXPECT_EQ(Saved("oCPM"), "4.5");
  QLocale::setDefault(QLocale("de_DE"));
  EXPECT_EQ(Loaded().ModelCPM, 4.5) << "saved with a point, read with a comma";
  QLocale::setDefault(QLocale::system());

  // The system locale is the one the environment names.
  const auto fit = [&](const std::string& locale) {
    const std::string out = (TempRoot() / "out.json").string();
    const std::string command = "LC_ALL=" + locale + " '" VANTOREL_FIT "' --saved --estimate --json >" + out;
    const int status = std::system(command.c_str());
    return std::pair{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(out)};
  };
  SaveData(StateA());
  SaveRegSetting(kPath, "oBC", "0,033");
  for (const char* locale : {"de_DE.UTF-8", "C"}) {
    const auto [status, json] = fit(locale);
    EXPECT_EQ(status, 0) << locale;
    EXPECT_TRUE(Has(json, "\"model\": {\"mv\": 790, \"bc\": 0.033, \"sh\": 2, \"zr\": 30, \"cpm\": 8}")) << json;
  }
}

TEST_F(Settings, OddNamesAndTextsRoundTripUnchanged) {
  for (const std::string& t : {"it's \"quoted\""s, "C:\\Users\\x\\"s, "100%"s, "%%"s, "%NOT_SET_ANYWHERE%"s,
                               "Zürich – 東京 ✓"s, "  padded  "s, "tab\there"s, std::string(5000, 'z')}) {
    SaveRegSetting(kPath, t, t);
    EXPECT_EQ(GetRegSetting(kPath, t, "<default>"), t);
  }
  SaveRegSetting(kPath, "", "");  // the key's own value: stored, but an empty text reads as the default
  EXPECT_TRUE(st::ReadValue(st::kLocalMachine, kPath, ""));
  EXPECT_EQ(GetRegSetting(kPath, "", "<default>"), "<default>");
  const std::string odd = BuildSettingsPath("Vän \"torel\" 100%");
  SaveRegSetting(odd, "R(0)", "42");
  EXPECT_EQ(Loaded(odd).DataRange[0], 42);
}

// A save or reset the store refuses reaches the caller whole; what was
// written before it stays written.
TEST_F(Settings, RefusedWritesReachTheCallerWithNumberSourceAndDescription) {
  SaveData(StateA());
  st::testing::OpenReadOnlyAfterWrites(7);  // SQLite itself refuses the eighth write, C(2)
  ExpectRegistryError([] { SaveData(StateB()); }, 26001, kFailed + "C(2)' to value: '17'");
  st::testing::OpenReadOnlyAfterWrites(-1);
  st::testing::CloseConnection();
  const auto a = SavedTexts(StateA()), b = SavedTexts(StateB());
  for (size_t i = 0; i < a.size(); ++i) EXPECT_EQ(Saved(a[i].first), i < 7 ? b[i].second : a[i].second) << a[i].first;

  st::testing::OpenReadOnlyAfterWrites(0);
  ExpectRegistryError([] { ResetSettings(kPath); }, 26001, kFailed + "Dummy' to value: '99'");
  st::testing::OpenReadOnlyAfterWrites(-1);
  EXPECT_EQ(Saved("R(0)"), "12") << "a reset that cannot write \"Dummy\" deletes nothing";

  const std::string longName(17000, 'n');  // too long for the store: the write itself fails
  ExpectRegistryError([&] { SaveRegSetting(kPath, longName, "1"); }, kRegErrWriteFailed,
                      kFailed + longName + "' to value: '1'");

  st::testing::CloseConnection();  // a file in the place of the store's folder
  fs::remove_all(Folder());
  WriteAll(Folder(), "");
  ExpectRegistryError([] { ResetSettings(kPath); }, 26001, kFailed + "Dummy' to value: '99'");
  EXPECT_EQ(Loaded().DataRange, StateA().DataRange) << "reads go on with the defaults";
}

// `vantorel-fit --saved` starts from the saved state and never writes, not
// even to set a damaged store aside; the window's load does that.
TEST_F(Settings, FitSavedOnlyReadsAndTheWindowKeepsADamagedStoreAside) {
  EXPECT_EQ(Fit({"--saved", "--estimate"}).first, 0);
  EXPECT_FALSE(fs::exists(TempRoot() / "config"));
  SaveData(StateB());
  st::testing::CloseConnection();
  std::string bytes = ReadAll(StoreFile());
  auto [status, out] = Fit({"--saved", "--estimate", "--json"});
  EXPECT_TRUE(status == 0 && Has(out, "\"units\": \"metric\"")) << out;
  EXPECT_TRUE(Has(out, "\"model\": {\"mv\": 812.25, \"bc\": 0.0275, \"sh\": 1.75, \"zr\": 27, \"cpm\": 4}"));
  EXPECT_TRUE(Has(out, "\"min_data_range\": 36,\n  \"max_data_range\": 36,")) << "only Tick 1 counts: " << out;
  EXPECT_EQ(Fit({"--saved", "--metric"}).first, kExitUsage) << "--saved takes no rows, model or units";
  EXPECT_EQ(ReadAll(StoreFile()), bytes);

  bytes.replace(bytes.size() / 2, 64, 64, '\x7f').replace(0, 6, "NOTSQL");
  WriteAll(StoreFile(), bytes);
  const auto written = fs::last_write_time(StoreFile());
  std::tie(status, out) = Fit({"--saved", "--estimate", "--json"});
  EXPECT_TRUE(status == 0 && Has(out, "\"units\": \"imperial\"")) << "the defaults: " << out;
  EXPECT_EQ(fs::last_write_time(StoreFile()), written);
  EXPECT_EQ(FileCount(Folder()), 1) << "nothing set aside, no log or journal made";

  EXPECT_EQ(Loaded().DataRange, StateA().DataRange);
  const auto aside = KeptAside(Folder());
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(ReadAll(aside[0]), bytes);
  SaveData(StateB());  // and a save makes a fresh store
  EXPECT_EQ(SavedTexts(Loaded()), SavedTexts(StateB()));
}

// A writer killed at any moment leaves a store that opens cleanly with each
// value either as it was or as it was being written.
TEST_F(Settings, AWriterKilledMidSaveLeavesEveryValueOldOrNew) {
  SaveData(StateA());
  const auto a = SavedTexts(StateA()), b = SavedTexts(StateB());
  std::mt19937 rng(20261205);
  const fs::path marker = TempRoot() / "saving";
  int mixed = 0;
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    fs::remove(marker);
    const pid_t pid = Helper({"save-loop", marker.string()});
    ASSERT_GT(pid, 0);
    for (int waited = 0; !fs::exists(marker) && waited < 20000; ++waited) usleep(1000);
    usleep(rng() % 30000);  // then it is killed at a random moment while saving
    kill(pid, SIGKILL);
    int status = 0;
    EXPECT_TRUE(waitpid(pid, &status, 0) == pid && WIFSIGNALED(status)) << "the helper was still saving";
    st::testing::CloseConnection();  // open afresh, as the next run would
    int fromA = 0, fromB = 0;
    for (size_t i = 0; i < a.size(); ++i) {
      const std::string v = Saved(a[i].first);
      EXPECT_TRUE(v == a[i].second || v == b[i].second) << a[i].first << " = " << v;
      fromA += v == a[i].second && v != b[i].second;
      fromB += v == b[i].second && v != a[i].second;
    }
    mixed += fromA > 0 && fromB > 0;
    EXPECT_TRUE(KeptAside(Folder()).empty());
  }
  EXPECT_GT(mixed, 20) << "nearly every kill lands inside a save";
}

// Two copies of the program writing at once, and a third reading: no write
// is lost and none fails.
TEST_F(Settings, TwoCopiesWritingAtOnceLoseNothing) {
  SaveData(StateA());  // the store exists, so both start on the same file
  const pid_t p1 = Helper({"write-many", "A", "150"}), p2 = Helper({"write-many", "B", "150"});
  ASSERT_TRUE(p1 > 0 && p2 > 0);
  int reads = 0, status1 = -1, status2 = -1;
  for (; waitpid(p1, &status1, WNOHANG) == 0; ++reads) ASSERT_EQ(Saved("R(0)"), "10");
  waitpid(p2, &status2, 0);
  EXPECT_TRUE(status1 == 0 && status2 == 0) << "both exited normally with 0: " << status1 << " " << status2;
  EXPECT_GT(reads, 0);
  st::testing::CloseConnection();
  for (const std::string tag : {"A", "B"})
    for (int i = 0; i < 150; ++i)
      EXPECT_EQ(Saved(tag + std::to_string(i)), "value " + std::to_string(i) + " of " + tag);
  EXPECT_TRUE(Saved("Shared") == "value 149 of A" || Saved("Shared") == "value 149 of B") << Saved("Shared");
}
