#include "windows/pdf.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <system_error>
#include <vector>

#include "platform/files.h"
#include "platform/twips.h"
#include "windows/printing.h"
#include "windows/spooler.h"
#include "windows/wintext.h"

namespace vantorel::windows {

namespace {

// The margin the PDF pages keep, as on every system: a quarter inch.
constexpr double kPdfMarginTwips = platform::kTwipsPerInch / 4;

// Waits, at most waitMs, for the spooler to finish job on printer: the job
// leaves the queue, or stays in it as printed. Why it did not, for the user;
// such a job is cancelled.
std::optional<std::string> Finished(const std::wstring& printer, DWORD job, int waitMs) {
  const Spooler& spooler = TheSpooler();
  HANDLE h = nullptr;
  if (!spooler.missing.empty() || !spooler.openPrinter(const_cast<wchar_t*>(printer.c_str()), &h, nullptr))
    return "the printer could not be asked about the document (" + ErrorText(GetLastError()) + ").";
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  std::optional<std::string> problem;
  std::vector<uint64_t> buffer(64);  // aligned for the pointers inside
  for (;;) {
    DWORD needed = 0;
    const DWORD size = static_cast<DWORD>(buffer.size() * sizeof(uint64_t));
    if (!spooler.getJob(h, job, 1, reinterpret_cast<BYTE*>(buffer.data()), size, &needed)) {
      if (GetLastError() == ERROR_INSUFFICIENT_BUFFER && needed > size && needed < (1u << 20)) {
        buffer.resize(needed / sizeof(uint64_t) + 1);
        continue;
      }
      break;  // no such job any more: done
    }
    const DWORD status = reinterpret_cast<const JOB_INFO_1W*>(buffer.data())->Status;
    if (status & (JOB_STATUS_PRINTED | JOB_STATUS_COMPLETE)) break;
    if (status & (JOB_STATUS_ERROR | JOB_STATUS_OFFLINE | JOB_STATUS_PAPEROUT | JOB_STATUS_USER_INTERVENTION |
                  JOB_STATUS_BLOCKED_DEVQ)) {
      problem = "the printer reported an error for the document.";
    } else if (std::chrono::steady_clock::now() > until) {
      problem = "the printer did not finish the document within " + std::to_string(waitMs / 1000) + " seconds.";
    }
    if (problem) {
      spooler.setJob(h, job, 0, nullptr, JOB_CONTROL_DELETE);
      break;
    }
    Sleep(100);
  }
  spooler.closePrinter(h);
  return problem;
}

// The size of a file in bytes; 0 when it cannot be read.
uint64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

}  // namespace

std::optional<std::string> WriteNewPdfOn(const std::string& printer, const std::string& path,
                                         const std::string& documentName, const platform::DrawDocument& draw,
                                         int waitMs) {
  const std::string cannot = "Cannot make " + path + ": ";
  if (const DWORD state = NewFileState(path); state != ERROR_SUCCESS)
    return state == ERROR_FILE_EXISTS ? "The file " + path + " already exists." : cannot + ErrorText(state) + ".";
  const SpoolerListing listing = SpoolerPrinters(waitMs);
  if (listing.unanswered) return cannot + *listing.unanswered;
  if (std::ranges::find(listing.names, printer) == listing.names.end())
    return cannot + "PDF files are made by the printer \"" + printer + "\", and it is not installed.";
  const std::optional<std::wstring> printerName = Wide(printer), folder = Wide(platform::Folder(path));
  if (!printerName || !folder) return cannot + "the name is not valid UTF-8.";

  // The driver writes into a new file of this program's beside the target.
  wchar_t temporary[MAX_PATH + 1] = {};
  if (!GetTempFileNameW(folder->c_str(), L"vtl", 0, temporary))
    return cannot + "no file can be made in " + platform::Folder(path) + " (" + ErrorText(GetLastError()) + ").";
  std::optional<std::string> problem;
  {
    GdiPrintJob job(printer, documentName, Narrow(temporary, wcslen(temporary)), waitMs);
    job.KeepMargin(kPdfMarginTwips);
    problem = draw(job);
    if (problem)
      job.Abort();
    else if (job.Open())  // a document left open is ended as it stands
      problem = job.EndDoc();
    if (!problem && job.JobId() == 0) problem = "nothing was drawn.";
    if (!problem) problem = Finished(*printerName, job.JobId(), kPdfJobWaitMs);
  }
  if (!problem && FileSize(temporary) == 0) problem = "the printer wrote nothing.";
  if (problem) {
    DeleteFileW(temporary);
    return cannot + *problem;
  }
  // The finished file takes its name only when nothing has it.
  if (platform::RenameNoReplace(Narrow(temporary, wcslen(temporary)), path) != 0) {
    const int why = errno;
    DeleteFileW(temporary);
    return why == EEXIST ? "The file " + path + " already exists."
                         : cannot + std::generic_category().message(why) + ".";
  }
  return std::nullopt;
}

}  // namespace vantorel::windows

std::optional<std::string> vantorel::platform::WriteNewPdf(const std::string& path, const std::string& documentName,
                                                           const platform::DrawDocument& draw) {
  return windows::WriteNewPdfOn(windows::kSystemPdfPrinter, path, documentName, draw);
}
