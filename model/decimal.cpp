#include "model/decimal.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <utility>
#include <vector>

namespace vantorel {

namespace {

static_assert(std::numeric_limits<double>::is_iec559 && sizeof(double) == sizeof(uint64_t),
              "doubles are IEEE 754 binary64");

// A non-negative integer of any size: 32-bit limbs, least significant first,
// no zero limb at the top (zero has none).
class BigNum {
 public:
  explicit BigNum(uint64_t v = 0) {
    for (; v != 0; v >>= 32) limbs_.push_back(static_cast<uint32_t>(v));
  }

  bool IsZero() const { return limbs_.empty(); }

  size_t BitLength() const {
    if (limbs_.empty()) return 0;
    size_t n = 32 * (limbs_.size() - 1);
    for (uint32_t top = limbs_.back(); top != 0; top >>= 1) ++n;
    return n;
  }

  void MulAdd(uint32_t factor, uint32_t addend = 0) {
    uint64_t carry = addend;
    for (uint32_t& limb : limbs_) {
      const uint64_t t = static_cast<uint64_t>(limb) * factor + carry;
      limb = static_cast<uint32_t>(t);
      carry = t >> 32;
    }
    if (carry != 0) limbs_.push_back(static_cast<uint32_t>(carry));
    Trim();
  }

  // *this /= divisor (not zero); returns the remainder.
  uint32_t Divide(uint32_t divisor) {
    uint64_t rest = 0;
    for (size_t i = limbs_.size(); i-- > 0;) {
      const uint64_t t = (rest << 32) | limbs_[i];
      limbs_[i] = static_cast<uint32_t>(t / divisor);
      rest = t % divisor;
    }
    Trim();
    return static_cast<uint32_t>(rest);
  }

  void ShiftLeft(size_t bits) {
    if (limbs_.empty() || bits == 0) return;
    const size_t whole = bits / 32;
    const unsigned part = static_cast<unsigned>(bits % 32);
    if (part != 0) {
      uint32_t carry = 0;
      for (uint32_t& limb : limbs_) {
        const uint32_t next = limb >> (32 - part);
        limb = (limb << part) | carry;
        carry = next;
      }
      if (carry != 0) limbs_.push_back(carry);
    }
    limbs_.insert(limbs_.begin(), whole, 0);
  }

  void MulPow5(size_t n) {
    constexpr uint32_t kPow5_13 = 1220703125;  // 5^13, the largest power of 5 in 32 bits
    for (; n >= 13; n -= 13) MulAdd(kPow5_13);
    uint32_t rest = 1;
    for (; n > 0; --n) rest *= 5;
    MulAdd(rest);
  }

  void MulPow10(size_t n) {
    MulPow5(n);
    ShiftLeft(n);
  }

  void Add(const BigNum& b) {
    if (limbs_.size() < b.limbs_.size()) limbs_.resize(b.limbs_.size(), 0);
    uint64_t carry = 0;
    for (size_t i = 0; i < limbs_.size(); ++i) {
      const uint64_t t = carry + limbs_[i] + (i < b.limbs_.size() ? b.limbs_[i] : 0);
      limbs_[i] = static_cast<uint32_t>(t);
      carry = t >> 32;
    }
    if (carry != 0) limbs_.push_back(static_cast<uint32_t>(carry));
  }

  // *this -= b, for b <= *this.
  void Sub(const BigNum& b) {
    uint32_t borrow = 0;
    for (size_t i = 0; i < limbs_.size(); ++i) {
      const uint64_t sub = static_cast<uint64_t>(i < b.limbs_.size() ? b.limbs_[i] : 0) + borrow;
      borrow = limbs_[i] < sub ? 1 : 0;
      limbs_[i] = static_cast<uint32_t>(limbs_[i] - sub);
      if (i >= b.limbs_.size() && borrow == 0) break;
    }
    Trim();
  }

  friend int Compare(const BigNum& a, const BigNum& b) {
    if (a.limbs_.size() != b.limbs_.size()) return a.limbs_.size() < b.limbs_.size() ? -1 : 1;
    for (size_t i = a.limbs_.size(); i-- > 0;)
      if (a.limbs_[i] != b.limbs_[i]) return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
    return 0;
  }

 private:
  void Trim() {
    while (!limbs_.empty() && limbs_.back() == 0) limbs_.pop_back();
  }
  std::vector<uint32_t> limbs_;
};

BigNum Sum(BigNum a, const BigNum& b) {
  a.Add(b);
  return a;
}

int BitLength(uint64_t v) {
  int n = 0;
  for (; v != 0; v >>= 1) ++n;
  return n;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// --- Reading ---

// Significant digits kept: every midpoint between two doubles has at most
// 768, so a longer text rounds as its first 800 digits followed by a 1 when
// anything after them is not zero.
constexpr size_t kKeptDigits = 800;

// The double nearest digits x 10^exp10 (digits without leading or trailing
// zeros, at most kKeptDigits + 1 of them, exp10 small enough that the value
// is within a few powers of ten of a double's range). False when it rounds to
// zero or to infinity.
bool NearestDouble(const std::string& digits, int64_t exp10, double& out) {
  BigNum num, den(1);
  size_t i = 0;
  for (size_t chunk = digits.size() % 9 == 0 ? 9 : digits.size() % 9; i < digits.size(); chunk = 9) {
    uint32_t part = 0, scale = 1;
    for (size_t j = 0; j < chunk; ++j, ++i) part = part * 10 + static_cast<uint32_t>(digits[i] - '0'), scale *= 10;
    num.MulAdd(scale, part);
  }
  if (exp10 >= 0) {
    num.MulPow10(static_cast<size_t>(exp10));
  } else {
    den.MulPow10(static_cast<size_t>(-exp10));
  }
  // Scale by 2^shift so that the quotient has 55 or 56 bits.
  const int64_t shift = 55 - (static_cast<int64_t>(num.BitLength()) - static_cast<int64_t>(den.BitLength()));
  if (shift >= 0) {
    num.ShiftLeft(static_cast<size_t>(shift));
  } else {
    den.ShiftLeft(static_cast<size_t>(-shift));
  }
  den.ShiftLeft(55);
  uint64_t q = 0;  // num x 2^shift / den, bit by bit
  for (int bit = 55; bit >= 0; --bit) {
    q <<= 1;
    if (Compare(num, den) >= 0) {
      num.Sub(den);
      q |= 1;
    }
    if (bit > 0) num.ShiftLeft(1);
  }
  const bool sticky = !num.IsZero();
  // The value is q x 2^-shift (and a bit more when sticky); its leading bit
  // is 2^lead. Keep 53 bits, fewer below the normal range.
  const int64_t lead = BitLength(q) - 1 - shift;
  int64_t unit = std::max<int64_t>(lead - 52, -1074);  // the exponent of the last bit kept
  const int64_t drop = unit + shift;                   // at least 2
  uint64_t mant = 0;
  if (drop < 60) {
    const uint64_t rest = q & ((uint64_t{1} << drop) - 1), half = uint64_t{1} << (drop - 1);
    mant = q >> drop;
    if (rest > half || (rest == half && (sticky || (mant & 1) != 0))) ++mant;
  }
  if (mant == uint64_t{1} << 53) mant >>= 1, ++unit;
  if (mant == 0) return false;
  uint64_t bits = mant;
  if (mant >= uint64_t{1} << 52) {
    const int64_t biased = unit + 1075;
    if (biased >= 2047) return false;
    bits = (static_cast<uint64_t>(biased) << 52) | (mant & ((uint64_t{1} << 52) - 1));
  }
  std::memcpy(&out, &bits, sizeof out);
  return true;
}

}  // namespace

DecimalRead ReadDecimal(const char* first, const char* last, double& value) {
  const char* p = first;
  const bool negative = p != last && *p == '-';
  if (negative) ++p;
  // The value is digits x 10^exp10; sticky stands for nonzero digits dropped.
  std::string digits;
  int64_t exp10 = 0;
  bool sticky = false, any = false;
  auto take = [&](char c, bool fraction) {
    any = true;
    if (digits.empty() && c == '0') {
      if (fraction) --exp10;
    } else if (digits.size() < kKeptDigits) {
      digits += c;
      if (fraction) --exp10;
    } else {
      sticky = sticky || c != '0';
      if (!fraction) ++exp10;
    }
  };
  for (; p != last && IsDigit(*p); ++p) take(*p, false);
  if (p != last && *p == '.')
    for (++p; p != last && IsDigit(*p); ++p) take(*p, true);
  if (!any) return {first, std::errc::invalid_argument};
  if (p != last && (*p == 'e' || *p == 'E')) {
    const char* q = p + 1;
    const bool expNegative = q != last && *q == '-';
    if (q != last && (*q == '-' || *q == '+')) ++q;
    if (q != last && IsDigit(*q)) {
      int64_t e = 0;  // saturated: far beyond any double either way
      for (; q != last && IsDigit(*q); ++q) e = std::min<int64_t>(e * 10 + (*q - '0'), int64_t{1} << 40);
      exp10 += expNegative ? -e : e;
      p = q;
    }
  }
  if (sticky) digits += '1', --exp10;
  while (!digits.empty() && digits.back() == '0') digits.pop_back(), ++exp10;
  double magnitude = 0;
  if (!digits.empty()) {
    // 10^(top - 1) <= value < 10^top
    const int64_t top = static_cast<int64_t>(digits.size()) + exp10;
    if (top > 310 || top < -324 || !NearestDouble(digits, exp10, magnitude)) return {p, std::errc::result_out_of_range};
  }
  value = negative ? -magnitude : magnitude;
  return {p, std::errc()};
}

namespace {

// --- Writing ---

// |x| = mant x 2^exp exactly.
void Split(double x, uint64_t& mant, int& exp, bool& negative) {
  uint64_t bits = 0;
  std::memcpy(&bits, &x, sizeof bits);
  negative = (bits >> 63) != 0;
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  mant = bits & ((uint64_t{1} << 52) - 1);
  if (biased != 0) mant |= uint64_t{1} << 52;
  exp = std::max(biased, 1) - 1075;
}

// num / den with 0 <= num < den, giving one decimal digit at a time.
class DigitSource {
 public:
  DigitSource(BigNum num, const BigNum& den) : num_(std::move(num)), times_{den, den, den, den} {
    for (int b = 1; b < 4; ++b) times_[b].ShiftLeft(static_cast<size_t>(b));
  }
  // The next digit; num becomes 10 num mod den.
  int Next() {
    num_.MulAdd(10);
    int d = 0;
    for (int b = 3; b >= 0; --b)
      if (Compare(num_, times_[b]) >= 0) num_.Sub(times_[b]), d += 1 << b;
    return d;
  }
  BigNum& Rest() { return num_; }
  const BigNum& Den() const { return times_[0]; }

 private:
  BigNum num_;
  BigNum times_[4];  // den x 1, 2, 4, 8
};

// Scales num / den (and extra numerators alike) by 10^-k for the k that puts
// num / den in [0.1, 1), and returns k.
int ScaleToDigits(BigNum& num, BigNum& den, int binaryLead, std::initializer_list<BigNum*> extra = {}) {
  // k estimated from 2^binaryLead <= num / den, then made exact.
  int k = static_cast<int>(binaryLead * 0.30102999566398120) + (binaryLead >= 0 ? 1 : 0);
  auto scale = [&](int by) {
    if (by >= 0) {
      den.MulPow10(static_cast<size_t>(by));
    } else {
      num.MulPow10(static_cast<size_t>(-by));
      for (BigNum* e : extra) e->MulPow10(static_cast<size_t>(-by));
    }
  };
  scale(k);
  while (Compare(num, den) >= 0) den.MulAdd(10), ++k;
  for (BigNum ten = num; ten.MulAdd(10), Compare(ten, den) < 0; ten = num) {
    num.MulAdd(10);
    for (BigNum* e : extra) e->MulAdd(10);
    --k;
  }
  return k;
}

// Adds one at the last digit, carrying; true when the digits became 1000...
bool Increment(std::string& digits) {
  for (size_t i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return false;
    }
    digits[i] = '0';
  }
  digits.insert(digits.begin(), '1');
  digits.pop_back();
  return true;
}

// The digits of mant x 2^exp (nonzero) one at a time; the value is
// 0.<digits> x 10^k.
DigitSource Digits(uint64_t mant, int exp, int& k) {
  BigNum num(mant), den(1);
  if (exp >= 0) {
    num.ShiftLeft(static_cast<size_t>(exp));
  } else {
    den.ShiftLeft(static_cast<size_t>(-exp));
  }
  k = ScaleToDigits(num, den, BitLength(mant) - 1 + exp);
  return DigitSource(std::move(num), den);
}

// The first count significant digits of mant x 2^exp (nonzero), rounded half
// to even on the exact value; the value is about 0.<digits> x 10^k.
std::string RoundedDigits(uint64_t mant, int exp, size_t count, int& k) {
  DigitSource source = Digits(mant, exp, k);
  std::string digits;
  while (digits.size() < count) digits += static_cast<char>('0' + source.Next());
  BigNum& rest = source.Rest();
  rest.ShiftLeft(1);
  const int c = Compare(rest, source.Den());
  if ((c > 0 || (c == 0 && (digits.back() - '0') % 2 != 0)) && Increment(digits)) ++k;
  return digits;
}

// The digits d1 d2 ... of 0.d1d2... x 10^k in plain form ("120", "1.2",
// "0.0012").
std::string PlainForm(const std::string& digits, int k) {
  const size_t n = digits.size();
  std::string out;
  if (k <= 0) {
    out = "0.";
    out.append(static_cast<size_t>(-k), '0');
    out += digits;
  } else if (static_cast<size_t>(k) >= n) {
    out = digits;
    out.append(static_cast<size_t>(k) - n, '0');
  } else {
    out.assign(digits, 0, static_cast<size_t>(k));
    out += '.';
    out.append(digits, static_cast<size_t>(k));
  }
  return out;
}

// The same in exponent form, at least two exponent digits ("1.2e+02", "5e-324").
std::string ExponentForm(const std::string& digits, int k) {
  std::string out(1, digits[0]);
  if (digits.size() > 1) {
    out += '.';
    out.append(digits, 1);
  }
  const int e = k - 1;
  out += e < 0 ? "e-" : "e+";
  const std::string t = std::to_string(e < 0 ? -e : e);
  if (t.size() < 2) out += '0';
  return out += t;
}

std::string NonFinite(double x, bool negative) {
  return std::string(negative ? "-" : "") + (std::isnan(x) ? "nan" : "inf");
}

}  // namespace

std::string WholeDecimal(double x) {
  uint64_t mant = 0;
  int exp = 0;
  bool negative = false;
  Split(x, mant, exp, negative);
  if (!std::isfinite(x)) return NonFinite(x, negative);
  BigNum whole(exp >= 0 ? mant : exp > -64 ? mant >> -exp : 0);
  if (exp > 0) whole.ShiftLeft(static_cast<size_t>(exp));
  std::string digits;  // nine at a time, last ones first
  do {
    uint32_t part = whole.Divide(1000000000);
    for (int i = 0; i < 9; ++i, part /= 10) digits += static_cast<char>('0' + part % 10);
  } while (!whole.IsZero());
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  if (negative) digits += '-';
  return std::string(digits.rbegin(), digits.rend());
}

std::string GeneralDecimal(double x, int precision) {
  uint64_t mant = 0;
  int exp = 0;
  bool negative = false;
  Split(x, mant, exp, negative);
  if (!std::isfinite(x)) return NonFinite(x, negative);
  std::string out = negative ? "-" : "";
  if (mant == 0) return out + "0";
  const int p = std::max(precision, 1);
  int k = 0;
  std::string digits = RoundedDigits(mant, exp, static_cast<size_t>(p), k);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  const int e10 = k - 1;
  return out + (e10 < -4 || e10 >= p ? ExponentForm(digits, k) : PlainForm(digits, k));
}

std::string ShortestDecimal(double x) {
  uint64_t mant = 0;
  int exp = 0;
  bool negative = false;
  Split(x, mant, exp, negative);
  if (!std::isfinite(x)) return NonFinite(x, negative);
  const std::string sign = negative ? "-" : "";
  if (mant == 0) return sign + "0";
  // In quarters of the last bit: x, and the distances to the ends of the
  // interval that reads back as x (half the gap to each neighbour; the one
  // below is half as far at a power of two). The ends themselves read back
  // as x when mant is even.
  const bool closerBelow = mant == uint64_t{1} << 52 && exp > -1074;
  BigNum num(mant << 2), den(1), up(2), down(closerBelow ? 1 : 2);
  if (exp - 2 >= 0) {
    for (BigNum* b : {&num, &up, &down}) b->ShiftLeft(static_cast<size_t>(exp - 2));
  } else {
    den.ShiftLeft(static_cast<size_t>(2 - exp));
  }
  const bool ends = mant % 2 == 0;
  int k = ScaleToDigits(num, den, BitLength(mant) - 1 + exp, {&up, &down});
  // The upper end must be below 10^k, so that no digit overflows.
  if (const int c = Compare(Sum(num, up), den); c > 0 || (c == 0 && ends)) den.MulAdd(10), ++k;
  // Digits of x until the digits so far, or those with the last one raised,
  // are inside the interval; then the nearer of the two (the even one on a tie).
  DigitSource source(std::move(num), den);
  std::string digits;
  for (;;) {
    const int d = source.Next();
    up.MulAdd(10);
    down.MulAdd(10);
    const BigNum& rest = source.Rest();
    const int low = Compare(rest, down), high = Compare(Sum(rest, up), source.Den());
    const bool lowOk = low < 0 || (low == 0 && ends), highOk = high > 0 || (high == 0 && ends);
    digits += static_cast<char>('0' + d);
    if (!lowOk && !highOk) continue;
    bool raise = highOk;
    if (lowOk && highOk) {
      BigNum twice = rest;
      twice.ShiftLeft(1);
      const int c = Compare(twice, source.Den());
      raise = c > 0 || (c == 0 && d % 2 != 0);
    }
    if (raise && Increment(digits)) ++k;
    break;
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  // Plain or exponent form, whichever is shorter.
  const int n = static_cast<int>(digits.size());
  const std::string scientific = ExponentForm(digits, k);
  const int plainLength = k >= n ? k : (k > 0 ? n + 1 : n + 2 - k);
  if (static_cast<int>(scientific.size()) < plainLength) return sign + scientific;
  return k >= n ? WholeDecimal(x) : sign + PlainForm(digits, k);
}

}  // namespace vantorel
