// PDF files on Windows: a document printed on a PDF printer, whose driver
// writes the page into a file instead of sending it anywhere. WriteNewPdf
// (platform/pdf.h) prints on the system's "Microsoft Print to PDF".
#pragma once

#include <optional>
#include <string>

#include "platform/pdf.h"
#include "platform/printing.h"

namespace vantorel::windows {

// The printer Windows makes PDF files with.
inline constexpr char kSystemPdfPrinter[] = "Microsoft Print to PDF";

// How long the spooler may take to finish a document once it has it all.
inline constexpr int kPdfJobWaitMs = 30000;

// WriteNewPdf on the printer named printer (exactly, among the spooler's
// printers, asked for at most waitMs): the driver writes the page, a
// quarter inch of paper kept around it, into a new file beside path, which
// then takes path's name unless something has it by then. Nothing is left
// behind on failure. Returns what went wrong for the user, or nullopt when
// the file was written.
std::optional<std::string> WriteNewPdfOn(const std::string& printer, const std::string& path,
                                         const std::string& documentName, const platform::DrawDocument& draw,
                                         int waitMs = platform::kPrintSystemWaitMs);

}  // namespace vantorel::windows
