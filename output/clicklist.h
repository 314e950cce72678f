// The range/click list: one fixed-width line per whole range from the
// smallest to the largest ticked range, with the shooter's measured clicks
// added in brackets on the lines of the data-point ranges.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/state.h"

namespace vantorel {

// Pads s with blanks to three characters: x = 0 right-aligns (blanks in
// front), x = 1 left-aligns (blanks behind); any other x, or a text of three
// characters or more, is returned unchanged.
std::string sFancy(std::string_view s, int x);

// The padding of both lists' fields: text padded with blanks to width,
// mode 0 in front, mode 1 behind; any other mode, or a text as wide or wider,
// unchanged.
std::string PadTo(std::string_view text, size_t width, int mode);

// Tooltip of the list box for the current units.
std::string ClickListTooltip(const State& s);

// The lines of the list: the two head lines, an empty line, then one line per
// range. The window's list box holds them joined by line breaks (the text
// does not end with one).
std::vector<std::string> ClickListLines(const State& s);

// The lines joined by sep.
std::string JoinLines(const std::vector<std::string>& lines, std::string_view sep);

}  // namespace vantorel
