// Number texts of the saved settings in the user's locale.
#include <QLocale>
#include <QString>

#include "model/numtext.h"
#include "settings/settings.h"

namespace vantorel {

std::string LocaleNumberText(double v) {
  const std::string plain = GeneralText(v, '.');
  const std::string point = QLocale().decimalPoint().toStdString();
  std::string out;
  out.reserve(plain.size() + point.size());
  for (char c : plain) {
    if (c == '.')
      out += point;
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
