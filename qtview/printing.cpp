#include "qtview/printing.h"

#include <QFile>
#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>

#include "cups/queues.h"
#include "model/numtext.h"
#include "platform/files.h"
#include "qtview/fonts.h"
#include "qtview/qtcolour.h"
#include "platform/twips.h"

namespace vantorel::qtview {

namespace {

constexpr double kTwipsPerPoint = 20.0;

bool Finite(std::initializer_list<double> values) {
  for (double v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

QString Quoted(const std::string& s) { return "\"" + QString::fromStdString(s) + "\""; }

// Settings every job shares: a portrait page, and the device's unit set to
// the twip where the print engine allows it (the conversion below copes with
// any other resolution).
template <class Device>
void SetUpPage(Device& p) {
  p.setPageOrientation(QPageLayout::Portrait);
  p.setResolution(static_cast<int>(platform::kTwipsPerInch));
}

// Qt's PDF output alone: a QPrinter would ask the print system for its
// default printer, and wait for ever on one that does not answer. A fixed
// paper size and quarter-inch margins, as a desk printer has, so that a PDF
// page does not depend on any printer.
std::unique_ptr<QPdfWriter> PdfPage(const std::string& path, const std::string& documentName) {
  auto p = std::make_unique<QPdfWriter>(QString::fromStdString(path));
  p->setTitle(QString::fromStdString(documentName));
  p->setPageSize(QPageSize(QPageSize::A4));
  p->setPageMargins(QMarginsF(18, 18, 18, 18), QPageLayout::Point);
  SetUpPage(*p);
  return p;
}

int CountOf(size_t n) { return n > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n); }

std::string NoAnswer() {
  return "The print system did not answer within " + std::to_string(platform::kPrintSystemWaitMs / 1000) + " seconds";
}

}  // namespace

platform::Image FromQImage(const QImage& image) {
  platform::Image out;
  if (image.isNull()) return out;
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  out.width = argb.width();
  out.height = argb.height();
  out.pixelRatio = argb.devicePixelRatio();
  out.pixels.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
  for (int y = 0; y < out.height; ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    std::copy(line, line + out.width, out.pixels.begin() + static_cast<std::ptrdiff_t>(y) * out.width);
  }
  return out;
}

QImage ToQImage(const platform::Image& image) {
  if (image.Null()) return QImage();
  QImage out(image.width, image.height, QImage::Format_ARGB32);
  if (out.isNull()) return out;  // more than Qt can hold
  for (int y = 0; y < image.height; ++y) {
    const auto from = image.pixels.begin() + static_cast<std::ptrdiff_t>(y) * image.width;
    std::copy(from, from + image.width, reinterpret_cast<QRgb*>(out.scanLine(y)));
  }
  if (image.pixelRatio > 0 && std::isfinite(image.pixelRatio)) out.setDevicePixelRatio(image.pixelRatio);
  return out;
}

QtPrintJob::QtPrintJob(std::shared_ptr<QPrinter> printer, std::unique_ptr<QPdfWriter> pdf, std::string target)
    : printer_(std::move(printer)), pdf_(std::move(pdf)), target_(std::move(target)) {
  const int dpi = Device()->logicalDpiY();
  devicePerTwip_ = dpi > 0 ? static_cast<double>(dpi) / platform::kTwipsPerInch : 1.0;
  surfaceFont_.name = "Courier New";
  surfaceFont_.size = 10;
}

QPagedPaintDevice* QtPrintJob::Device() const {
  if (printer_) return printer_.get();
  return pdf_.get();
}

std::unique_ptr<QtPrintJob> QtPrintJob::ForPrinter(const std::string& deviceName, const std::string& documentName,
                                                   int waitMs) {
  const std::string printer = Quoted(deviceName).toStdString();
  std::optional<std::string> cannot;
  // The page as the printer lays it out goes into a file (a name without
  // ".pdf" keeps the printer's own settings): Qt would hand it to the print
  // system on the window's thread and wait there for its answer. The
  // printer itself is made where the print system is asked, off the
  // window's thread: Qt asks for its default printer and its settings.
  auto scratch = std::make_unique<QTemporaryDir>();
  const QString page = scratch->isValid() ? scratch->filePath("page") : QString();
  struct Prepared {
    cups::Queues queues;
    std::shared_ptr<QPrinter> printer;
  };
  const platform::Detached<Prepared> prepare([deviceName, documentName, page, waitMs] {
    Prepared p{cups::AskQueues(waitMs), nullptr};
    const auto& names = p.queues.names;
    if (p.queues.outcome != cups::Queues::Outcome::Listed ||
        std::find(names.begin(), names.end(), deviceName) == names.end())
      return p;
    p.printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    p.printer->setPrinterName(QString::fromStdString(deviceName));
    p.printer->setDocName(QString::fromStdString(documentName));
    SetUpPage(*p.printer);
    if (!page.isEmpty()) p.printer->setOutputFileName(page);
    return p;
  });
  const std::optional<Prepared> prepared = deviceName.empty() ? std::nullopt : prepare.Within(waitMs);
  if (deviceName.empty()) {
    cannot = "No printer is installed.";
  } else if (!prepared) {
    cannot = NoAnswer() + "; nothing was printed on " + printer + ".";
  } else {
    const cups::Queues& q = prepared->queues;
    switch (q.outcome) {
      case cups::Queues::Outcome::TimedOut: cannot = NoAnswer() + "; nothing was printed on " + printer + "."; break;
      case cups::Queues::Outcome::Unreachable:
        cannot = "The print system (CUPS at " + q.server + ") cannot be reached; nothing was printed on " + printer +
                 ".";
        break;
      case cups::Queues::Outcome::Failed:
        cannot = "The print system could not be asked for the printer " + printer + ": " + q.reason;
        break;
      case cups::Queues::Outcome::Listed:
        if (!prepared->printer) cannot = "The printer " + printer + " is no longer installed.";
        break;
    }
  }
  if (cannot) {  // measured on a PDF page that is never opened
    auto job = std::unique_ptr<QtPrintJob>(new QtPrintJob(nullptr, PdfPage({}, documentName), deviceName));
    job->error_ = cannot;
    return job;
  }
  auto job = std::unique_ptr<QtPrintJob>(new QtPrintJob(prepared->printer, nullptr, deviceName));
  if (!scratch->isValid())
    job->error_ = "Cannot create a temporary folder: " + scratch->errorString().toStdString() + ".";
  job->scratch_ = std::move(scratch);
  job->document_ = documentName;
  job->waitMs_ = waitMs;
  return job;
}

std::unique_ptr<QtPrintJob> QtPrintJob::ForPdfFile(const std::string& path, const std::string& documentName) {
  return std::unique_ptr<QtPrintJob>(new QtPrintJob(nullptr, PdfPage(path, documentName), path));
}

std::unique_ptr<QtPrintJob> QtPrintJob::ForNumberedPdf(const std::string& folder, const std::string& documentName) {
  auto scratch = std::make_unique<QTemporaryDir>();
  const std::string page = scratch->isValid() ? scratch->filePath("page.pdf").toStdString() : std::string();
  auto job = std::unique_ptr<QtPrintJob>(new QtPrintJob(nullptr, PdfPage(page, documentName), page));
  if (page.empty()) job->error_ = "Cannot create a temporary folder: " + scratch->errorString().toStdString() + ".";
  job->scratch_ = std::move(scratch);
  job->numberedFolder_ = folder;
  return job;
}

QtPrintJob::~QtPrintJob() {
  // A document left open is ended; only EndDoc sends a printer's page, so
  // that nothing waits for the print system here.
  if (painter_ && painter_->isActive()) painter_->end();
}

bool QtPrintJob::Open() const { return painter_ && painter_->isActive(); }

bool QtPrintJob::Begin() {
  if (Open()) return true;
  if (error_) return false;
  if (printer_) {
    // Qt keeps its previous printer when asked for one that does not exist;
    // a job must never go to a printer other than the chosen one.
    if (printer_->printerName() != QString::fromStdString(target_)) {
      error_ = "The printer " + Quoted(target_).toStdString() + " is no longer installed.";
      return false;
    }
    if (!printer_->isValid()) {
      error_ = "The printer " + Quoted(target_).toStdString() + " cannot be used.";
      return false;
    }
  }
  painter_ = std::make_unique<QPainter>();
  if (!painter_->begin(Device())) {
    painter_.reset();
    error_ = printer_ ? "The print system refused the print job for the printer " + Quoted(target_).toStdString() + "."
                      : "The file " + Quoted(target_).toStdString() + " cannot be written.";
    return false;
  }
  painter_->setRenderHint(QPainter::Antialiasing, true);
  return true;
}

double QtPrintJob::ScaleWidth() const {
  return Device()->pageLayout().paintRect(QPageLayout::Point).width() * kTwipsPerPoint;
}

double QtPrintJob::ScaleHeight() const {
  return Device()->pageLayout().paintRect(QPageLayout::Point).height() * kTwipsPerPoint;
}

void QtPrintJob::Cls() {
  curX_ = 0;
  curY_ = 0;
}

void QtPrintJob::SetDrawWidth(int pixels) { drawWidth_ = pixels < 1 ? 1 : pixels; }

void QtPrintJob::Line(double x1, double y1, double x2, double y2, platform::Colour c) {
  if (Finite({x1, y1, x2, y2}) && Begin()) {
    const double f = DevicePerTwip();
    QPen pen(ToQColor(c), drawWidth_ * platform::kTwipsPerPixel * f, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter_->setPen(pen);
    painter_->drawLine(QPointF(x1 * f, y1 * f), QPointF(x2 * f, y2 * f));
  }
  curX_ = x2;
  curY_ = y2;
}

void QtPrintJob::Box(double x1, double y1, double x2, double y2, platform::Colour c) {
  if (Finite({x1, y1, x2, y2}) && Begin()) {
    const double f = DevicePerTwip();
    QPen pen(ToQColor(c), drawWidth_ * platform::kTwipsPerPixel * f, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    painter_->setPen(pen);
    painter_->setBrush(Qt::NoBrush);
    painter_->drawRect(QRectF(QPointF(x1 * f, y1 * f), QPointF(x2 * f, y2 * f)).normalized());
  }
  curX_ = x2;
  curY_ = y2;
}

void QtPrintJob::PSet(double x, double y, platform::Colour c) {
  if (Finite({x, y}) && Begin()) {
    const double f = DevicePerTwip();
    const double d = drawWidth_ * platform::kTwipsPerPixel * f;
    painter_->fillRect(QRectF(x * f - d / 2, y * f - d / 2, d, d), ToQColor(c));
  }
  curX_ = x;
  curY_ = y;
}

void QtPrintJob::Circle(double x, double y, double radius, platform::Colour c) {
  if (Finite({x, y, radius}) && Begin()) {
    const double f = DevicePerTwip();
    painter_->setPen(QPen(ToQColor(c), drawWidth_ * platform::kTwipsPerPixel * f));
    painter_->setBrush(Qt::NoBrush);
    painter_->drawEllipse(QPointF(x * f, y * f), radius * f, radius * f);
  }
  curX_ = x;
  curY_ = y;
}

double QtPrintJob::TextWidth(std::string_view text) const {
  const QFontMetricsF fm(MakeFont(surfaceFont_), Device());
  return fm.horizontalAdvance(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))) / DevicePerTwip();
}

double QtPrintJob::TextHeight(std::string_view) const {
  const QFontMetricsF fm(MakeFont(surfaceFont_), Device());
  return fm.lineSpacing() / DevicePerTwip();
}

void QtPrintJob::Print(std::string_view text, bool endLine) {
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  const QFont font = MakeFont(surfaceFont_);
  const QFontMetricsF fm(font, Device());
  const double f = DevicePerTwip();
  // Printing anything, even an empty line, opens the document.
  if (Begin() && !s.isEmpty() && Finite({curX_, curY_})) {
    painter_->setFont(font);
    painter_->setPen(ToQColor(fore_));
    painter_->drawText(QPointF(curX_ * f, curY_ * f + fm.ascent()), s);
  }
  if (endLine) {
    curX_ = 0;
    curY_ += fm.lineSpacing() / f;
  } else {
    curX_ += fm.horizontalAdvance(s) / f;
  }
}

void QtPrintJob::PrintRotated(std::string_view text, const platform::FontSpec& font, double pixelHeight,
                              int angleTenths) {
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  const double f = DevicePerTwip();
  QFont qf = MakeFont(font);
  const double pixels = pixelHeight * platform::kTwipsPerPixel * f;
  // QFont takes whole pixels; anything outside 1 to 10000 printer dots keeps
  // the font's point size.
  if (std::isfinite(pixels) && pixels >= 1 && pixels <= 10000) qf.setPixelSize(static_cast<int>(RoundHalfAway(pixels)));
  const QFontMetricsF fm(qf, Device());
  if (Begin() && !s.isEmpty() && Finite({curX_, curY_})) {
    painter_->save();
    painter_->setFont(qf);
    painter_->setPen(ToQColor(fore_));
    painter_->translate(curX_ * f, curY_ * f);
    painter_->rotate(-angleTenths / 10.0);
    painter_->drawText(QPointF(0, fm.ascent()), s);
    painter_->restore();
  }
  curX_ = 0;
  curY_ += fm.lineSpacing() / f;
}

int QtPrintJob::DpiY() const { return Device()->logicalDpiY(); }

void QtPrintJob::DrawPicture(const platform::Image& picture, double x, double y, double w, double h) {
  if (picture.Null() || !Finite({x, y, w, h}) || !Begin()) return;
  const double f = DevicePerTwip();
  painter_->setRenderHint(QPainter::SmoothPixmapTransform, true);
  painter_->drawImage(QRectF(x * f, y * f, w * f, h * f), ToQImage(picture));
}

std::optional<std::string> QtPrintJob::EndDoc() {
  curX_ = 0;
  curY_ = 0;
  savedAs_.clear();
  if (error_) {
    std::optional<std::string> e = std::move(error_);
    error_.reset();
    return e;
  }
  if (!Open()) return std::nullopt;
  const bool ended = painter_->end();
  painter_.reset();
  if (!printer_) {
    if (!ended) return "The file " + Quoted(target_).toStdString() + " could not be completed.";
    return numberedFolder_.empty() ? std::nullopt : KeepNumbered();
  }
  const std::string printer = Quoted(target_).toStdString();
  QFile page(scratch_->filePath("page"));
  if (!ended || printer_->printerState() == QPrinter::Error || !page.open(QIODevice::ReadOnly))
    return "The page for the printer " + printer + " could not be made.";
  const QByteArray bytes = page.readAll();
  const cups::Sent sent =
      cups::SendWithin(target_, document_, std::string(bytes.constData(), static_cast<size_t>(bytes.size())), waitMs_);
  switch (sent.outcome) {
    case cups::Sent::Outcome::Printed: return std::nullopt;
    case cups::Sent::Outcome::TimedOut: return NoAnswer() + "; nothing was printed on " + printer + ".";
    case cups::Sent::Outcome::Unreachable:
      return "The print system (CUPS at " + sent.server + ") cannot be reached; nothing was printed on " + printer +
             ".";
    case cups::Sent::Outcome::Refused: break;
  }
  return "The print system did not accept the page for the printer " + printer + ": " + sent.reason;
}

std::optional<std::string> QtPrintJob::KeepNumbered() {
  if (std::string why = platform::MakePrivateFolders(numberedFolder_); !why.empty())
    return "The page was not saved. " + why;
  QFile f(QString::fromStdString(target_));
  if (!f.open(QIODevice::ReadOnly)) return "The PDF page could not be made: " + f.errorString().toStdString() + ".";
  const QByteArray bytes = f.readAll();
  const platform::SavedFile saved =
      platform::SaveNumbered(numberedFolder_, "VTL", ".PDF",
                             std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
  if (!saved.ok) return saved.message;
  savedAs_ = saved.path;
  return std::nullopt;
}

// ---------------------------------------------------------------------------

std::vector<std::string> SystemPrintService::Printers() const {
  const cups::Queues q = cups::QueuesWithin(waitMs_);
  asked_ = true;
  listed_ = q.names;
  listed_.push_back(platform::kPdfPrinterName);
  default_ = q.defaultName;
  const std::string onlyPdf = std::string("; only \"") + platform::kPdfPrinterName + "\" is listed.";
  switch (q.outcome) {
    case cups::Queues::Outcome::TimedOut: unanswered_ = NoAnswer() + onlyPdf; break;
    case cups::Queues::Outcome::Failed:
      unanswered_ = "The print system could not list its printers (" + q.reason + ")" + onlyPdf;
      break;
    default: unanswered_.reset(); break;
  }
  return listed_;
}

std::function<int()> SystemPrintService::CountAsker() const {
  return [waitMs = waitMs_] { return CountOf(cups::AskQueues(waitMs).names.size() + 1); };
}

std::string SystemPrintService::CurrentDeviceName() const {
  if (!current_.empty()) return current_;
  // No printer was made current yet: the print system's default, else the
  // first in the collection.
  if (!asked_) Printers();
  return default_.empty() ? listed_.front() : default_;
}

void SystemPrintService::SetCurrent(int i) {
  if (!asked_) Printers();
  if (i >= 0 && i < static_cast<int>(listed_.size())) current_ = listed_[static_cast<size_t>(i)];
}

std::unique_ptr<platform::PrintJob> SystemPrintService::StartJob(const std::string& documentName) {
  const std::string current = CurrentDeviceName();
  if (current == platform::kPdfPrinterName)
    return QtPrintJob::ForNumberedPdf(platform::DocumentsFolder() + "/Vantorel", documentName);
  return QtPrintJob::ForPrinter(current, documentName);
}

PdfPrintService::PdfPrintService(std::vector<std::string> names, int current, std::string pdfPath)
    : names_(std::move(names)), pdfPath_(std::move(pdfPath)) {
  SetCurrent(current);
}

std::string PdfPrintService::CurrentDeviceName() const {
  return current_ >= 0 && current_ < static_cast<int>(names_.size()) ? names_[static_cast<size_t>(current_)]
                                                                     : std::string();
}

void PdfPrintService::SetCurrent(int i) {
  if (i >= 0 && i < static_cast<int>(names_.size())) current_ = i;
}

std::function<int()> PdfPrintService::CountAsker() const {
  return [n = CountOf(names_.size())] { return n; };
}

std::unique_ptr<platform::PrintJob> PdfPrintService::StartJob(const std::string& documentName) {
  ++jobs_;
  return QtPrintJob::ForPdfFile(pdfPath_, documentName);
}

}  // namespace vantorel::qtview
