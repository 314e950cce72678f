// The two print commands as the main window runs them: the printed list
// ("Print List") and the picture of the window (Ctrl+P). Both print only
// once the user has confirmed a printer in this run: before the first
// confirmation they show the printer chooser, printing nothing when it is
// cancelled.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/printerchooser.h"
#include "model/state.h"
#include "platform/printing.h"

namespace vantorel::app {

// What the print commands tell the user besides a failure; either may be empty.
struct PrintNotices {
  // Before the chooser shows: why the print system's printers are not in it.
  PrinterChooser::Unanswered unanswered;
  // The page was saved as a file (the PDF printer): its full path.
  std::function<void(const std::string&)> saved;
};

// Runs done(true) once printing may go ahead: at once when a printer has
// been confirmed in this run, else after the chooser has been shown and a
// printer confirmed in it; done(false) when the chooser is cancelled.
void WhenPrinterReady(const State& state, PrinterChooser& chooser, const PrintNotices& notices,
                      std::function<void(bool)> done);

// "Print List": the list page on the current printer. programName is the
// executable's name without extension: the page's title and the job's name.
// Returns a message for the user when the printer or the print system
// failed; nullopt when the page went out.
std::optional<std::string> PrintListOnCurrentPrinter(const State& state, platform::PrintService& service,
                                                     const std::string& programName, const PrintNotices& notices = {});

// Where the window picture goes on the page, in twips: at the window's own
// size, or scaled down to the page width with its proportions kept when the
// window is wider than the page; centred both ways. Sizes are whole twips.
struct PicturePlace {
  double x = 0, y = 0, w = 0, h = 0;
};
// nullopt when a size is not a positive finite number.
std::optional<PicturePlace> PlaceWindowPicture(double pageWidth, double pageHeight, double windowWidth,
                                               double windowHeight);

// The window picture on the current printer: opens the job with an empty
// line, places the picture by PlaceWindowPicture (the window's size being
// the picture's size in device-independent pixels, 15 twips each) and sends
// the page. The caller has already checked PrinterReady and taken the
// picture. Returns a message for the user on failure (no picture, a printer
// or print-system failure).
std::optional<std::string> PrintWindowPicture(platform::PrintService& service, const platform::Image& picture,
                                              const std::string& programName, const PrintNotices& notices = {});

}  // namespace vantorel::app
