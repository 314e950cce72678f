// Number texts used throughout the program: the display patterns ("0", "0)",
// "(0)", "0000"), the leading-number rule of the data-entry fields, the
// half-to-even conversion into a 16-bit field and the general text form of a
// double as it is stored in the settings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantorel {

// Nearest whole number, halves away from zero, computed exactly from the double.
// Returns NaN or infinity unchanged; a value that rounds to zero keeps its sign.
double RoundHalfAway(double x);
// The same with halves to the even neighbour (2.5 gives 2, 3.5 gives 4).
double RoundHalfEven(double x);

// Formats x with a display pattern made of optional literal text, a run of
// '0' digits and optional literal text: "0" gives "52", "0)" gives "52)",
// "(0)" gives "(52)", "0000" gives "0007". The value is the nearest whole
// number with halves away from zero; the digit run is the minimum number of
// digits. A negative value puts its minus sign in front of everything
// ("-(3)"). A value that rounds to zero never shows a minus sign.
// Non-finite values give "NaN", "Infinity" or "-Infinity" inside the literals.
std::string FormatNumber(double x, std::string_view pattern);

// The leading-number rule of the data-entry fields: blanks, tabs and line
// feeds anywhere in the text are skipped, the longest prefix that reads as a
// decimal number (sign, digits, decimal point and digits, exponent) gives the
// value, and text without such a prefix gives 0. The decimal point is always
// '.'. A prefix too large for a double gives +/- infinity.
double LeadingNumber(std::string_view text);

// Rounds half to even and converts to a signed 16-bit integer; nullopt when
// the result does not fit (or x is NaN).
std::optional<int16_t> ToInt16HalfEven(double x);

// The general text form of a double: up to 15 significant digits, trailing
// zeros dropped, the given decimal separator, exponent form ("1E-05",
// "1.5E+20") for very small or very large magnitudes.
std::string GeneralText(double x, char decimalSeparator = '.');

// A number as any locale writes it, read whole: blanks (and the direction
// marks some locales put around a sign) before and after, a sign ("-",
// "+" or the minus sign U+2212), digits of any script (0-9, Arabic-Indic,
// Persian, Devanagari, ...), one decimal separator of those locales use
// (".", ",", the Arabic decimal separator U+066B or the Arabic comma
// U+060C), and an exponent after "E" or "e". No group separators. nullopt
// for anything else, invalid UTF-8, and numbers beyond a double's range.
std::optional<double> ReadAnyLocaleNumber(std::string_view text);

// Shortest text that reads back as exactly the same double ("0.034000000000000004").
std::string ShortestText(double x);

}  // namespace vantorel
