// The printing service over Qt's print support and the print system (CUPS
// on Linux): the ordered collection of printers by device name, the current
// printer that all printing uses, and print jobs that draw a page in twips.
//
// A job opens on the first thing drawn (an empty line is enough), draws on a
// portrait page whose origin is the top left of the printable area, and goes
// to the printer with EndDoc. Nothing here throws, ends the program or waits
// long for the print system: a print system that does not answer within
// kPrintSystemWaitMs, a printer that has vanished, a page the print system
// refuses or a printer Qt cannot use is reported by EndDoc as a message for
// the user. The program asks the print system only on a connection of its
// own, on a thread nothing waits for beyond that time; Qt's print engine
// talks to it only for a job on a printer the print system has just listed.
#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/detached.h"
#include "platform/printer.h"

class QImage;
class QPagedPaintDevice;
class QPainter;
class QPdfWriter;
class QPrinter;
class QTemporaryDir;
class QTimer;

namespace vantorel::platform {

// The printer SystemPrintService's collection always ends with: it saves each
// page as a new PDF file (VTL_0001.PDF, VTL_0002.PDF, ...).
inline constexpr char kPdfPrinterName[] = "Print to PDF file";

// How long printing waits for the print system's answer.
inline constexpr int kPrintSystemWaitMs = 3000;

class PrintJob : public PrinterSurface {
 public:
  // A job for the print system's printer with this device name; documentName
  // is the job's title in its queue. The print system is asked first whether
  // the printer is there, waiting at most waitMs; a job that cannot print
  // draws nothing, and its EndDoc says why.
  static std::unique_ptr<PrintJob> ForPrinter(const std::string& deviceName, const std::string& documentName,
                                              int waitMs = kPrintSystemWaitMs);
  // A job written to a PDF file by Qt's own PDF output, without any print
  // system: on an A4 page with quarter-inch margins.
  static std::unique_ptr<PrintJob> ForPdfFile(const std::string& path, const std::string& documentName);
  // A PDF job whose page EndDoc saves as a new file under the first free
  // name VTL_nnnn.PDF in folder (made with mode 0700 when missing), never
  // over an existing file; SavedAs then names it.
  static std::unique_ptr<PrintJob> ForNumberedPdf(const std::string& folder, const std::string& documentName);

  // A document still open is ended and goes to the printer as it stands.
  ~PrintJob() override;
  PrintJob(const PrintJob&) = delete;
  PrintJob& operator=(const PrintJob&) = delete;

  // The printer's device name, or the PDF file's path.
  const std::string& Target() const { return target_; }

  // The printable area of the page in twips.
  double ScaleWidth() const override;
  double ScaleHeight() const override;

  // Paper cannot be wiped: the current position goes back to the top left.
  void Cls() override;

  // Pen width in screen pixels (15 twips each), so lines keep their on-screen
  // weight on paper.
  void SetDrawWidth(int pixels) override;

  void Line(double x1, double y1, double x2, double y2, Colour c) override;
  void Box(double x1, double y1, double x2, double y2, Colour c) override;
  void PSet(double x, double y, Colour c) override;
  void Circle(double x, double y, double radius, Colour c) override;



  double TextWidth(std::string_view text) const override;
  // The height of one printed line in the current font.
  double TextHeight(std::string_view text) const override;

  void Print(std::string_view text, bool endLine = true) override;
  // pixelHeight counts screen pixels (15 twips each).
  void PrintRotated(std::string_view text, const FontSpec& font, double pixelHeight, int angleTenths) override;

  // The printer's resolution in dots per inch.
  int DpiY() const override;

  // Paints a picture scaled into the rectangle at (x, y), w by h twips.
  void DrawPicture(const QImage& picture, double x, double y, double w, double h);

  std::optional<std::string> EndDoc() override;

  // True while a document is open (something has been drawn since the last
  // EndDoc).
  bool Open() const;

  // The file the last EndDoc saved the page as (a numbered PDF job); empty
  // otherwise.
  const std::string& SavedAs() const { return savedAs_; }

 private:
  PrintJob(std::unique_ptr<QPrinter> printer, std::unique_ptr<QPdfWriter> pdf, std::string target);
  // Opens the document when it is not open yet; false (and the reason kept
  // for EndDoc) when it cannot be opened.
  bool Begin();
  double DevicePerTwip() const { return devicePerTwip_; }
  // The page being drawn: the printer's, or the PDF file's.
  QPagedPaintDevice* Device() const;
  // The numbered job's page, saved; what went wrong, or nullopt.
  std::optional<std::string> KeepNumbered();

  std::unique_ptr<QPrinter> printer_;  // a print system's printer
  std::unique_ptr<QPdfWriter> pdf_;    // else a PDF file (also the page a job that cannot print measures on)
  std::unique_ptr<QPainter> painter_;
  std::string target_;
  double devicePerTwip_ = 1.0;
  std::optional<std::string> error_;
  std::unique_ptr<QTemporaryDir> scratch_;  // a numbered job's page until it is saved
  std::string numberedFolder_;
  std::string savedAs_;
};

// The print service the program uses: which printers there are, which one is
// current, and jobs on the current one.
class PrintService {
 public:
  virtual ~PrintService() = default;

  // The device names of the printers, in collection order, asked afresh.
  virtual std::vector<std::string> Printers() const = 0;

  // Why the print system's own printers are missing from the collection
  // Printers() gave last (it did not answer in time, or answered with an
  // error); nullopt when it answered, also with no printers, or there is
  // none to ask.
  virtual std::optional<std::string> Unanswered() const { return std::nullopt; }

  // The number of printers, as a call that may run on any thread, also after
  // the service has gone: it keeps everything it uses.
  virtual std::function<int()> CountAsker() const = 0;

  // The current printer's device name; empty when there is no printer.
  virtual std::string CurrentDeviceName() const = 0;

  // Makes the printer at position i of the collection Printers() gave last
  // current; a position outside it changes nothing.
  virtual void SetCurrent(int i) = 0;

  // A print job on the current printer, titled documentName.
  virtual std::unique_ptr<PrintJob> StartJob(const std::string& documentName) = 0;
};

// A printer count asked on a thread of its own that nothing ever waits for
// (a print system may never answer): Known is emitted on the asker's thread
// once the answer is in. The query may end before the answer: the thread is
// then abandoned and ends on its own.
class PrinterCountQuery : public QObject {
  Q_OBJECT
 public:
  explicit PrinterCountQuery(std::function<int()> count);
  ~PrinterCountQuery() override;
  // The count; nullopt while it is not in.
  std::optional<int> Count() const { return count_; }

 signals:
  void Known(int count);

 private:
  Detached<int> answer_;
  QTimer* poll_;
  std::optional<int> count_;
};

// The printers of the print system, asked through libcups, followed by the
// PDF printer (kPdfPrinterName), which writes its pages into the documents
// folder's Vantorel/ folder. Until a printer is made current, the current
// printer is the print system's default printer, or the first in the
// collection when there is no default; nothing asks the print system before
// it is needed. The collection is asked afresh at every Printers() call, so a
// printer installed or removed while the program runs is seen; a print system
// that does not answer within kPrintSystemWaitMs leaves only the PDF printer.
class SystemPrintService : public PrintService {
 public:
  std::vector<std::string> Printers() const override;
  std::optional<std::string> Unanswered() const override { return unanswered_; }
  std::function<int()> CountAsker() const override;
  std::string CurrentDeviceName() const override;
  void SetCurrent(int i) override;
  std::unique_ptr<PrintJob> StartJob(const std::string& documentName) override;

 private:
  std::string current_;
  // What Printers() found last.
  mutable bool asked_ = false;
  mutable std::vector<std::string> listed_;
  mutable std::string default_;
  mutable std::optional<std::string> unanswered_;
};

// A fixed collection of printer names whose jobs are written as PDF files by
// Qt's own PDF output: the print service without a print system.
class PdfPrintService : public PrintService {
 public:
  // names: the collection; current: the position of the current printer (-1
  // for none); pdfPath: the file every job writes.
  PdfPrintService(std::vector<std::string> names, int current, std::string pdfPath);
  std::vector<std::string> Printers() const override { return names_; }
  std::function<int()> CountAsker() const override;
  std::string CurrentDeviceName() const override;
  void SetCurrent(int i) override;
  std::unique_ptr<PrintJob> StartJob(const std::string& documentName) override;

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

}  // namespace vantorel::platform
