// Number texts of the saved settings.
#include "model/numtext.h"
#include "settings/settings.h"

namespace vantorel {

std::string LocaleNumberText(double v, std::string_view decimalPoint) {
  const std::string plain = GeneralText(v, '.');
  std::string out;
  out.reserve(plain.size() + decimalPoint.size());
  for (char c : plain) {
    if (c == '.')
      out += decimalPoint;
    else
      out += c;
  }
  return out;
}

// Whatever locale wrote it: its decimal separator, its digits, its minus sign.
std::optional<double> LocaleToDouble(const std::string& text) { return ReadAnyLocaleNumber(text); }

std::optional<int16_t> LocaleToInt16(const std::string& text) {
  const auto v = LocaleToDouble(text);
  if (!v) return std::nullopt;
  return ToInt16HalfEven(*v);
}

}  // namespace vantorel
