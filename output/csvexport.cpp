#include "output/csvexport.h"

#include "model/numtext.h"
#include "platform/files.h"

namespace vantorel {

std::string CsvText(const State& s) {
  std::string out = "Range,Clicks\r\n";
  out += s.MetricUnits ? "(Metre),(Clk)\r\n" : "(Yard),(Clk)\r\n";
  const int last = s.MaxDataRange <= 100 ? 100 : 200;
  for (int r = 1; r <= last; ++r)
    out += FormatNumber(r, "0") + "," + FormatNumber(s.ClickTable[static_cast<size_t>(r - 1)], "0") + "\r\n";
  return out;
}

CsvSave SaveCsvInFolder(const State& s, const std::string& folder) {
  return platform::SaveNumbered(folder, "VTL", ".CSV", CsvText(s));
}

CsvSave SaveCsv(const State& s, const std::string& programFolder, const std::string& documentsFolder) {
  CsvSave first = programFolder.empty() ? CsvSave{} : SaveCsvInFolder(s, programFolder);
  if (first.ok) return first;
  const std::string folder = platform::InFolder(documentsFolder, "Vantorel");
  if (std::string why = platform::MakePrivateFolders(folder); !why.empty()) {
    first.message += "\n" + why;
    return first;
  }
  CsvSave second = SaveCsvInFolder(s, folder);
  if (!second.ok && !first.message.empty()) second.message = first.message + "\n" + second.message;
  return second;
}

}  // namespace vantorel
