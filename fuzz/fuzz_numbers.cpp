// The text-to-number conversions on arbitrary bytes: the locale-aware one of
// the settings (in several locales), the leading-number rule of the entry
// fields and the half-to-even 16-bit conversion; and the number texts read
// back.
#include <QLocale>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzzcheck.h"
#include "model/numtext.h"
#include "settings/settings.h"

using fuzzcheck::Require;
using namespace vantorel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const kLocales[] = {"C", "en_US", "de_DE", "fr_FR", "sv_SE", "ar_EG", "fa_IR", "hi_IN"};
  if (size == 0) return 0;
  const std::string point =
      QLocale(kLocales[data[0] % (sizeof kLocales / sizeof *kLocales)]).decimalPoint().toStdString();
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

  const auto v = LocaleToDouble(text);
  if (v) Require(std::isfinite(*v));
  const auto i = LocaleToInt16(text);
  Require(i.has_value() == (v && ToInt16HalfEven(*v).has_value()));
  if (i) Require(std::fabs(static_cast<double>(*i) - *v) <= 0.5);

  const double lead = LeadingNumber(text);
  Require(!std::isnan(lead));
  if (const auto li = ToInt16HalfEven(lead)) Require(std::fabs(static_cast<double>(*li) - lead) <= 0.5);

  if (text.size() >= sizeof(double)) {
    double d = 0;
    std::memcpy(&d, text.data(), sizeof d);
    const auto di = ToInt16HalfEven(d);
    Require(!di || std::fabs(static_cast<double>(*di) - d) <= 0.5);
    // A saved number reads back in the same locale to within its 15 digits.
    const std::string saved = LocaleNumberText(d, point);
    const auto back = LocaleToDouble(saved);
    if (std::isfinite(d) && (d == 0 || (std::fabs(d) > 1e-300 && std::fabs(d) < 1e308))) {
      Require(back.has_value());
      Require(std::fabs(*back - d) <= std::fabs(d) * 1e-14);
    } else if (!std::isfinite(d)) {
      Require(!back.has_value());
    }
    (void)GeneralText(d, ',');
    (void)FormatNumber(d, "(0)");
  }
  return 0;
}
