#include "output/printcommands.h"

#include <QImage>
#include <QWidget>

#include <cmath>

#include "model/numtext.h"
#include "output/printlist.h"
#include "output/selectprinter.h"
#include "platform/twips.h"

namespace vantorel {

frmSelectPrinter& SelectPrinterWindow(QWidget* mainWindow, platform::PrintService& service, State& state,
                                      platform::Colour background) {
  auto* existing = mainWindow->findChild<frmSelectPrinter*>(QString(), Qt::FindDirectChildrenOnly);
  if (existing) return *existing;
  return *new frmSelectPrinter(service, state, mainWindow, background);
}

namespace {

// The job's end: its complaint, or the file it was saved as told.
std::optional<std::string> Ended(platform::PrintJob& job, std::optional<std::string> problem, const PrintNotices& notices) {
  if (!problem && !job.SavedAs().empty() && notices.saved) notices.saved(job.SavedAs());
  return problem;
}

}  // namespace

bool PrinterReady(State& state, platform::PrintService& service, QWidget* mainWindow, const PrintNotices& notices,
                  platform::Colour background) {
  if (!mainWindow && !state.PrinterChosen) return false;  // no window to show the chooser over
  if (!state.PrinterChosen) {
    frmSelectPrinter& chooser = SelectPrinterWindow(mainWindow, service, state, background);
    chooser.ShowModal(notices.unanswered);
    // No trace of the chooser may be left on the window (nor in its picture).
    chooser.hide();
    mainWindow->repaint();
    if (!state.PrinterChosen) return false;
  }
  return true;
}

std::optional<std::string> PrintListOnCurrentPrinter(State& state, platform::PrintService& service,
                                                     QWidget* mainWindow, const std::string& programName,
                                                     const PrintNotices& notices, platform::Colour background) {
  if (!PrinterReady(state, service, mainWindow, notices, background)) return std::nullopt;
  std::unique_ptr<platform::PrintJob> job = service.StartJob(programName);
  return Ended(*job, Print_List(state, *job, programName), notices);
}

std::optional<PicturePlace> PlaceWindowPicture(double pageWidth, double pageHeight, double windowWidth,
                                               double windowHeight) {
  for (double v : {pageWidth, pageHeight, windowWidth, windowHeight})
    if (!std::isfinite(v) || v <= 0) return std::nullopt;
  PicturePlace p;
  if (pageWidth < windowWidth) {
    p.w = RoundHalfAway(pageWidth);
    p.h = RoundHalfAway(pageWidth / windowWidth * windowHeight);
  } else {
    p.w = RoundHalfAway(windowWidth);
    p.h = RoundHalfAway(windowHeight);
  }
  p.x = (pageWidth - p.w) / 2;
  p.y = (pageHeight - p.h) / 2;
  return p;
}

std::optional<std::string> PrintWindowPicture(platform::PrintService& service, const QImage& picture,
                                              const std::string& programName, const PrintNotices& notices) {
  if (picture.isNull()) return "There is no picture of the window to print.";
  const QSizeF size = picture.deviceIndependentSize();
  std::unique_ptr<platform::PrintJob> job = service.StartJob(programName);
  job->Print("");
  const std::optional<PicturePlace> place = PlaceWindowPicture(
      job->ScaleWidth(), job->ScaleHeight(), platform::PixelsToTwips(size.width()), platform::PixelsToTwips(size.height()));
  if (place) job->DrawPicture(picture, place->x, place->y, place->w, place->h);
  std::optional<std::string> error = job->EndDoc();
  if (!error && !place) return "The printer reports no usable page size.";
  return Ended(*job, error, notices);
}

}  // namespace vantorel
