// The comma-separated export of the click table under a fresh numbered name
// (VTL_0001.CSV, VTL_0002.CSV, ...) that never overwrites an earlier export.
#pragma once

#include <functional>
#include <string>

#include "model/state.h"
#include "platform/files.h"

namespace vantorel {

// The first free name prefix_nnnn.ext in folder (ext begins with its dot),
// without the folder; taken(path) tells whether a full path is in use. With
// every number from 1 to 9999 taken the name carries the number 10000.
std::string UniqueFileName(const std::string& prefix, const std::string& folder, const std::string& ext,
                           const std::function<bool(const std::string&)>& taken);

// The file's bytes: Range,Clicks, the unit line, then one line per range from
// 1 to 100 (or 200 when MaxDataRange is above 100), every line ended by CR LF.
std::string CsvText(const State& s);

struct CsvSave {
  bool ok = false;
  std::string path;     // the full path written
  std::string message;  // why nothing was written
};

// Writes CsvText to the first free VTL_nnnn.CSV in folder. Refuses when every
// number up to 9999 is taken; a name that another program takes between the
// look-up and the write moves on to the next free name.
CsvSave SaveCsvInFolder(const State& s, const std::string& folder);

// "Save as CSV": into programFolder (the executable's folder) when there is
// one and it accepts the file, else into Vantorel/ under documentsFolder
// (created with mode 0700 when missing), with the same numbering. An
// installed program has no program folder for exports (ProgramExportFolder):
// even where root could write there, the package manager owns that folder.
CsvSave SaveCsv(const State& s, const std::string& programFolder,
                const std::string& documentsFolder = platform::DocumentsFolder());

}  // namespace vantorel
