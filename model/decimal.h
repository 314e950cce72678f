// Exact conversions between doubles and decimal text, made of integer
// arithmetic only, so that every system's build reads and writes the same
// numbers to the last bit whatever its C or C++ library. Each gives what
// std::from_chars and std::to_chars give on a library that rounds exactly.
#pragma once

#include <string>
#include <system_error>

namespace vantorel {

// What ReadDecimal read: where it stopped, and std::errc() or the error.
struct DecimalRead {
  const char* ptr;
  std::errc ec;
};

// Reads the longest decimal number at the start of [first, last), as
// std::from_chars(first, last, value) does in its general format: an optional
// '-', digits with an optional '.' (at least one digit), and an optional
// exponent ('e' or 'E', an optional sign, digits). No '+' in front, no
// "inf" or "nan". The value is the double nearest the exact decimal, a tie
// going to the even one, however many digits the text has. Without a number
// it gives errc::invalid_argument and ptr == first; a number that rounds to
// infinity, or to zero without being zero, gives errc::result_out_of_range
// with ptr after the number. In both cases value is left as it was.
DecimalRead ReadDecimal(const char* first, const char* last, double& value);

// All the decimal digits of the whole part of a finite double, with '-' for a
// negative one ("1e22" gives "10000000000000000000000", "1e23" gives
// "99999999999999991611392"): std::to_chars(fixed, precision 0) of a whole
// value.
std::string WholeDecimal(double x);

// printf's "%.<precision>g" of a finite double (precision 1 to 40): the value
// rounded to that many significant digits (a tie to the even digit), trailing
// zeros dropped, in exponent form ("1.5e+20", "1e-05") when the decimal
// exponent is below -4 or not below the precision.
std::string GeneralDecimal(double x, int precision);

// The shortest text that reads back as exactly x, as std::to_chars(first,
// last, x) writes it: the fewest significant digits that round to x (the
// ones nearest x when several do), in plain form or in exponent form
// ("1e+22", "5e-324") whichever is shorter, plain on a tie. A whole number
// in plain form shows all its exact digits.
std::string ShortestDecimal(double x);

}  // namespace vantorel
