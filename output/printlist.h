// The printed range/click list: one page in Courier New with a title line,
// two header lines, a table of four column pairs (range : clicks, with the
// measured clicks in brackets at the data-point ranges) and a colour legend.
// Black ranges lie inside the span of the ticked data points, grey ones
// outside it, and the data-point ranges print dark red and bold.
//
// Drawn through the printer surface only, so the page can be checked without
// a print system. Choosing the printer first is done on the window side
// (output/printcommands.h).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/state.h"
#include "platform/printer.h"

namespace vantorel {

// Pads text with blanks to five characters: mode 0 puts them in front
// (right-aligned), mode 1 behind (left-aligned). Any other mode, or a text of
// five characters or more, gives the text unchanged.
std::string Fancy(std::string_view text, int mode);

// Rows of the printed table: 25 (ranges 1 to 100) when MaxDataRange is 100
// or less, else 50 (ranges 1 to 200).
int PrintedRows(const State& s);

// Prints the page on the printer and ends the document. programName is the
// executable's name without extension, printed as the title. Returns the
// printer's complaint from the end of the document, if any.
std::optional<std::string> Print_List(const State& s, platform::PrinterSurface& printer, std::string_view programName);

}  // namespace vantorel
