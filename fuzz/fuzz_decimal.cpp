// The model's own decimal conversions against the C++ library's (exact with
// libstdc++): the bytes read as a decimal text by both, and written back by
// both, the double they give and the double made of the first eight bytes.
// Any difference stops the run.
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzzcheck.h"
#include "model/decimal.h"

using fuzzcheck::Require;
using namespace vantorel;

namespace {

std::string StdText(double x, std::chars_format format, int precision) {
  std::array<char, 1200> buf{};
  const auto res = precision < 0 ? std::to_chars(buf.data(), buf.data() + buf.size(), x)
                                 : std::to_chars(buf.data(), buf.data() + buf.size(), x, format, precision);
  Require(res.ec == std::errc());
  return std::string(buf.data(), res.ptr);
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void CheckWriting(double x, int precision) {
  if (!std::isfinite(x)) return;
  const std::string shortest = ShortestDecimal(x);
  Require(shortest == StdText(x, std::chars_format::general, -1));
  Require(GeneralDecimal(x, 15) == StdText(x, std::chars_format::general, 15));
  Require(GeneralDecimal(x, precision) == StdText(x, std::chars_format::general, precision));
  const double whole = std::trunc(x);
  Require(WholeDecimal(whole) == StdText(whole, std::chars_format::fixed, 0));
  double back = 0;
  const DecimalRead r = ReadDecimal(shortest.data(), shortest.data() + shortest.size(), back);
  Require(r.ec == std::errc() && r.ptr == shortest.data() + shortest.size() && SameBits(back, x));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* first = reinterpret_cast<const char*>(data);
  const char* last = first + size;
  const int precision = size == 0 ? 17 : 1 + data[size - 1] % 40;

  // "inf" and "nan" are the library's only, the rest must match.
  const size_t sign = size > 0 && first[0] == '-' ? 1 : 0;
  if (size <= sign || std::string_view("iInN").find(first[sign]) == std::string_view::npos) {
    double mine = -7, theirs = -7;  // an error leaves them as they are
    const DecimalRead a = ReadDecimal(first, last, mine);
    const auto b = std::from_chars(first, last, theirs);
    Require(a.ptr == b.ptr && a.ec == b.ec && SameBits(mine, theirs));
    CheckWriting(mine, precision);
  }

  if (size >= sizeof(double)) {
    double x = 0;
    std::memcpy(&x, data, sizeof x);
    CheckWriting(x, precision);
  }
  return 0;
}
