#include "output/csvexport.h"

#include "model/numtext.h"
#include "platform/files.h"

namespace vantorel {

std::string UniqueFileName(const std::string& prefix, const std::string& folder, const std::string& ext,
                           const std::function<bool(const std::string&)>& taken) {
  int n = 1;
  for (; n <= 9999; ++n)
    if (!taken(folder + "/" + prefix + "_" + FormatNumber(n, "0000") + ext)) break;
  return prefix + "_" + FormatNumber(n, "0000") + ext;
}

std::string CsvText(const State& s) {
  std::string out = "Range,Clicks\r\n";
  out += s.MetricUnits ? "(Metre),(Clk)\r\n" : "(Yard),(Clk)\r\n";
  const int last = s.MaxDataRange <= 100 ? 100 : 200;
  for (int r = 1; r <= last; ++r)
    out += FormatNumber(r, "0") + "," + FormatNumber(s.ClickTable[static_cast<size_t>(r - 1)], "0") + "\r\n";
  return out;
}

CsvSave SaveCsvInFolder(const State& s, const std::string& folder) {
  CsvSave res;
  const std::string bytes = CsvText(s);
  // A few attempts cover names taken by another program in the meantime.
  for (int attempt = 0; attempt < 20; ++attempt) {
    const std::string name = UniqueFileName("VTL", folder, ".CSV", platform::NameTaken);
    if (name == "VTL_10000.CSV") {
      res.message = "Every file name from VTL_0001.CSV to VTL_9999.CSV is already taken in " + folder +
                    ". Move or delete some of the earlier lists and save again.";
      return res;
    }
    res.path = folder + "/" + name;
    const platform::WriteResult w = platform::WriteNewFile(res.path, bytes);
    if (w.status == platform::WriteStatus::Ok) {
      res.ok = true;
      return res;
    }
    if (w.status == platform::WriteStatus::Failed) {
      res.message = w.message;
      return res;
    }
  }
  res.message = "No free file name could be claimed in " + folder + ".";
  return res;
}

CsvSave SaveCsv(const State& s, const std::string& programFolder, const std::string& documentsFolder) {
  CsvSave first = programFolder.empty() ? CsvSave{} : SaveCsvInFolder(s, programFolder);
  if (first.ok) return first;
  const std::string folder = documentsFolder + "/Vantorel";
  if (std::string why = platform::MakePrivateFolders(folder); !why.empty()) {
    first.message += "\n" + why;
    return first;
  }
  CsvSave second = SaveCsvInFolder(s, folder);
  if (!second.ok && !first.message.empty()) second.message = first.message + "\n" + second.message;
  return second;
}

}  // namespace vantorel
