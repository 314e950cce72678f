#include "cli/fitcli.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <optional>
#include <sstream>

#include "entry/calculate.h"
#include "entry/rows.h"
#include "entry/validation.h"
#include "model/clicktable.h"
#include "model/decimal.h"
#include "model/numtext.h"
#include "model/utf8.h"
#include "output/clicklist.h"
#include "output/csvexport.h"
#include "output/printlist.h"
#include "platform/files.h"
#include "platform/pdf.h"
#include "platform/store.h"
#include "settings/settings.h"
#include "settings/settingsfile.h"

namespace vantorel {

namespace {

// The name the program's own messages use.
constexpr const char* kProgramName = "Vantorel";

constexpr const char* kUsage =
    "usage: vantorel-fit [--metric] [--model MV,BC,SH,ZR,CPM] [--estimate] [--json]\n"
    "                    [--csv FILE] [--pdf FILE] [--] ROW ROW ROW ROW ROW ROW\n"
    "       vantorel-fit --saved [--estimate] [--json] [--csv FILE] [--pdf FILE]\n"
    "       vantorel-fit --export-settings FILE | --import-settings FILE\n"
    "       vantorel-fit --help | --version\n"
    "  ROW is RANGE:CLICKS, or RANGE:CLICKS:off for a row that is not ticked\n"
    "  --metric     the numbers are metres, centimetres and m/s\n"
    "  --model      the model to start from (default 790,0.033,2,30,8)\n"
    "  --estimate   only the estimate from the starting model, no fit\n"
    "  --saved      start from the rows, ticks, model and units Vantorel saved\n"
    "  --json       a JSON report instead of the click list\n"
    "  --csv FILE   also write the CSV export to FILE (never over a file)\n"
    "  --pdf FILE   also write the printed list to FILE as PDF (never over a file)\n"
    "  --           everything after it is a row\n"
    "  --export-settings FILE  write the saved rows, ticks, model and units to a\n"
    "               settings file (never over a file), to open on another machine\n"
    "  --import-settings FILE  save the settings of a settings file as Vantorel's\n"
    "               own (close Vantorel first); a damaged or foreign file changes nothing\n"
    "exit status: 0 done, 1 failed, 2 data points refused, 64 usage error\n";

constexpr const char* kUsageHint = "Try 'vantorel-fit --help' for more information.\n";

std::string VersionText() {
  return std::to_string(VANTOREL_VERSION_MAJOR) + "." + std::to_string(VANTOREL_VERSION_MINOR) + "." +
         std::to_string(VANTOREL_VERSION_PATCH);
}

enum class Action { Fit, Help, Version, Export, Import };

struct Options {
  Action action = Action::Fit;
  bool metric = false;
  bool estimateOnly = false;
  bool json = false;
  bool saved = false;
  bool modelGiven = false;
  std::optional<std::string> csvFile, pdfFile;
  std::string settingsFile;  // --export-settings, --import-settings
  ModelParams model = kDefaultModel;
  RowTexts ranges, clicks;
  std::array<int16_t, kRows> ticks{};
};

struct UsageError {
  std::string message;
};

// A decimal with a point, read whole: "0.033", "-5", "1e3".
std::optional<double> StrictNumber(const std::string& text) {
  double v = 0;
  const char* b = text.data();
  const char* e = b + text.size();
  if (b != e && *b == '+') ++b;
  const auto res = ReadDecimal(b, e, v);
  if (res.ec != std::errc() || res.ptr != e || !std::isfinite(v)) return std::nullopt;
  return v;
}

ModelParams ParseModel(const std::string& m) {
  std::array<double, 5> v{};
  size_t start = 0;
  for (size_t k = 0; k < 5; ++k) {
    const size_t comma = m.find(',', start);
    const bool last = k == 4;
    if (last != (comma == std::string::npos)) throw UsageError{"--model takes five numbers: MV,BC,SH,ZR,CPM"};
    const auto n = StrictNumber(m.substr(start, last ? std::string::npos : comma - start));
    if (!n) throw UsageError{"--model takes five numbers: MV,BC,SH,ZR,CPM"};
    v[k] = *n;
    start = comma + 1;
  }
  return {v[0], v[1], v[2], v[3], v[4]};
}

bool IsOffSuffix(const std::string& s) {
  return s.size() == 3 && std::tolower(static_cast<unsigned char>(s[0])) == 'o' &&
         std::tolower(static_cast<unsigned char>(s[1])) == 'f' && std::tolower(static_cast<unsigned char>(s[2])) == 'f';
}

// An argument that names an option: "--word" or "-letter...". A dash before
// a digit or a point is a row with a negative range.
bool LooksLikeOption(const std::string& a) {
  return a.size() > 1 && a[0] == '-' && (a[1] == '-' || std::isalpha(static_cast<unsigned char>(a[1])));
}

// The lines of a message as one line.
std::string LinesAsOne(const std::string& text) {
  std::string one;
  for (size_t at = 0; at < text.size(); ++at) {
    const bool lineEnd = text.compare(at, 2, "\r\n") == 0;
    one += lineEnd ? ' ' : text[at];
    at += lineEnd ? 1 : 0;
  }
  return one;
}

// Two names of one file: the same path once "." and ".." are taken out, or
// once links are resolved.
bool SameFile(const std::string& a, const std::string& b) {
  namespace fs = std::filesystem;
  std::error_code ea, eb;
  if (fs::absolute(a, ea).lexically_normal() == fs::absolute(b, eb).lexically_normal() && !ea && !eb) return true;
  const fs::path ca = fs::weakly_canonical(a, ea), cb = fs::weakly_canonical(b, eb);
  return !ea && !eb && ca == cb;
}

Options Parse(const std::vector<std::string>& args) {
  Options o;
  std::vector<std::string> rows;
  bool onlyRows = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (onlyRows || !LooksLikeOption(a)) {
      rows.push_back(a);
      continue;
    }
    // --name=value or --name value.
    const size_t eq = a.find('=');
    const std::string name = a.rfind("--", 0) == 0 && eq != std::string::npos ? a.substr(0, eq) : a;
    const bool inlineValue = name.size() != a.size();
    auto value = [&]() -> std::string {
      if (inlineValue) return a.substr(eq + 1);
      if (i + 1 >= args.size()) throw UsageError{name + " needs a value"};
      return args[++i];
    };
    const bool settings = name == "--export-settings" || name == "--import-settings";
    const bool takesValue = name == "--csv" || name == "--pdf" || name == "--model" || settings;
    if (inlineValue && !takesValue) throw UsageError{"option " + name + " takes no value"};
    if (name == "--") {
      onlyRows = true;
    } else if (name == "--help" || name == "-h") {
      o.action = Action::Help;
      return o;
    } else if (name == "--version" || name == "-V") {
      o.action = Action::Version;
      return o;
    } else if (name == "--metric") {
      o.metric = true;
    } else if (name == "--estimate") {
      o.estimateOnly = true;
    } else if (name == "--json") {
      o.json = true;
    } else if (name == "--saved") {
      o.saved = true;
    } else if (settings) {
      if (args.size() != (inlineValue ? 1u : 2u)) throw UsageError{name + " takes a file and nothing else"};
      o.action = name == "--export-settings" ? Action::Export : Action::Import;
      o.settingsFile = value();
      if (o.settingsFile.empty()) throw UsageError{"a file name is empty"};
      return o;
    } else if (name == "--csv" || name == "--pdf") {
      auto& file = name == "--csv" ? o.csvFile : o.pdfFile;
      if (file) throw UsageError{name + " is given twice"};
      file = value();
    } else if (name == "--model") {
      o.model = ParseModel(value());
      o.modelGiven = true;
    } else {
      throw UsageError{"unknown option " + a};
    }
  }
  if ((o.csvFile && o.csvFile->empty()) || (o.pdfFile && o.pdfFile->empty())) throw UsageError{"a file name is empty"};
  if (o.csvFile && o.pdfFile && SameFile(*o.csvFile, *o.pdfFile))
    throw UsageError{"--csv and --pdf name the same file, " + *o.csvFile};
  if (o.saved) {
    if (!rows.empty() || o.modelGiven || o.metric) throw UsageError{"--saved takes no rows, --model or --metric"};
    return o;
  }
  if (rows.size() != kRows) throw UsageError{"exactly six rows are needed, " + std::to_string(rows.size()) + " given"};
  for (size_t i = 0; i < kRows; ++i) {
    const std::string& row = rows[i];
    const size_t colon = row.find(':');
    if (colon == std::string::npos) throw UsageError{"row " + row + " is not RANGE:CLICKS"};
    const size_t second = row.find(':', colon + 1);
    o.ticks[i] = 1;
    if (second != std::string::npos) {
      if (!IsOffSuffix(row.substr(second + 1)))
        throw UsageError{"row " + row + " ends in :" + row.substr(second + 1) + "; the only suffix is :off"};
      o.ticks[i] = 0;
    }
    o.ranges[i] = row.substr(0, colon);
    o.clicks[i] = row.substr(colon + 1, second == std::string::npos ? std::string::npos : second - colon - 1);
  }
  return o;
}

// A JSON string is UTF-8: a byte that starts no valid sequence (an
// argument or a stored text in another encoding, a damaged store) gives
// U+FFFD.
std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (size_t at = 0, len = 1; at < s.size(); at += len) {
    char32_t cp = 0;
    if (!DecodeUtf8At(s, at, cp, len)) {
      out += "\uFFFD";
      len = 1;
      continue;
    }
    if (len > 1) {
      out.append(s, at, len);
      continue;
    }
    const auto c = static_cast<unsigned char>(cp);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          static const char* hex = "0123456789abcdef";
          out += "\\u00";
          out += hex[c >> 4];
          out += hex[c & 15];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string JsonNumber(double v) { return std::isfinite(v) ? ShortestText(v) : "null"; }

// What a run found out. A report gives null for what the run did not get
// to: nothing made up (a default model, empty labels) stands in for it.
struct Outcome {
  bool inputs = false;  // the units and the model: the options', or the saved ones read
  bool table = false;   // the labels, the click table, the extents and the list: worked out
  std::array<std::string, kRows> labels{};
  std::optional<double> fitError;
  std::optional<std::array<int64_t, 2>> candidates;
  std::optional<Refusal> refused;
  std::optional<std::string> error;  // why the run failed
};

void WriteJson(std::ostream& out, const State& s, const Outcome& r) {
  const ModelParams p = s.Params();
  auto known = [&out](bool has, const auto& write) { has ? write() : void(out << "null"); };
  out << "{\n  \"units\": ";
  known(r.inputs, [&] { out << (s.MetricUnits ? "\"metric\"" : "\"imperial\""); });
  out << ",\n  \"model\": ";
  known(r.inputs, [&] {
    out << "{\"mv\": " << JsonNumber(p.mv) << ", \"bc\": " << JsonNumber(p.bc) << ", \"sh\": " << JsonNumber(p.sh)
        << ", \"zr\": " << JsonNumber(p.zr) << ", \"cpm\": " << JsonNumber(p.cpm) << "}";
  });
  out << ",\n  \"fit_error\": " << (r.fitError ? JsonNumber(*r.fitError) : "null") << ",\n  \"candidates\": ";
  known(r.candidates.has_value(), [&] { out << "[" << (*r.candidates)[0] << ", " << (*r.candidates)[1] << "]"; });
  out << ",\n  \"labels\": ";
  known(r.table, [&] {
    out << "[";
    for (size_t i = 0; i < kRows; ++i) out << (i ? ", " : "") << JsonString(r.labels[i]);
    out << "]";
  });
  out << ",\n  \"click_table\": ";
  known(r.table, [&] {
    out << "[";
    for (size_t i = 0; i < kTableFilled; ++i) out << (i ? (i % 20 ? ", " : ",\n    ") : "") << s.ClickTable[i];
    out << "]";
  });
  for (auto [name, value] : {std::pair{"min_table_clicks", s.MinTableClicks},
                             {"min_data_range", s.MinDataRange},
                             {"max_data_range", s.MaxDataRange},
                             {"max_data_clicks", s.MaxDataClicks}}) {
    out << ",\n  \"" << name << "\": ";
    known(r.table, [&, value = value] { out << value; });
  }
  out << ",\n  \"list\": ";
  known(r.table, [&] { out << JsonString(JoinLines(ClickListLines(s), "\n")); });
  out << ",\n  \"refused\": ";
  known(r.refused.has_value(), [&] {
    out << "{\"title\": " << JsonString(r.refused->title) << ", \"body\": " << JsonString(r.refused->body) << "}";
  });
  out << ",\n  \"error\": " << (r.error ? JsonString(*r.error) : "null") << "\n}\n";
}

}  // namespace

// The output written, flushed and checked: a full disk or a closed pipe on
// standard output is a failure, not a silent loss.
int Finish(std::ostream& out, std::ostream& err, int status) {
  out.flush();
  if (!out) {
    err << "vantorel-fit: cannot write to standard output\n";
    return kExitFailure;
  }
  return status;
}

// --export-settings and --import-settings: the saved settings to a settings
// file, or a settings file's into the store. The store is read first, with
// read access only; what cannot be read is never written over, and a refused
// file changes nothing.
int SettingsFile(bool import, const std::string& file, std::ostream& out, std::ostream& err, platform::Store& store) {
  State s;
  s.SettingsPath = BuildSettingsPath(kProgramName);
  LoadResult loaded;
  {
    platform::store::AccessScope readOnly(store, platform::store::Access::ReadOnly);
    loaded = LoadData(store, s);
  }
  const char* nothing = import ? "nothing was imported" : "nothing was exported";
  if (loaded.kind == LoadResult::Kind::Unreadable) {
    err << "vantorel-fit: the saved settings could not be read from " << loaded.filePath << " (" << loaded.reason
        << "); " << nothing << ".\n";
    return kExitFailure;
  }
  if (!import) {
    if (!loaded.problems.empty() || !loaded.changed.empty()) {
      err << "vantorel-fit: the saved settings in " << loaded.filePath << " are not whole ("
          << (loaded.problems.empty() ? loaded.notice : LinesAsOne(loaded.problems)) << "); " << nothing << ".\n";
      return kExitFailure;
    }
    const platform::WriteResult written = platform::WriteNewFile(file, SettingsFileText(s, VersionText()));
    if (written.status != platform::WriteStatus::Ok) {
      err << "vantorel-fit: " << file << ": " << written.message << "\n";
      return kExitFailure;
    }
    out << "The saved settings are in " << file << ".\n";
    return 0;
  }
  const platform::ReadResult read = platform::ReadSmallFile(file, kSettingsFileMax);
  if (!read.ok) {
    err << "vantorel-fit: " << file << " could not be read (" << read.message << "); " << nothing << ".\n";
    return kExitFailure;
  }
  const SettingsFileRead taken = ReadSettingsFile(read.bytes);
  if (taken.refusal) {
    err << "vantorel-fit: " << file << ": " << *taken.refusal << " Nothing was imported.\n";
    return kExitFailure;
  }
  TakeSettings(s, taken.values);
  try {
    SaveData(store, s);
  } catch (const RegistryError& e) {
    err << "vantorel-fit: the settings were not saved in " << loaded.filePath << ": " << e.description() << " "
        << e.detail() << "\n";
    return kExitFailure;
  }
  out << "The settings of " << file << " are saved in " << loaded.filePath << ".\n";
  return 0;
}

int RunFitCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, platform::Store& store) {
  Options o;
  try {
    o = Parse(args);
  } catch (const UsageError& u) {
    err << "vantorel-fit: " << u.message << "\n" << kUsageHint;
    const auto optionsEnd = std::find(args.begin(), args.end(), "--");
    if (std::find(args.begin(), optionsEnd, "--json") != optionsEnd)
      out << "{\n  \"usage_error\": " << JsonString(u.message) << "\n}\n";
    return Finish(out, err, kExitUsage);
  }
  if (o.action == Action::Help) {
    out << kUsage;
    return Finish(out, err, 0);
  }
  if (o.action == Action::Version) {
    out << "vantorel-fit " << VersionText() << "\n";
    return Finish(out, err, 0);
  }

  if (o.action == Action::Export || o.action == Action::Import)
    return Finish(out, err, SettingsFile(o.action == Action::Import, o.settingsFile, out, err, store));

  State s;
  std::optional<std::string> unread;  // why the saved settings cannot be reported
  if (o.saved) {
    // The window's load, on a store that is only read: nothing is created,
    // written or set aside. What cannot be read, or a saved value that
    // cannot be used, is a failure: the defaults are never reported as the
    // shooter's values.
    s.SettingsPath = BuildSettingsPath(kProgramName);
    {
      platform::store::AccessScope readOnly(store, platform::store::Access::ReadOnly);
      const LoadResult loaded = LoadData(store, s);
      std::string changed;
      for (const std::string& w : loaded.changed) changed += (changed.empty() ? "" : ", ") + w;
      if (loaded.kind == LoadResult::Kind::Unreadable)
        unread = "the saved settings could not be read from " + loaded.filePath + " (" + loaded.reason + ")";
      else if (!changed.empty())
        unread = "the saved settings in " + loaded.filePath + " are not what the program last saved (" + changed +
                 "): the last save was cut off, or they were changed or damaged outside the program";
      else if (!loaded.problems.empty())
        unread = "the saved settings in " + loaded.filePath +
                 " hold values that cannot be used: " + LinesAsOne(loaded.problems);
    }
    for (size_t i = 0; i < kRows; ++i) {
      o.ranges[i] = std::to_string(s.DataRange[i]);
      o.clicks[i] = std::to_string(s.DataClicks[i]);
    }
    o.ticks = s.Ticked;
  } else {
    s.MetricUnits = o.metric;
    s.SetParams(o.model);
  }
  s.Ticked = o.ticks;
  Outcome r;

  // Every outcome ends here: the message on standard error, the JSON report
  // (when asked for) on standard output.
  auto refuse = [&](const Refusal& why) {
    r.refused = why;
    err << why.title << "\n" << why.body << "\n";
    if (o.json) WriteJson(out, s, r);
    return Finish(out, err, kExitRefused);
  };
  auto fail = [&](const std::string& why) {
    r.error = why;
    err << "vantorel-fit: " << why << "\n";
    if (o.json) WriteJson(out, s, r);
    return Finish(out, err, kExitFailure);
  };

  if (unread) return fail(*unread);
  r.inputs = true;
  // The rows as the window holds them after loading, then the start-up estimate.
  if (auto why = CollectData(s, o.ranges, o.clicks)) return refuse(*why);
  s.FormReady = true;
  const Estimate e = PseudoCalc(s);
  if (e.problem) return fail(*e.problem);
  // A row the estimate does not label shows the window's first label.
  r.labels.fill("(0)");
  for (size_t i = 0; i < kRows; ++i)
    if (e.labels[i]) r.labels[i] = *e.labels[i];
  r.table = true;

  if (!o.estimateOnly) {
    if (auto few = TooFewTicked(s, kProgramName)) return refuse(*few);
    CalculateSteps quiet;  // nothing to show while the search runs
    const Calculation fit = CalculateModel(s, o.ranges, o.clicks, quiet);
    if (fit.refused) return refuse(*fit.refused);
    r.table = false;  // until the fitted model's table is in
    r.candidates = fit.fit.candidates;
    if (auto why = fit.problem()) return fail(*why);
    r.labels = fit.finish.labels;
    r.fitError = fit.fit.bestError;
    r.table = true;
  }

  if (o.csvFile) {
    const platform::WriteResult w = platform::WriteNewFile(*o.csvFile, CsvText(s));
    if (w.status != platform::WriteStatus::Ok) return fail(w.message);
  }
  if (o.pdfFile) {
    // The page "Print List" prints, drawn by the same code.
    auto problem = platform::WriteNewPdf(*o.pdfFile, kProgramName, [&](platform::PrinterSurface& page) {
      return Print_List(s, page, kProgramName);
    });
    if (problem) return fail(*problem);
  }
  if (o.json)
    WriteJson(out, s, r);
  else
    out << JoinLines(ClickListLines(s), "\n") << "\n";
  return Finish(out, err, 0);
}

}  // namespace vantorel
