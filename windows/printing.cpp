#include "windows/printing.h"

#include <winspool.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "platform/detached.h"
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
  const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
  DWORD needed = 0, count = 0;
  // The list may grow between asking its size and reading it: a few tries.
  for (int tries = 0; tries < 4; ++tries) {
    std::vector<uint64_t> buffer(needed / sizeof(uint64_t) + 1);  // aligned for the pointers inside
    const DWORD size = static_cast<DWORD>(buffer.size() * sizeof(uint64_t));
    if (EnumPrintersW(flags, nullptr, 4, reinterpret_cast<BYTE*>(buffer.data()), size, &needed, &count)) {
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
  DWORD size = 0;
  GetDefaultPrinterW(nullptr, &size);
  if (size == 0 || size > 32768) return {};
  std::wstring name(size, L'\0');
  if (!GetDefaultPrinterW(name.data(), &size)) return {};
  return Narrow(name.c_str(), wcslen(name.c_str()));
}

std::string NoAnswer(int waitMs) {
  return "The print system did not answer within " + std::to_string(waitMs / 1000) + " seconds";
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

}  // namespace

GdiPrintJob::GdiPrintJob(const std::string& deviceName, const std::string& documentName, const std::string& outputFile,
                         int waitMs)
    : measure_(CreateCompatibleDC(nullptr)), device_(deviceName), document_(documentName), output_(outputFile) {
  surfaceFont_.name = "Courier New";
  surfaceFont_.size = 10;
  const std::wstring name = Wide(deviceName).value_or(std::wstring());
  if (name.empty()) {
    cannot_ = "No printer is installed.";
  } else {
    const platform::Detached<bool> there([name] {
      HANDLE h = nullptr;
      if (!OpenPrinterW(const_cast<wchar_t*>(name.c_str()), &h, nullptr)) return false;
      ClosePrinter(h);
      return true;
    });
    const std::optional<bool> found = there.Within(waitMs);
    if (!found)
      cannot_ = NoAnswer(waitMs) + "; nothing was printed on " + Quoted(deviceName) + ".";
    else if (!*found)
      cannot_ = "The printer " + Quoted(deviceName) + " is no longer installed.";
    else if (printer_ = CreateDCW(L"WINSPOOL", name.c_str(), nullptr, nullptr); !printer_)
      cannot_ = "The printer " + Quoted(deviceName) + " cannot be used.";
  }
  if (printer_)
    SetDensity(GetDeviceCaps(printer_, LOGPIXELSX), GetDeviceCaps(printer_, LOGPIXELSY));
  else
    error_ = cannot_;
}

GdiPrintJob::~GdiPrintJob() {
  if (open_) {
    EndPage(printer_);
    ::EndDoc(printer_);
  }
  if (printer_) DeleteDC(printer_);
  if (measure_) DeleteDC(measure_);
}

std::string GdiPrintJob::Target() const {
  return output_.empty() ? "the printer " + Quoted(device_) : "the file " + Quoted(output_);
}

bool GdiPrintJob::Begin() {
  if (open_) return true;
  if (!printer_) {
    error_ = cannot_;
    return false;
  }
  if (error_) return false;
  const std::wstring title = Wide(document_).value_or(L"Vantorel");
  const std::optional<std::wstring> output = Wide(output_);
  DOCINFOW info{};
  info.cbSize = sizeof(info);
  info.lpszDocName = title.c_str();
  info.lpszOutput = output_.empty() || !output ? nullptr : output->c_str();
  const int job = StartDocW(printer_, &info);
  if (job <= 0) {
    error_ = "The print system refused the print job for " + Target() + ".";
    return false;
  }
  jobId_ = static_cast<DWORD>(job);
  if (StartPage(printer_) <= 0) {
    AbortDoc(printer_);
    error_ = "The print system refused the print job for " + Target() + ".";
    return false;
  }
  // Drawing starts at the area's top left.
  const RECT area = Area();
  SetViewportOrgEx(printer_, area.left, area.top, nullptr);
  open_ = true;
  return true;
}

void GdiPrintJob::Abort() {
  if (!open_) return;
  open_ = false;
  AbortDoc(printer_);
}

RECT GdiPrintJob::Area() const {
  if (!printer_) return {0, 0, 0, 0};
  const int width = GetDeviceCaps(printer_, HORZRES), height = GetDeviceCaps(printer_, VERTRES);
  const RECT printable{0, 0, width, height};
  if (!(margin_ > 0)) return printable;
  // In device pixels from the printable area's corner, the paper starts
  // the printable area's offset before it.
  const int64_t offsetX = GetDeviceCaps(printer_, PHYSICALOFFSETX), offsetY = GetDeviceCaps(printer_, PHYSICALOFFSETY);
  const int64_t paperW = GetDeviceCaps(printer_, PHYSICALWIDTH), paperH = GetDeviceCaps(printer_, PHYSICALHEIGHT);
  const int64_t marginX = platform::ClampRound(margin_ * DpiX() / platform::kTwipsPerInch, 0, 1 << 20);
  const int64_t marginY = platform::ClampRound(margin_ * DpiY() / platform::kTwipsPerInch, 0, 1 << 20);
  const int64_t left = std::max<int64_t>(0, marginX - offsetX), top = std::max<int64_t>(0, marginY - offsetY);
  const int64_t right = std::min<int64_t>(width, paperW - marginX - offsetX);
  const int64_t bottom = std::min<int64_t>(height, paperH - marginY - offsetY);
  if (paperW <= 0 || paperH <= 0 || right <= left || bottom <= top) return printable;
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
  const bool paged = EndPage(printer_) > 0;
  const bool ended = ::EndDoc(printer_) > 0;
  if (paged && ended) return std::nullopt;
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
  if (std::string name = DefaultPrinter(); !name.empty()) return name;
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
