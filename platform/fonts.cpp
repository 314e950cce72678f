#include "platform/fonts.h"

#include <QStringList>

namespace vantorel::platform {

QFont MakeFont(const FontSpec& spec) {
  QFont f;
  const QString face = QString::fromStdString(spec.name).toLower();
  if (face == "courier new" || face == "courier") {
    f.setFamilies({"Courier New", "Liberation Mono", "DejaVu Sans Mono", "Monospace"});
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
  } else {
    // Tahoma, MS Sans Serif, Trebuchet MS: sans-serif faces.
    f.setFamilies({QString::fromStdString(spec.name), "Liberation Sans", "DejaVu Sans", "Sans Serif"});
    f.setStyleHint(QFont::SansSerif);
  }
  f.setPointSizeF(spec.size > 0 ? spec.size : 8.25);
  f.setBold(spec.bold);
  f.setItalic(spec.italic);
  f.setUnderline(spec.underline);
  f.setStrikeOut(spec.strikethru);
  return f;
}

QFont MakeFont(const std::string& face, double points, bool bold) {
  FontSpec s;
  s.name = face;
  s.size = points;
  s.bold = bold;
  return MakeFont(s);
}

}  // namespace vantorel::platform
