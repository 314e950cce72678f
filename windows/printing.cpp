#include "windows/printing.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "platform/detached.h"
#include "windows/spooler.h"
#include "windows/wintext.h"

namespace vantorel::windows {

namespace {

// What the spooler answered when asked for its printers.
struct Listing {
  std::vector<std::string> names;
  std::optional<std::string> failure;  // the system's reason when it could not list them
};

Listing ListPrinters() {
  Listing out;
  const Spooler& spooler = TheSpooler();
  if (!spooler.missing.empty()) {
    out.failure = spooler.missing;
    return out;
  }
  const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
  DWORD needed = 0, count = 0;
  // The list may grow between asking its size and reading it: a few tries.
  for (int tries = 0; tries < 4; ++tries) {
    std::vector<uint64_t> buffer(needed / sizeof(uint64_t) + 1);  // aligned for the pointers inside
    const DWORD size = static_cast<DWORD>(buffer.size() * sizeof(uint64_t));
    if (spooler.enumPrinters(flags, nullptr, 4, reinterpret_cast<BYTE*>(buffer.data()), size, &needed, &count)) {
      const auto* info = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
      for (DWORD i = 0; i < count; ++i)
        if (info[i].pPrinterName) out.names.push_back(Narrow(info[i].pPrinterName, wcslen(info[i].pPrinterName)));
      return out;
    }
    const DWORD err = GetLastError();
    if (err != ERROR_INSUFFICIENT_BUFFER) {
      out.failure = ErrorText(err);
      return out;
    }
  }
  out.failure = ErrorText(ERROR_INSUFFICIENT_BUFFER);
  return out;
}

std::string DefaultPrinter() {
  const Spooler& spooler = TheSpooler();
  if (!spooler.missing.empty()) return {};
  DWORD size = 0;
  spooler.defaultPrinter(nullptr, &size);
  if (size == 0 || size > 32768) return {};
  std::wstring name(size, L'\0');
  if (!spooler.defaultPrinter(name.data(), &size)) return {};
  return Narrow(name.c_str(), wcslen(name.c_str()));
}

// What the spooler and the printer's driver say of a printer, asked for a job.
struct Asked {
  bool found = false;               // the spooler has the printer
  std::optional<PrinterCaps> caps;  // its page, when its driver could be used
};

Asked AskPrinter(const std::wstring& name) {
  Asked a;
  const Spooler& spooler = TheSpooler();
  HANDLE h = nullptr;
  if (!spooler.missing.empty() || !spooler.openPrinter(const_cast<wchar_t*>(name.c_str()), &h, nullptr)) return a;
  spooler.closePrinter(h);
  a.found = true;
  HDC ic = CreateICW(L"WINSPOOL", name.c_str(), nullptr, nullptr);
  if (!ic) return a;
  a.caps = PrinterCaps{GetDeviceCaps(ic, LOGPIXELSX),      GetDeviceCaps(ic, LOGPIXELSY),
                       GetDeviceCaps(ic, HORZRES),         GetDeviceCaps(ic, VERTRES),
                       GetDeviceCaps(ic, PHYSICALOFFSETX), GetDeviceCaps(ic, PHYSICALOFFSETY),
                       GetDeviceCaps(ic, PHYSICALWIDTH),   GetDeviceCaps(ic, PHYSICALHEIGHT)};
  DeleteDC(ic);
  if (a.caps->dpiX <= 0 || a.caps->dpiY <= 0) a.caps.reset();
  return a;
}

// How a page sent to a printer ended.
struct Sent {
  bool made = false;  // the printer's device context could be made
  int job = 0;        // the spooler's number for the document; 0 when it was refused
  bool printed = false;
};

// Plays the recorded page into a document of its own on the printer; the
// page's recording is deleted.
Sent SendPage(const std::wstring& name, const std::wstring& title, const std::optional<std::wstring>& output,
              HENHMETAFILE page, RECT area) {
  Sent s;
  if (HDC dc = CreateDCW(L"WINSPOOL", name.c_str(), nullptr, nullptr)) {
    s.made = true;
    DOCINFOW info{};
    info.cbSize = sizeof(info);
    info.lpszDocName = title.c_str();
    info.lpszOutput = output ? output->c_str() : nullptr;
    s.job = StartDocW(dc, &info);
    if (s.job > 0 && StartPage(dc) > 0) {
      PlayEnhMetaFile(dc, page, &area);
      const bool paged = EndPage(dc) > 0;
      s.printed = ::EndDoc(dc) > 0 && paged;
    } else if (s.job > 0) {
      AbortDoc(dc);
      s.job = 0;
    }
    DeleteDC(dc);
  }
  DeleteEnhMetaFile(page);
  return s;
}

std::string NoAnswer(int waitMs) {
  return "The print system did not answer within " + std::to_string(waitMs / 1000) + " seconds";
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

}  // namespace

GdiPrintJob::GdiPrintJob(const std::string& deviceName, const std::string& documentName, const std::string& outputFile,
                         int waitMs)
    : measure_(CreateCompatibleDC(nullptr)),
      device_(deviceName),
      document_(documentName),
      output_(outputFile),
      waitMs_(waitMs) {
  surfaceFont_.name = "Courier New";
  surfaceFont_.size = 10;
  const std::wstring name = Wide(deviceName).value_or(std::wstring());
  if (name.empty()) {
    cannot_ = "No printer is installed.";
  } else {
    const platform::Detached<Asked> ask([name] { return AskPrinter(name); });
    const std::optional<Asked> asked = ask.Within(waitMs);
    if (!asked)
      cannot_ = NoAnswer(waitMs) + "; nothing was printed on " + Quoted(deviceName) + ".";
    else if (!asked->found)
      cannot_ = "The printer " + Quoted(deviceName) + " is no longer installed.";
    else if (!asked->caps)
      cannot_ = "The printer " + Quoted(deviceName) + " cannot be used.";
    else
      caps_ = asked->caps;
  }
  if (caps_)
    SetDensity(caps_->dpiX, caps_->dpiY);
  else
    error_ = cannot_;
}

GdiPrintJob::~GdiPrintJob() {
  Abort();
  if (measure_) DeleteDC(measure_);
}

std::string GdiPrintJob::Target() const {
  return output_.empty() ? "the printer " + Quoted(device_) : "the file " + Quoted(output_);
}

bool GdiPrintJob::Begin() {
  if (open_) return true;
  if (!caps_) {
    error_ = cannot_;
    return false;
  }
  if (error_) return false;
  // The page is recorded here and played on the printer by EndDoc. One unit
  // drawn is one printer pixel: the frame, in hundredths of a millimetre of
  // the reference device (the screen), is the printer's area in pixels.
  const RECT area = Area();
  HDC screen = GetDC(nullptr);
  const int64_t mmX = screen ? GetDeviceCaps(screen, HORZSIZE) : 0, pxX = screen ? GetDeviceCaps(screen, HORZRES) : 0;
  const int64_t mmY = screen ? GetDeviceCaps(screen, VERTSIZE) : 0, pxY = screen ? GetDeviceCaps(screen, VERTRES) : 0;
  if (screen) ReleaseDC(nullptr, screen);
  if (mmX <= 0 || pxX <= 0 || mmY <= 0 || pxY <= 0) {
    error_ = "The page for " + Target() + " could not be made.";
    return false;
  }
  const RECT frame{0, 0, static_cast<LONG>((area.right - area.left) * mmX * 100 / pxX),
                   static_cast<LONG>((area.bottom - area.top) * mmY * 100 / pxY)};
  record_ = CreateEnhMetaFileW(nullptr, nullptr, &frame, nullptr);
  if (!record_) {
    error_ = "The page for " + Target() + " could not be made.";
    return false;
  }
  open_ = true;
  return true;
}

void GdiPrintJob::Abort() {
  if (!open_) return;
  open_ = false;
  if (HENHMETAFILE page = CloseEnhMetaFile(record_)) DeleteEnhMetaFile(page);
  record_ = nullptr;
}

RECT GdiPrintJob::Area() const {
  if (!caps_) return {0, 0, 0, 0};
  const PrinterCaps& c = *caps_;
  const RECT printable{0, 0, c.width, c.height};
  if (!(margin_ > 0)) return printable;
  // In device pixels from the printable area's corner, the paper starts
  // the printable area's offset before it.
  const int64_t marginX = platform::ClampRound(margin_ * DpiX() / platform::kTwipsPerInch, 0, 1 << 20);
  const int64_t marginY = platform::ClampRound(margin_ * DpiY() / platform::kTwipsPerInch, 0, 1 << 20);
  const int64_t left = std::max<int64_t>(0, marginX - c.offsetX), top = std::max<int64_t>(0, marginY - c.offsetY);
  const int64_t right = std::min<int64_t>(c.width, int64_t{c.paperWidth} - marginX - c.offsetX);
  const int64_t bottom = std::min<int64_t>(c.height, int64_t{c.paperHeight} - marginY - c.offsetY);
  if (c.paperWidth <= 0 || c.paperHeight <= 0 || right <= left || bottom <= top) return printable;
  // Inside the printable area, so within its int sizes.
  return {static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right), static_cast<LONG>(bottom)};
}

SIZE GdiPrintJob::DeviceArea() const {
  const RECT area = Area();
  return {area.right - area.left, area.bottom - area.top};
}

double GdiPrintJob::ScaleWidth() const { return TwipsX(DeviceArea().cx); }

double GdiPrintJob::ScaleHeight() const { return TwipsY(DeviceArea().cy); }

void GdiPrintJob::Cls() {
  curX_ = 0;
  curY_ = 0;
}

void GdiPrintJob::DrawPicture(const platform::Image& picture, double x, double y, double w, double h) {
  if (picture.Null() || !std::isfinite(x + y + w + h)) return;
  HDC dc = DrawDc();
  if (!dc) return;
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
  bmi.bmiHeader.biWidth = picture.width;
  bmi.bmiHeader.biHeight = -picture.height;  // top-down, as the picture's rows
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;  // 0xAARRGGBB in memory is blue, green, red, unused
  bmi.bmiHeader.biCompression = BI_RGB;
  SetStretchBltMode(dc, HALFTONE);
  SetBrushOrgEx(dc, 0, 0, nullptr);
  StretchDIBits(dc, platform::TwipsToPixels(x, ScaleX()), platform::TwipsToPixels(y, ScaleY()),
                platform::TwipsToPixels(w, ScaleX()), platform::TwipsToPixels(h, ScaleY()), 0, 0, picture.width,
                picture.height, picture.pixels.data(), &bmi, DIB_RGB_COLORS, SRCCOPY);
}

std::optional<std::string> GdiPrintJob::EndDoc() {
  curX_ = 0;
  curY_ = 0;
  if (error_) {
    std::optional<std::string> e = std::move(error_);
    error_.reset();
    return e;
  }
  if (!open_) return std::nullopt;
  open_ = false;
  HENHMETAFILE page = CloseEnhMetaFile(record_);
  record_ = nullptr;
  if (!page) return "The page for " + Target() + " could not be made.";
  // The spooler gets the page on a thread of its own (under Wine, closing
  // the document hands it to CUPS and waits for its answer).
  const std::wstring name = Wide(device_).value_or(std::wstring()), title = Wide(document_).value_or(L"Vantorel");
  const std::optional<std::wstring> output = output_.empty() ? std::nullopt : Wide(output_);
  const RECT area = Area();
  const platform::Detached<Sent> send(
      [name, title, output, page, area] { return SendPage(name, title, output, page, area); });
  const std::optional<Sent> sent = send.Within(waitMs_);
  if (!sent) return NoAnswer(waitMs_) + "; the page for " + Target() + " may not be printed.";
  jobId_ = static_cast<DWORD>(std::max(sent->job, 0));
  if (!sent->made) return "The printer " + Quoted(device_) + " cannot be used.";
  if (sent->job <= 0) return "The print system refused the print job for " + Target() + ".";
  if (sent->printed) return std::nullopt;
  return output_.empty() ? "The print system did not accept the page for the printer " + Quoted(device_) + "."
                         : "The file " + Quoted(output_) + " could not be completed.";
}

// ---------------------------------------------------------------------------

SpoolerListing SpoolerPrinters(int waitMs) {
  const platform::Detached<Listing> ask(ListPrinters);
  const std::optional<Listing> answer = ask.Within(waitMs);
  SpoolerListing out;
  if (!answer)
    out.unanswered = NoAnswer(waitMs) + ".";
  else if (answer->failure)
    out.unanswered = "The print system could not list its printers (" + *answer->failure + ").";
  else
    out.names = answer->names;
  return out;
}

std::vector<std::string> SpoolerPrintService::Printers() const {
  SpoolerListing listing = SpoolerPrinters();
  asked_ = true;
  listed_ = std::move(listing.names);
  unanswered_ = std::move(listing.unanswered);
  return listed_;
}

std::function<int()> SpoolerPrintService::CountAsker() const {
  return [] {
    const size_t n = ListPrinters().names.size();
    return n > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n);
  };
}

std::string SpoolerPrintService::CurrentDeviceName() const {
  if (current_) return *current_;
  // No printer was made current yet: the system's default, else the first
  // in the collection.
  const platform::Detached<std::string> fallback(DefaultPrinter);
  if (std::string name = fallback.Within(platform::kPrintSystemWaitMs).value_or(""); !name.empty()) return name;
  if (!asked_) Printers();
  return listed_.empty() ? std::string() : listed_.front();
}

void SpoolerPrintService::SetCurrent(int i) {
  if (!asked_) Printers();
  if (i >= 0 && i < static_cast<int>(listed_.size())) current_ = listed_[static_cast<size_t>(i)];
}

std::unique_ptr<platform::PrintJob> SpoolerPrintService::StartJob(const std::string& documentName) {
  return std::make_unique<GdiPrintJob>(CurrentDeviceName(), documentName);
}

}  // namespace vantorel::windows
