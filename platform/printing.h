// The printing service every front end prints through: the ordered
// collection of printers by device name, the current printer that all
// printing uses, and print jobs that draw a page in twips. Standard C++ only;
// the print system behind it (CUPS and Qt's print support on Linux) lives
// with the platform's own code.
//
// A job opens on the first thing drawn (an empty line is enough), draws on a
// portrait page whose origin is the top left of the printable area, and goes
// to the printer with EndDoc. Nothing here throws, ends the program or waits
// long for the print system: a print system that does not answer within
// kPrintSystemWaitMs, a printer that has vanished, a page the print system
// refuses or a printer that cannot be used is reported by EndDoc as a
// message for the user.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/detached.h"
#include "platform/printer.h"

namespace vantorel::platform {

// The printer the system's collection always ends with: it saves each page
// as a new PDF file (VTL_0001.PDF, VTL_0002.PDF, ...).
inline constexpr char kPdfPrinterName[] = "Print to PDF file";

// How long printing waits for the print system's answer.
inline constexpr int kPrintSystemWaitMs = 3000;

// A picture: width by height device pixels, row by row from the top left,
// each 0xAARRGGBB. pixelRatio device pixels make one device-independent
// pixel (2 on a high-density screen).
struct Image {
  int width = 0, height = 0;
  double pixelRatio = 1.0;
  std::vector<uint32_t> pixels;

  // No pixels, or fewer than its size needs.
  bool Null() const {
    return width <= 0 || height <= 0 || pixels.size() / static_cast<size_t>(width) < static_cast<size_t>(height);
  }
  // Its size in device-independent pixels; 0 by 0 for a null picture or a
  // ratio that is not a positive number.
  double Width() const { return Null() || !(pixelRatio > 0) ? 0 : width / pixelRatio; }
  double Height() const { return Null() || !(pixelRatio > 0) ? 0 : height / pixelRatio; }
};

class PrintJob : public PrinterSurface {
 public:
  // Paints a picture scaled into the rectangle at (x, y), w by h twips; a
  // null picture draws nothing.
  virtual void DrawPicture(const Image& picture, double x, double y, double w, double h) = 0;
  // The file the last EndDoc saved the page as (the PDF printer); empty
  // otherwise.
  virtual std::string SavedAs() const { return {}; }
};

// Which printers there are, which one is current, and jobs on the current one.
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

  // A print job on the current printer, titled documentName; never null.
  virtual std::unique_ptr<PrintJob> StartJob(const std::string& documentName) = 0;
};

// A printer count asked on a thread of its own that nothing ever waits for
// (a print system may never answer). The front end looks for the answer from
// time to time with Arrived. The query may end before the answer: the thread
// is then abandoned and ends on its own.
class PrinterCountQuery {
 public:
  explicit PrinterCountQuery(std::function<int()> count) : answer_(std::move(count)) {}
  // True the one time the answer is found in (a failed ask counts no
  // printers); Count holds it from then on.
  bool Arrived() {
    if (count_ || !answer_.Done()) return false;
    count_ = answer_.Within(0).value_or(0);
    return true;
  }
  // The count; nullopt until Arrived has found it.
  std::optional<int> Count() const { return count_; }

 private:
  Detached<int> answer_;
  std::optional<int> count_;
};

}  // namespace vantorel::platform
