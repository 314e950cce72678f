// The comma-separated export of the click table under a fresh numbered name
// (VTL_0001.CSV, VTL_0002.CSV, ...) that never overwrites an earlier export.
#pragma once

#include <string>

#include "model/state.h"
#include "platform/files.h"

namespace vantorel {

// The file's bytes: Range,Clicks, the unit line, then one line per range from
// 1 to 100 (or 200 when MaxDataRange is above 100), every line ended by CR LF.
std::string CsvText(const State& s);

using CsvSave = platform::SavedFile;

// Writes CsvText to the first free VTL_nnnn.CSV in folder (SaveNumbered).
CsvSave SaveCsvInFolder(const State& s, const std::string& folder);

// "Save as CSV": into programFolder (the executable's folder) when there is
// one and it accepts the file, else into Vantorel/ under documentsFolder
// (created with mode 0700 when missing), with the same numbering. An
// installed program has no program folder for exports (ProgramExportFolder):
// even where root could write there, the package manager owns that folder.
CsvSave SaveCsv(const State& s, const std::string& programFolder,
                const std::string& documentsFolder = platform::DocumentsFolder());

}  // namespace vantorel
