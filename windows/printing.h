// Printing on Windows: the printers of the spooler, and jobs drawn by the
// same GDI drawing as the picture box.
//
// Nothing that can reach the spooler runs on the window's thread: it is
// asked on threads nothing waits for beyond kPrintSystemWaitMs (a printer on
// a server that has gone can hold a call for long, and under Wine every
// spooler call may wait on CUPS). A job's page is recorded as a metafile,
// measured on the screen at the printer's density, and played on the
// printer on such a thread by EndDoc; a job that cannot print draws nothing
// and its EndDoc says why.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/printing.h"
#include "windows/gdidraw.h"

namespace vantorel::windows {

// What a printer's driver reports of its page, in device pixels.
struct PrinterCaps {
  int dpiX = 0, dpiY = 0;
  int width = 0, height = 0;     // the printable area
  int offsetX = 0, offsetY = 0;  // where it starts on the paper
  int paperWidth = 0, paperHeight = 0;
};

class GdiPrintJob final : public GdiDrawing<platform::PrintJob> {
 public:
  // A job on the spooler's printer deviceName, titled documentName in its
  // queue. With outputFile, the printer's driver writes the page into that
  // file instead of sending it to the printer. The spooler is asked first
  // for the printer and its page, waiting at most waitMs; EndDoc waits as
  // long at most.
  GdiPrintJob(const std::string& deviceName, const std::string& documentName, const std::string& outputFile = {},
              int waitMs = platform::kPrintSystemWaitMs);
  // A document still open is dropped: only EndDoc sends a page, so that
  // nothing waits for the print system here.
  ~GdiPrintJob() override;

  // The printable area of the page in twips (0 by 0 without a printer).
  double ScaleWidth() const override;
  double ScaleHeight() const override;
  // Paper cannot be wiped: the current position goes back to the top left.
  void Cls() override;
  // Keeps at least twips of paper, from the paper's edges, around what is
  // drawn: the origin and the area move in where the printer's own printable
  // area comes nearer the edge. A printer that reports no paper size keeps
  // its printable area. Called before anything is drawn.
  void KeepMargin(double twips) { margin_ = twips; }
  // The picture stretched into the rectangle, smoothed.
  void DrawPicture(const platform::Image& picture, double x, double y, double w, double h) override;
  std::optional<std::string> EndDoc() override;
  // Drops the open document: nothing of it is printed.
  void Abort();
  // How long EndDoc waits for the spooler to take the page (the wait the job
  // was made with, unless set here).
  void SendWithin(int ms) { waitMs_ = ms; }

  // True while a document is open (something has been drawn since the last
  // EndDoc).
  bool Open() const { return open_; }
  // What the printer's driver reported; nullopt when the printer cannot be used.
  const std::optional<PrinterCaps>& Caps() const { return caps_; }
  // The area drawn on, in device pixels of the printable area.
  RECT Area() const;
  // The spooler's number for the last document sent; 0 before the first.
  DWORD JobId() const { return jobId_; }

 protected:
  HDC DrawDc() override { return Begin() ? record_ : nullptr; }
  HDC MeasureDc() const override { return measure_; }
  SIZE DeviceArea() const override;

 private:
  // Opens the document's recording when it is not open yet; false (and the
  // reason kept for EndDoc) when it cannot be opened.
  bool Begin();
  // What the document went to, quoted, for the messages.
  std::string Target() const;

  std::optional<PrinterCaps> caps_;
  HDC record_ = nullptr;   // the page's recording while the document is open
  HDC measure_ = nullptr;  // text is measured here
  std::string device_, document_, output_;
  int waitMs_;
  std::string cannot_;  // why the printer cannot be used at all
  bool open_ = false;
  DWORD jobId_ = 0;
  double margin_ = 0;
  std::optional<std::string> error_;
};

// What the spooler answered when asked for its printers: their names, local
// and connected, in its order, or why there are none to be had (it did not
// answer within waitMs, or answered with an error).
struct SpoolerListing {
  std::vector<std::string> names;
  std::optional<std::string> unanswered;
};
SpoolerListing SpoolerPrinters(int waitMs = platform::kPrintSystemWaitMs);

// The printers the spooler knows, local and connected, in its order. Until a
// printer is made current, the current printer is the system's default
// printer, or the first in the collection when there is none. The collection
// is asked afresh at every Printers() call.
class SpoolerPrintService final : public platform::PrintService {
 public:
  std::vector<std::string> Printers() const override;
  std::optional<std::string> Unanswered() const override { return unanswered_; }
  std::function<int()> CountAsker() const override;
  std::string CurrentDeviceName() const override;
  void SetCurrent(int i) override;
  std::unique_ptr<platform::PrintJob> StartJob(const std::string& documentName) override;

 private:
  std::optional<std::string> current_;
  // What Printers() found last.
  mutable bool asked_ = false;
  mutable std::vector<std::string> listed_;
  mutable std::optional<std::string> unanswered_;
};

}  // namespace vantorel::windows
