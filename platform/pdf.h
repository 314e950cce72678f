// A document written as a PDF file, without a printer or a window system:
// the command line's printed list.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/printer.h"

namespace vantorel::platform {

// Draws the document; ends it with EndDoc and gives back its complaint.
using DrawDocument = std::function<std::optional<std::string>(PrinterSurface&)>;

// Draws one document with draw on an A4 page with quarter-inch margins and
// saves it as a new file at path the way WriteNewFile does: never over an
// existing file, and no partial file on failure. documentName is the
// document's title. Returns what went wrong for the user, or nullopt when the
// file was written.
std::optional<std::string> WriteNewPdf(const std::string& path, const std::string& documentName,
                                       const DrawDocument& draw);

}  // namespace vantorel::platform
