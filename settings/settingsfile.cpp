#include "settings/settingsfile.h"

#include <algorithm>
#include <map>
#include <vector>

#include "settings/settings.h"

namespace vantorel {

namespace {

const char* UnitsWord(bool metric) { return metric ? "metres" : "yards"; }

std::string Damaged(const std::string& what) { return "The settings file is damaged: " + what; }

}  // namespace

std::string SettingsFileText(const State& s, const std::string& programVersion) {
  auto texts = SavedTexts(s, ".");
  const std::string check = CheckText(texts);
  std::string out = kSettingsFileHead;
  out += std::to_string(kSettingsFileFormat);
  out += "\r\nProgram: Vantorel ";
  out += programVersion;
  out += "\r\nUnits: ";
  out += UnitsWord(s.MetricUnits);
  out += "\r\n";
  texts.emplace_back(kCheckName, check);
  for (const auto& [name, text] : texts) {
    out += name;
    out += '=';
    out += text;
    out += "\r\n";
  }
  return out;
}

SettingsFileRead ReadSettingsFile(std::string_view text) {
  SettingsFileRead r;
  std::vector<std::string> lines;
  if (text.size() > kSettingsFileMax) text = {};
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string line(text.substr(at, end - at));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    at = end + 1;
  }
  if (lines.empty() || !lines[0].starts_with(kSettingsFileHead)) {
    r.refusal = "This is not a Vantorel settings file.";
    return r;
  }
  const std::string format = lines[0].substr(std::string_view(kSettingsFileHead).size());
  if (format != std::to_string(kSettingsFileFormat)) {
    const std::string program = lines.size() > 1 && lines[1].starts_with("Program: ") ? lines[1].substr(9) : "";
    r.refusal = "This settings file was written by another version of Vantorel" +
                (program.empty() ? std::string() : " (" + program + ")") + " in a form this version cannot read.";
    return r;
  }
  std::map<std::string, std::string> values;
  std::vector<std::pair<std::string, std::string>> inOrder;
  std::optional<std::string> units;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.empty()) continue;
    if (line.starts_with("Program: ")) continue;
    if (line.starts_with("Units: ")) {
      units = line.substr(7);
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string::npos) {
      r.refusal = Damaged("line " + std::to_string(i + 1) + " is neither a value nor a heading.");
      return r;
    }
    const std::string name = line.substr(0, eq);
    if (!values.emplace(name, line.substr(eq + 1)).second) {
      r.refusal = Damaged(name + " is given twice.");
      return r;
    }
    if (name != kCheckName) inOrder.emplace_back(name, line.substr(eq + 1));
  }
  // Exactly the values a save writes, each once.
  const auto expected = SavedTexts(State{}, ".");
  for (const auto& [name, text] : expected)
    if (!values.contains(name)) {
      r.refusal = Damaged(name + " is missing.");
      return r;
    }
  for (const auto& value : values) {
    const std::string& name = value.first;
    if (name != kCheckName &&
        std::none_of(expected.begin(), expected.end(), [&](const auto& e) { return e.first == name; })) {
      r.refusal = Damaged(name + " is not one of Vantorel's settings.");
      return r;
    }
  }
  std::vector<std::pair<std::string, std::string>> checked;
  checked.reserve(expected.size());
  for (const auto& [name, text] : expected) checked.emplace_back(name, values[name]);
  // A file made or edited by hand may leave the check out.
  if (values.contains(kCheckName) && values[kCheckName] != CheckText(checked)) {
    r.refusal = Damaged("its values do not agree with its check line, so one of them was changed or cut.");
    return r;
  }
  const std::string problems = LoadDataFrom(r.values, [&](const std::string& name) -> std::optional<std::string> {
    const auto it = values.find(name);
    return it == values.end() ? std::nullopt : std::optional(it->second);
  });
  if (!problems.empty()) {
    std::string said = problems;
    for (size_t at = 0; (at = said.find("\r\n", at)) != std::string::npos;) said.replace(at, 2, " ");
    r.refusal = Damaged(said);
    return r;
  }
  if (!units || *units != UnitsWord(r.values.MetricUnits)) {
    r.refusal = Damaged("its units do not agree with its Metric value.");
    return r;
  }
  return r;
}

void TakeSettings(State& to, const State& from) {
  to.DataRange = from.DataRange;
  to.DataClicks = from.DataClicks;
  to.Ticked = from.Ticked;
  to.MetricUnits = from.MetricUnits;
  to.ModelMV = from.ModelMV;
  to.ModelBC = from.ModelBC;
  to.ModelSH = from.ModelSH;
  to.ModelZR = from.ModelZR;
  to.ModelCPM = from.ModelCPM;
}

}  // namespace vantorel
