#include "platform/fonts.h"

#include <QStringList>

namespace vantorel::platform {

QFont MakeFont(const FontSpec& face) {
  QFont f;
  const QString family = QString::fromStdString(face.name).toLower();
  if (family == "courier new" || family == "courier") {
    f.setFamilies({"Courier New", "Liberation Mono", "DejaVu Sans Mono", "Monospace"});
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
  } else {
    // Tahoma, MS Sans Serif, Trebuchet MS: sans-serif faces.
    f.setFamilies({QString::fromStdString(face.name), "Liberation Sans", "DejaVu Sans", "Sans Serif"});
    f.setStyleHint(QFont::SansSerif);
  }
  f.setPointSizeF(face.size > 0 ? face.size : 8.25);
  f.setBold(face.bold);
  f.setItalic(face.italic);
  f.setUnderline(face.underline);
  f.setStrikeOut(face.strikethru);
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
