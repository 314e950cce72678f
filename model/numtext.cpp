#include "model/numtext.h"

#include <cmath>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "model/decimal.h"
#include "model/utf8.h"

namespace vantorel {

namespace {

// Every double of this magnitude or more is a whole number.
constexpr double kAllWhole = 4503599627370496.0;  // 2^52

// The whole part of x (|x| < 2^52) and the exact remainder x - whole, which
// has the sign of x. The integer conversion truncates and is in range.
std::pair<double, double> SplitWhole(double x) {
  const double whole = static_cast<double>(static_cast<int64_t>(x));
  return {whole, x - whole};
}

}  // namespace

// Made of exact operations only, so every system's build gives the same
// result (some C libraries round 0.49999999999999994 up to 1).
double RoundHalfAway(double x) {
  if (!(std::fabs(x) < kAllWhole)) return x;  // NaN, infinities and large values are whole already
  const auto [whole, rest] = SplitWhole(x);
  const double r = std::fabs(rest) >= 0.5 ? whole + std::copysign(1.0, x) : whole;
  return std::copysign(r, x);  // -0.4 gives -0
}

double RoundHalfEven(double x) {
  if (!(std::fabs(x) < kAllWhole)) return x;
  const auto [whole, rest] = SplitWhole(x);
  const bool odd = static_cast<int64_t>(whole) % 2 != 0;
  const double r = std::fabs(rest) > 0.5 || (std::fabs(rest) == 0.5 && odd) ? whole + std::copysign(1.0, x) : whole;
  return std::copysign(r, x);
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string FormatNumber(double x, std::string_view pattern) {
  const size_t first = pattern.find('0');
  std::string_view prefix = pattern.substr(0, first == std::string_view::npos ? pattern.size() : first);
  size_t zeros = 0;
  size_t pos = prefix.size();
  while (pos < pattern.size() && pattern[pos] == '0') {
    ++zeros;
    ++pos;
  }
  std::string_view suffix = pattern.substr(pos);

  const double r = RoundHalfAway(x);
  std::string body;
  bool negative = false;
  if (std::isnan(r)) {
    body = "NaN";
  } else if (std::isinf(r)) {
    body = "Infinity";
    negative = r < 0;
  } else {
    negative = r < 0;  // -0.0 is not below zero, so a value rounding to zero has no sign
    body = WholeDecimal(std::fabs(r));
    if (body.size() < zeros) body.insert(0, zeros - body.size(), '0');
  }
  std::string out;
  out.reserve(prefix.size() + body.size() + suffix.size() + 1);
  if (negative) out += '-';
  out += prefix;
  out += body;
  out += suffix;
  return out;
}

double LeadingNumber(std::string_view text) {
  // Drop the characters the rule skips, then find the longest numeric prefix.
  std::string s;
  s.reserve(text.size());
  for (char c : text)
    if (c != ' ' && c != '\t' && c != '\n') s += c;

  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t mantDigits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++mantDigits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++mantDigits;
  }
  if (mantDigits == 0) return 0.0;
  size_t end = i;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    size_t expDigits = 0;
    while (j < s.size() && IsDigit(s[j])) ++j, ++expDigits;
    if (expDigits > 0) end = j;
  }
  // A '.' decimal point whatever the user's locale. A value too large for a
  // double becomes +/- infinity, one too small zero.
  const bool negative = s[0] == '-';
  const size_t start = s[0] == '+' ? 1 : 0;
  double v = 0;
  const auto res = ReadDecimal(s.data() + start, s.data() + end, v);
  if (res.ec != std::errc::result_out_of_range) return v;
  // Out of range: the decimal exponent of the first significant digit tells
  // which way (saturated, so a thousand-digit exponent cannot overflow).
  int64_t e10 = 0;
  bool seenPoint = false, seenDigit = false;
  size_t k = start + (negative ? 1 : 0);
  for (; k < i; ++k) {
    if (s[k] == '.') {
      seenPoint = true;
    } else if (!seenDigit && s[k] == '0') {
      if (seenPoint) --e10;
    } else if (!seenDigit) {
      seenDigit = true;
    } else if (!seenPoint) {
      ++e10;
    }
  }
  if (end > i) {
    const bool expNegative = s[i + 1] == '-';
    int64_t exp = 0;
    for (size_t j = i + 1; j < end; ++j)
      if (IsDigit(s[j])) exp = std::min<int64_t>(exp * 10 + (s[j] - '0'), 100000);
    e10 += expNegative ? -exp : exp;
  }
  const double magnitude = e10 > 0 ? HUGE_VAL : 0.0;
  return negative ? -magnitude : magnitude;
}

std::optional<int16_t> ToInt16HalfEven(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  const double r = RoundHalfEven(x);
  if (r < -32768.0 || r > 32767.0) return std::nullopt;
  return static_cast<int16_t>(r);
}

std::string GeneralText(double x, char decimalSeparator) {
  if (std::isnan(x)) return "NaN";
  if (std::isinf(x)) return x < 0 ? "-Infinity" : "Infinity";
  if (x == 0) return "0";
  std::string out = GeneralDecimal(x, 15);
  for (char& c : out) {
    if (c == '.') c = decimalSeparator;
    if (c == 'e') c = 'E';
  }
  return out;
}

std::string ShortestText(double x) {
  if (!std::isfinite(x)) return std::isnan(x) ? "NaN" : (x < 0 ? "-Infinity" : "Infinity");
  return ShortestDecimal(x);
}

namespace {

// The zero of every run of ten decimal digits in Unicode (general category Nd).
constexpr char32_t kZeros[] = {0x0030,  0x0660,  0x06F0,  0x07C0,  0x0966,  0x09E6,  0x0A66,  0x0AE6,  0x0B66,
                               0x0BE6,  0x0C66,  0x0CE6,  0x0D66,  0x0DE6,  0x0E50,  0x0ED0,  0x0F20,  0x1040,
                               0x1090,  0x17E0,  0x1810,  0x1946,  0x19D0,  0x1A80,  0x1A90,  0x1B50,  0x1BB0,
                               0x1C40,  0x1C50,  0xA620,  0xA8D0,  0xA900,  0xA9D0,  0xA9F0,  0xAA50,  0xABF0,
                               0xFF10,  0x104A0, 0x10D30, 0x11066, 0x110F0, 0x11136, 0x111D0, 0x112F0, 0x11450,
                               0x114D0, 0x11650, 0x116C0, 0x11730, 0x118E0, 0x11950, 0x11C50, 0x11D50, 0x11DA0,
                               0x16A60, 0x16AC0, 0x16B50, 0x1E140, 0x1E2F0, 0x1E950, 0x1FBF0};

int DigitValue(char32_t c) {
  for (char32_t zero : kZeros)
    if (c >= zero && c <= zero + 9) return static_cast<int>(c - zero);
  return -1;
}

bool IsBlank(char32_t c) { return c == ' ' || c == '\t' || c == 0xA0 || c == 0x202F || c == 0x2009; }
// Left-to-right, right-to-left and Arabic letter marks, and the embedding and isolate controls.
bool IsDirectionMark(char32_t c) {
  return c == 0x200E || c == 0x200F || c == 0x061C || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}
bool IsDecimalSeparator(char32_t c) { return c == '.' || c == ',' || c == 0x066B || c == 0x060C; }

}  // namespace

std::optional<double> ReadAnyLocaleNumber(std::string_view text) {
  std::string plain;  // the same number in ASCII with a decimal point
  size_t i = 0;
  enum { Before, Mantissa, Exponent, After } at = Before;
  bool point = false, digits = false, exponentDigits = false, signAllowed = true;
  while (i < text.size()) {
    char32_t c = 0;
    size_t len = 0;
    if (!DecodeUtf8At(text, i, c, len)) return std::nullopt;
    i += len;
    if (IsDirectionMark(c)) continue;
    if (IsBlank(c)) {
      if (at == Mantissa || at == Exponent) at = After;
      continue;
    }
    if (at == After) return std::nullopt;
    if (at == Before) at = Mantissa;
    if ((c == '-' || c == 0x2212 || c == '+') && signAllowed) {
      plain += c == '+' ? '+' : '-';
      signAllowed = false;
      continue;
    }
    signAllowed = false;
    if (const int d = DigitValue(c); d >= 0) {
      plain += static_cast<char>('0' + d);
      (at == Exponent ? exponentDigits : digits) = true;
      continue;
    }
    if (at == Mantissa && IsDecimalSeparator(c) && !point) {
      plain += '.';
      point = true;
      continue;
    }
    if (at == Mantissa && (c == 'e' || c == 'E') && digits) {
      plain += 'e';
      at = Exponent;
      signAllowed = true;
      continue;
    }
    return std::nullopt;
  }
  if (!digits || (plain.find('e') != std::string::npos && !exponentDigits)) return std::nullopt;
  const char* b = plain.data();
  const char* e = b + plain.size();
  if (b != e && *b == '+') ++b;
  double v = 0;
  const auto res = ReadDecimal(b, e, v);
  if (res.ec != std::errc() || res.ptr != e || !std::isfinite(v)) return std::nullopt;
  return v;
}

}  // namespace vantorel
