#include "cli/fitcli.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <sstream>

#include "entry/validation.h"
#include "model/clicktable.h"
#include "model/fit.h"
#include "model/numtext.h"
#include "output/clicklist.h"
#include "output/csvexport.h"
#include "platform/files.h"
#include "platform/store.h"
#include "shell/settings.h"

namespace vantorel {

namespace {

// The name the program's own messages use.
constexpr const char* kProgramName = "Vantorel";

constexpr const char* kUsage =
    "usage: vantorel-fit [--metric] [--model MV,BC,SH,ZR,CPM] [--estimate] [--json] [--csv FILE]\n"
    "                    ROW ROW ROW ROW ROW ROW\n"
    "       vantorel-fit --saved [--estimate] [--json] [--csv FILE]\n"
    "       ROW is RANGE:CLICKS, or RANGE:CLICKS:off for a row that is not ticked\n"
    "       --saved starts from the rows, ticks, model and units Vantorel saved\n";

struct Options {
  bool metric = false;
  bool estimateOnly = false;
  bool json = false;
  bool saved = false;
  bool modelGiven = false;
  std::optional<std::string> csvFile;
  ModelParams model{790, 0.033, 2, 30, 8};
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
  auto res = std::from_chars(b, e, v);
  if (res.ec != std::errc() || res.ptr != e || !std::isfinite(v)) return std::nullopt;
  return v;
}

Options Parse(const std::vector<std::string>& args) {
  Options o;
  std::vector<std::string> rows;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw UsageError{a + " needs a value"};
      return args[++i];
    };
    if (a == "--metric") {
      o.metric = true;
    } else if (a == "--estimate") {
      o.estimateOnly = true;
    } else if (a == "--json") {
      o.json = true;
    } else if (a == "--saved") {
      o.saved = true;
    } else if (a == "--csv") {
      o.csvFile = value();
    } else if (a == "--model") {
      const std::string& m = value();
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
      o.model = {v[0], v[1], v[2], v[3], v[4]};
      o.modelGiven = true;
    } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
      throw UsageError{"unknown option " + a};
    } else {
      rows.push_back(a);
    }
  }
  if (o.saved) {
    if (!rows.empty() || o.modelGiven || o.metric) throw UsageError{"--saved takes no rows, --model or --metric"};
    return o;
  }
  if (rows.size() != kRows) throw UsageError{"exactly six rows are needed, " + std::to_string(rows.size()) + " given"};
  for (size_t i = 0; i < kRows; ++i) {
    std::string row = rows[i];
    o.ticks[i] = 1;
    if (row.size() >= 4 && row.compare(row.size() - 4, 4, ":off") == 0) {
      o.ticks[i] = 0;
      row.resize(row.size() - 4);
    }
    const size_t colon = row.find(':');
    if (colon == std::string::npos) throw UsageError{"row " + rows[i] + " is not RANGE:CLICKS"};
    o.ranges[i] = row.substr(0, colon);
    o.clicks[i] = row.substr(colon + 1);
  }
  return o;
}

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
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

struct Outcome {
  std::array<std::string, kRows> labels{"(0)", "(0)", "(0)", "(0)", "(0)", "(0)"};
  std::optional<double> fitError;
  std::array<long, 2> candidates{0, 0};
  std::optional<Refusal> refused;
};

void WriteJson(std::ostream& out, const State& s, const Outcome& r) {
  const ModelParams p = s.Params();
  out << "{\n  \"units\": " << (s.MetricUnits ? "\"metric\"" : "\"imperial\"") << ",\n";
  out << "  \"model\": {\"mv\": " << JsonNumber(p.mv) << ", \"bc\": " << JsonNumber(p.bc) << ", \"sh\": "
      << JsonNumber(p.sh) << ", \"zr\": " << JsonNumber(p.zr) << ", \"cpm\": " << JsonNumber(p.cpm) << "},\n";
  out << "  \"fit_error\": " << (r.fitError ? JsonNumber(*r.fitError) : "null") << ",\n";
  out << "  \"candidates\": [" << r.candidates[0] << ", " << r.candidates[1] << "],\n";
  out << "  \"labels\": [";
  for (size_t i = 0; i < kRows; ++i) out << (i ? ", " : "") << JsonString(r.labels[i]);
  out << "],\n  \"click_table\": [";
  for (size_t i = 0; i < kTableFilled; ++i) out << (i ? (i % 20 ? ", " : ",\n    ") : "") << s.ClickTable[i];
  out << "],\n";
  out << "  \"min_table_clicks\": " << s.MinTableClicks << ",\n";
  out << "  \"min_data_range\": " << s.MinDataRange << ",\n";
  out << "  \"max_data_range\": " << s.MaxDataRange << ",\n";
  out << "  \"max_data_clicks\": " << s.MaxDataClicks << ",\n";
  out << "  \"list\": " << JsonString(JoinLines(ClickListLines(s), "\n")) << ",\n";
  out << "  \"refused\": ";
  if (r.refused)
    out << "{\"title\": " << JsonString(r.refused->title) << ", \"body\": " << JsonString(r.refused->body) << "}";
  else
    out << "null";
  out << "\n}\n";
}

}  // namespace

int RunFitCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options o;
  try {
    o = Parse(args);
  } catch (const UsageError& u) {
    err << "vantorel-fit: " << u.message << "\n" << kUsage;
    return kExitUsage;
  }

  State s;
  if (o.saved) {
    // The window's load, on a store that is only read: nothing is created,
    // written or set aside.
    s.SettingsPath = BuildSettingsPath(kProgramName);
    {
      platform::store::AccessScope readOnly(platform::store::Access::ReadOnly);
      const LoadResult loaded = LoadData(s);
      if (loaded.kind == LoadResult::Kind::Unreadable)
        err << "vantorel-fit: the saved settings could not be read from " << loaded.filePath << " ("
            << loaded.reason << "); starting from the defaults\n";
      if (!loaded.problems.empty()) err << "vantorel-fit: " << loaded.problems << "\n";
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

  auto refuse = [&](const Refusal& why) {
    r.refused = why;
    err << why.title << "\n" << why.body << "\n";
    if (o.json) WriteJson(out, s, r);
    return kExitRefused;
  };

  // The rows as the window holds them after loading, then the start-up estimate.
  if (auto why = CollectData(s, o.ranges, o.clicks)) return refuse(*why);
  s.FormReady = true;
  const Estimate e = PseudoCalc(s);
  if (e.problem) {
    err << "vantorel-fit: " << *e.problem << "\n";
    return kExitFailure;
  }
  for (size_t i = 0; i < kRows; ++i)
    if (e.labels[i]) r.labels[i] = *e.labels[i];

  if (!o.estimateOnly) {
    if (s.TickedCount() < 3) return refuse(MoreRangesNeeded(kProgramName));
    if (auto why = CollectData(s, o.ranges, o.clicks)) return refuse(*why);
    if (auto why = Sanity_Check(s)) return refuse(*why);
    BeginFit(s);
    r.labels.fill("(?)");
    const FitReport fit = RunSearch(s);
    r.candidates = fit.candidates;
    if (fit.problem) {
      err << "vantorel-fit: " << *fit.problem << "\n";
      return kExitFailure;
    }
    const FitFinish fin = FinishFit(s);
    if (fin.problem) {
      err << "vantorel-fit: " << *fin.problem << "\n";
      return kExitFailure;
    }
    r.labels = fin.labels;
    r.fitError = fit.bestError;
  }

  if (o.csvFile) {
    const platform::WriteResult w = platform::WriteNewFile(*o.csvFile, CsvText(s));
    if (w.status != platform::WriteStatus::Ok) {
      err << "vantorel-fit: " << w.message << "\n";
      return kExitFailure;
    }
  }
  if (o.json)
    WriteJson(out, s, r);
  else
    out << JoinLines(ClickListLines(s), "\n") << "\n";
  return 0;
}

}  // namespace vantorel
