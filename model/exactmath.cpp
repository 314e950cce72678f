#include "model/exactmath.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "model/numtext.h"

namespace vantorel {

namespace {

// A number as the unevaluated sum hi + lo of two doubles, |lo| at most half
// an ulp of hi: about 106 bits. The building blocks are exact: TwoSum and
// TwoProd give the rounding error of a sum or a product as a double.
struct DD {
  double hi = 0, lo = 0;
};

DD FastTwoSum(double a, double b) {  // |a| >= |b|
  const double s = a + b;
  return {s, b - (s - a)};
}

DD TwoSum(double a, double b) {
  const double s = a + b;
  const double bb = s - a;
  return {s, (a - (s - bb)) + (b - bb)};
}

// Veltkamp's split into two halves of 26 bits (no overflow below 2^996).
DD Split(double a) {
  const double t = 134217729.0 * a;  // 2^27 + 1
  const double hi = t - (t - a);
  return {hi, a - hi};
}

DD TwoProd(double a, double b) {
  const double p = a * b;
  const DD x = Split(a), y = Split(b);
  return {p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}

DD Add(DD a, DD b) {
  DD s = TwoSum(a.hi, b.hi);
  const DD t = TwoSum(a.lo, b.lo);
  s = FastTwoSum(s.hi, s.lo + t.hi);
  return FastTwoSum(s.hi, s.lo + t.lo);
}

DD Neg(DD a) { return {-a.hi, -a.lo}; }

DD Mul(DD a, DD b) {
  const DD p = TwoProd(a.hi, b.hi);
  return FastTwoSum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

DD Div(DD a, DD b) {
  const double q1 = a.hi / b.hi;
  DD r = Add(a, Neg(Mul(b, {q1, 0})));
  const double q2 = r.hi / b.hi;
  r = Add(r, Neg(Mul(b, {q2, 0})));
  const double q3 = r.hi / b.hi;
  return Add(FastTwoSum(q1, q2), {q3, 0});
}

DD Sqrt(DD a) {                      // a > 0
  const double s = std::sqrt(a.hi);  // correctly rounded by IEEE 754
  const DD r = Add(a, Neg(TwoProd(s, s)));
  return FastTwoSum(s, r.hi / (2 * s));
}

constexpr DD kHalfPi{1.5707963267948966, 6.123233995736766e-17};
constexpr DD kLn2{0.6931471805599453, 2.3190468138462996e-17};

// The arc tangent of a in [0, 1] by the series alone, after halving the
// angle four times (atan a = 2 atan(a / (1 + sqrt(1 + a^2)))): slow, for
// the table below only.
DD SlowAtan(DD a) {
  for (int i = 0; i < 4; ++i) a = Div(a, Add({1, 0}, Sqrt(Add({1, 0}, Mul(a, a)))));
  const DD a2 = Mul(a, a);
  DD sum{0, 0};
  for (int n = 16; n >= 0; --n) {  // |a| <= tan(pi/64): the 17th term is below 2^-120
    const DD term = Div({n % 2 ? -1.0 : 1.0, 0}, {2.0 * n + 1, 0});
    sum = Add(term, Mul(sum, a2));
  }
  return Mul(Mul(sum, a), {16, 0});
}

// atan(k / 128) for k = 0 to 128.
constexpr int kSteps = 128;
const std::array<DD, kSteps + 1>& AtanTable() {
  static const std::array<DD, kSteps + 1> table = [] {
    std::array<DD, kSteps + 1> t{};
    for (int k = 0; k <= kSteps; ++k) t[static_cast<size_t>(k)] = SlowAtan({static_cast<double>(k) / kSteps, 0});
    return t;
  }();
  return table;
}

// The arc tangent of a in [0, 1]: atan(c) from the table for the nearest
// c = k/128, plus the series for atan((a - c) / (1 + a c)), whose argument
// is at most 1/256; its terms from the fifth power on are small enough for
// plain doubles.
DD AtanUnit(DD a) {
  // The nearest step for a >= 0 (an index only: any near step gives the same result).
  const int k = static_cast<int>(a.hi * kSteps + 0.5);  // NOLINT(bugprone-incorrect-roundings)
  const double c = static_cast<double>(k) / kSteps;
  const DD t = Div(Add(a, {-c, 0}), Add({1, 0}, Mul(a, {c, 0})));
  const double s = t.hi * t.hi;
  const DD cube = Div(Mul(Mul(t, t), t), {3, 0});
  const double tail = t.hi * s * s * (1.0 / 5 - s * (1.0 / 7 - s * (1.0 / 9 - s * (1.0 / 11))));
  const DD series = Add(Add(t, Neg(cube)), {tail, 0});
  return Add(AtanTable()[static_cast<size_t>(k)], series);
}

// The same for a double a in [0, 1], quickly: the quotient to about 100
// bits, the series in doubles, and a bound on the error of the sum. When
// every value within the bound rounds to the same double, that double is
// the answer; otherwise (about once in a few thousand) AtanUnit decides.
double AtanUnitQuick(double a) {
  const int k = static_cast<int>(a * kSteps + 0.5);  // NOLINT(bugprone-incorrect-roundings): as in AtanUnit
  if (k == 0) {                                      // a below 1/256: the series alone
    const double s = a * a;
    const double poly = a * s * (-1.0 / 3 + s * (1.0 / 5 - s * (1.0 / 7 - s * (1.0 / 9))));
    const double bound = a * 0x1p-64;
    const double y = a + (poly + bound);
    if (y == a + (poly - bound)) return y;
    const DD d = AtanUnit({a, 0});
    return d.hi + d.lo;
  }
  const double c = static_cast<double>(k) / kSteps;
  const double num = a - c;  // exact: a lies within 1/256 of c
  const DD p = TwoProd(a, c);
  DD den = FastTwoSum(1.0, p.hi);
  den.lo += p.lo;
  const double inverse = 1.0 / den.hi;
  const double q1 = num * inverse;
  const DD m = TwoProd(q1, den.hi);
  const double q2 = (((num - m.hi) - m.lo) - q1 * den.lo) * inverse;
  const double s = q1 * q1;
  const double poly = q1 * s * (-1.0 / 3 + s * (1.0 / 5 - s * (1.0 / 7 - s * (1.0 / 9))));
  const DD& tab = AtanTable()[static_cast<size_t>(k)];
  const DD sum = TwoSum(tab.hi, q1);
  const double tail = sum.lo + (tab.lo + (q2 + poly));
  const double bound = std::fabs(q1) * 0x1p-64 + tab.hi * 0x1p-98;
  const double y = sum.hi + (tail + bound);
  if (y == sum.hi + (tail - bound)) return y;
  const DD d = AtanUnit({a, 0});
  return d.hi + d.lo;
}

// 2^k for k in -1022..1023, made from its bits.
double Pow2(int k) {
  const uint64_t bits = static_cast<uint64_t>(k + 1023) << 52;
  double x = 0;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}

// e^r for |r| <= 0.35 by the series on r / 1024, then squared ten times:
// slow, for the table below and the rare cases ExpQuick cannot decide.
DD ExpSlow(DD r) {
  r = Mul(r, {1.0 / 1024, 0});
  DD e{1, 0};
  for (int n = 10; n >= 1; --n) e = Add({1, 0}, Div(Mul(r, e), {static_cast<double>(n), 0}));
  for (int i = 0; i < 10; ++i) e = Mul(e, e);
  return e;
}

// e^(j / 128) for j = -45 to 45 (index j + 45).
constexpr int kExpSteps = 45;
const std::array<DD, 2 * kExpSteps + 1>& ExpTable() {
  static const std::array<DD, 2 * kExpSteps + 1> table = [] {
    std::array<DD, 2 * kExpSteps + 1> t{};
    for (int j = -kExpSteps; j <= kExpSteps; ++j) {
      const int at = j + kExpSteps;
      t[static_cast<size_t>(at)] = ExpSlow({j / 128.0, 0});
    }
    return t;
  }();
  return table;
}

// e^r for |r| <= 0.35, rounded to a double: e^c from the table for the
// nearest c = j/128, times the series for e^(r - c) in doubles, with a bound
// on the error as in AtanUnitQuick.
double ExpQuick(DD r) {
  const int j = static_cast<int>(RoundHalfAway(r.hi * 128.0));  // -45..45
  const double c = j / 128.0;
  const DD u = FastTwoSum(r.hi - c, r.lo);  // r.hi - c is exact: r.hi lies within 1/256 of c
  const double v = u.hi;
  const double p = v * v *
                   (1.0 / 2 + v * (1.0 / 6 + v * (1.0 / 24 + v * (1.0 / 120 + v * (1.0 / 720 + v * (1.0 / 5040))))));
  const int at = j + kExpSteps;
  const DD& tab = ExpTable()[static_cast<size_t>(at)];
  const DD m = TwoProd(tab.hi, v);
  const DD sum = TwoSum(tab.hi, m.hi);
  const double tail = sum.lo + (m.lo + (tab.hi * (u.lo + p) + tab.lo * (1 + v)));
  const double bound = tab.hi * 0x1p-64;
  const double y = sum.hi + (tail + bound);
  if (y == sum.hi + (tail - bound)) return y;
  const DD e = Mul(tab, ExpSlow(u));
  return e.hi + e.lo;
}

}  // namespace

double Atan(double x) {
  if (std::isnan(x)) return x;
  const double a = std::fabs(x);
  double r;
  if (a <= 1.0) {
    r = AtanUnitQuick(a);
  } else if (a < 1152921504606846976.0) {  // 2^60
    const DD d = Add(kHalfPi, Neg(AtanUnit(Div({1, 0}, {a, 0}))));
    r = d.hi + d.lo;
  } else {
    r = kHalfPi.hi;  // within 2^-60 of pi/2, which lies far from a rounding boundary
  }
  return std::copysign(r, x);
}

double Exp(double x) {
  if (std::isnan(x)) return x;
  if (x > 709.782712893384) return HUGE_VAL;
  if (x < -745.2) return 0.0;
  // x = k ln2 + r with |r| <= ln2 / 2, the product k ln2 to about 106 bits.
  const int k = static_cast<int>(RoundHalfAway(x / kLn2.hi));  // -1075..1024
  const DD kl = Add(TwoProd(k, kLn2.hi), {k * kLn2.lo, 0});
  const DD r = Add({x, 0}, Neg(kl));
  double y;
  if (k >= -1021) {
    y = ExpQuick(r);
  } else {
    const DD e = ExpSlow(r);  // a result below the normal range: rounded once more when scaled
    y = e.hi + e.lo;
  }
  // Times 2^k in at most two exact steps (the second may round in the subnormal range).
  if (k > 1023) return y * Pow2(1023) * Pow2(k - 1023);
  if (k < -1022) return y * Pow2(-1022) * Pow2(k + 1022);
  return y * Pow2(k);
}

}  // namespace vantorel
