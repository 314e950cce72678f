// The printing service over Qt's print support (CUPS on Linux): the ordered
// collection of installed printers by device name, the current printer that
// all printing uses, and print jobs that draw a page in twips.
//
// A job opens on the first thing drawn (an empty line is enough), draws on a
// portrait page whose origin is the top left of the printable area, and goes
// to the printer with EndDoc. Nothing here throws or ends the program: a
// printer that has vanished, a job the print system refuses or a printer Qt
// cannot use is reported by EndDoc as a message for the user.
#pragma once

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/printer.h"

class QImage;
class QPainter;
class QPrinter;
class QThread;

namespace vantorel::platform {

class PrintJob : public PrinterSurface {
 public:
  // A job for the installed printer with this device name; documentName is
  // the job's title in the print system's queue.
  static std::unique_ptr<PrintJob> ForPrinter(const std::string& deviceName, const std::string& documentName);
  // A job written to a PDF file by Qt's own PDF output, without any print
  // system.
  static std::unique_ptr<PrintJob> ForPdfFile(const std::string& path, const std::string& documentName);

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

 private:
  PrintJob(std::unique_ptr<QPrinter> printer, std::string target, bool toPdf);
  // Opens the document when it is not open yet; false (and the reason kept
  // for EndDoc) when it cannot be opened.
  bool Begin();
  double DevicePerTwip() const { return devicePerTwip_; }

  std::unique_ptr<QPrinter> printer_;
  std::unique_ptr<QPainter> painter_;
  std::string target_;
  bool toPdf_ = false;
  double devicePerTwip_ = 1.0;
  std::optional<std::string> error_;
};

// The print service the program uses: which printers there are, which one is
// current, and jobs on the current one.
class PrintService {
 public:
  virtual ~PrintService() = default;

  // The device names of the installed printers, in collection order.
  virtual std::vector<std::string> Printers() const = 0;
  int Count() const { return static_cast<int>(Printers().size()); }

  // The current printer's device name; empty when no printer is installed.
  virtual std::string CurrentDeviceName() const = 0;

  // Makes the printer at position i current; a position outside the
  // collection changes nothing.
  virtual void SetCurrent(int i) = 0;

  // A print job on the current printer, titled documentName.
  virtual std::unique_ptr<PrintJob> StartJob(const std::string& documentName) = 0;
};

// A print service's printer count, asked in a thread of its own (asking the
// print system can be slow): Known is emitted on the asker's thread once the
// answer is in. Nothing else may use the service until then, and the
// service must outlive the query, whose end waits for the answer.
class PrinterCountQuery : public QObject {
  Q_OBJECT
 public:
  explicit PrinterCountQuery(const PrintService& service);
  ~PrinterCountQuery() override;
  // The count, waiting for it when it is not in yet.
  int Count();

 signals:
  void Known(int count);

 private:
  QThread* thread_;
  std::atomic<int> count_{-1};
};

// The printers of the print system (QPrinterInfo). Until a printer is made
// current, the current printer is the system's default printer, or the first
// installed one when there is no default; nothing asks the print system
// before it is needed (asking is slow). The collection is read afresh at
// every call, so a printer installed or removed while the program runs is seen.
class SystemPrintService : public PrintService {
 public:
  std::vector<std::string> Printers() const override;
  std::string CurrentDeviceName() const override;
  void SetCurrent(int i) override;
  std::unique_ptr<PrintJob> StartJob(const std::string& documentName) override;

 private:
  std::string current_;
};

// A fixed collection of printer names whose jobs are written as PDF files by
// Qt's own PDF output: the print service without a print system.
class PdfPrintService : public PrintService {
 public:
  // names: the collection; current: the position of the current printer (-1
  // for none); pdfPath: the file every job writes.
  PdfPrintService(std::vector<std::string> names, int current, std::string pdfPath);
  std::vector<std::string> Printers() const override { return names_; }
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

// Draws one document with draw (which ends it with EndDoc and returns its
// complaint) through Qt's PDF output, and saves it as a new file at path the
// way WriteNewFile does: never over an existing file, and no partial file on
// failure. Needs no printer and no display: a program without a Qt GUI
// application (the command line) gets one on the offscreen platform. Returns
// what went wrong for the user, or nullopt when the file was written.
std::optional<std::string> WriteNewPdf(const std::string& path, const std::string& documentName,
                                       const std::function<std::optional<std::string>(PrinterSurface&)>& draw);

}  // namespace vantorel::platform
