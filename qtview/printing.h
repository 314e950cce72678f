// Printing on Linux: jobs drawn through Qt's print support and PDF output,
// and the printers of the print system (CUPS), asked through libcups.
//
// The program asks the print system only on a connection of its own, on a
// thread nothing waits for beyond kPrintSystemWaitMs; Qt's print engine talks
// to it only for a job on a printer the print system has just listed.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/printing.h"

class QImage;
class QPagedPaintDevice;
class QPainter;
class QPdfWriter;
class QPrinter;
class QTemporaryDir;

namespace vantorel::qtview {

// A picture's pixels copied out of a QImage (its device pixel ratio kept), and back.
platform::Image FromQImage(const QImage& image);
QImage ToQImage(const platform::Image& image);

class QtPrintJob : public platform::PrintJob {
 public:
  // A job for the print system's printer with this device name; documentName
  // is the job's title in its queue. The print system is asked first whether
  // the printer is there, waiting at most waitMs; a job that cannot print
  // draws nothing, and its EndDoc says why. The page is made here and sent
  // by EndDoc on a connection of its own, on a thread waited for at most
  // waitMs (the window's thread never waits longer for the print system).
  static std::unique_ptr<QtPrintJob> ForPrinter(const std::string& deviceName, const std::string& documentName,
                                                int waitMs = platform::kPrintSystemWaitMs);
  // A job written to a PDF file by Qt's own PDF output, without any print
  // system: on an A4 page with quarter-inch margins.
  static std::unique_ptr<QtPrintJob> ForPdfFile(const std::string& path, const std::string& documentName);
  // A PDF job whose page EndDoc saves as a new file under the first free
  // name VTL_nnnn.PDF in folder (made with mode 0700 when missing), never
  // over an existing file; SavedAs then names it.
  static std::unique_ptr<QtPrintJob> ForNumberedPdf(const std::string& folder, const std::string& documentName);

  // A document still open is ended and goes to the printer as it stands.
  ~QtPrintJob() override;
  QtPrintJob(const QtPrintJob&) = delete;
  QtPrintJob& operator=(const QtPrintJob&) = delete;

  // The printer's device name, or the PDF file's path.

  // The printable area of the page in twips.
  double ScaleWidth() const override;
  double ScaleHeight() const override;

  // Paper cannot be wiped: the current position goes back to the top left.
  void Cls() override;

  // Pen width in screen pixels (15 twips each), so lines keep their on-screen
  // weight on paper.
  void SetDrawWidth(int pixels) override;

  void Line(double x1, double y1, double x2, double y2, platform::Colour c) override;
  void Box(double x1, double y1, double x2, double y2, platform::Colour c) override;
  void PSet(double x, double y, platform::Colour c) override;
  void Circle(double x, double y, double radius, platform::Colour c) override;

  double TextWidth(std::string_view text) const override;
  // The height of one printed line in the current font.
  double TextHeight(std::string_view text) const override;

  void Print(std::string_view text, bool endLine = true) override;
  // pixelHeight counts screen pixels (15 twips each).
  void PrintRotated(std::string_view text, const platform::FontSpec& font, double pixelHeight,
                    int angleTenths) override;

  // The printer's resolution in dots per inch.
  int DpiY() const override;

  void DrawPicture(const platform::Image& picture, double x, double y, double w, double h) override;

  std::optional<std::string> EndDoc() override;
  // How long EndDoc waits for the print system to take the page (the wait
  // the job was made with, unless set here).
  void SendWithin(int ms) { waitMs_ = ms; }

  // True while a document is open (something has been drawn since the last
  // EndDoc).
  bool Open() const;

  std::string SavedAs() const override { return savedAs_; }

 private:
  QtPrintJob(std::shared_ptr<QPrinter> printer, std::unique_ptr<QPdfWriter> pdf, std::string target);
  // Opens the document when it is not open yet; false (and the reason kept
  // for EndDoc) when it cannot be opened.
  bool Begin();
  double DevicePerTwip() const { return devicePerTwip_; }
  // The page being drawn: the printer's, or the PDF file's.
  QPagedPaintDevice* Device() const;
  // The numbered job's page, saved; what went wrong, or nullopt.
  std::optional<std::string> KeepNumbered();

  std::shared_ptr<QPrinter> printer_;  // a print system's printer
  std::unique_ptr<QPdfWriter> pdf_;    // else a PDF file (also the page a job that cannot print measures on)
  std::unique_ptr<QPainter> painter_;
  std::string target_;
  double devicePerTwip_ = 1.0;
  std::optional<std::string> error_;
  std::unique_ptr<QTemporaryDir> scratch_;  // a numbered job's page until it is saved, a printer's until sent
  std::string document_;                    // the job's title in the printer's queue
  int waitMs_ = platform::kPrintSystemWaitMs;
  std::string numberedFolder_;
  std::string savedAs_;
};

// The printers of the print system, asked through libcups, followed by the
// PDF printer (kPdfPrinterName), which writes its pages into the documents
// folder's Vantorel/ folder. Until a printer is made current, the current
// printer is the print system's default printer, or the first in the
// collection when there is no default; nothing asks the print system before
// it is needed. The collection is asked afresh at every Printers() call, so a
// printer installed or removed while the program runs is seen; a print system
// that does not answer within kPrintSystemWaitMs leaves only the PDF printer.
class SystemPrintService : public platform::PrintService {
 public:
  // Each ask of the print system is given up after waitMs.
  explicit SystemPrintService(int waitMs = platform::kPrintSystemWaitMs) : waitMs_(waitMs) {}
  std::vector<std::string> Printers() const override;
  std::optional<std::string> Unanswered() const override { return unanswered_; }
  std::function<int()> CountAsker() const override;
  std::string CurrentDeviceName() const override;
  void SetCurrent(int i) override;
  std::unique_ptr<platform::PrintJob> StartJob(const std::string& documentName) override;

 private:
  int waitMs_;
  std::string current_;
  // What Printers() found last.
  mutable bool asked_ = false;
  mutable std::vector<std::string> listed_;
  mutable std::string default_;
  mutable std::optional<std::string> unanswered_;
};

// A fixed collection of printer names whose jobs are written as PDF files by
// Qt's own PDF output: the print service without a print system.
class PdfPrintService final : public platform::PrintService {
 public:
  // names: the collection; current: the position of the current printer (-1
  // for none); pdfPath: the file every job writes.
  PdfPrintService(std::vector<std::string> names, int current, std::string pdfPath);
  std::vector<std::string> Printers() const override { return names_; }
  std::function<int()> CountAsker() const override;
  std::string CurrentDeviceName() const override;
  void SetCurrent(int i) override;
  std::unique_ptr<platform::PrintJob> StartJob(const std::string& documentName) override;

  int CurrentIndex() const { return current_; }
  void SetPdfPath(std::string path) { pdfPath_ = std::move(path); }
  // Jobs started so far.
  int JobsStarted() const { return jobs_; }

 private:
  std::vector<std::string> names_;
  int current_ = -1;
  std::string pdfPath_;
  int jobs_ = 0;
};

}  // namespace vantorel::qtview
