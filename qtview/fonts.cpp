#include "qtview/fonts.h"

#include <fontconfig/fontconfig.h>

#include <QStringList>

namespace vantorel::qtview {

QFont MakeFont(const platform::FontSpec& face) {
  QFont f;
  const QString family = QString::fromStdString(face.name).toLower();
  const double points = face.size > 0 ? face.size : 8.25;
  if (family == "courier new" || family == "courier") {
    // Liberation Mono has Courier New's widths, so the list's columns keep
    // the room they were laid out with.
    f.setFamilies({"Liberation Mono", "Courier New", "DejaVu Sans Mono", "Monospace"});
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
  } else if (points < 7) {
    // Captions under 7 pt (the copyright line) share their line with other
    // text: a narrow face keeps them short and still readable.
    f.setFamilies({"Nimbus Sans Narrow", "DejaVu Sans Condensed", "Liberation Sans", "Sans Serif"});
    f.setStyleHint(QFont::SansSerif);
  } else {
    // Tahoma, MS Sans Serif, Trebuchet MS: DejaVu Sans Condensed is close to
    // Tahoma's shapes and narrow enough for the captions laid out for it;
    // Liberation Sans runs wider and only stands in when it is missing.
    f.setFamilies({"DejaVu Sans Condensed", "Liberation Sans", "DejaVu Sans", "Sans Serif"});
    f.setStyleHint(QFont::SansSerif);
  }
  f.setPointSizeF(points);
  f.setBold(face.bold);
  f.setItalic(face.italic);
  f.setUnderline(face.underline);
  f.setStrikeOut(face.strikethru);
  return f;
}

QFont MakeFont(const std::string& face, double points, bool bold) {
  platform::FontSpec s;
  s.name = face;
  s.size = points;
  s.bold = bold;
  return MakeFont(s);
}

FontConfigLoader::FontConfigLoader() : thread_([] { FcInit(); }) {}

FontConfigLoader::~FontConfigLoader() { Wait(); }

void FontConfigLoader::Wait() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace vantorel::qtview
