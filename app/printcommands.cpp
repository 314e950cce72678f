#include "app/printcommands.h"

#include <cmath>

#include "model/numtext.h"
#include "output/printlist.h"
#include "platform/twips.h"

namespace vantorel::app {

namespace {

// The job's end: its complaint, or the file it was saved as told.
std::optional<std::string> Ended(const platform::PrintJob& job, std::optional<std::string> problem,
                                 const PrintNotices& notices) {
  if (!problem && notices.saved)
    if (const std::string saved = job.SavedAs(); !saved.empty()) notices.saved(saved);
  return problem;
}

}  // namespace

void WhenPrinterReady(const State& state, PrinterChooser& chooser, const PrintNotices& notices,
                      std::function<void(bool)> done) {
  if (state.PrinterChosen) {
    done(true);
    return;
  }
  chooser.Show(notices.unanswered, [&state, done = std::move(done)] { done(state.PrinterChosen); });
}

std::optional<std::string> PrintListOnCurrentPrinter(const State& state, platform::PrintService& service,
                                                     const std::string& programName, const PrintNotices& notices) {
  const std::unique_ptr<platform::PrintJob> job = service.StartJob(programName);
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

std::optional<std::string> PrintWindowPicture(platform::PrintService& service, const platform::Image& picture,
                                              const std::string& programName, const PrintNotices& notices) {
  if (picture.Null()) return "There is no picture of the window to print.";
  const std::unique_ptr<platform::PrintJob> job = service.StartJob(programName);
  job->Print("");
  const std::optional<PicturePlace> place = PlaceWindowPicture(job->ScaleWidth(), job->ScaleHeight(),
                                                               platform::PixelsToTwips(picture.Width()),
                                                               platform::PixelsToTwips(picture.Height()));
  if (place) job->DrawPicture(picture, place->x, place->y, place->w, place->h);
  std::optional<std::string> error = job->EndDoc();
  if (!error && !place) return "The printer reports no usable page size.";
  return Ended(*job, error, notices);
}

}  // namespace vantorel::app
