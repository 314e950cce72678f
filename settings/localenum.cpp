// Number texts of the saved settings in the user's locale.
#include <QLocale>
#include <QString>
#include <cmath>
#include <limits>

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

namespace {

std::optional<double> ReadIn(QLocale locale, const QString& text) {
  // The program never writes group separators, and accepting them would
  // read "0.033" as 33 in a locale whose decimal separator is a comma.
  locale.setNumberOptions(locale.numberOptions() | QLocale::RejectGroupSeparator);
  bool ok = false;
  const double v = locale.toDouble(text, &ok);
  if (!ok || !std::isfinite(v)) return std::nullopt;
  return v;
}

}  // namespace

std::optional<double> LocaleToDouble(const std::string& text) {
  if (text.size() > static_cast<size_t>(std::numeric_limits<qsizetype>::max())) return std::nullopt;
  const QString q = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  if (auto v = ReadIn(QLocale(), q)) return v;
  // Saved under another locale: the decimal point, then the decimal comma.
  if (auto v = ReadIn(QLocale::c(), q)) return v;
  return ReadIn(QLocale(QLocale::German, QLocale::Germany), q);
}

std::optional<int16_t> LocaleToInt16(const std::string& text) {
  const auto v = LocaleToDouble(text);
  if (!v) return std::nullopt;
  return ToInt16HalfEven(*v);
}

}  // namespace vantorel
