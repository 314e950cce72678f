// A page on the current printer, as the printed list draws it: the drawing
// surface of surface.h (twips, current position, text model) plus the end of
// the document. Plain C++, so that the printed list can be drawn, and tested,
// without a print system.
#pragma once

#include <optional>
#include <string>

#include "platform/surface.h"

namespace vantorel::platform {

class PrinterSurface : public Surface {
 public:
  // Ends the document and sends the page to the printer. Returns what went
  // wrong for the user (the printer could not be opened, the print system
  // refused the job), or nullopt when the page has gone, or when nothing had
  // been drawn and so there was nothing to send.
  virtual std::optional<std::string> EndDoc() = 0;
};

}  // namespace vantorel::platform
