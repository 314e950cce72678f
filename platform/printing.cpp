#include "platform/printing.h"

#include <QFile>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QThread>

#include <cmath>
#include <cstdio>

#include "platform/files.h"
#include "platform/fonts.h"
#include "platform/qtcolour.h"
#include "platform/twips.h"

namespace vantorel::platform {

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
void SetUpPage(QPrinter& p, const std::string& documentName) {
  p.setDocName(QString::fromStdString(documentName));
  p.setPageOrientation(QPageLayout::Portrait);
  p.setResolution(static_cast<int>(kTwipsPerInch));
}

}  // namespace

PrintJob::PrintJob(std::unique_ptr<QPrinter> printer, std::string target, bool toPdf)
    : printer_(std::move(printer)), target_(std::move(target)), toPdf_(toPdf) {
  const int dpi = printer_->resolution();
  devicePerTwip_ = dpi > 0 ? static_cast<double>(dpi) / kTwipsPerInch : 1.0;
  surfaceFont_.name = "Courier New";
  surfaceFont_.size = 10;
}

std::unique_ptr<PrintJob> PrintJob::ForPrinter(const std::string& deviceName, const std::string& documentName) {
  auto p = std::make_unique<QPrinter>(QPrinter::HighResolution);
  if (!deviceName.empty()) p->setPrinterName(QString::fromStdString(deviceName));
  SetUpPage(*p, documentName);
  return std::unique_ptr<PrintJob>(new PrintJob(std::move(p), deviceName, false));
}

std::unique_ptr<PrintJob> PrintJob::ForPdfFile(const std::string& path, const std::string& documentName) {
  auto p = std::make_unique<QPrinter>(QPrinter::HighResolution);
  p->setOutputFormat(QPrinter::PdfFormat);
  p->setOutputFileName(QString::fromStdString(path));
  // A fixed paper size and quarter-inch margins, as a desk printer has, so
  // that a PDF page does not depend on whichever printer happens to be the
  // system's default.
  p->setPageSize(QPageSize(QPageSize::A4));
  p->setPageMargins(QMarginsF(18, 18, 18, 18), QPageLayout::Point);
  SetUpPage(*p, documentName);
  return std::unique_ptr<PrintJob>(new PrintJob(std::move(p), path, true));
}

PrintJob::~PrintJob() {
  // A document left open goes out as it stands, as a print system does with
  // a program that ends in the middle of a page.
  if (painter_ && painter_->isActive()) painter_->end();
}

bool PrintJob::Open() const { return painter_ && painter_->isActive(); }

bool PrintJob::Begin() {
  if (Open()) return true;
  if (error_) return false;
  const QString name = QString::fromStdString(target_);
  if (!toPdf_) {
    if (target_.empty()) {
      error_ = "No printer is installed.";
      return false;
    }
    // Qt keeps its previous printer when asked for one that does not exist;
    // a job must never go to a printer other than the chosen one.
    if (QPrinterInfo::printerInfo(name).isNull() || printer_->printerName() != name) {
      error_ = "The printer " + Quoted(target_).toStdString() + " is no longer installed.";
      return false;
    }
  }
  if (!printer_->isValid()) {
    error_ = "The printer " + Quoted(target_).toStdString() + " cannot be used.";
    return false;
  }
  painter_ = std::make_unique<QPainter>();
  if (!painter_->begin(printer_.get())) {
    painter_.reset();
    error_ = toPdf_ ? "The file " + Quoted(target_).toStdString() + " cannot be written."
                    : "The print system refused the print job for the printer " + Quoted(target_).toStdString() + ".";
    return false;
  }
  painter_->setRenderHint(QPainter::Antialiasing, true);
  return true;
}

double PrintJob::ScaleWidth() const {
  return printer_->pageLayout().paintRect(QPageLayout::Point).width() * kTwipsPerPoint;
}

double PrintJob::ScaleHeight() const {
  return printer_->pageLayout().paintRect(QPageLayout::Point).height() * kTwipsPerPoint;
}

void PrintJob::Cls() {
  curX_ = 0;
  curY_ = 0;
}

void PrintJob::SetDrawWidth(int pixels) { drawWidth_ = pixels < 1 ? 1 : pixels; }

void PrintJob::Line(double x1, double y1, double x2, double y2, Colour c) {
  if (Finite({x1, y1, x2, y2}) && Begin()) {
    const double f = DevicePerTwip();
    QPen pen(ToQColor(c), drawWidth_ * kTwipsPerPixel * f, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter_->setPen(pen);
    painter_->drawLine(QPointF(x1 * f, y1 * f), QPointF(x2 * f, y2 * f));
  }
  curX_ = x2;
  curY_ = y2;
}

void PrintJob::Box(double x1, double y1, double x2, double y2, Colour c) {
  if (Finite({x1, y1, x2, y2}) && Begin()) {
    const double f = DevicePerTwip();
    QPen pen(ToQColor(c), drawWidth_ * kTwipsPerPixel * f, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    painter_->setPen(pen);
    painter_->setBrush(Qt::NoBrush);
    painter_->drawRect(QRectF(QPointF(x1 * f, y1 * f), QPointF(x2 * f, y2 * f)).normalized());
  }
  curX_ = x2;
  curY_ = y2;
}

void PrintJob::PSet(double x, double y, Colour c) {
  if (Finite({x, y}) && Begin()) {
    const double f = DevicePerTwip();
    const double d = drawWidth_ * kTwipsPerPixel * f;
    painter_->fillRect(QRectF(x * f - d / 2, y * f - d / 2, d, d), ToQColor(c));
  }
  curX_ = x;
  curY_ = y;
}

void PrintJob::Circle(double x, double y, double radius, Colour c) {
  if (Finite({x, y, radius}) && Begin()) {
    const double f = DevicePerTwip();
    painter_->setPen(QPen(ToQColor(c), drawWidth_ * kTwipsPerPixel * f));
    painter_->setBrush(Qt::NoBrush);
    painter_->drawEllipse(QPointF(x * f, y * f), radius * f, radius * f);
  }
  curX_ = x;
  curY_ = y;
}

double PrintJob::TextWidth(std::string_view text) const {
  const QFontMetricsF fm(MakeFont(surfaceFont_), printer_.get());
  return fm.horizontalAdvance(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))) / DevicePerTwip();
}

double PrintJob::TextHeight(std::string_view) const {
  const QFontMetricsF fm(MakeFont(surfaceFont_), printer_.get());
  return fm.lineSpacing() / DevicePerTwip();
}

void PrintJob::Print(std::string_view text, bool endLine) {
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  const QFont font = MakeFont(surfaceFont_);
  const QFontMetricsF fm(font, printer_.get());
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

void PrintJob::PrintRotated(std::string_view text, const FontSpec& font, double pixelHeight, int angleTenths) {
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  const double f = DevicePerTwip();
  QFont qf = MakeFont(font);
  const double pixels = pixelHeight * kTwipsPerPixel * f;
  // QFont takes whole pixels; anything outside 1 to 10000 printer dots keeps
  // the font's point size.
  if (std::isfinite(pixels) && pixels >= 1 && pixels <= 10000) qf.setPixelSize(static_cast<int>(std::lround(pixels)));
  const QFontMetricsF fm(qf, printer_.get());
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

int PrintJob::DpiY() const { return printer_->resolution(); }

void PrintJob::DrawPicture(const QImage& picture, double x, double y, double w, double h) {
  if (picture.isNull() || !Finite({x, y, w, h}) || !Begin()) return;
  const double f = DevicePerTwip();
  painter_->setRenderHint(QPainter::SmoothPixmapTransform, true);
  painter_->drawImage(QRectF(x * f, y * f, w * f, h * f), picture);
}

std::optional<std::string> PrintJob::EndDoc() {
  curX_ = 0;
  curY_ = 0;
  if (error_) {
    std::optional<std::string> e = std::move(error_);
    error_.reset();
    return e;
  }
  if (!Open()) return std::nullopt;
  const bool ended = painter_->end();
  painter_.reset();
  if (!ended || printer_->printerState() == QPrinter::Error || printer_->printerState() == QPrinter::Aborted) {
    return toPdf_ ? "The file " + Quoted(target_).toStdString() + " could not be completed."
                  : "The print system did not accept the page for the printer " + Quoted(target_).toStdString() + ".";
  }
  return std::nullopt;
}

// ---------------------------------------------------------------------------

PrinterCountQuery::PrinterCountQuery(const PrintService& service)
    : thread_(QThread::create([this, &service] { count_ = service.Count(); })) {
  connect(thread_, &QThread::finished, this, [this] { emit Known(count_); });
  thread_->start();
}

PrinterCountQuery::~PrinterCountQuery() {
  thread_->wait();
  delete thread_;
}

int PrinterCountQuery::Count() {
  thread_->wait();
  return count_;
}

std::vector<std::string> SystemPrintService::Printers() const {
  std::vector<std::string> names;
  for (const QString& n : QPrinterInfo::availablePrinterNames()) names.push_back(n.toStdString());
  return names;
}

std::string SystemPrintService::CurrentDeviceName() const {
  if (!current_.empty()) return current_;
  // No printer was current yet (none was installed): the system's default,
  // else the first installed printer.
  const QString def = QPrinterInfo::defaultPrinterName();
  if (!def.isEmpty()) return def.toStdString();
  const std::vector<std::string> names = Printers();
  return names.empty() ? std::string() : names.front();
}

void SystemPrintService::SetCurrent(int i) {
  const std::vector<std::string> names = Printers();
  if (i >= 0 && i < static_cast<int>(names.size())) current_ = names[static_cast<size_t>(i)];
}

std::unique_ptr<PrintJob> SystemPrintService::StartJob(const std::string& documentName) {
  return PrintJob::ForPrinter(CurrentDeviceName(), documentName);
}

PdfPrintService::PdfPrintService(std::vector<std::string> names, int current, std::string pdfPath)
    : names_(std::move(names)), pdfPath_(std::move(pdfPath)) {
  SetCurrent(current);
}

std::string PdfPrintService::CurrentDeviceName() const {
  return current_ >= 0 && current_ < static_cast<int>(names_.size()) ? names_[static_cast<size_t>(current_)] : std::string();
}

void PdfPrintService::SetCurrent(int i) {
  if (i >= 0 && i < static_cast<int>(names_.size())) current_ = i;
}

std::unique_ptr<PrintJob> PdfPrintService::StartJob(const std::string& documentName) {
  ++jobs_;
  return PrintJob::ForPdfFile(pdfPath_, documentName);
}

std::optional<std::string> WriteNewPdf(const std::string& path, const std::string& documentName,
                                       const std::function<std::optional<std::string>(PrinterSurface&)>& draw) {
  if (NameTaken(path)) return "The file " + path + " already exists.";
  // Fonts and the PDF engine need a GUI application. A program without one
  // (the command line) gets one on the offscreen platform, which needs no
  // display, for the length of this call.
  std::unique_ptr<QGuiApplication> ownApp;
  if (!QGuiApplication::instance()) {
    static int argc = 3;
    static char arg0[] = "vantorel", arg1[] = "-platform", arg2[] = "offscreen";
    static char* argv[] = {arg0, arg1, arg2, nullptr};
    // Qt's own warnings (a missing runtime folder and the like) are noise on
    // a command line; failures come back as this function's result.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
      if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    ownApp = std::make_unique<QGuiApplication>(argc, argv);
  }
  // Qt writes the PDF under a private temporary name; the finished bytes are
  // then saved under path without replacing anything.
  QTemporaryDir scratch;
  if (!scratch.isValid()) return "Cannot create a temporary folder: " + scratch.errorString().toStdString() + ".";
  const QString tmp = scratch.filePath("page.pdf");
  {
    const std::unique_ptr<PrintJob> job = PrintJob::ForPdfFile(tmp.toStdString(), documentName);
    if (auto problem = draw(*job)) return "Cannot make " + path + ": " + *problem;
  }
  QFile f(tmp);
  if (!f.open(QIODevice::ReadOnly)) return "The PDF page could not be made: " + f.errorString().toStdString() + ".";
  const QByteArray bytes = f.readAll();
  const WriteResult w = WriteNewFile(path, std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
  if (w.status != WriteStatus::Ok) return w.message;
  return std::nullopt;
}

}  // namespace vantorel::platform
